#include "components/ui/Graph.h"

#include "../../support/TickClearance.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QMouseEvent>
#include <QValueAxis>
#include <gtest/gtest.h>

namespace {

void release(Graph &g, Qt::MouseButton button, Qt::KeyboardModifiers mods = {})
{
    QWidget *vp = g.chartView()->viewport();
    const QPointF at(vp->width() / 2.0, vp->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, vp->mapToGlobal(at), button, button, mods);
    QApplication::sendEvent(vp, &press);
    QMouseEvent rel(QEvent::MouseButtonRelease, at, vp->mapToGlobal(at), button, Qt::NoButton, mods);
    QApplication::sendEvent(vp, &rel);
}

} // namespace

TEST(GraphLayout, FourPlotsAgainstTheXAxisAndTheirOwnYAxis)
{
    Graph g;
    const char *names[] = {"XAxis", "YAxis-1", "YAxis-2", "YAxis-3", "YAxis-4"};
    for (int a = 1; a <= 5; ++a)
        EXPECT_EQ(g.axis(a)->objectName(), names[a - 1]);
    EXPECT_EQ(g.axis(1)->alignment(), Qt::AlignBottom);
    EXPECT_EQ(g.axis(2)->alignment(), Qt::AlignLeft);
    EXPECT_EQ(g.axis(3)->alignment(), Qt::AlignRight);
    EXPECT_EQ(g.axis(4)->alignment(), Qt::AlignLeft);
    EXPECT_EQ(g.axis(5)->alignment(), Qt::AlignRight);
    for (int p = 1; p <= 4; ++p) {
        QLineSeries *s = g.series(p);
        EXPECT_EQ(s->name(), QString("Plot-%1").arg(p));
        const auto axes = s->attachedAxes();
        ASSERT_EQ(axes.size(), 2);
        EXPECT_TRUE(axes.contains(g.axis(1)));
        EXPECT_TRUE(axes.contains(g.axis(p + 1)));
    }
    EXPECT_EQ(g.series(0), nullptr);
    EXPECT_EQ(g.axis(6), nullptr);
}

TEST(GraphLayout, OnScreenScheme)
{
    Graph g;
    EXPECT_EQ(g.chart()->plotAreaBackgroundBrush().color(), QColor(Qt::black));
    EXPECT_EQ(g.series(1)->pen().color(), QColor(0, 255, 0));
    EXPECT_EQ(g.series(2)->pen().color(), QColor(255, 0, 0));
    EXPECT_EQ(g.series(3)->pen().color(), QColor(255, 255, 0));
    EXPECT_EQ(g.series(4)->pen().color(), QColor(0, 0, 255));
    EXPECT_EQ(g.axis(2)->min(), 0.0);
    EXPECT_EQ(g.axis(2)->max(), 10.0);
}

TEST(GraphPoints, AppendedPointsReachTheChartInBatches)
{
    Graph g;
    for (int i = 0; i < 50; ++i)
        g.appendPoint(1, i, i * 10.0);
    // The numbers are there at once; the chart gets them in one go.
    EXPECT_EQ(g.pointCount(1), 50);
    EXPECT_EQ(g.series(1)->count(), 0);
    EXPECT_GE(g.axisMaximum(2), 490.0);
    EXPECT_GE(g.axisMaximum(1), 49.0);
    g.flush();
    EXPECT_EQ(g.series(1)->count(), 50);
    EXPECT_EQ(g.series(1)->at(7), QPointF(7, 70));
    EXPECT_EQ(g.axis(2)->max(), g.axisMaximum(2));
    EXPECT_EQ(g.axis(1)->max(), g.axisMaximum(1));
    // The timer hands later points over by itself.
    g.appendPoint(1, 50, 500);
    for (int i = 0; i < 50 && g.series(1)->count() < 51; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(g.pointCount(1), 51);
    g.clearPlots();
    EXPECT_EQ(g.series(1)->count(), 0);
    EXPECT_EQ(g.pointCount(1), 0);
}

TEST(GraphPoints, RescalesExactlyLikeTheHeadlessGraph)
{
    Graph g;
    GraphData d;
    const double ys[] = {3, 123.45, -7, 1200, 0.5, 40000};
    for (GraphSink *s : {static_cast<GraphSink *>(&g), static_cast<GraphSink *>(&d)}) {
        s->setAutoRescale(3, false);
        for (int i = 0; i < 6; ++i) {
            s->appendPoint(1, i * 3.0, ys[i]);
            s->appendPoint(2, i, ys[i]);
        }
    }
    for (int a = 1; a <= 5; ++a) {
        EXPECT_EQ(g.axisMinimum(a), d.axisMinimum(a)) << a;
        EXPECT_EQ(g.axisMaximum(a), d.axisMaximum(a)) << a;
    }
    EXPECT_EQ(g.axisMaximum(3), 10.0);
}

TEST(GraphAxes, RangesLabelsAndVisibility)
{
    Graph g;
    g.setAxisMaximum(3, 700);
    g.setAxisMinimum(3, -5);
    EXPECT_EQ(g.axis(3)->min(), -5.0);
    EXPECT_EQ(g.axis(3)->max(), 700.0);
    g.setAxisLabel(2, "\"pF\"");
    EXPECT_EQ(g.axis(2)->titleText(), "\"pF\"");
    EXPECT_EQ(g.axisLabel(2), "\"pF\"");
    g.setAxisVisible(3, false);
    g.setPlotVisible(2, false);
    EXPECT_FALSE(g.axis(3)->isVisible());
    EXPECT_FALSE(g.series(2)->isVisible());
    EXPECT_TRUE(g.series(1)->isVisible());
    // A falling sweep's X range (minimum above maximum) is still shown.
    g.setAxisMaximum(1, 20);
    g.setAxisMinimum(1, 100);
    EXPECT_EQ(g.axisMinimum(1), 100.0);
    EXPECT_EQ(g.axis(1)->min(), 20.0);
    EXPECT_EQ(g.axis(1)->max(), 100.0);
    // A single value gets room around it.
    g.setAxisMinimum(4, 5);
    g.setAxisMaximum(4, 5);
    EXPECT_LT(g.axis(4)->min(), 5.0);
    EXPECT_GT(g.axis(4)->max(), 5.0);
    EXPECT_EQ(g.axisMaximum(4), 5.0);
}

TEST(GraphLook, MarksAndColours)
{
    Graph g;
    g.setPointStyle(2, GraphSink::MarkedPoints);
    EXPECT_TRUE(g.series(2)->pointsVisible());
    EXPECT_FALSE(g.series(1)->pointsVisible());
    g.setPointStyle(2, GraphSink::NoMarks);
    EXPECT_FALSE(g.series(2)->pointsVisible());
    g.setLineColor(1, QColor(0, 128, 0));
    g.setPointColor(1, QColor(1, 2, 3));
    EXPECT_EQ(g.series(1)->pen().color(), QColor(0, 128, 0));
    EXPECT_EQ(g.series(1)->brush().color(), QColor(1, 2, 3));
    g.setPlotAreaColor(Qt::white);
    EXPECT_EQ(g.chart()->plotAreaBackgroundBrush().color(), QColor(Qt::white));
    EXPECT_EQ(g.plotAreaColor(), QColor(Qt::white));
    EXPECT_EQ(g.axisTickColor(4), QColor(128, 128, 0));
}

TEST(GraphMouse, ReleasesAreReportedAndTheRightButtonDoesNotZoom)
{
    Graph g;
    g.resize(640, 400);
    g.show();
    QList<QList<int>> got;
    QObject::connect(&g, &Graph::mouseReleased,
                     [&](int b, int s, int x, int y) { got.append({b, s, x, y}); });
    g.chart()->zoomIn(QRectF(g.chart()->plotArea().center(), QSizeF(40, 40)));
    const double zoomedMax = g.axisMaximum(2);
    EXPECT_LT(zoomedMax, 10.0); // the zoom is what the axis shows now
    release(g, Qt::RightButton, Qt::ShiftModifier);
    release(g, Qt::LeftButton);
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0][0], 2);
    EXPECT_EQ(got[0][1], 1);
    EXPECT_EQ(got[1][0], 1);
    EXPECT_GT(got[0][2], 0);
    EXPECT_GT(got[0][3], 0);
    EXPECT_EQ(g.axisMaximum(2), zoomedMax);
}

TEST(GraphPicture, ShowsWhatIsOnScreen)
{
    Graph g;
    g.resize(640, 400);
    for (int i = 0; i <= 10; ++i)
        g.appendPoint(1, i, 5);
    const QImage img = g.picture();
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), g.chartView()->size() * img.devicePixelRatio());
    // The pending points were drawn: the flat line crosses the middle.
    int green = 0, black = 0;
    const int x = img.width() / 2;
    for (int y = 0; y < img.height(); ++y) {
        const QColor c = img.pixelColor(x, y);
        green += c.green() > 150 && c.red() < 90 && c.blue() < 90;
        black += c == QColor(Qt::black);
    }
    EXPECT_GT(green, 0);
    EXPECT_GT(black, 100);
}

TEST(GraphCopy, LoadFromAHeadlessGraph)
{
    GraphData d;
    d.appendPoint(3, 1, 1);
    d.appendPoint(3, 2, 800);
    d.setAxisLabel(4, "\"D\"");
    d.setAutoRescale(2, false);
    d.setPlotVisible(4, false);
    d.setLineColor(3, Qt::white);
    Graph g;
    g.loadFrom(d);
    EXPECT_EQ(g.pointCount(3), 2);
    EXPECT_EQ(g.series(3)->count(), 2);
    EXPECT_EQ(g.axisMaximum(4), d.axisMaximum(4));
    EXPECT_EQ(g.axis(4)->max(), d.axisMaximum(4));
    EXPECT_EQ(g.axisLabel(4), "\"D\"");
    EXPECT_FALSE(g.autoRescale(2));
    EXPECT_TRUE(g.autoRescale(4));
    EXPECT_FALSE(g.series(4)->isVisible());
    EXPECT_EQ(g.series(3)->pen().color(), QColor(Qt::white));
}

TEST(GraphAxes, TickMarksKeepClearOfTheLabelsOnBothSides)
{
    // Values on both sides of 0 on all four Y axes: a tick mark touching
    // "50" on a right-hand axis reads as "-50".
    for (const int pointSize : {9, 16}) {
        SCOPED_TRACE(pointSize);
        Graph g;
        g.resize(700, 420);
        for (int a = 1; a <= 5; ++a) {
            QFont f = g.axis(a)->labelsFont();
            f.setPointSize(pointSize);
            g.axis(a)->setLabelsFont(f);
        }
        for (int p = 1; p <= 4; ++p)
            for (int i = 0; i <= 10; ++i)
                g.appendPoint(p, i, (i - 5) * 10.0 * p);
        g.show();
        g.flush();
        QApplication::processEvents();
        g.picture();

        const TickClearance::Report r = TickClearance::check(g.chart()->scene(), 2.0);
        EXPECT_GE(r.labels, 20);
        EXPECT_TRUE(r.tooClose.isEmpty()) << qPrintable(r.tooClose.join(QLatin1Char('\n')));
        EXPECT_GE(r.pairs, 20) << "every Y label has its tick beside it";
    }
}
