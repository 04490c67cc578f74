#include "plotter/GraphData.h"
#include "plotter/GraphPainter.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// The data sit inside the range, at least 2 % of it clear of either end.
::testing::AssertionResult clearOfTheFrame(const GraphData &g, int axis, double lo, double hi)
{
    const double min = g.axisMinimum(axis), max = g.axisMaximum(axis);
    const double clear = 0.02 * (max - min);
    if (max > min && lo >= min + clear && hi <= max - clear)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "data " << lo << ".." << hi << " on axis " << min << ".." << max;
}

bool onTicks(double v, double step)
{
    return std::fabs(v / step - std::round(v / step)) < 1e-6;
}

} // namespace

TEST(GraphDataRescale, YAxesFitTheirDataWithAMarginAndRoundEnds)
{
    // A 100 nF line, |Z| of 0.05 to 1.5 ohm and a D of 0.001: each fills
    // its axis instead of lying on the frame or flat on 0..10.
    GraphData g;
    EXPECT_EQ(g.axisMinimum(2), 0.0);
    EXPECT_EQ(g.axisMaximum(2), 10.0);
    const double zs[] = {1.5, 0.9, 0.4, 0.05, 0.3, 0.7};
    for (int i = 0; i < 6; ++i) {
        g.appendPoint(1, 20 + i, 100.0);
        g.appendPoint(2, 20 + i, zs[i]);
        g.appendPoint(3, 20 + i, 0.001);
    }
    EXPECT_TRUE(clearOfTheFrame(g, 2, 100, 100));
    EXPECT_GE(g.axisMinimum(2), 85.0);
    EXPECT_LE(g.axisMaximum(2), 115.0);
    EXPECT_TRUE(clearOfTheFrame(g, 3, 0.05, 1.5));
    EXPECT_GE(g.axisMinimum(3), 0.0) << "positive data keep zero as their end";
    EXPECT_LE(g.axisMaximum(3), 2.0);
    EXPECT_TRUE(clearOfTheFrame(g, 4, 0.001, 0.001));
    EXPECT_GT(g.axisMinimum(4), 0.0);
    EXPECT_LT(g.axisMaximum(4), 0.002);
    for (int a = 2; a <= 4; ++a) {
        const double half = GraphData::tickStep(g.axisMinimum(a), g.axisMaximum(a)) / 2;
        EXPECT_TRUE(onTicks(g.axisMinimum(a), half)) << a << ": " << g.axisMinimum(a);
        EXPECT_TRUE(onTicks(g.axisMaximum(a), half)) << a << ": " << g.axisMaximum(a);
    }
    // Negative and mixed data, and all zeros.
    GraphData n;
    for (double v : {-33.0, -1200.0, -400.0})
        n.appendPoint(1, 1, v);
    EXPECT_TRUE(clearOfTheFrame(n, 2, -1200, -33));
    for (double v : {-7.0, 3.0})
        n.appendPoint(2, 1, v);
    EXPECT_TRUE(clearOfTheFrame(n, 3, -7, 3));
    n.appendPoint(3, 1, 0.0);
    n.appendPoint(3, 2, 0.0);
    EXPECT_TRUE(clearOfTheFrame(n, 4, 0, 0));
    // Values near the largest doubles still give an ordered, finite range.
    n.appendPoint(4, 1, -1.5e308);
    n.appendPoint(4, 2, 1.7e308);
    EXPECT_LE(n.axisMinimum(5), -1.5e308);
    EXPECT_GE(n.axisMaximum(5), 1.7e308);
    EXPECT_TRUE(std::isfinite(n.axisMinimum(5)) && std::isfinite(n.axisMaximum(5)));
    EXPECT_GT(GraphData::tickStep(n.axisMinimum(5), n.axisMaximum(5)), 1e306) << "a handful of ticks, not 1e308";
    // The X axis only widens: a sweep sets it to its start and end first.
    EXPECT_EQ(g.axisMinimum(1), 0.0);
    EXPECT_GE(g.axisMaximum(1), 25.0);
    EXPECT_LE(g.axisMaximum(1), 30.0);
    EXPECT_EQ(g.axisMaximum(5), 10.0);
    EXPECT_EQ(g.pointCount(1), 6);
}

TEST(GraphDataRescale, ARangeThatShowsTheDataWellStaysAndAutoOffHolds)
{
    GraphData g;
    g.appendPoint(2, 1, -0.6);
    g.appendPoint(2, 2, 0.5);
    // As the lock or a zoom sets it: the data fill it and stay clear.
    g.setAxisMinimum(3, -1);
    g.setAxisMaximum(3, 1);
    g.appendPoint(2, 3, 0.3);
    EXPECT_EQ(g.axisMinimum(3), -1.0);
    EXPECT_EQ(g.axisMaximum(3), 1.0);
    // A point on the frame, or data lost in a range far too wide, refit it.
    g.appendPoint(2, 4, 0.99);
    EXPECT_TRUE(clearOfTheFrame(g, 3, -0.6, 0.99));
    g.setAxisMaximum(3, 100);
    g.appendPoint(2, 5, 0.2);
    EXPECT_LT(g.axisMaximum(3), 2.0);
    g.setAutoRescale(3, false);
    g.appendPoint(2, 6, 99);
    EXPECT_LT(g.axisMaximum(3), 2.0);
    EXPECT_FALSE(g.autoRescale(3));
    EXPECT_TRUE(g.autoRescale(2));
    // Clearing the plots forgets their extent: a new sweep fits afresh.
    g.clearPlots();
    g.setAutoRescale(3, true);
    g.appendPoint(2, 1, 5000);
    EXPECT_TRUE(clearOfTheFrame(g, 3, 5000, 5000));
    EXPECT_GT(g.axisMinimum(3), 1000.0);
}

TEST(GraphDataRescale, TheXAxisWidensToTheDataWithReadableEnds)
{
    GraphData g;
    g.appendPoint(1, 12.5, 1);
    EXPECT_EQ(g.axisMinimum(1), 0.0);
    EXPECT_GE(g.axisMaximum(1), 12.5);
    EXPECT_LE(g.axisMaximum(1), 15.0);
    g.setAxisMinimum(1, 20);
    g.setAxisMaximum(1, 100);
    g.appendPoint(1, 60, 1);
    EXPECT_EQ(g.axisMinimum(1), 20.0);
    EXPECT_EQ(g.axisMaximum(1), 100.0);
}

TEST(GraphDataRescale, NonFiniteValuesAndTinyRanges)
{
    double lo = 0, hi = 10;
    GraphData::widen(lo, hi, std::numeric_limits<double>::infinity());
    GraphData::widen(lo, hi, std::nan(""));
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 10.0);
    lo = hi = 0.001;
    GraphData::widen(lo, hi, 0.0015);
    EXPECT_EQ(lo, 0.001);
    EXPECT_GE(hi, 0.0015);
    EXPECT_LT(hi, 0.01);
    // A reversed range is put in order when it grows.
    lo = 100;
    hi = 20;
    GraphData::widen(lo, hi, 150);
    EXPECT_EQ(lo, 20.0);
    EXPECT_GE(hi, 150.0);
}

TEST(GraphDataRescale, NiceSteps)
{
    EXPECT_EQ(GraphData::niceStep(1), 1.0);
    EXPECT_EQ(GraphData::niceStep(1.2), 2.0);
    EXPECT_EQ(GraphData::niceStep(3), 5.0);
    EXPECT_EQ(GraphData::niceStep(7), 10.0);
    EXPECT_DOUBLE_EQ(GraphData::niceStep(0.013), 0.02);
    EXPECT_EQ(GraphData::niceStep(0), 1.0);
}

TEST(GraphDataItems, ClearKeepsRangesAndOutOfRangeNumbersAreIgnored)
{
    GraphData g;
    g.appendPoint(4, 1, 500);
    g.appendPoint(5, 1, 1);
    g.appendPoint(0, 1, 1);
    EXPECT_EQ(g.pointCount(4), 1);
    EXPECT_EQ(g.pointCount(5), 0);
    const double max5 = g.axisMaximum(5);
    g.clearPlots();
    EXPECT_EQ(g.pointCount(4), 0);
    EXPECT_EQ(g.axisMaximum(5), max5);
    g.setAxisLabel(6, "x");
    EXPECT_EQ(g.axisLabel(6), QString());
    EXPECT_EQ(g.axisMinimum(9), 0.0);
}

TEST(GraphDataItems, StoredConfigurationColours)
{
    GraphData g;
    EXPECT_EQ(g.plotAreaColor(), QColor(Qt::black));
    EXPECT_EQ(g.lineColor(1), QColor(0, 255, 0));
    EXPECT_EQ(g.lineColor(2), QColor(255, 0, 0));
    EXPECT_EQ(g.lineColor(3), QColor(255, 255, 0));
    EXPECT_EQ(g.lineColor(4), QColor(0, 0, 255));
    EXPECT_EQ(g.pointColor(3), QColor(255, 255, 0));
    EXPECT_EQ(g.axisTickColor(2), QColor(0, 128, 0));
    EXPECT_EQ(g.axisTickColor(4), QColor(128, 128, 0));
}

TEST(GraphDataPicture, DrawsTheAreaAndTheVisibleCurves)
{
    GraphData g;
    for (int i = 0; i <= 10; ++i)
        g.appendPoint(1, i, 5);
    QImage img = GraphPainter::render(g, QSize(800, 500));
    if (qEnvironmentVariableIsSet("QEL_SAVE_PICTURE"))
        img.save(qEnvironmentVariable("QEL_SAVE_PICTURE"));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(800, 500));
    // Mid-height of the plot area, where the flat curve runs: green pixels.
    auto greenInRow = [](const QImage &im, int y) {
        int n = 0;
        for (int x = 140; x < 660; ++x) {
            const QColor c = im.pixelColor(x, y);
            if (c.green() > 120 && c.red() < 80 && c.blue() < 80)
                ++n;
        }
        return n;
    };
    int best = 0;
    for (int y = 200; y < 300; ++y)
        best = std::max(best, greenInRow(img, y));
    EXPECT_GT(best, 300);
    g.setPlotVisible(1, false);
    img = GraphPainter::render(g, QSize(800, 500));
    best = 0;
    for (int y = 200; y < 300; ++y)
        best = std::max(best, greenInRow(img, y));
    EXPECT_EQ(best, 0);
    g.setPlotAreaColor(Qt::white);
    img = GraphPainter::render(g, QSize(800, 500));
    EXPECT_EQ(img.pixelColor(400, 100), QColor(Qt::white));
}
