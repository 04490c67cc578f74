// Meter profiles and transports, side by side in one run, whole procedure
// runs timed from start() to finished() with the real sequencer and link:
//
//   OwnWork/<profile>   a transport that answers inside write(): the
//                       program's own work per step with that profile
//                       (goal: a profile no more than legacy + 10 %)
//   RoundTrip/<wire>    the simulated scpi-lcr meter answering at once, over
//                       a pseudo-terminal and over TCP on 127.0.0.1 (goal:
//                       TCP no slower a step than the pseudo-terminal)
// Every step differs from the last in all its settings, so every step sends
// them all. Counter us_per_step.

#include "MeterSim.h"

#include "common/Prompter.h"
#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "measurement/MeasurementSequencer.h"
#include "meter/InstrumentLink.h"
#include "meter/MeterConnector.h"
#include "meter/MeterProfile.h"
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

const MeterProfiles &shipped()
{
    static const MeterProfiles profiles({QStringLiteral(QEL_SOURCE_DIR "/resources/meters")});
    return profiles;
}

ProcedureStep benchStep(int index)
{
    const bool odd = index % 2 == 1;
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

// Answers the identification and every trigger inside write(), in the
// profile's reply form, as a meter with no line between.
class EchoTransport : public SerialTransport
{
public:
    explicit EchoTransport(const MeterProfile &profile) : m_profile(profile) {}
    bool open(const SerialOpenRequest &) override { return m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    bool write(const QByteArray &bytes) override
    {
        const QByteArray term = m_profile.terminator;
        if (bytes.startsWith("*IDN?"))
            m_pending += m_profile.isLegacy() ? QByteArrayLiteral("QEL,4400,0,1.0\n") : "QEL,BENCH,0,1.0" + term;
        else if (m_profile.isLegacy() && bytes == "MEAS:TRIG\n")
            m_pending += QByteArrayLiteral("1.00000E-07,1.23456E-04\n");
        else if (!m_profile.isLegacy() && bytes == m_profile.measure.toLatin1() + term)
            m_pending += m_profile.statusField > 0 ? "+1.00000E-07,+1.23456E-04,+0" + term : "+1.00000E-07,+1.23456E-04" + term;
        else
            return true;
        emit readyRead();
        return true;
    }
    QByteArray readAll() override { return std::exchange(m_pending, QByteArray()); }
    QString errorString() const override { return QString(); }

private:
    MeterProfile m_profile;
    bool m_open = false;
    QByteArray m_pending;
};

struct Runner
{
    Runner(SerialTransport *transport, const QString &devicePath, const MeterProfile &profile)
        : link(&prompter, transport)
    {
        link.settings().devicePath = devicePath;
        link.setProfile(profile);
        connector.setIdentificationDelay(2000);
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

void timeRuns(benchmark::State &state, Runner &runner)
{
    const int steps = int(state.range(0));
    const int loops = int(state.range(1));
    QVector<ProcedureStep> all;
    for (int i = 0; i < steps; ++i)
        all << benchStep(i);
    runner.procedure.setSteps(all);
    runner.results.rebuildColumns(runner.procedure);
    runner.exec.setLoopText(QString::number(loops));
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
}

void OwnWork(benchmark::State &state, const char *name)
{
    const MeterProfile *profile = shipped().find(QLatin1String(name));
    if (!profile) {
        state.SkipWithError("no such profile");
        return;
    }
    EchoTransport transport(*profile);
    Runner runner(&transport, QString(), *profile);
    if (!runner.connectMeter()) {
        state.SkipWithError("no connection");
        return;
    }
    timeRuns(state, runner);
}

void RoundTrip(benchmark::State &state, bool tcp)
{
    QStringList args{"--component", "C=100n,esr=0.05", "--profile", "scpi-lcr"};
    if (tcp)
        args << "--tcp" << "0";
    MeterSim sim(args);
    if (!sim.isRunning()) {
        state.SkipWithError("qel-meter-sim did not start");
        return;
    }
    Runner runner(nullptr, sim.devicePath(), *shipped().find(QStringLiteral("scpi-lcr")));
    if (!runner.connectMeter()) {
        state.SkipWithError("no connection");
        return;
    }
    timeRuns(state, runner);
}

} // namespace

BENCHMARK_CAPTURE(OwnWork, legacy, "legacy")->Args({10, 100})->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OwnWork, scpi_lcr, "scpi-lcr")->Args({10, 100})->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OwnWork, scpi_lcr_slots, "scpi-lcr-slots")->Args({10, 100})->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RoundTrip, pty, false)->Args({10, 20})->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(RoundTrip, tcp, true)->Args({10, 20})->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
