// One measurement on whatever meter the link speaks (MeterMeasurement), on
// the simulated meter of each profile, and the USB transport's
// one-read-one-message path with the simulator's pseudo-terminal standing in
// for the device node.

#include "../support/MeterSim.h"
#include "../support/RecordingPrompter.h"

#include "meter/InstrumentLink.h"
#include "meter/MeterConnector.h"
#include "meter/MeterMeasurement.h"
#include "meter/MeterProfile.h"
#include "meter/SettingsCache.h"
#include "meter/UsbtmcTransport.h"

#include <gtest/gtest.h>

namespace {

const MeterProfiles &shipped()
{
    static const MeterProfiles profiles({qelSourceDir() + QStringLiteral("/resources/meters")});
    return profiles;
}

struct Bench
{
    RecordingPrompter prompter;
    InstrumentLink link;
    MeterConnector connector {link};
    SettingsCache cache;
    MeterMeasurement measurement {link, cache};
    QList<ProfileDriver::Reading> readings;
    QStringList failures;

    explicit Bench(SerialTransport *transport = nullptr) : link(&prompter, transport)
    {
        connector.setIdentificationDelay(3000);
        QObject::connect(&measurement, &MeterMeasurement::measured, [this](const ProfileDriver::Reading &r) { readings << r; });
        QObject::connect(&measurement, &MeterMeasurement::failed, [this](const QString &why) { failures << why; });
    }
    bool connectTo(const QString &device, const QString &profile)
    {
        link.settings().devicePath = device;
        if (profile == QLatin1String("auto"))
            connector.setAutomatic(true, &shipped());
        else
            link.setProfile(*shipped().find(profile));
        return connector.connectToMeter() && MeterSim::waitUntil([&] { return link.isConnected(); }, 5000);
    }
    bool measureOnce(const MeasureSettings &s)
    {
        const int before = readings.size() + failures.size();
        return measurement.measure(s)
            && MeterSim::waitUntil([&] { return readings.size() + failures.size() > before; }, 5000);
    }
};

MeasureSettings capacitance()
{
    MeasureSettings s;
    s.firstItem = QStringLiteral("C");
    s.secondItem = QStringLiteral("D");
    s.circuit = QStringLiteral("SER");
    return s;
}

} // namespace

TEST(MeterMeasurement, EachProfileMeasuresOnceWithItsOwnBytes)
{
    struct Case
    {
        const char *profile;
        const char *bytes;
    };
    const Case cases[] = {
        {"legacy", "*IDN?\n*LOC\nMEAS:TEST:AC\nMEAS:FREQ 1000.000000\nMEAS:LEV 1.000000\nMEAS:FUNC:C;D\n"
                   "MEAS:EQU-CCT SER\nMEAS:SPEED MED\nMEAS:TRIG\nMEAS:TRIG\n"},
        {"scpi-lcr", "*IDN?\n:TRIG:SOUR BUS\n:FREQ 1000\n:VOLT 1\n:FUNC:IMP CSD\n:APER MED\n*TRG\n*TRG\n"},
        {"scpi-lcr-slots", "*IDN?\n:TRIG EXT\r\n:FREQ 1000\r\n:LEV V\r\n:LEV:VOLT 1\r\n:PAR1 CS\r\n:PAR2 D\r\n"
                           ":SPEE MED\r\n*TRG;:MEAS?\r\n*TRG;:MEAS?\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.profile);
        MeterSim sim({QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05"), QStringLiteral("--profile"),
            QLatin1String(c.profile), QStringLiteral("--tcp"), QStringLiteral("0")});
        ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
        Bench bench;
        ASSERT_TRUE(bench.connectTo(sim.devicePath(), QStringLiteral("auto"))) << qPrintable(bench.prompter.texts().join('\n'));
        EXPECT_EQ(bench.link.profile().name, QLatin1String(c.profile));
        // The second measurement at the same settings sends the trigger only.
        ASSERT_TRUE(bench.measureOnce(capacitance()));
        ASSERT_TRUE(bench.measureOnce(capacitance()));
        ASSERT_EQ(bench.readings.size(), 2) << qPrintable(bench.failures.join('\n'));
        for (const ProfileDriver::Reading &r : bench.readings) {
            EXPECT_EQ(r.kind, ProfileDriver::Reading::Kind::Value);
            EXPECT_EQ(r.primary, QStringLiteral("1.00000E-07"));
            EXPECT_EQ(r.secondary, QStringLiteral("3.14159E-05"));
        }
        ASSERT_TRUE(sim.waitUntil([&] { return sim.receivedBytes().size() >= qsizetype(qstrlen(c.bytes)); }));
        EXPECT_EQ(sim.receivedBytes(), QByteArray(c.bytes));
    }
}

TEST(MeterMeasurement, StatusesAndRefusalsOfTheProfile)
{
    MeterSim sim({QStringLiteral("--profile"), QStringLiteral("scpi-lcr"), QStringLiteral("--status-at"), QStringLiteral("2"),
        QStringLiteral("--status-code"), QStringLiteral("4")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    Bench bench;
    ASSERT_TRUE(bench.connectTo(sim.devicePath(), QStringLiteral("scpi-lcr")));
    MeasureSettings rdc;
    rdc.firstItem = QStringLiteral("Rdc");
    EXPECT_EQ(bench.measurement.cannot(rdc), QStringLiteral("the meter profile scpi-lcr cannot measure Rdc"));
    EXPECT_FALSE(bench.measurement.measure(rdc));
    ASSERT_TRUE(bench.measureOnce(capacitance()));
    ASSERT_TRUE(bench.measureOnce(capacitance()));
    EXPECT_EQ(bench.readings.size(), 1);
    EXPECT_EQ(bench.failures, QStringList{QStringLiteral(
        "The meter reported status +4 (error: automatic level control failed).")});
    sim.waitForCommands(8);
    EXPECT_EQ(sim.commands().count(":FUNC:IMP CSD"), 1) << "the refused settings never went out";
}

TEST(UsbtmcTransport, EachReadIsOneMessageOverAStandInDevice)
{
    // The simulator's pseudo-terminal stands in for /dev/usbtmcN: the
    // transport writes and reads it as the driver's node.
    MeterSim sim({QStringLiteral("--profile"), QStringLiteral("scpi-lcr"), QStringLiteral("--split"), QStringLiteral("3")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    auto *usb = new UsbtmcTransport;
    Bench bench(usb);
    usb->setParent(&bench.link);
    ASSERT_TRUE(bench.connectTo(sim.devicePath(), QStringLiteral("scpi-lcr"))) << qPrintable(bench.prompter.texts().join('\n'));
    EXPECT_TRUE(bench.connector.identification().contains("LCR-E2000"));
    // A reply in three pieces is three reads; the exchange joins them.
    ASSERT_TRUE(bench.measureOnce(capacitance()));
    ASSERT_EQ(bench.readings.size(), 1) << qPrintable(bench.failures.join('\n'));
    EXPECT_EQ(bench.readings[0].primary, QStringLiteral("1.00000E-07"));

    UsbtmcTransport missing;
    SerialOpenRequest request;
    request.device = QStringLiteral("/dev/usbtmc-none");
    EXPECT_FALSE(missing.open(request));
    EXPECT_EQ(missing.errorString(), QStringLiteral("Cannot open /dev/usbtmc-none: the device does not exist."));
    EXPECT_TRUE(UsbtmcTransport::isDevice(QStringLiteral("/dev/usbtmc0")));
    EXPECT_FALSE(UsbtmcTransport::isDevice(QStringLiteral("/dev/ttyUSB0")));
}
