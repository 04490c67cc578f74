// qel-cli run of a ten-step procedure against the zero-time simulated meter.
// Goal: the program's own overhead under 1 ms a step.
//
//   Passes/N      wall and CPU time of `qel-cli run --loops N` less those of
//                 `--loops 1`, per step: start-up and the identification wait
//                 drop out, the pty and the simulator stay in (an upper bound)
//   ProgramOnly/N the same run with the simulator logging: per step, the time
//                 from a reply leaving the simulator to the next command
//                 reaching it, i.e. qel-cli alone plus the pty transit; the
//                 simulator's own time per step is reported beside it

#include "CliHarness.h"
#include "MeterSim.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

const QStringList Component{QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05")};

// Ten steps as an operator writes them: capacitance and D at five
// frequencies, then impedance and angle at the same five.
QByteArray tenSteps()
{
    const QStringList freqs{QStringLiteral("100Hz"), QStringLiteral("120Hz"), QStringLiteral("1KHz"), QStringLiteral("10KHz"),
        QStringLiteral("100KHz")};
    QList<TestStep> steps;
    for (int i = 0; i < 10; ++i) {
        TestStep s;
        s.freq = freqs[i % 5];
        if (i < 5) {
            s.fStd.clear(); // read, not judged: the reading changes with frequency
            s.fLow.clear();
            s.fHigh.clear();
            s.sItem = QStringLiteral("D");
            s.sUnit = QStringLiteral("D");
        } else {
            s.fItem = QStringLiteral("Z");
            s.fStd.clear();
            s.fLow.clear();
            s.fHigh.clear();
            s.fUnit = QStringLiteral("O");
            s.sItem = QStringLiteral("Angle");
            s.sUnit = QString(QChar(0x00B0));
            s.circuit.clear();
        }
        steps << s;
    }
    return procedureOf(steps);
}

double childCpuSeconds()
{
    rusage r{};
    getrusage(RUSAGE_CHILDREN, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

struct Timed
{
    bool ok = false;
    double wall = 0;
    double cpu = 0;
    QString error;
};

// One qel-cli run; checks it printed a header and one row per pass.
Timed timedRun(const QString &pro, const QString &device, int loops)
{
    Timed t;
    const double cpu0 = childCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    const CliResult r = runCli({QStringLiteral("run"), pro, QStringLiteral("--port"), device, QStringLiteral("--loops"),
                                   QString::number(loops)},
        600000);
    t.wall = double(clock.nsecsElapsed()) / 1e9;
    t.cpu = childCpuSeconds() - cpu0;
    t.ok = r.finished && r.exitCode == 0 && r.outLines().size() == loops + 1;
    if (!t.ok)
        t.error = QString::fromStdString(r.describe()).left(500);
    return t;
}

// Starts the simulator without a log, as a meter on the bench would be.
class QuietSim
{
public:
    QuietSim()
    {
        m_process.start(MeterSim::program(), Component + QStringList{QStringLiteral("--zero-time")});
        if (m_process.waitForStarted(10000) && m_process.waitForReadyRead(10000))
            m_device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    ~QuietSim()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(3000);
    }
    QString device() const { return m_device; }

private:
    QProcess m_process;
    QString m_device;
};

void Passes(benchmark::State &state)
{
    const int loops = int(state.range(0));
    QTemporaryDir dir;
    const QString pro = dir.path() + QStringLiteral("/ten.pro");
    writeBytes(pro, tenSteps());
    QuietSim sim;
    if (sim.device().isEmpty()) {
        state.SkipWithError("qel-meter-sim did not start");
        return;
    }
    double perStepWall = 0, perStepCpu = 0, startWall = 0;
    for (auto _ : state) {
        const Timed one = timedRun(pro, sim.device(), 1);
        const Timed many = timedRun(pro, sim.device(), loops);
        if (!one.ok || !many.ok) {
            state.SkipWithError((one.ok ? many.error : one.error).toStdString().c_str());
            return;
        }
        const double steps = 10.0 * (loops - 1);
        perStepWall = (many.wall - one.wall) / steps;
        perStepCpu = (many.cpu - one.cpu) / steps;
        startWall = one.wall;
        state.SetIterationTime(many.wall);
    }
    state.counters["us_per_step"] = perStepWall * 1e6;
    state.counters["cpu_us_per_step"] = perStepCpu * 1e6;
    state.counters["startup_s"] = startWall;
    state.counters["steps"] = 10.0 * loops;
}

void ProgramOnly(benchmark::State &state)
{
    const int loops = int(state.range(0));
    QTemporaryDir dir;
    const QString pro = dir.path() + QStringLiteral("/ten.pro");
    writeBytes(pro, tenSteps());
    double programPerStep = 0, simPerStep = 0;
    for (auto _ : state) {
        MeterSim sim(Component);
        if (!sim.isRunning()) {
            state.SkipWithError("qel-meter-sim did not start");
            return;
        }
        const Timed run = timedRun(pro, sim.devicePath(), loops);
        if (!run.ok) {
            state.SkipWithError(run.error.toStdString().c_str());
            return;
        }
        state.SetIterationTime(run.wall);
        // After the identification: reply sent -> next command received is
        // the program's time; trigger received -> reply sent the simulator's.
        const QList<MeterSim::Entry> log = sim.entries();
        double program = 0, meter = 0, lastReply = -1, lastTrigger = -1;
        int triggers = 0;
        for (const MeterSim::Entry &e : log) {
            if (e.kind == '>' && e.bytes == "MEAS:TRIG") {
                lastTrigger = e.time;
                ++triggers;
            }
            if (e.kind == '>' && lastReply >= 0) {
                program += e.time - lastReply;
                lastReply = -1;
            }
            if (e.kind == '<' && lastTrigger >= 0) {
                meter += e.time - lastTrigger;
                lastTrigger = -1;
                lastReply = e.time;
            }
        }
        if (triggers != 10 * loops) {
            state.SkipWithError("the simulator did not see every trigger");
            return;
        }
        programPerStep = program / triggers;
        simPerStep = meter / triggers;
    }
    state.counters["program_us_per_step"] = programPerStep * 1e6;
    state.counters["sim_us_per_step"] = simPerStep * 1e6;
}

} // namespace

BENCHMARK(Passes)->Arg(1000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ProgramOnly)->Arg(1000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
