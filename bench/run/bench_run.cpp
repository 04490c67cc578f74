// Throughput of procedure runs: measurements per second, whole runs timed
// from start() to finished() with the real sequencer, link and models.
//
//   NoDevice      a transport that answers inside write(): the program's own
//                 work per step, with no pty or meter at all
//   ZeroTime      the simulated meter answering at once over a pty; the
//                 per-step time bounds the program's overhead from above
//                 (goal: under 1 ms a step)
//   Paced9600     the simulator pacing every byte at 9600 baud (8N1, 10 bits
//                 a byte): line_share = the time the line itself needs for
//                 the bytes exchanged / the time the run took (goal >= 0.95)
// Arguments: steps per procedure, loop count; Changing = every step differs
// from the last in all six settings, so every step sends them all.

#include "MeterSim.h"

#include "common/Prompter.h"
#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "meter/InstrumentLink.h"
#include "meter/MeterConnector.h"
#include "measurement/MeasurementSequencer.h"
#include "meter/SerialTransport.h"
#include "meter/SettingsCache.h"
#include "procedure/ProcedureModel.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <chrono>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

ProcedureStep benchStep(int index, bool changing)
{
    const bool odd = changing && (index % 2 == 1);
    ProcedureStep s;
    s[ProcedureStep::Step] = QString::number(index + 1);
    s[ProcedureStep::FItem] = odd ? QStringLiteral("L") : QStringLiteral("C");
    s[ProcedureStep::FStd] = QStringLiteral("100");
    s[ProcedureStep::FLow] = QStringLiteral("-5%");
    s[ProcedureStep::FHigh] = QStringLiteral("+5%");
    s[ProcedureStep::FUnit] = odd ? QStringLiteral("uH") : QStringLiteral("nF");
    s[ProcedureStep::SItem] = odd ? QStringLiteral("Q") : QStringLiteral("D");
    s[ProcedureStep::SStd] = QStringLiteral("0.01");
    s[ProcedureStep::SLow] = QStringLiteral("-5%");
    s[ProcedureStep::SHigh] = QStringLiteral("+5%");
    s[ProcedureStep::SUnit] = odd ? QStringLiteral("Q") : QStringLiteral("D");
    s[ProcedureStep::Freq] = odd ? QStringLiteral("10KHz") : QStringLiteral("1KHz");
    s[ProcedureStep::Level] = odd ? QStringLiteral("500mV") : QStringLiteral("1V");
    s[ProcedureStep::Circuit] = odd ? QStringLiteral("PAR") : QStringLiteral("SER");
    s[ProcedureStep::Speed] = odd ? QStringLiteral("FAST") : QStringLiteral("MED");
    s[ProcedureStep::Type] = QStringLiteral("%");
    s[ProcedureStep::Delay] = QStringLiteral("0");
    return s;
}

// Answers every trigger inside write(), as a meter with no line between.
class EchoTransport : public SerialTransport
{
public:
    bool open(const SerialOpenRequest &) override { return m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    bool write(const QByteArray &bytes) override
    {
        if (bytes == "*IDN?\n")
            m_pending += QByteArrayLiteral("QEL,4400,0,1.0\n");
        else if (bytes == "MEAS:TRIG\n")
            m_pending += QByteArrayLiteral("1.00000E-07,1.23456E-04\n");
        else
            return true;
        emit readyRead();
        return true;
    }
    QByteArray readAll() override { return std::exchange(m_pending, QByteArray()); }
    QString errorString() const override { return QString(); }

private:
    bool m_open = false;
    QByteArray m_pending;
};

// Everything a run needs, connected to the given transport (null: a real
// port on devicePath).
struct Runner
{
    Runner(SerialTransport *transport, const QString &devicePath) : link(&prompter, transport)
    {
        link.settings().devicePath = devicePath;
        connector.setIdentificationDelay(300);
    }

    bool connectMeter()
    {
        if (!connector.connectToMeter())
            return false;
        QEventLoop loop;
        QObject::connect(&connector, &MeterConnector::identificationFinished, &loop, &QEventLoop::quit);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        if (connector.isIdentifying())
            loop.exec();
        return link.isConnected();
    }

    void setProcedure(int steps, int loops, bool changing)
    {
        QVector<ProcedureStep> all;
        for (int i = 0; i < steps; ++i)
            all << benchStep(i, changing);
        procedure.setSteps(all);
        results.rebuildColumns(procedure);
        exec.setLoopText(QString::number(loops));
    }

    // One whole run; false when it did not finish.
    bool runOnce()
    {
        QEventLoop loop;
        bool ok = false;
        auto done = QObject::connect(&sequencer, &MeasurementSequencer::finished, &loop, [&] {
            ok = true;
            loop.quit();
        });
        auto broke = QObject::connect(&sequencer, &MeasurementSequencer::interrupted, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        sequencer.start();
        loop.exec();
        QObject::disconnect(done);
        QObject::disconnect(broke);
        return ok;
    }

    SilentPrompter prompter;
    InstrumentLink link;
    MeterConnector connector{link};
    SettingsCache cache;
    ProcedureModel procedure;
    ResultTableModel results;
    ExecutionState exec;
    MeasurementSequencer sequencer{link, cache, procedure, results, exec};
};

void timeRuns(benchmark::State &state, Runner &runner, bool changing)
{
    const int steps = int(state.range(0));
    const int loops = int(state.range(1));
    runner.setProcedure(steps, loops, changing);
    double total = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!runner.runOnce()) {
            state.SkipWithError("the run did not finish");
            return;
        }
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(s);
        total += s;
        state.PauseTiming();
        runner.results.removeAllRows();
        state.ResumeTiming();
    }
    const double measurements = double(steps) * loops * double(state.iterations());
    state.SetItemsProcessed(int64_t(measurements));
    state.counters["us_per_step"] = total / measurements * 1e6;
    state.counters["meas_per_s"] = measurements / total;
}

void NoDevice(benchmark::State &state, bool changing)
{
    EchoTransport transport;
    Runner runner(&transport, QString());
    if (!runner.connectMeter()) {
        state.SkipWithError("no connection");
        return;
    }
    timeRuns(state, runner, changing);
}

void ZeroTime(benchmark::State &state, bool changing)
{
    MeterSim sim({"--component", "C=100n,esr=0.05"});
    if (!sim.isRunning()) {
        state.SkipWithError("qel-meter-sim did not start");
        return;
    }
    Runner runner(nullptr, sim.devicePath());
    if (!runner.connectMeter()) {
        state.SkipWithError("no connection");
        return;
    }
    timeRuns(state, runner, changing);
}

void Paced9600(benchmark::State &state, bool changing)
{
    MeterSim sim({"--component", "C=100n,esr=0.05", "--pace", "--baud", "9600", "--meas-time", "SLOW=0",
                  "--meas-time", "MED=0", "--meas-time", "FAST=0", "--meas-time", "MAX=0"},
                 false);
    if (!sim.isRunning()) {
        state.SkipWithError("qel-meter-sim did not start");
        return;
    }
    Runner runner(nullptr, sim.devicePath());
    if (!runner.connectMeter()) {
        state.SkipWithError("no connection");
        return;
    }
    // Let the log settle, then count only the run's bytes.
    MeterSim::waitUntil([] { return false; }, 100);
    const qsizetype inBefore = sim.receivedBytes().size();
    const qsizetype outBefore = sim.sentBytes().size();
    const int steps = int(state.range(0));
    const int loops = int(state.range(1));
    runner.setProcedure(steps, loops, changing);
    double total = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!runner.runOnce()) {
            state.SkipWithError("the run did not finish");
            return;
        }
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(s);
        total += s;
    }
    // The trailing "*LOC\n" of the last run may still be on the line.
    MeterSim::waitUntil([] { return false; }, 200);
    const double bytes = double(sim.receivedBytes().size() - inBefore + sim.sentBytes().size() - outBefore);
    const double lineSeconds = bytes * 10.0 / 9600.0;
    const double measurements = double(steps) * loops * double(state.iterations());
    state.SetItemsProcessed(int64_t(measurements));
    state.counters["bytes_per_step"] = bytes / measurements;
    state.counters["meas_per_s"] = measurements / total;
    state.counters["line_meas_per_s"] = measurements / lineSeconds;
    state.counters["line_share"] = lineSeconds / total;
}

} // namespace

BENCHMARK_CAPTURE(NoDevice, Identical, false)->Args({10, 100})->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(NoDevice, Changing, true)->Args({10, 100})->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ZeroTime, Identical, false)
    ->Args({10, 20})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK_CAPTURE(ZeroTime, Changing, true)
    ->Args({10, 20})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK_CAPTURE(Paced9600, Identical, false)
    ->Args({5, 4})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(Paced9600, Changing, true)
    ->Args({4, 2})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
