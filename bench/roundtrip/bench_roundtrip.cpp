// Trigger round trip to the simulated meter (zero-time mode) over a
// pseudo-terminal: "MEAS:TRIG\n" out, a 24-byte reply line back.
//
//   RawPty        a bare POSIX client: the kernel's and the simulator's share
//   Link          the program's InstrumentLink and the Qt event loop on top
//   LinkNoDevice  the link's own work with a scripted transport, no pty at all
//   Paced9600     the simulator pacing bytes at the link's 9600 baud: the line's
//                 limit is (10 + 24) bytes x 10 bits / 9600 = 35.4 ms a trigger
// The software's own share per measurement is Link minus RawPty (goal: the
// Link median under 1 ms).

#include "LinkProbe.h"
#include "MeterSim.h"

#include "common/Prompter.h"
#include "meter/InstrumentLink.h"
#include "meter/MeterConnector.h"
#include "meter/SerialTransport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void reportSpread(benchmark::State &state, std::vector<double> &us)
{
    if (us.empty())
        return;
    std::sort(us.begin(), us.end());
    state.counters["median_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
}

void RawPty(benchmark::State &state)
{
    MeterSim sim;
    if (!sim.isRunning()) {
        state.SkipWithError("qel-meter-sim did not start");
        return;
    }
    const int fd = ::open(sim.devicePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    termios t;
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    std::vector<double> us;
    char buf[256];
    for (auto _ : state) {
        const auto start = Clock::now();
        if (::write(fd, "MEAS:TRIG\n", 10) != 10) {
            state.SkipWithError("write failed");
            break;
        }
        size_t got = 0;
        while (got == 0 || buf[got - 1] != '\n') {
            pollfd p {fd, POLLIN, 0};
            if (poll(&p, 1, 2000) <= 0) {
                state.SkipWithError("no reply");
                break;
            }
            const ssize_t n = ::read(fd, buf + got, sizeof buf - got);
            if (n <= 0)
                break;
            got += size_t(n);
        }
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(s);
        us.push_back(s * 1e6);
    }
    ::close(fd);
    reportSpread(state, us);
}

void roundTrips(benchmark::State &state, MeterSim &sim)
{
    if (!sim.isRunning()) {
        state.SkipWithError("qel-meter-sim did not start");
        return;
    }
    SilentPrompter prompter;
    InstrumentLink link(&prompter);
    MeterConnector connector(link);
    link.settings().devicePath = sim.devicePath();
    connector.setIdentificationDelay(50);
    if (!connector.connectToMeter() || !MeterSim::waitUntil([&] { return link.isConnected(); }, 3000)) {
        state.SkipWithError("no identification");
        return;
    }
    QEventLoop loop;
    QObject::connect(&link, &InstrumentLink::received, &loop, [&] {
        if (LinkProbe::latestChunk(link).contains('\n'))
            loop.quit();
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, [&] { loop.exit(1); });
    std::vector<double> us;
    for (auto _ : state) {
        const auto start = Clock::now();
        LinkProbe::clearLatestChunk(link);
        link.writeLine(QByteArrayLiteral("MEAS:TRIG\n"));
        guard.start(2000);
        if (loop.exec() != 0) {
            state.SkipWithError("no reply");
            break;
        }
        const QByteArray line = LinkProbe::takeFirstLine(link);
        benchmark::DoNotOptimize(line.data());
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(s);
        us.push_back(s * 1e6);
    }
    reportSpread(state, us);
}

void Link(benchmark::State &state)
{
    MeterSim sim;
    roundTrips(state, sim);
}

void Paced9600(benchmark::State &state)
{
    MeterSim sim({"--pace", "--meas-time", "MED=0"}, false);
    roundTrips(state, sim);
    state.counters["line_limit_us"] = (10 + 24) * 10 / 9600.0 * 1e6;
}

// Replies at once, inside write(), as a meter with no line in between would.
class EchoTransport : public SerialTransport
{
public:
    bool open(const SerialOpenRequest &) override { return m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    bool write(const QByteArray &) override
    {
        m_pending = QByteArrayLiteral("1.00000E-07,1.23456E-04\n");
        emit readyRead();
        return true;
    }
    QByteArray readAll() override { return std::exchange(m_pending, QByteArray()); }
    QString errorString() const override { return QString(); }

private:
    bool m_open = false;
    QByteArray m_pending;
};

void LinkNoDevice(benchmark::State &state)
{
    SilentPrompter prompter;
    EchoTransport transport;
    InstrumentLink link(&prompter, &transport);
    MeterConnector connector(link);
    connector.connectToMeter();
    LinkProbe::clearReplyBuffer(link);
    for (auto _ : state) {
        LinkProbe::clearLatestChunk(link);
        link.writeLine(QByteArrayLiteral("MEAS:TRIG\n"));
        const QByteArray line = LinkProbe::takeFirstLine(link);
        benchmark::DoNotOptimize(line.data());
    }
}

} // namespace

BENCHMARK(RawPty)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(2000);
BENCHMARK(Link)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(2000);
BENCHMARK(LinkNoDevice)->Unit(benchmark::kNanosecond);
BENCHMARK(Paced9600)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
