// The bridge's cost per measurement, side by side in one run, against the
// simulated scpi-lcr meter answering at once over TCP:
//
//   Direct   MeterMeasurement::measure() to measured(), as qel-cli run's
//            link measures
//   Bridge   a script's "FETC?" over a socket to its reply line, through
//            BridgeServer, BridgeInstrument and LinkedMeter to the same link
//
// Counter us_per_measurement; goal: Bridge no more than Direct + 0.5 ms.

#include "MeterSim.h"

#include "bridge/BridgeInstrument.h"
#include "bridge/BridgeServer.h"
#include "bridge/LinkedMeter.h"
#include "common/Prompter.h"
#include "meter/InstrumentLink.h"
#include "meter/MeterConnector.h"
#include "meter/MeterMeasurement.h"
#include "meter/MeterProfile.h"
#include "meter/SettingsCache.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

struct Meter
{
    MeterSim sim{{"--component", "C=100n,esr=0.05", "--profile", "scpi-lcr", "--tcp", "0"}};
    SilentPrompter prompter;
    InstrumentLink link{&prompter};
    SettingsCache cache;
    MeterConnector connector{link};

    bool connect()
    {
        static const MeterProfiles profiles({QStringLiteral(QEL_SOURCE_DIR "/resources/meters")});
        if (!sim.isRunning())
            return false;
        link.settings().devicePath = sim.devicePath();
        link.setProfile(*profiles.find(QStringLiteral("scpi-lcr")));
        connector.setIdentificationDelay(2000);
        if (!connector.connectToMeter())
            return false;
        QEventLoop loop;
        QObject::connect(&connector, &MeterConnector::identificationFinished, &loop, &QEventLoop::quit);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        if (connector.isIdentifying())
            loop.exec();
        return link.isConnected();
    }
};

void Direct(benchmark::State &state)
{
    Meter meter;
    if (!meter.connect()) {
        state.SkipWithError("no meter");
        return;
    }
    MeterMeasurement measurement(meter.link, meter.cache);
    MeasureSettings settings;
    settings.firstItem = QStringLiteral("C");
    settings.secondItem = QStringLiteral("D");
    settings.circuit = QStringLiteral("PAR");
    const int n = int(state.range(0));
    QEventLoop loop;
    int left = 0;
    QObject::connect(&measurement, &MeterMeasurement::measured, &loop, [&] {
        if (--left > 0)
            measurement.measure(settings);
        else
            loop.quit();
    });
    QObject::connect(&measurement, &MeterMeasurement::failed, &loop, [&] { loop.exit(1); });
    for (auto _ : state) {
        left = n;
        const auto t0 = Clock::now();
        measurement.measure(settings);
        if (loop.exec() != 0) {
            state.SkipWithError("measurement failed");
            return;
        }
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(s);
        state.counters["us_per_measurement"] = s * 1e6 / n;
    }
}

void Bridge(benchmark::State &state)
{
    Meter meter;
    if (!meter.connect()) {
        state.SkipWithError("no meter");
        return;
    }
    LinkedMeter linked(meter.link, meter.cache, QStringLiteral("bench"));
    BridgeInstrument instrument(linked, QStringLiteral("bench"));
    BridgeServer server(instrument);
    QString error;
    if (!server.listen(QHostAddress::LocalHost, 0, &error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.port());
    if (!client.waitForConnected(5000)) {
        state.SkipWithError("no connection to the bridge");
        return;
    }
    client.write(":FUNC:IMP CPD\n");
    const int n = int(state.range(0));
    QEventLoop loop;
    int left = 0;
    QObject::connect(&client, &QTcpSocket::readyRead, &loop, [&] {
        while (client.canReadLine()) {
            client.readLine();
            if (--left > 0)
                client.write("FETC?\n");
            else
                loop.quit();
        }
    });
    QObject::connect(&client, &QTcpSocket::disconnected, &loop, [&] { loop.exit(1); });
    for (auto _ : state) {
        left = n;
        const auto t0 = Clock::now();
        client.write("FETC?\n");
        if (loop.exec() != 0) {
            state.SkipWithError("the bridge closed the connection");
            return;
        }
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(s);
        state.counters["us_per_measurement"] = s * 1e6 / n;
    }
}

} // namespace

BENCHMARK(Direct)->Arg(200)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(Bridge)->Arg(200)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
