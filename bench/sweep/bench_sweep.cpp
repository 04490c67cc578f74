// Sweeps against the simulated meter in zero-time mode, with the Plotter
// View shown (offscreen unless a platform is chosen):
//
//   Sweep200Points   one 200-point sweep per iteration through the real link,
//                    sequencer, plot table and on-screen graph. cpu_us_per_point
//                    is this process's own work per point (goal: under 2 ms);
//                    wall_us_per_point adds the simulator and the pty.
//   GraphAppend      appending N points to the visible Graph and drawing them
//                    once: the cost per point stays flat as N grows.
//   HeadlessAppend   the same into GraphData alone.
//
// bench_sweep --show SECONDS [--png FILE] [--result] instead runs a demo: a 100 nF
// capacitor with 10 nH of lead inductance swept through its self-resonance
// (Z and Angle, 3 to 8 MHz), shown in a window for SECONDS.

#include "MeterSim.h"

#include "common/Prompter.h"
#include "components/ui/Graph.h"
#include "meter/InstrumentLink.h"
#include "meter/MeterConnector.h"
#include "meter/SettingsCache.h"
#include "measurement/SweepSequencer.h"
#include "plotter/PlotterCommands.h"
#include "plotter/PlotterState.h"
#include "plotter/ui/PlotterView.h"

#include <QApplication>
#include <QEventLoop>
#include <QTabBar>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <memory>

namespace {

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

struct Rig
{
    explicit Rig(const QStringList &component) : sim(QStringList{QStringLiteral("--component")} + component)
    {
        commands.setRunner(&sequencer);
        page = std::make_unique<PlotterView>(&plotter, &commands);
        QObject::connect(page.get(), &PlotterView::drawClicked, [this] { commands.draw(); });
        QObject::connect(page.get(), &PlotterView::stopResetClicked, [this] { commands.stopReset(); });
        page->resize(1280, 760);
        page->show();
    }

    bool connectMeter()
    {
        if (!sim.isRunning())
            return false;
        link.settings().devicePath = sim.devicePath();
        connector.setIdentificationDelay(50);
        if (!connector.connectToMeter())
            return false;
        return MeterSim::waitUntil([this] { return !connector.isIdentifying(); }, 5000) && link.isConnected();
    }

    bool sweep()
    {
        commands.stopReset();
        commands.draw();
        if (!sequencer.isRunning())
            return false;
        QEventLoop loop;
        QObject::connect(&sequencer, &SweepSequencer::finished, &loop, &QEventLoop::quit);
        QObject::connect(&sequencer, &SweepSequencer::interrupted, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        loop.exec();
        return !sequencer.isRunning() && plotter.table().tableRowCount() == plotter.setup().points;
    }

    MeterSim sim;
    SilentPrompter prompter;
    InstrumentLink link{&prompter};
    MeterConnector connector{link};
    SettingsCache cache;
    PlotterState plotter;
    PlotterCommands commands{plotter, prompter};
    SweepSequencer sequencer{link, cache, plotter};
    std::unique_ptr<PlotterView> page;
};

void Sweep200Points(benchmark::State &state)
{
    Rig rig({QStringLiteral("C=100n,esr=0.05,esl=10n")});
    if (!rig.connectMeter()) {
        state.SkipWithError("qel-meter-sim did not start or answer");
        return;
    }
    rig.plotter.editText(PlotterState::Start, QStringLiteral("100"));
    rig.plotter.editText(PlotterState::End, QStringLiteral("10000"));
    rig.plotter.selectText(PlotterState::SweepUnit, QStringLiteral("KHz"));
    rig.plotter.editText(PlotterState::Points, QStringLiteral("200"));
    rig.plotter.selectText(PlotterState::SecondItem, QStringLiteral("D"));
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        const double c0 = processCpuSeconds();
        const auto w0 = std::chrono::steady_clock::now();
        if (!rig.sweep()) {
            state.SkipWithError("the sweep did not finish");
            return;
        }
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
        cpu += processCpuSeconds() - c0;
    }
    const double points = double(state.iterations()) * 200.0;
    state.counters["cpu_us_per_point"] = cpu / points * 1e6;
    state.counters["wall_us_per_point"] = wall / points * 1e6;
}
BENCHMARK(Sweep200Points)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

void GraphAppend(benchmark::State &state)
{
    Graph graph;
    graph.resize(800, 500);
    graph.show();
    const int n = int(state.range(0));
    for (auto _ : state) {
        graph.clearPlots();
        for (int i = 0; i < n; ++i)
            graph.appendPoint(1 + i % 4, i, (i % 97) * 1.5);
        graph.flush();
        QCoreApplication::processEvents();
    }
    state.SetComplexityN(n);
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(GraphAppend)->RangeMultiplier(4)->Range(200, 12800)->Complexity(benchmark::oN)->Unit(benchmark::kMicrosecond);

void HeadlessAppend(benchmark::State &state)
{
    GraphData graph;
    const int n = int(state.range(0));
    for (auto _ : state) {
        graph.clearPlots();
        for (int i = 0; i < n; ++i)
            graph.appendPoint(1 + i % 4, i, (i % 97) * 1.5);
        benchmark::DoNotOptimize(graph.axisMaximum(2));
    }
    state.SetComplexityN(n);
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(HeadlessAppend)->RangeMultiplier(4)->Range(200, 12800)->Complexity(benchmark::oN);

int showDemo(int seconds, const QString &png, bool resultTab)
{
    Rig rig({QStringLiteral("C=100n,esr=0.05,esl=10n")});
    if (!rig.connectMeter()) {
        std::fprintf(stderr, "bench_sweep: the simulated meter did not answer: %s\n", qPrintable(rig.sim.errorText()));
        return 1;
    }
    rig.page->setWindowTitle(QStringLiteral("Qel - Plotter View"));
    PlotterState &p = rig.plotter;
    p.selectText(PlotterState::FirstItem, QStringLiteral("Z"));
    p.selectText(PlotterState::SecondItem, QStringLiteral("Angle"));
    p.editText(PlotterState::Start, QStringLiteral("3000"));
    p.editText(PlotterState::End, QStringLiteral("8000"));
    p.selectText(PlotterState::SweepUnit, QStringLiteral("KHz"));
    p.editText(PlotterState::Points, QStringLiteral("101"));
    p.editText(PlotterState::FixedLevel, QStringLiteral("1"));
    p.selectText(PlotterState::FixedLevelUnit, QStringLiteral("V"));
    if (!rig.sweep()) {
        std::fprintf(stderr, "bench_sweep: the sweep did not finish\n");
        return 1;
    }
    rig.page->graph()->flush();
    if (resultTab)
        rig.page->tabs()->setCurrentIndex(1);
    QCoreApplication::processEvents();
    if (!png.isEmpty())
        rig.page->grab().save(png);
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(qel);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--show") == 0) {
            const int seconds = i + 1 < argc ? std::atoi(argv[i + 1]) : 0;
            QString png;
            for (int j = i; j + 1 < argc; ++j)
                if (std::strcmp(argv[j], "--png") == 0)
                    png = QString::fromLocal8Bit(argv[j + 1]);
            bool resultTab = false;
            for (int j = i; j < argc; ++j)
                resultTab = resultTab || std::strcmp(argv[j], "--result") == 0;
            return showDemo(seconds, png, resultTab);
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
