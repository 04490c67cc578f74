// Sweep analysis costs (goals: a 201-point fit under 50 ms; a marker
// update while dragging under 5 ms):
//
//   Fit/<model>        the fit of 201 log-spaced points of a simulated part
//                      (readings rounded to six digits as the meter prints).
//   MarkerCore         moving one of four markers and reading four lines of
//                      201 points at all four (what the table shows).
//   MarkerWindow       the same through the Sweep Analysis window, offscreen:
//                      the marker table refilled and the chart repainted.
//
// bench_analysis --show PLOT.pic [--mask MASK.json] [--seconds N] instead
// shows the window over a plot file's first draw: log-log axes, the
// capacitor fit with its curve, the resonance and minimum markers and one
// more, and the mask if given (for screenshots).

#include "analysis/CircuitFit.h"
#include "analysis/SweepAnalysis.h"
#include "analysis/ui/SweepAnalysisWindow.h"
#include "document/DocumentData.h"
#include "document/DocumentLayouts.h"
#include "plotter/PlotterState.h"

#include <QApplication>
#include <QFile>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>

namespace {

using cd = std::complex<double>;
const double Pi = 3.14159265358979323846;

double round6(double v)
{
    return std::stod(QString::number(v, 'g', 6).toStdString());
}

QVector<CircuitFit::Point> points(CircuitFit::Model model)
{
    QVector<CircuitFit::Point> out;
    for (int i = 0; i < 201; ++i) {
        const double f = 100 * std::pow(4e5, i / 200.0);
        const double w = 2 * Pi * f;
        cd z;
        if (model == CircuitFit::Model::Capacitor)
            z = cd(0.05, w * 10e-9 - 1 / (w * 100e-9));
        else if (model == CircuitFit::Model::Inductor)
            z = 1.0 / (1.0 / cd(0.5, w * 10e-6) + cd(0, w * 10e-12));
        else
            z = 1.0 / (1.0 / cd(100, w * 1e-6) + cd(0, w * 20e-12));
        z = std::polar(round6(std::abs(z)), round6(std::arg(z) * 180 / Pi) * Pi / 180);
        out << CircuitFit::Point{f, z, 1e-5};
    }
    return out;
}

void Fit(benchmark::State &state)
{
    const auto model = CircuitFit::Model(state.range(0));
    const QVector<CircuitFit::Point> pts = points(model);
    for (auto _ : state) {
        const CircuitFit::Result r = CircuitFit::fit(model, pts);
        if (!r.ok)
            state.SkipWithError(r.refusal.toStdString().c_str());
        benchmark::DoNotOptimize(r.srf);
    }
    state.SetLabel(CircuitFit::modelName(model).toStdString());
}
BENCHMARK(Fit)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// A two-draw Z/Angle sweep of 201 points in a plotter's result list.
void fillPlotter(PlotterState &plotter)
{
    plotter.selectText(PlotterState::FirstItem, QStringLiteral("Z"));
    plotter.selectText(PlotterState::SecondItem, QStringLiteral("Angle"));
    QStringList rows;
    for (const CircuitFit::Point &p : points(CircuitFit::Model::Capacitor)) {
        const QString z = QString::number(std::abs(p.z), 'f', 6) + QStringLiteral("O");
        const QString a = QString::number(std::arg(p.z) * 180 / Pi, 'f', 4) + QStringLiteral("\u00b0");
        rows << QString::number(p.frequency, 'f', 6) + QStringLiteral("Hz\n") + z + QLatin1Char('\n') + a + QLatin1Char('\n') + z
                + QLatin1Char('\n') + a + QLatin1Char('\n');
    }
    plotter.restoreFromDocument(rows, 5, QStringLiteral("Z"), QStringLiteral("Angle"));
}

void MarkerCore(benchmark::State &state)
{
    PlotterState plotter;
    fillPlotter(plotter);
    SweepAnalysis a;
    a.setData(SweepColumns::fromTable(plotter.table()), true);
    a.logX = true;
    for (double x : {1e3, 1e4, 1e5, 1e6})
        a.addMarker(x);
    double x = 200;
    for (auto _ : state) {
        x = x > 3e7 ? 200 : x * 1.01;
        a.moveMarker(1, x);
        double sum = 0;
        for (int m = 0; m < a.markers().size(); ++m)
            for (int l = 0; l < a.lines().size(); ++l)
                sum += a.reading(m, l);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(MarkerCore)->Unit(benchmark::kMicrosecond);

void MarkerWindow(benchmark::State &state)
{
    PlotterState plotter;
    fillPlotter(plotter);
    SweepAnalysisWindow w(&plotter);
    w.show();
    w.setLogX(true);
    for (double x : {1e3, 1e4, 1e5, 1e6})
        w.addMarkerAt(x);
    QApplication::processEvents();
    double x = 200;
    for (auto _ : state) {
        x = x > 3e7 ? 200 : x * 1.01;
        w.dragMarker(1, x);
        // The repaint the move asked for, as the event loop does it.
        QApplication::processEvents();
    }
}
BENCHMARK(MarkerWindow)->Unit(benchmark::kMicrosecond);

} // namespace

int show(const QString &pic, const QString &mask, int seconds)
{
    QFile f(pic);
    if (!f.open(QIODevice::ReadOnly))
        return 2;
    DocumentData data;
    DocumentLayouts::read(DocumentNames::FileType::Plot, f.readAll(), data);
    PlotterState plotter;
    plotter.restoreFromDocument(data.plotRows, data.plotColumnCount, data.plotFirstItem, data.plotSecondItem);
    SweepAnalysisWindow w(&plotter);
    w.show();
    w.setLogX(true);
    w.setLogY(false, true);
    w.runFit(CircuitFit::Model::Capacitor);
    w.placeAutomatic(SweepAnalysis::Automatic::Resonance);
    w.placeAutomatic(SweepAnalysis::Automatic::Minimum);
    w.addMarkerAt(1e4);
    if (!mask.isEmpty())
        w.loadMask(mask);
    QTimer::singleShot(seconds * 1000, qApp, &QApplication::quit);
    return QApplication::exec();
}

int main(int argc, char **argv)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--show") {
            QApplication app(argc, argv);
            QString mask;
            int seconds = 5;
            for (int k = 1; k + 1 < argc; ++k) {
                if (std::string(argv[k]) == "--mask")
                    mask = QString::fromLocal8Bit(argv[k + 1]);
                if (std::string(argv[k]) == "--seconds")
                    seconds = std::atoi(argv[k + 1]);
            }
            return show(QString::fromLocal8Bit(argv[i + 1]), mask, seconds);
        }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
