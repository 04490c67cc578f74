// qel-cli bridge end to end: the simulated meter on each profile behind the
// bridge, a script's raw socket in front: settings, FETC?, a list sweep,
// refused settings in the error queue, and the readings equal to what
// qel-cli run reads and recorded in the history.

#include "CliHarness.h"

#include "../support/MeterSim.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <csignal>

namespace {

const QStringList Capacitor{QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05")};

// qel-cli bridge as a process: its first line is the address to connect to.
class Bridge
{
public:
    explicit Bridge(const QStringList &args)
    {
        m_process.setProcessEnvironment(cliEnvironment());
        m_process.start(cliProgram(), QStringList{QStringLiteral("bridge")} + args);
        m_process.waitForStarted(10000);
        QElapsedTimer clock;
        clock.start();
        while (!m_process.canReadLine() && clock.elapsed() < 20000 && m_process.state() == QProcess::Running)
            m_process.waitForReadyRead(100);
        m_url = QString::fromUtf8(m_process.readLine()).trimmed();
    }
    ~Bridge()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    QString url() const { return m_url; }
    quint16 port() const { return quint16(m_url.section(QLatin1Char(':'), -1).toUInt()); }
    QString errText() { return QString::fromUtf8(m_process.readAllStandardError()); }
    // SIGTERM, then the exit status (-1: it did not end by itself).
    int terminate()
    {
        ::kill(pid_t(m_process.processId()), SIGTERM);
        if (!m_process.waitForFinished(20000) || m_process.exitStatus() != QProcess::NormalExit)
            return -1;
        return m_process.exitCode();
    }

private:
    QProcess m_process;
    QString m_url;
};

// A script's side: lines out, one reply line back.
struct Client
{
    QTcpSocket socket;
    bool connect(quint16 port)
    {
        socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        return socket.waitForConnected(10000);
    }
    void send(const QByteArray &line)
    {
        socket.write(line + '\n');
        socket.flush();
    }
    QByteArray query(const QByteArray &line)
    {
        send(line);
        QElapsedTimer clock;
        clock.start();
        while (!socket.canReadLine() && clock.elapsed() < 20000 && socket.state() == QAbstractSocket::ConnectedState)
            socket.waitForReadyRead(100);
        return socket.readLine().trimmed();
    }
};

QVector<double> numbers(const QByteArray &reply)
{
    QVector<double> out;
    for (const QByteArray &f : reply.split(','))
        out << f.toDouble();
    return out;
}

// C and D in parallel at 1, 10 and 100 kHz, 300 mV.
QList<TestStep> sweepSteps()
{
    QList<TestStep> steps;
    for (const char *f : {"1KHz", "10KHz", "100KHz"}) {
        TestStep s;
        s.fStd.clear();
        s.fLow.clear();
        s.fHigh.clear();
        s.sItem = QStringLiteral("D");
        s.sUnit = QStringLiteral("D");
        s.freq = QLatin1String(f);
        s.level = QStringLiteral("300mV");
        s.circuit = QStringLiteral("PAR");
        steps << s;
    }
    return steps;
}

QJsonArray rowsOfLot(const QString &db, const QString &lot)
{
    const CliResult r = runCli({QStringLiteral("history"), QStringLiteral("rows"), QStringLiteral("--lot"), lot, QStringLiteral("--db"), db,
        QStringLiteral("--json")});
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    return QJsonDocument::fromJson(r.out).array();
}

double cellValue(const QJsonValue &row, int cell)
{
    return row.toObject().value(QStringLiteral("cells")).toArray().at(cell).toObject().value(QStringLiteral("value")).toDouble();
}

QString cellText(const QJsonValue &row, int cell)
{
    return row.toObject().value(QStringLiteral("cells")).toArray().at(cell).toObject().value(QStringLiteral("text")).toString();
}

struct BridgeOnProfile : ::testing::TestWithParam<const char *>
{
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }
    void SetUp() override { qputenv("XDG_DATA_HOME", dir.path().toLocal8Bit()); }
    QStringList simArgs() const
    {
        QStringList a = Capacitor;
        const QString profile = QLatin1String(GetParam());
        if (profile != QLatin1String("legacy"))
            a << QStringLiteral("--profile") << profile << QStringLiteral("--tcp") << QStringLiteral("0");
        return a;
    }
    // What qel-cli run reads for sweepSteps(), from a meter of its own:
    // C and D at each of the three frequencies.
    QVector<double> runReadings(const QString &db)
    {
        QVector<double> out;
        MeterSim sim(simArgs());
        EXPECT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
        const QString pro = path(QStringLiteral("sweep.pro"));
        EXPECT_TRUE(writeBytes(pro, procedureOf(sweepSteps())));
        const CliResult r = runCli({QStringLiteral("run"), pro, QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--meter"),
            QLatin1String(GetParam()), QStringLiteral("--db"), db, QStringLiteral("--lot-no"), QStringLiteral("RUN")});
        EXPECT_EQ(r.exitCode, 0) << r.describe();
        const QJsonArray rows = rowsOfLot(db, QStringLiteral("RUN"));
        if (rows.size() != 1)
            return out;
        for (int step = 0; step < 3; ++step)
            out << cellValue(rows[0], 2 * step) << cellValue(rows[0], 2 * step + 1);
        EXPECT_GT(out[2], 0);
        EXPECT_GT(out[3], 0);
        return out;
    }
};

TEST_P(BridgeOnProfile, AScriptReadsWhatARunReadsAndEveryReadingIsRecorded)
{
    const QString profile = QLatin1String(GetParam());
    const QString db = path(QStringLiteral("results.sqlite"));

    const QVector<double> expected = runReadings(db);
    ASSERT_EQ(expected.size(), 6);

    MeterSim sim(simArgs());
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    Bridge bridge({QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--meter"), profile, QStringLiteral("--listen"),
        QStringLiteral("127.0.0.1:0"), QStringLiteral("--db"), db, QStringLiteral("--operator"), QStringLiteral("ann"),
        QStringLiteral("--lot-no"), QStringLiteral("BRIDGE")});
    ASSERT_TRUE(bridge.url().startsWith(QLatin1String("tcp://127.0.0.1:"))) << qPrintable(bridge.url() + bridge.errText());
    Client c;
    ASSERT_TRUE(c.connect(bridge.port()));
    EXPECT_TRUE(c.query("*IDN?").startsWith("QEL,Bridge,")) ;

    c.send(":func:imp CPD;:FREQuency 10KHZ;:VOLT:LEV 300MV");
    const QVector<double> one = numbers(c.query("FETC?"));
    ASSERT_EQ(one.size(), 3);
    EXPECT_DOUBLE_EQ(one[0], expected[2]);
    EXPECT_DOUBLE_EQ(one[1], expected[3]);
    EXPECT_EQ(one[2], 0);

    c.send("LIST:FREQ 1e3,1e4,1e5;:LIST:MODE SEQ;:TRIG:SOUR BUS");
    const QVector<double> list = numbers(c.query("*TRG"));
    ASSERT_EQ(list.size(), 12);
    for (int p = 0; p < 3; ++p) {
        EXPECT_DOUBLE_EQ(list[4 * p], expected[2 * p]) << "point " << p;
        EXPECT_DOUBLE_EQ(list[4 * p + 1], expected[2 * p + 1]) << "point " << p;
        EXPECT_EQ(list[4 * p + 2], 0);
        EXPECT_EQ(list[4 * p + 3], 0);
    }

    // Refused settings leave the meter's settings as they were.
    c.send("FREQ 5MHZ");
    EXPECT_EQ(c.query("SYST:ERR?"), QByteArray("-222,\"Data out of range\""));
    if (profile == QLatin1String("legacy")) {
        c.send("CURR 0.01");
        EXPECT_EQ(c.query("SYST:ERR?"), QByteArray("-224,\"Illegal parameter value\""));
    }
    c.send("FUNC:IMP RX");
    EXPECT_EQ(c.query("SYST:ERR?"), QByteArray("0,\"No error\""));
    c.send("LIST:MODE OFF");
    const QVector<double> rx = numbers(c.query("*TRG"));
    ASSERT_GE(rx.size(), 3);
    EXPECT_NEAR(rx[0], 0.05, 0.005) << "A is R, the series resistance";
    EXPECT_LT(rx[1], 0) << "B is X, a capacitor's negative";

    c.socket.disconnectFromHost();
    EXPECT_EQ(bridge.terminate(), 0) << qPrintable(bridge.errText());

    const QJsonArray rows = rowsOfLot(db, QStringLiteral("BRIDGE"));
    ASSERT_GE(rows.size(), 5);
    EXPECT_DOUBLE_EQ(cellValue(rows[0], 0), one[0]);
    EXPECT_EQ(cellText(rows[0], 2), QStringLiteral("CPD"));
    EXPECT_DOUBLE_EQ(cellValue(rows[0], 3), 10000);
    EXPECT_EQ(cellText(rows[0], 4), QStringLiteral("0.3 V"));
    for (int p = 0; p < 3; ++p) {
        EXPECT_DOUBLE_EQ(cellValue(rows[1 + p], 1), list[4 * p + 1]);
        EXPECT_DOUBLE_EQ(cellValue(rows[1 + p], 3), std::pow(10, 3 + p));
    }
    EXPECT_EQ(cellText(rows.last(), 2), QStringLiteral("RX"));

    const CliResult runs = runCli({QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--lot"), QStringLiteral("BRIDGE"),
        QStringLiteral("--db"), db, QStringLiteral("--json")});
    const QJsonArray runList = QJsonDocument::fromJson(runs.out).array();
    ASSERT_EQ(runList.size(), 1) << runs.describe();
    const QJsonObject run = runList[0].toObject();
    EXPECT_EQ(run.value(QStringLiteral("procedure")).toString(), QStringLiteral("remote"));
    EXPECT_EQ(run.value(QStringLiteral("operator")).toString(), QStringLiteral("ann"));
    EXPECT_EQ(run.value(QStringLiteral("outcome")).toString(), QStringLiteral("completed"));
    EXPECT_EQ(run.value(QStringLiteral("rows")).toInt(), rows.size());
    EXPECT_EQ(run.value(QStringLiteral("meterProfile")).toString(), profile == QLatin1String("legacy") ? QString() : profile);

    const QString connection = QStringLiteral("bridge-check-") + profile;
    {
        QSqlDatabase sql = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        sql.setDatabaseName(db);
        ASSERT_TRUE(sql.open());
        QSqlQuery q(sql);
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT remark FROM runs WHERE procedure_name = 'remote'")));
        ASSERT_TRUE(q.next());
        EXPECT_TRUE(q.value(0).toString().startsWith(QLatin1String("client 127.0.0.1:"))) << qPrintable(q.value(0).toString());
    }
    QSqlDatabase::removeDatabase(connection);
}

// A real third-party client: PyMeasure's driver of the common set over
// PyVISA's pure-Python backend sets mode, frequency and level, reads the
// impedance and runs a frequency list sweep.
TEST_P(BridgeOnProfile, PyMeasuresLcrDriverReadsWhatARunReads)
{
    const QString python = QStringLiteral("/usr/bin/python3");
    QProcess probe;
    probe.start(python, {QStringLiteral("-c"), QStringLiteral("import pymeasure, pyvisa_py")});
    if (!probe.waitForFinished(60000) || probe.exitCode() != 0)
        GTEST_SKIP() << "python3-pymeasure and python3-pyvisa-py are not installed (scripts/setup installs them)";

    const QString db = path(QStringLiteral("results.sqlite"));
    const QVector<double> expected = runReadings(db);
    ASSERT_EQ(expected.size(), 6);
    MeterSim sim(simArgs());
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    Bridge bridge({QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--meter"), QLatin1String(GetParam()),
        QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--db"), db, QStringLiteral("--lot-no"),
        QStringLiteral("SCRIPT")});
    ASSERT_TRUE(bridge.url().startsWith(QLatin1String("tcp://"))) << qPrintable(bridge.errText());

    QProcess script;
    script.start(python, {qelSourceDir() + QStringLiteral("/tests/cli/data/bridge_client.py"), QString::number(bridge.port())});
    ASSERT_TRUE(script.waitForFinished(120000));
    const QByteArray out = script.readAllStandardOutput();
    ASSERT_EQ(script.exitCode(), 0) << out.constData() << script.readAllStandardError().constData();
    const QJsonObject read = QJsonDocument::fromJson(out).object();
    const QJsonArray impedance = read.value(QStringLiteral("impedance")).toArray();
    ASSERT_EQ(impedance.size(), 2) << out.constData();
    EXPECT_DOUBLE_EQ(impedance[0].toDouble(), expected[2]);
    EXPECT_DOUBLE_EQ(impedance[1].toDouble(), expected[3]);
    EXPECT_EQ(read.value(QStringLiteral("mode")).toString(), QStringLiteral("CPD"));
    // The sweep as the driver gives it: the A values, then the B values.
    const QJsonArray sweep = read.value(QStringLiteral("sweep")).toArray();
    ASSERT_GE(sweep.size(), 2) << out.constData();
    for (int p = 0; p < 3; ++p) {
        EXPECT_DOUBLE_EQ(sweep[0].toArray().at(p).toDouble(), expected[2 * p]) << "point " << p;
        EXPECT_DOUBLE_EQ(sweep[1].toArray().at(p).toDouble(), expected[2 * p + 1]) << "point " << p;
    }

    EXPECT_EQ(bridge.terminate(), 0) << qPrintable(bridge.errText());
    const QJsonArray rows = rowsOfLot(db, QStringLiteral("SCRIPT"));
    ASSERT_GE(rows.size(), 4);
    EXPECT_DOUBLE_EQ(cellValue(rows[0], 0), expected[2]);
    EXPECT_DOUBLE_EQ(cellValue(rows[0], 1), expected[3]);
    for (int p = 0; p < 3; ++p) {
        const QJsonValue row = rows[rows.size() - 3 + p];
        EXPECT_DOUBLE_EQ(cellValue(row, 0), expected[2 * p]);
        EXPECT_DOUBLE_EQ(cellValue(row, 1), expected[2 * p + 1]);
        EXPECT_DOUBLE_EQ(cellValue(row, 3), std::pow(10, 3 + p));
    }
}

INSTANTIATE_TEST_SUITE_P(Profiles, BridgeOnProfile, ::testing::Values("legacy", "scpi-lcr", "scpi-lcr-slots"),
    [](const ::testing::TestParamInfo<const char *> &info) {
        std::string n = info.param;
        for (char &ch : n)
            if (ch == '-')
                ch = '_';
        return n;
    });

// A function the attached meter's profile lacks is -224, and nothing is
// measured with it.
TEST(Bridge, AFunctionTheProfileLacksIsRefused)
{
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.path().toLocal8Bit());
    QFile shipped(QStringLiteral(QEL_SOURCE_DIR "/resources/meters/scpi-lcr.json"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    QJsonObject narrow = QJsonDocument::fromJson(shipped.readAll()).object();
    narrow.insert(QStringLiteral("name"), QStringLiteral("narrow"));
    QJsonObject functions = narrow.value(QStringLiteral("functions")).toObject();
    functions.remove(QStringLiteral("B G PAR"));
    narrow.insert(QStringLiteral("functions"), functions);
    ASSERT_TRUE(QDir().mkpath(dir.path() + QStringLiteral("/Qel/meters")));
    ASSERT_TRUE(writeBytes(dir.path() + QStringLiteral("/Qel/meters/narrow.json"), QJsonDocument(narrow).toJson()));

    MeterSim sim(Capacitor + QStringList{QStringLiteral("--profile"), QStringLiteral("scpi-lcr"), QStringLiteral("--tcp"), QStringLiteral("0")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    Bridge bridge({QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--meter"), QStringLiteral("narrow"), QStringLiteral("--listen"),
        QStringLiteral("127.0.0.1:0"), QStringLiteral("--no-db")});
    ASSERT_TRUE(bridge.url().startsWith(QLatin1String("tcp://"))) << qPrintable(bridge.errText());
    Client c;
    ASSERT_TRUE(c.connect(bridge.port()));
    c.send("FUNC:IMP GB");
    EXPECT_EQ(c.query("SYST:ERR?"), QByteArray("-224,\"Illegal parameter value\""));
    EXPECT_EQ(c.query("FUNC:IMP?"), QByteArray("CPD"));
    c.send("FUNC:IMP CPG");
    EXPECT_EQ(c.query("SYST:ERR?"), QByteArray("0,\"No error\""));
    EXPECT_FALSE(sim.commands().contains(QByteArray(":FUNC:IMP GB")));
}

// A meter that never answers one trigger: the script gets -240 after the
// reply timeout, the bridge goes on measuring, the row is not recorded.
TEST(Bridge, AMeterThatDoesNotAnswerIsAnErrorNotAHang)
{
    QTemporaryDir dir;
    const QString db = dir.path() + QStringLiteral("/results.sqlite");
    MeterSim sim(Capacitor + QStringList{QStringLiteral("--profile"), QStringLiteral("scpi-lcr"), QStringLiteral("--tcp"), QStringLiteral("0"),
        QStringLiteral("--drop-every"), QStringLiteral("2")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    Bridge bridge({QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--meter"), QStringLiteral("scpi-lcr"), QStringLiteral("--listen"),
        QStringLiteral("127.0.0.1:0"), QStringLiteral("--db"), db, QStringLiteral("--lot-no"), QStringLiteral("DROP")});
    ASSERT_TRUE(bridge.url().startsWith(QLatin1String("tcp://"))) << qPrintable(bridge.errText());
    Client c;
    ASSERT_TRUE(c.connect(bridge.port()));
    EXPECT_EQ(numbers(c.query("FETC?")).size(), 3);
    c.send("FETC?");
    c.send("SYST:ERR?");
    QByteArray line;
    QElapsedTimer clock;
    clock.start();
    while (!line.startsWith("-240") && clock.elapsed() < 60000 && c.socket.state() == QAbstractSocket::ConnectedState) {
        if (c.socket.canReadLine())
            line = c.socket.readLine().trimmed();
        else
            c.socket.waitForReadyRead(100);
    }
    EXPECT_TRUE(line.startsWith("-240,")) << line.constData();
    EXPECT_EQ(numbers(c.query("FETC?")).size(), 3) << "the bridge measures again";
    c.socket.disconnectFromHost();
    EXPECT_EQ(bridge.terminate(), 0);
    EXPECT_EQ(rowsOfLot(db, QStringLiteral("DROP")).size(), 2);
}

// A client that vanishes in the middle of a list sweep: the sweep still
// ends and is recorded whole, and the next client finds the meter usable.
TEST(Bridge, AClientVanishingMidListLeavesMeterAndRecordingConsistent)
{
    QTemporaryDir dir;
    const QString db = dir.path() + QStringLiteral("/results.sqlite");
    // Real measuring times (MED 150 ms a trigger), so the client is gone
    // while the sweep runs.
    MeterSim sim(Capacitor + QStringList{QStringLiteral("--profile"), QStringLiteral("scpi-lcr"), QStringLiteral("--tcp"), QStringLiteral("0")},
        false);
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    Bridge bridge({QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--meter"), QStringLiteral("scpi-lcr"), QStringLiteral("--listen"),
        QStringLiteral("127.0.0.1:0"), QStringLiteral("--db"), db, QStringLiteral("--lot-no"), QStringLiteral("GONE")});
    ASSERT_TRUE(bridge.url().startsWith(QLatin1String("tcp://"))) << qPrintable(bridge.errText());
    {
        Client c;
        ASSERT_TRUE(c.connect(bridge.port()));
        c.send("LIST:FREQ 1e3,1e4,1e5;:LIST:MODE SEQ;:TRIG:SOUR BUS");
        c.send("*TRG");
        c.send("FETC?");
        ASSERT_TRUE(sim.waitUntil([&] { return sim.commands().contains(QByteArray("*TRG")); }, 20000));
        c.socket.abort();
    }
    Client next;
    ASSERT_TRUE(next.connect(bridge.port()));
    EXPECT_EQ(next.query("*OPC?"), QByteArray("1"));
    next.send("*RST");
    const QVector<double> one = numbers(next.query("FETC?"));
    ASSERT_EQ(one.size(), 3);
    EXPECT_DOUBLE_EQ(one[0], 100e-9);
    EXPECT_EQ(next.query("SYST:ERR?"), QByteArray("0,\"No error\""));
    next.socket.disconnectFromHost();
    EXPECT_EQ(bridge.terminate(), 0);
    const QJsonArray rows = rowsOfLot(db, QStringLiteral("GONE"));
    ASSERT_EQ(rows.size(), 4);
    for (int p = 0; p < 3; ++p)
        EXPECT_DOUBLE_EQ(cellValue(rows[p], 3), std::pow(10, 3 + p));
    EXPECT_EQ(cellText(rows[3], 2), QStringLiteral("CPD"));
}

// Another machine may drive the meter only when named.
TEST(Bridge, ANetworkListenNeedsAllow)
{
    const CliResult r = runCli({QStringLiteral("bridge"), QStringLiteral("--port"), QStringLiteral("/dev/null"), QStringLiteral("--listen"),
        QStringLiteral("0.0.0.0:5025"), QStringLiteral("--no-db")});
    EXPECT_EQ(r.exitCode, 2) << r.describe();
    EXPECT_TRUE(isOneSentenceNaming(r, QStringLiteral("--allow"))) << r.describe();
}

} // namespace
