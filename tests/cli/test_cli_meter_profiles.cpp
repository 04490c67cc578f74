// qel-cli run and sweep with meter profiles, against the simulated meter
// speaking each profile from its own code, over a pseudo-terminal and over
// TCP: the exact bytes the meter received, the rows and verdicts, overload
// and error statuses, a refused step, a broken profile file, --meter auto.

#include "CliHarness.h"

#include "../support/MeterSim.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

const QStringList Capacitor{QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05")};

// C;D series at 1 kHz, |Z| with its angle, C parallel at 10 kHz, 300 mV, FAST.
QList<TestStep> threeSteps()
{
    TestStep c;
    c.sItem = QStringLiteral("D");
    c.sUnit = QStringLiteral("D");
    TestStep z;
    z.fItem = QStringLiteral("Z");
    z.fStd = QStringLiteral("1.6");
    z.fUnit = QStringLiteral("KO");
    z.sItem = QStringLiteral("Angle");
    z.sStd = QStringLiteral("-90");
    z.sLow = QStringLiteral("-1");
    z.sHigh = QStringLiteral("+1");
    z.sUnit = QString(QChar(0x00B0));
    z.circuit.clear();
    z.type = QStringLiteral("Absolute");
    TestStep p;
    p.fStd.clear();
    p.fLow.clear();
    p.fHigh.clear();
    p.freq = QStringLiteral("10KHz");
    p.level = QStringLiteral("300mV");
    p.circuit = QStringLiteral("PAR");
    p.speed = QStringLiteral("FAST");
    return {c, z, p};
}

// The same physics as the legacy meter, so the same cells.
const QStringList PassingCells{QStringLiteral("100nF"), QStringLiteral("pass"), QStringLiteral("0.000031D"), QString(),
    QStringLiteral("1.59155KO"), QStringLiteral("pass"), QStringLiteral("-89.9982") + QChar(0x00B0), QStringLiteral("pass"),
    QStringLiteral("100nF"), QString()};

// What each profile sends for two passes of threeSteps(): identification,
// the connect line, then per step only the settings that changed.
QByteArray expectedBytes(const QString &profile)
{
    QList<QByteArray> lines;
    if (profile == QLatin1String("scpi-lcr")) {
        lines = {"*IDN?", ":TRIG:SOUR BUS"};
        for (int pass = 0; pass < 2; ++pass)
            lines << ":FREQ 1000" << ":VOLT 1" << ":FUNC:IMP CSD" << ":APER MED" << "*TRG"
                  << ":FUNC:IMP ZTD" << "*TRG"
                  << ":FREQ 10000" << ":VOLT 0.3" << ":FUNC:IMP CPD" << ":APER SHOR" << "*TRG";
        return lines.join('\n') + '\n';
    }
    lines = {"*IDN?", ":TRIG EXT"};
    for (int pass = 0; pass < 2; ++pass)
        lines << ":FREQ 1000" << ":LEV:VOLT 1" << ":PAR1 CS" << ":PAR2 D" << ":SPEE MED" << "*TRG;:MEAS?"
              << ":PAR1 Z" << ":PAR2 PHASE" << "*TRG;:MEAS?"
              << ":FREQ 10000" << ":LEV:VOLT 0.3" << ":PAR1 CP" << ":PAR2 OFF" << ":SPEE FAST" << "*TRG;:MEAS?";
    // The level mode goes out once: it never changes.
    lines.insert(3, ":LEV V");
    return lines.join("\r\n") + "\r\n";
}

struct Fixture : ::testing::Test
{
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }
    QString procedure(const QList<TestStep> &steps)
    {
        const QString p = path(QStringLiteral("check.pro"));
        EXPECT_TRUE(writeBytes(p, procedureOf(steps)));
        return p;
    }
    QStringList rowCells(const CliResult &r, int row) const
    {
        QStringList cells = r.outLines().value(row).split(QLatin1Char('\t'));
        return cells.mid(1, cells.size() - 3);
    }
    void SetUp() override
    {
        // The user's profile folder is this test's own.
        qputenv("XDG_DATA_HOME", dir.path().toLocal8Bit());
    }
};

struct Wire
{
    const char *profile;
    bool tcp;
};

struct ProfileRun : Fixture, ::testing::WithParamInterface<Wire> {};

TEST_P(ProfileRun, RunSendsTheProfilesBytesAndReadsTheRowsAsTheLegacyMeter)
{
    const QString profile = QString::fromLatin1(GetParam().profile);
    QStringList args = Capacitor;
    args << QStringLiteral("--profile") << profile;
    if (GetParam().tcp)
        args << QStringLiteral("--tcp") << QStringLiteral("0");
    MeterSim sim(args);
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    EXPECT_EQ(sim.devicePath().startsWith(QLatin1String("tcp://127.0.0.1:")), GetParam().tcp);

    const CliResult r = runCli({QStringLiteral("run"), procedure(threeSteps()), QStringLiteral("--port"), sim.devicePath(),
        QStringLiteral("--meter"), profile, QStringLiteral("--loops"), QStringLiteral("2"), QStringLiteral("--no-db")});
    ASSERT_TRUE(r.finished) << r.describe();
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    ASSERT_EQ(r.outLines().size(), 3) << r.describe();
    EXPECT_EQ(rowCells(r, 1), PassingCells);
    EXPECT_EQ(rowCells(r, 2), PassingCells);
    ASSERT_TRUE(sim.waitUntil([&] { return sim.receivedBytes().size() >= expectedBytes(profile).size(); }));
    EXPECT_EQ(sim.receivedBytes(), expectedBytes(profile));

    // The same profile picked by its identification sends the same bytes.
    MeterSim again(args);
    ASSERT_TRUE(again.isRunning()) << qPrintable(again.errorText());
    const CliResult a = runCli({QStringLiteral("run"), procedure(threeSteps()), QStringLiteral("--port"), again.devicePath(),
        QStringLiteral("--meter"), QStringLiteral("auto"), QStringLiteral("--loops"), QStringLiteral("2"), QStringLiteral("--no-db")});
    EXPECT_EQ(a.exitCode, 0) << a.describe();
    // auto asks with a plain line feed, whatever the profile's terminator.
    QByteArray expected = expectedBytes(profile);
    expected.replace("*IDN?\r\n", "*IDN?\n");
    ASSERT_TRUE(again.waitUntil([&] { return again.receivedBytes().size() >= expected.size(); }));
    EXPECT_EQ(again.receivedBytes(), expected);
}

INSTANTIATE_TEST_SUITE_P(Wires, ProfileRun,
    ::testing::Values(Wire{"scpi-lcr", false}, Wire{"scpi-lcr", true}, Wire{"scpi-lcr-slots", false},
        Wire{"scpi-lcr-slots", true}),
    [](const ::testing::TestParamInfo<Wire> &info) {
        return std::string(info.param.tcp ? "Tcp_" : "Pty_") + (std::string(info.param.profile) == "scpi-lcr" ? "Lcr" : "Slots");
    });

TEST_F(Fixture, AutoPicksTheLegacyMeterAndSendsItsBytes)
{
    MeterSim plain(Capacitor);
    ASSERT_TRUE(plain.isRunning()) << qPrintable(plain.errorText());
    const CliResult legacy = runCli({QStringLiteral("run"), procedure(threeSteps()), QStringLiteral("--port"),
        plain.devicePath(), QStringLiteral("--no-db")});
    ASSERT_EQ(legacy.exitCode, 0) << legacy.describe();

    MeterSim sim(Capacitor + QStringList{QStringLiteral("--tcp"), QStringLiteral("0")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const CliResult r = runCli({QStringLiteral("run"), procedure(threeSteps()), QStringLiteral("--port"), sim.devicePath(),
        QStringLiteral("--meter"), QStringLiteral("auto"), QStringLiteral("--no-db")});
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_EQ(rowCells(r, 1), rowCells(legacy, 1));
    ASSERT_TRUE(sim.waitUntil([&] { return sim.receivedBytes().size() >= plain.receivedBytes().size(); }));
    EXPECT_EQ(sim.receivedBytes(), plain.receivedBytes());
    EXPECT_TRUE(sim.receivedBytes().startsWith("*IDN?\n*LOC\nMEAS:FREQ 1000.000000\n"));

    // A meter no pattern knows is refused with the patterns.
    MeterSim stranger(QStringList{QStringLiteral("--idn"), QStringLiteral("ACME,X1,0,1")});
    ASSERT_TRUE(stranger.isRunning()) << qPrintable(stranger.errorText());
    const CliResult s = runCli({QStringLiteral("run"), procedure(threeSteps()), QStringLiteral("--port"),
        stranger.devicePath(), QStringLiteral("--meter"), QStringLiteral("auto"), QStringLiteral("--no-db")});
    EXPECT_EQ(s.exitCode, 3) << s.describe();
    EXPECT_TRUE(s.errText().contains(QStringLiteral("\"ACME,X1,0,1\""))) << s.describe();
    EXPECT_TRUE(s.errText().contains(QStringLiteral("legacy \"44\""))) << s.describe();
    EXPECT_TRUE(s.errText().contains(QStringLiteral("scpi-lcr \"LCR-E[0-9]\""))) << s.describe();
}

TEST_F(Fixture, OverloadFailsItsStepAndAnErrorStatusEndsTheRunKeepingTheRows)
{
    // The third trigger, a step without limits, reports an overload: it
    // fails all the same.
    MeterSim sim(Capacitor + QStringList{QStringLiteral("--profile"), QStringLiteral("scpi-lcr"), QStringLiteral("--tcp"),
        QStringLiteral("0"), QStringLiteral("--status-at"), QStringLiteral("3"), QStringLiteral("--status-code"), QStringLiteral("1")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const CliResult r = runCli({QStringLiteral("run"), procedure(threeSteps()), QStringLiteral("--port"), sim.devicePath(),
        QStringLiteral("--meter"), QStringLiteral("scpi-lcr"), QStringLiteral("--no-db")});
    EXPECT_EQ(r.exitCode, 1) << r.describe();
    const QStringList cells = rowCells(r, 1);
    ASSERT_EQ(cells.size(), PassingCells.size()) << r.describe();
    EXPECT_EQ(cells.mid(0, 8), PassingCells.mid(0, 8));
    EXPECT_EQ(cells[8], QStringLiteral("98999999999999988926107162687274015908859740160nF"));
    EXPECT_EQ(cells[9], QStringLiteral("fail"));

    // The second and fourth triggers report "no data", and the others' codes.
    for (const char *code : {"-1", "3", "4"}) {
        MeterSim failing(Capacitor + QStringList{QStringLiteral("--profile"), QStringLiteral("scpi-lcr"),
            QStringLiteral("--status-at"), QStringLiteral("4"), QStringLiteral("--status-code"), QLatin1String(code)});
        ASSERT_TRUE(failing.isRunning()) << qPrintable(failing.errorText());
        const CliResult f = runCli({QStringLiteral("run"), procedure(threeSteps()), QStringLiteral("--port"),
            failing.devicePath(), QStringLiteral("--meter"), QStringLiteral("scpi-lcr"), QStringLiteral("--loops"),
            QStringLiteral("3"), QStringLiteral("--no-db")});
        EXPECT_EQ(f.exitCode, 4) << f.describe();
        ASSERT_EQ(f.outLines().size(), 2) << f.describe(); // the header and the first pass
        EXPECT_EQ(rowCells(f, 1), PassingCells);
        const QString status = QLatin1String(code).startsWith('-') ? QLatin1String(code) : QStringLiteral("+") + QLatin1String(code);
        EXPECT_TRUE(isOneSentenceNaming(f, QStringLiteral("status ") + status + QStringLiteral(" ("))) << f.describe();
        EXPECT_TRUE(f.errText().contains(QStringLiteral("at step 1"))) << f.describe();
    }
}

TEST_F(Fixture, AStepTheMeterCannotDoIsRefusedBeforeAnySettingIsSent)
{
    MeterSim sim(Capacitor + QStringList{QStringLiteral("--profile"), QStringLiteral("scpi-lcr")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    QList<TestStep> steps = threeSteps();
    TestStep rdc;
    rdc.fItem = QStringLiteral("Rdc");
    rdc.fUnit = QStringLiteral("O");
    rdc.circuit.clear();
    steps << rdc;
    const CliResult r = runCli({QStringLiteral("run"), procedure(steps), QStringLiteral("--port"), sim.devicePath(),
        QStringLiteral("--meter"), QStringLiteral("scpi-lcr"), QStringLiteral("--no-db")});
    EXPECT_EQ(r.exitCode, 2) << r.describe();
    EXPECT_EQ(r.errLines(), QStringList{QStringLiteral(
        "qel-cli: Step 4 cannot be measured: the meter profile scpi-lcr cannot measure Rdc; nothing was sent.")});
    EXPECT_TRUE(r.out.isEmpty()) << r.describe();
    sim.waitForCommands(2);
    EXPECT_EQ(QString::fromLatin1(sim.receivedBytes()), QString::fromLatin1("*IDN?\n:TRIG:SOUR BUS\n"));

    // The slot meter measures Rdc.
    MeterSim slotted(QStringList{QStringLiteral("--component"), QStringLiteral("R=100"), QStringLiteral("--profile"),
        QStringLiteral("scpi-lcr-slots"), QStringLiteral("--tcp"), QStringLiteral("0")});
    ASSERT_TRUE(slotted.isRunning()) << qPrintable(slotted.errorText());
    rdc.fStd = QStringLiteral("100");
    const CliResult s = runCli({QStringLiteral("run"), procedure({rdc}), QStringLiteral("--port"), slotted.devicePath(),
        QStringLiteral("--meter"), QStringLiteral("scpi-lcr-slots"), QStringLiteral("--no-db")});
    EXPECT_EQ(s.exitCode, 0) << s.describe();
    EXPECT_EQ(rowCells(s, 1), (QStringList{QStringLiteral("100O"), QStringLiteral("pass")})) << s.describe();
    EXPECT_TRUE(slotted.commands().contains(":PAR1 RDC\r"));

    // A sweep of an item the meter lacks is refused alike.
    const CliResult w = runCli({QStringLiteral("sweep"), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--meter"),
        QStringLiteral("scpi-lcr"), QStringLiteral("--item"), QStringLiteral("B"), QStringLiteral("--second"), QStringLiteral("Q"),
        QStringLiteral("--circuit"), QStringLiteral("PAR"), QStringLiteral("--kind"), QStringLiteral("volt"),
        QStringLiteral("--start"), QStringLiteral("100"), QStringLiteral("--end"), QStringLiteral("500"), QStringLiteral("--points"),
        QStringLiteral("3"), QStringLiteral("--unit"), QStringLiteral("mV"), QStringLiteral("--no-db")});
    EXPECT_EQ(w.exitCode, 2) << w.describe();
    EXPECT_TRUE(isOneSentenceNaming(w, QStringLiteral("cannot measure B with Q (PAR)"))) << w.describe();
}

TEST_F(Fixture, SweepOverTcpSendsEachPointsChangedSettings)
{
    MeterSim sim(Capacitor + QStringList{QStringLiteral("--profile"), QStringLiteral("scpi-lcr"), QStringLiteral("--tcp"), QStringLiteral("0")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const CliResult r = runCli({QStringLiteral("sweep"), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--meter"),
        QStringLiteral("scpi-lcr"), QStringLiteral("--item"), QStringLiteral("C"), QStringLiteral("--second"), QStringLiteral("D"),
        QStringLiteral("--kind"), QStringLiteral("freq"), QStringLiteral("--start"), QStringLiteral("1"), QStringLiteral("--end"),
        QStringLiteral("3"), QStringLiteral("--points"), QStringLiteral("3"), QStringLiteral("--unit"), QStringLiteral("KHz"),
        QStringLiteral("--no-db")});
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_EQ(r.outLines().size(), 4) << r.describe();
    EXPECT_EQ(r.outLines().value(1), QStringLiteral("1\t1.000000KHz\t100.000000nF\t31.415900uD")) << r.describe();
    sim.waitForCommands(11);
    EXPECT_EQ(QString::fromLatin1(sim.receivedBytes()), QString::fromLatin1("*IDN?\n:TRIG:SOUR BUS\n:FREQ 1000\n:VOLT 0.01\n:FUNC:IMP CSD\n:APER MED\n*TRG\n"
                                              ":FREQ 2000\n*TRG\n:FREQ 3000\n*TRG\n"));
}

TEST_F(Fixture, TheMeterClosingTheSocketMidRunEndsItAsALossKeepingTheRows)
{
    MeterSim sim(Capacitor + QStringList{QStringLiteral("--profile"), QStringLiteral("scpi-lcr"), QStringLiteral("--tcp"),
        QStringLiteral("0"), QStringLiteral("--hangup-after"), QStringLiteral("4")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const CliResult r = runCli({QStringLiteral("run"), procedure(threeSteps()), QStringLiteral("--port"), sim.devicePath(),
        QStringLiteral("--meter"), QStringLiteral("scpi-lcr"), QStringLiteral("--loops"), QStringLiteral("3"), QStringLiteral("--no-db")});
    EXPECT_EQ(r.exitCode, 4) << r.describe();
    EXPECT_EQ(r.outLines().size(), 2) << r.describe();
    EXPECT_TRUE(isOneSentenceNaming(r, sim.devicePath())) << r.describe();
    EXPECT_TRUE(r.errText().contains(QStringLiteral("closed the socket"))) << r.describe();

    // A dropped reply and a split one on the socket, as on the line.
    MeterSim dropping(Capacitor + QStringList{QStringLiteral("--profile"), QStringLiteral("scpi-lcr-slots"), QStringLiteral("--tcp"),
        QStringLiteral("0"), QStringLiteral("--drop-every"), QStringLiteral("5"), QStringLiteral("--split"), QStringLiteral("3")});
    ASSERT_TRUE(dropping.isRunning()) << qPrintable(dropping.errorText());
    const CliResult d = runCli({QStringLiteral("run"), procedure(threeSteps()), QStringLiteral("--port"), dropping.devicePath(),
        QStringLiteral("--meter"), QStringLiteral("scpi-lcr-slots"), QStringLiteral("--loops"), QStringLiteral("3"),
        QStringLiteral("--reply-timeout"), QStringLiteral("1500"), QStringLiteral("--no-db")});
    EXPECT_EQ(d.exitCode, 4) << d.describe();
    EXPECT_EQ(d.outLines().size(), 2) << d.describe();
    EXPECT_EQ(rowCells(d, 1), PassingCells);
    EXPECT_TRUE(isOneSentenceNaming(d, QStringLiteral("no reply from ") + dropping.devicePath())) << d.describe();

    // Nothing listening: one sentence, connection failure.
    const QString gone = sim.devicePath();
    sim.stop();
    const CliResult refused = runCli({QStringLiteral("run"), procedure(threeSteps()), QStringLiteral("--port"), gone,
        QStringLiteral("--meter"), QStringLiteral("scpi-lcr"), QStringLiteral("--no-db")});
    EXPECT_EQ(refused.exitCode, 3) << refused.describe();
    EXPECT_TRUE(isOneSentenceNaming(refused, gone)) << refused.describe();
    EXPECT_TRUE(refused.errText().contains(QStringLiteral("refused"))) << refused.describe();
}

TEST_F(Fixture, MetersListsTheProfilesAndABrokenFileIsRefusedNamingItsKey)
{
    const CliResult r = runCli({QStringLiteral("meters"), QStringLiteral("--json")});
    ASSERT_EQ(r.exitCode, 0) << r.describe();
    const QJsonArray list = QJsonDocument::fromJson(r.out).array();
    QStringList names;
    for (const QJsonValue &v : list)
        names << v[QStringLiteral("name")].toString();
    EXPECT_EQ(names, (QStringList{QStringLiteral("legacy"), QStringLiteral("scpi-lcr-slots"), QStringLiteral("scpi-lcr")}));
    const QJsonObject slotsProfile = list.at(1).toObject();
    EXPECT_EQ(slotsProfile[QStringLiteral("terminator")].toString(), QStringLiteral("CRLF"));
    EXPECT_TRUE(slotsProfile[QStringLiteral("items")].toArray().contains(QStringLiteral("Rdc")));
    EXPECT_FALSE(list.at(2)[QStringLiteral("items")].toArray().contains(QStringLiteral("Rdc")));
    EXPECT_TRUE(list.at(0)[QStringLiteral("file")].isNull());
    EXPECT_EQ(list.at(2)[QStringLiteral("transports")].toArray().size(), 3);

    // A user's file of a shipped name wins; a broken one is named with its key.
    const QString folder = dir.path() + QStringLiteral("/Qel/meters");
    ASSERT_TRUE(QDir().mkpath(folder));
    QByteArray own = readBytes(qelSourceDir() + QStringLiteral("/resources/meters/scpi-lcr.json"));
    own.replace("LCR-E[0-9]", "BENCH-7");
    ASSERT_TRUE(writeBytes(folder + QStringLiteral("/scpi-lcr.json"), own));
    QByteArray broken = own;
    broken.replace("\"scpi-lcr\"", "\"bench7\"").replace("\"status\": 3", "\"status\": 0");
    ASSERT_TRUE(writeBytes(folder + QStringLiteral("/bench7.json"), broken));
    const CliResult mine = runCli({QStringLiteral("meters"), QStringLiteral("--json")});
    EXPECT_EQ(mine.exitCode, 0) << mine.describe();
    const QString sentence = QStringLiteral("qel-cli: The meter profile %1/bench7.json is refused: \"reply.status\" must be a "
                                            "field number from 1 to 16.").arg(folder);
    EXPECT_EQ(mine.errLines(), QStringList{sentence});
    const QJsonArray listed = QJsonDocument::fromJson(mine.out).array();
    ASSERT_EQ(listed.size(), 3);
    EXPECT_EQ(listed.at(2)[QStringLiteral("identity")].toString(), QStringLiteral("BENCH-7"));
    EXPECT_EQ(listed.at(2)[QStringLiteral("file")].toString(), folder + QStringLiteral("/scpi-lcr.json"));

    const CliResult run = runCli({QStringLiteral("run"), procedure(threeSteps()), QStringLiteral("--port"),
        QStringLiteral("/dev/null"), QStringLiteral("--meter"), QStringLiteral("bench7"), QStringLiteral("--no-db")});
    EXPECT_EQ(run.exitCode, 2) << run.describe();
    EXPECT_EQ(run.errLines(), QStringList{sentence});
}

} // namespace

namespace {

TEST_F(Fixture, TheHistoryRecordsTheProfileOfEachRunAndNothingNewForLegacy)
{
    const QString db = path(QStringLiteral("results.sqlite"));
    MeterSim scpi(Capacitor + QStringList{QStringLiteral("--profile"), QStringLiteral("scpi-lcr-slots"), QStringLiteral("--tcp"), QStringLiteral("0")});
    MeterSim legacy(Capacitor);
    ASSERT_TRUE(scpi.isRunning() && legacy.isRunning()) << qPrintable(scpi.errorText() + legacy.errorText());
    const CliResult a = runCli({QStringLiteral("run"), procedure(threeSteps()), QStringLiteral("--port"), legacy.devicePath(),
        QStringLiteral("--db"), db});
    ASSERT_EQ(a.exitCode, 0) << a.describe();
    const CliResult b = runCli({QStringLiteral("run"), procedure(threeSteps()), QStringLiteral("--port"), scpi.devicePath(),
        QStringLiteral("--meter"), QStringLiteral("auto"), QStringLiteral("--db"), db});
    ASSERT_EQ(b.exitCode, 0) << b.describe();

    const CliResult h = runCli({QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--db"), db, QStringLiteral("--json")});
    ASSERT_EQ(h.exitCode, 0) << h.describe();
    const QJsonArray runs = QJsonDocument::fromJson(h.out).array();
    ASSERT_EQ(runs.size(), 2) << h.describe();
    // Newest first: the profile's run names it, the legacy run keeps its keys.
    EXPECT_EQ(runs[0][QStringLiteral("meterProfile")].toString(), QStringLiteral("scpi-lcr-slots"));
    EXPECT_EQ(runs[0][QStringLiteral("meter")].toString(), QStringLiteral("QEL,SIMULATED LCR-S300,SIM0003,1.00"));
    EXPECT_EQ(runs[0][QStringLiteral("rows")].toInt(), 1);
    EXPECT_FALSE(runs[1].toObject().contains(QStringLiteral("meterProfile")));
    EXPECT_EQ(runs[1].toObject().keys().size(), 11);
}

} // namespace
