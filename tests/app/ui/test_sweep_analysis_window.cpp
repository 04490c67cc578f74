// The Sweep Analysis window in the desktop program: opened from the Results
// menu, a log sweep drawn on the Plotter View and followed by the window,
// log axes, markers clicked, dragged and found, the fit with its curve, a
// mask with a failing point and a refused one, the CSV, and the print of
// the graph on its log axes.

#include "DesktopRig.h"
#include "../../support/TickClearance.h"

#include "analysis/ui/SweepAnalysisWindow.h"
#include "analysis/ui/SweepChartView.h"
#include "components/ui/PictureButton.h"
#include "plotter/PlotterState.h"
#include "plotter/ui/PlotterView.h"
#include "reports/ui/ReportPrinting.h"

#include <QChart>
#include <QCheckBox>
#include <QLabel>
#include <QCategoryAxis>
#include <QMenu>
#include <QMouseEvent>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QScatterSeries>
#include <QXYSeries>

#include <cmath>

namespace {

class SweepAnalysisDesktop : public DesktopRig
{
protected:
    SweepAnalysisWindow *openWindow()
    {
        QMenu *results = mainWindow()->resultsMenu();
        EXPECT_TRUE(results->menuAction()->isVisible());
        for (QAction *a : results->actions())
            if (a->text() == QLatin1String("Sweep Analysis..."))
                a->trigger();
        return mainWindow()->findChild<SweepAnalysisWindow *>();
    }

    void mouse(QWidget *w, QEvent::Type type, QPointF at)
    {
        QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton,
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
};

} // namespace

TEST_F(SweepAnalysisDesktop, LogSweepMarkersFitAndMaskInTheirOwnWindow)
{
    ASSERT_TRUE(startMeter({QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05,esl=10n"),
        QStringLiteral("--engineering")}))
        << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp());
    SweepAnalysisWindow *w = openWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());

    // Log steps chosen in the window; the sweep itself on the Plotter View.
    for (QCheckBox *b : w->findChildren<QCheckBox *>())
        if (b->text().startsWith(QLatin1String("Log steps")))
            b->setChecked(true);
    PlotterState *p = app->plotter();
    EXPECT_TRUE(p->setup().logSpacing);
    p->selectText(PlotterState::FirstItem, QStringLiteral("Z"));
    p->selectText(PlotterState::SecondItem, QStringLiteral("Angle"));
    p->editText(PlotterState::Start, QStringLiteral("1000"));
    p->editText(PlotterState::End, QStringLiteral("20000000"));
    p->editText(PlotterState::Points, QStringLiteral("81"));
    GuiDriver::click(app->plotterView()->drawButton());
    ASSERT_TRUE(Desktop::waitUntil([&] { return p->drawEnabled() && p->table().tableRowCount() == 81; }, 20000));
    ASSERT_TRUE(Desktop::waitUntil([&] { return w->analysis().lines().size() == 2 && w->analysis().lines()[0].points.size() == 81; }));

    w->setLogX(true);
    w->setLogY(false, true);
    QChart *chart = w->chartView()->chart();
    ASSERT_EQ(chart->axes(Qt::Horizontal).size(), 1);
    // Whole decades, each labelled in engineering notation with its unit.
    auto *x = qobject_cast<QCategoryAxis *>(chart->axes(Qt::Horizontal)[0]);
    ASSERT_NE(x, nullptr);
    QStringList xLabels;
    for (const QString &l : x->categoriesLabels())
        if (!l.trimmed().remove(QChar(0x200b)).isEmpty())
            xLabels << l;
    EXPECT_EQ(xLabels, (QStringList{"1 kHz", "10 kHz", "100 kHz", "1 MHz", "10 MHz", "100 MHz"}));
    EXPECT_EQ(x->titleText(), QStringLiteral("Frequency (Hz)"));
    Desktop::settle(50);
    EXPECT_NEAR(w->chartView()->valueAt(chart->plotArea().left()) / 1000, 1, 1e-9);
    EXPECT_NEAR(w->chartView()->valueAt(chart->plotArea().right()) / 1e8, 1, 1e-9);
    // |Z| on its log axis in ohms; the angle's axis in degrees.
    QStringList yLabels[2];
    for (QAbstractAxis *a : chart->axes(Qt::Vertical))
        for (const QString &l : static_cast<QCategoryAxis *>(a)->categoriesLabels())
            if (!l.trimmed().remove(QChar(0x200b)).isEmpty())
                yLabels[a->alignment() == Qt::AlignRight ? 1 : 0] << QString(l).replace(QStringLiteral("&#160;"), QString());
    EXPECT_TRUE(yLabels[0].contains(QStringLiteral("100 m\u03a9")) && yLabels[0].contains(QStringLiteral("1 k\u03a9")))
        << qPrintable(yLabels[0].join(QLatin1Char(' ')));
    EXPECT_TRUE(yLabels[1].contains(QStringLiteral("-50\u00b0")) && yLabels[1].contains(QStringLiteral("50\u00b0")))
        << qPrintable(yLabels[1].join(QLatin1Char(' ')));
    // The angle axis stays linear: its negative values are drawn, not counted.
    EXPECT_TRUE(w->note().isEmpty()) << qPrintable(w->note());

    // The fit, and its curve over the two lines.
    ASSERT_TRUE(w->runFit(CircuitFit::Model::Capacitor));
    const CircuitFit::Result &fit = w->fitResult();
    EXPECT_NEAR(fit.value(QStringLiteral("C")) / 100e-9, 1, 0.01);
    EXPECT_NEAR(fit.value(QStringLiteral("ESL")) / 10e-9, 1, 0.01);
    EXPECT_NEAR(fit.value(QStringLiteral("ESR")) / 0.05, 1, 0.05);
    int curves = 0;
    for (QAbstractSeries *s : chart->series())
        curves += s->name().contains(QLatin1String("fit (capacitor)")) && static_cast<QXYSeries *>(s)->count() > 100;
    EXPECT_EQ(curves, 2);

    // The resonance marker agrees with the fit; the minimum of |Z| is next to it.
    w->placeAutomatic(SweepAnalysis::Automatic::Resonance);
    w->placeAutomatic(SweepAnalysis::Automatic::Minimum);
    ASSERT_EQ(w->analysis().markers().size(), 2);
    EXPECT_NEAR(w->analysis().markers()[0].x / fit.srf, 1, 0.005);
    EXPECT_NEAR(w->analysis().markers()[1].x / fit.srf, 1, 0.1);
    // At resonance |Z| reads the ESR and the angle about 0.
    EXPECT_NEAR(w->analysis().reading(0, 0), 0.05, 0.01); // interpolated across the dip
    EXPECT_NEAR(w->analysis().reading(0, 1), 0, 5);

    // A click adds a marker where it lands; pressing on it and moving drags it.
    Desktop::settle(50);
    SweepChartView *view = w->chartView();
    const QRectF area = chart->plotArea();
    const double at = view->valueAt(area.left() + area.width() * 0.25);
    mouse(view->viewport(), QEvent::MouseButtonPress, QPointF(area.left() + area.width() * 0.25, area.center().y()));
    mouse(view->viewport(), QEvent::MouseButtonRelease, QPointF(area.left() + area.width() * 0.25, area.center().y()));
    ASSERT_EQ(w->analysis().markers().size(), 3);
    EXPECT_NEAR(w->analysis().markers()[2].x / at, 1, 1e-9);
    EXPECT_NEAR(std::log10(at), 4.25, 0.01); // a quarter of 1 kHz .. 100 MHz on the log axis
    const double mx = view->pixelOf(w->analysis().markers()[2].x);
    mouse(view->viewport(), QEvent::MouseButtonPress, QPointF(mx + 2, area.center().y()));
    mouse(view->viewport(), QEvent::MouseMove, QPointF(area.left() + area.width() * 0.5, area.center().y()));
    mouse(view->viewport(), QEvent::MouseButtonRelease, QPointF(area.left() + area.width() * 0.5, area.center().y()));
    ASSERT_EQ(w->analysis().markers().size(), 3);
    EXPECT_NEAR(std::log10(w->analysis().markers()[2].x), 5.5, 0.01);
    // The marker reads |Z| of a 100 nF part at about 316 kHz: 1/(2 pi f C).
    EXPECT_NEAR(w->analysis().reading(2, 0) * 2 * M_PI * w->analysis().markers()[2].x * 100e-9, 1, 0.02);

    // A mask whose lower |Z| limit the resonance dips under; then a
    // crossing one that is refused and leaves the first in place.
    QTemporaryDir dir;
    const QString good = dir.path() + QStringLiteral("/dip.json");
    QFile f(good);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"({"x": "log", "lines": [{"line": 1, "lower": [[1000, 0.06], [20000000, 0.06]]}]})");
    f.close();
    ASSERT_TRUE(w->loadMask(good));
    // Fit, mask limit and failing points in three styles told apart without
    // colour vision too; each Y axis in the colour of its one line.
    QMap<QString, QXYSeries *> byName;
    for (QAbstractSeries *s : chart->series())
        byName.insert(s->name(), static_cast<QXYSeries *>(s));
    ASSERT_TRUE(byName.contains("Z fit (capacitor)") && byName.contains("Z1 lower limit") && byName.contains("failing points"))
        << qPrintable(byName.keys().join(QLatin1Char(',')));
    const QPen fitPen = byName["Z fit (capacitor)"]->pen(), maskPen = byName["Z1 lower limit"]->pen();
    auto *failing = qobject_cast<QScatterSeries *>(byName["failing points"]);
    ASSERT_NE(failing, nullptr);
    EXPECT_EQ(fitPen.style(), Qt::DashLine);
    EXPECT_EQ(maskPen.style(), Qt::DashDotLine);
    EXPECT_EQ(failing->markerShape(), QScatterSeries::MarkerShapeTriangle);
    EXPECT_EQ(byName["Z1"]->pen().style(), Qt::SolidLine);
    const QSet<QRgb> colours{fitPen.color().rgb(), maskPen.color().rgb(), failing->color().rgb(), byName["Z1"]->pen().color().rgb(),
        byName["Angle2"]->pen().color().rgb()};
    EXPECT_EQ(colours.size(), 5);
    for (QAbstractAxis *a : chart->axes(Qt::Vertical))
        EXPECT_EQ(a->labelsColor(), byName[a->alignment() == Qt::AlignLeft ? "Z1" : "Angle2"]->pen().color());
    EXPECT_FALSE(w->analysis().verdict.passed());
    EXPECT_EQ(w->analysis().verdict.judged, 81);
    for (const LimitMask::Failure &fail : w->analysis().verdict.failures) {
        EXPECT_LT(fail.value, 0.06);
        EXPECT_NEAR(fail.x / fit.srf, 1, 0.15);
    }
    const QString crossing = dir.path() + QStringLiteral("/crossing.json");
    QFile c(crossing);
    ASSERT_TRUE(c.open(QIODevice::WriteOnly));
    c.write(R"({"lines": [{"line": 1, "upper": [[1000, 1], [2000, 1]], "lower": [[1000, 2], [2000, 2]]}]})");
    c.close();
    Desktop::ModalAnswer<QMessageBox> ok([](QMessageBox *b) { b->accept(); });
    EXPECT_FALSE(w->loadMask(crossing));
    EXPECT_TRUE(ok.seen());
    EXPECT_TRUE(w->note().contains(crossing)) << qPrintable(w->note());
    EXPECT_FALSE(w->analysis().verdict.passed());
    EXPECT_EQ(w->analysis().mask.limits().size(), 1);

    const QString csv = dir.path() + QStringLiteral("/sweep.csv");
    ASSERT_TRUE(w->exportCsv(csv));
    QFile in(csv);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_EQ(in.readAll().count("\r\n"), 82);

    // The printed graph follows the window's log axes: the angle too on a
    // log axis, so its values at or below 0 are left out and counted, on
    // the page as under the chart. Preview and print go through the
    // session's graph print (its options dialog, then the preview or the
    // print dialog).
    w->setLogY(true, true);
    int nonPositive = 0;
    for (const QPointF &pt : w->analysis().lines()[1].points)
        nonPositive += pt.y() <= 0;
    ASSERT_GT(nonPositive, 0);
    EXPECT_TRUE(w->note().contains(QStringLiteral("%1 value(s) at or below 0").arg(nonPositive))) << qPrintable(w->note());
    ReportPrinting *printing = w->printing();
    EXPECT_EQ(printing, app->printing()); // the session's printer and graph options
    const QString pdf = dir.path() + QStringLiteral("/graph.pdf");
    printing->printer()->setOutputFormat(QPrinter::PdfFormat);
    printing->printer()->setOutputFileName(pdf);
    QStringList seen;
    int previewPages = -1;
    printing->setDialogRunner([&](QDialog *d) {
        seen << QString::fromLatin1(d->metaObject()->className());
        if (auto *preview = d->findChild<QPrintPreviewWidget *>()) {
            preview->updatePreview();
            previewPages = preview->pageCount();
            return int(QDialog::Rejected);
        }
        return int(QDialog::Accepted);
    });
    EXPECT_TRUE(w->previewGraph());
    EXPECT_EQ(previewPages, 1);
    EXPECT_FALSE(QFile::exists(pdf));
    ASSERT_TRUE(w->printGraph());
    EXPECT_EQ(seen, (QStringList{"PrintGraphDialog", "QPrintPreviewDialog", "PrintGraphDialog", "QPrintDialog"}));
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString page = QString::fromUtf8(text.readAllStandardOutput()).replace(QChar(0xfb01), QLatin1String("fi")).simplified();
    for (const char *decade : {"1 kHz", "100 kHz", "10 MHz", "100 MHz"})
        EXPECT_TRUE(page.contains(QLatin1String(decade))) << decade << "\n" << qPrintable(page);
    EXPECT_FALSE(page.contains(QLatin1String("e+0"))) << qPrintable(page);
    // A legend names the lines, the fit curves, the mask limit and the failures.
    for (const char *entry : {"Z1", "Angle2", "Z fit (capacitor)", "Z1 lower limit", "failing points"})
        EXPECT_TRUE(page.contains(QLatin1String(entry))) << entry << "\n" << qPrintable(page);
    EXPECT_TRUE(page.contains(QStringLiteral("%1 point(s) at or below 0 left out of the log axes").arg(nonPositive)))
        << qPrintable(page);
}

TEST_F(SweepAnalysisDesktop, APlainNotationMeterAndANewDrawAreFollowedByMarkersAndFit)
{
    // Without --engineering the meter writes plain notation: -8.99982E+01
    // for the angle, 1.59155E+03 for |Z|.
    ASSERT_TRUE(startMeter({QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05,esl=10n")}))
        << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp());
    SweepAnalysisWindow *w = openWindow();
    ASSERT_NE(w, nullptr);
    PlotterState *p = app->plotter();
    p->selectText(PlotterState::FirstItem, QStringLiteral("Z"));
    p->selectText(PlotterState::SecondItem, QStringLiteral("Angle"));
    p->editText(PlotterState::Start, QStringLiteral("1000"));
    p->editText(PlotterState::End, QStringLiteral("20000000"));
    p->editText(PlotterState::Points, QStringLiteral("41"));
    GuiDriver::click(app->plotterView()->drawButton());
    ASSERT_TRUE(Desktop::waitUntil([&] { return p->drawEnabled() && p->table().tableRowCount() == 41; }, 20000));
    ASSERT_TRUE(Desktop::waitUntil([&] { return w->analysis().lines().size() == 2 && w->analysis().lines()[1].points.size() == 41; }));

    // Every angle is its true value: near -90 degrees at 1 kHz, not -9.
    const double srf = 1.0 / (2 * M_PI * std::sqrt(10e-9 * 100e-9));
    EXPECT_NEAR(w->analysis().lines()[1].points[0].y(), -90, 0.01);
    for (const QPointF &pt : w->analysis().lines()[1].points)
        EXPECT_TRUE(std::fabs(pt.y()) <= 90 && (pt.x() < srf) == (pt.y() < 0)) << pt.x() << " " << pt.y();
    ASSERT_TRUE(w->runFit(CircuitFit::Model::Capacitor)) << qPrintable(w->note());
    EXPECT_NEAR(w->fitResult().value(QStringLiteral("C")) / 100e-9, 1, 0.01);
    EXPECT_NEAR(w->fitResult().value(QStringLiteral("ESL")) / 10e-9, 1, 0.01);
    w->placeAutomatic(SweepAnalysis::Automatic::Resonance);
    ASSERT_EQ(w->analysis().markers().size(), 1);
    EXPECT_NEAR(w->analysis().markers()[0].x / srf, 1, 0.005);
    // The angle's right-hand axis reads -50 and 50 apart: no tick mark
    // runs into a label on either side.
    Desktop::settle(50);
    w->chartView()->grab();
    const TickClearance::Report clear = TickClearance::check(w->chartView()->chart()->scene(), 2.0);
    EXPECT_GE(clear.pairs, 8);
    EXPECT_TRUE(clear.tooClose.isEmpty()) << qPrintable(clear.tooClose.join(QLatin1Char('\n')));
    QLabel *fitLabel = nullptr;
    for (QLabel *l : w->findChildren<QLabel *>())
        if (l->text().contains(QLatin1String("41 used")))
            fitLabel = l;
    ASSERT_NE(fitLabel, nullptr);

    // Log steps for the next Draw: its points are not the list's, so it
    // offers a fresh start instead of writing beside the linear values.
    for (QCheckBox *b : w->findChildren<QCheckBox *>())
        if (b->text().startsWith(QLatin1String("Log steps")))
            b->setChecked(true);
    prompter.answers = {false};
    GuiDriver::click(app->plotterView()->drawButton());
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(prompter.said[0].caption, QStringLiteral("Sweep points changed"));
    EXPECT_EQ(p->table().columnCount(), 4);
    EXPECT_EQ(p->setup().nextLine, 3);

    // Stop / Reset empties the list: no fit, no marker of the old sweep.
    GuiDriver::click(app->plotterView()->stopResetButton());
    ASSERT_TRUE(Desktop::waitUntil([&] { return w->analysis().lines().isEmpty(); }));
    EXPECT_TRUE(w->analysis().markers().isEmpty());
    EXPECT_FALSE(w->hasFit());
    EXPECT_FALSE(fitLabel->text().contains(QLatin1String("used"))) << qPrintable(fitLabel->text());

    // A new sweep of 61 log points: the resonance marker and the fit are
    // found again in it.
    p->editText(PlotterState::Points, QStringLiteral("61"));
    GuiDriver::click(app->plotterView()->drawButton());
    ASSERT_TRUE(Desktop::waitUntil([&] { return p->drawEnabled() && p->table().tableRowCount() == 61; }, 20000));
    ASSERT_TRUE(Desktop::waitUntil([&] { return w->analysis().lines().size() == 2 && w->analysis().lines()[1].points.size() == 61; }));
    Desktop::settle(150);
    const QVector<QPointF> &z = w->analysis().lines()[0].points;
    EXPECT_NEAR(z[2].x() / z[1].x(), z[1].x() / z[0].x(), 1e-4);
    ASSERT_EQ(w->analysis().markers().size(), 1);
    EXPECT_EQ(w->analysis().markers()[0].name, QStringLiteral("resonance"));
    EXPECT_NEAR(w->analysis().markers()[0].x / srf, 1, 0.005);
    ASSERT_TRUE(w->hasFit());
    EXPECT_EQ(w->fitResult().points, 61);
    EXPECT_TRUE(fitLabel->text().contains(QLatin1String("61 used"))) << qPrintable(fitLabel->text());
    EXPECT_NEAR(w->fitResult().value(QStringLiteral("C")) / 100e-9, 1, 0.01);
}

TEST_F(SweepAnalysisDesktop, TheFirstDrawAfterAProcedureFileDrawsLineOne)
{
    // Reading a procedure file gives the Plotter View no lines: its first
    // Draw draws line 1; a plot file's lines are offered for a reset first.
    ASSERT_TRUE(startMeter());
    ASSERT_TRUE(startApp(example(QStringLiteral("capacitor.pro"))));
    ASSERT_TRUE(waitConnected());
    trigger(MainWindow::ViewPlotter);
    PlotterState *p = app->plotter();
    p->editText(PlotterState::Points, QStringLiteral("3"));
    GuiDriver::click(app->plotterView()->drawButton());
    EXPECT_TRUE(prompter.said.isEmpty()) << qPrintable(prompter.texts().join(QLatin1Char('\n')));
    ASSERT_TRUE(Desktop::waitUntil([&] { return p->drawEnabled() && p->table().tableRowCount() == 3; }, 20000));
    EXPECT_EQ(p->setup().firstItemLine, 1);

    ASSERT_TRUE(app->openFile(example(QStringLiteral("sweep.pic"))));
    ASSERT_TRUE(waitConnected());
    ASSERT_GT(p->table().tableRowCount(), 0);
    prompter.answers = {false};
    GuiDriver::click(app->plotterView()->drawButton());
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(prompter.said[0].caption, QStringLiteral("Filled exception"));
}
