// qel-cli run against the simulated meter over a pseudo-terminal: the rows it
// prints, its exit status for every way a run can end, and the report file.

#include "CliHarness.h"

#include "../support/MeterSim.h"
#include "../support/ProcedureSteps.h"

#include "measurement/PassEvaluator.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

// The component on the simulated meter: 100 nF with 0.05 ohm in series.
// At 1 kHz: C reads 1.00000E-07 (100nF); D = 2 pi f C R = 3.14159E-05, six
// decimals give 0.000031; |Z| = 1/(2 pi f C) = 1591.55 ohm (1.59155KO); the
// angle is -89.9982 degrees. At 10 kHz in parallel C still reads 1.00000E-07.
const QStringList Capacitor{QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05")};

TestStep capacitanceStep()
{
    TestStep s; // C 100 nF +-5 %, D read but not judged
    s.sItem = QStringLiteral("D");
    s.sUnit = QStringLiteral("D");
    return s;
}

TestStep impedanceStep()
{
    TestStep s;
    s.fItem = QStringLiteral("Z");
    s.fStd = QStringLiteral("1.6");
    s.fUnit = QStringLiteral("KO");
    s.sItem = QStringLiteral("Angle");
    s.sStd = QStringLiteral("-90");
    s.sLow = QStringLiteral("-1");
    s.sHigh = QStringLiteral("+1");
    s.sUnit = QString(QChar(0x00B0));
    s.circuit.clear();
    s.type = QStringLiteral("Absolute");
    return s;
}

TestStep unjudgedStep()
{
    TestStep s;
    s.fStd.clear();
    s.fLow.clear();
    s.fHigh.clear();
    s.freq = QStringLiteral("10KHz");
    s.level = QStringLiteral("300mV");
    s.circuit = QStringLiteral("PAR");
    s.speed = QStringLiteral("FAST");
    return s;
}

QList<TestStep> threeSteps()
{
    return {capacitanceStep(), impedanceStep(), unjudgedStep()};
}

const QString Header = QStringLiteral("Seq.\tC1\tP/F\tD1\tP/F\tZ2\tP/F\tAngle2\tP/F\tC3\tP/F\tDate\tTime");
const QStringList PassingCells{QStringLiteral("100nF"), QStringLiteral("pass"), QStringLiteral("0.000031D"), QString(),
    QStringLiteral("1.59155KO"), QStringLiteral("pass"), QStringLiteral("-89.9982") + QChar(0x00B0), QStringLiteral("pass"),
    QStringLiteral("100nF"), QString()};

struct PrintedRow
{
    QStringList cells; // columns 1..C
    QString date, time;
};

// Splits the printed rows after the header; checks numbering and the date
// and time forms on the way.
QList<PrintedRow> printedRows(const CliResult &r)
{
    QList<PrintedRow> rows;
    const QStringList lines = r.outLines();
    for (int i = 1; i < lines.size(); ++i) {
        QStringList cells = lines[i].split(QLatin1Char('\t'));
        EXPECT_EQ(cells.value(0), QString::number(i));
        EXPECT_GE(cells.size(), 3);
        if (cells.size() < 3)
            continue;
        PrintedRow row;
        row.time = cells.takeLast();
        row.date = cells.takeLast();
        cells.removeFirst();
        row.cells = cells;
        EXPECT_TRUE(isRowDate(row.date)) << row.date.toStdString();
        EXPECT_TRUE(isRowTime(row.time)) << row.time.toStdString();
        rows << row;
    }
    return rows;
}

QByteArray expectedReport(const QList<PrintedRow> &rows)
{
    QList<QStringList> cells;
    QStringList dates, times;
    for (const PrintedRow &r : rows) {
        cells << r.cells;
        dates << r.date;
        times << r.time;
    }
    return Archive::report(cells, dates, times);
}

QString today()
{
    const QDate d = QDate::currentDate();
    return QStringLiteral("%1/%2/%3/").arg(d.year()).arg(d.month()).arg(d.day());
}

struct RunFixture : ::testing::Test
{
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }
    QString procedure(const QList<TestStep> &steps, const QString &name = QStringLiteral("check.pro"))
    {
        const QString p = path(name);
        EXPECT_TRUE(writeBytes(p, procedureOf(steps)));
        return p;
    }
};

TEST_F(RunFixture, PassingRunPrintsEveryRowAndWritesTheReportByteForByte)
{
    MeterSim sim(Capacitor);
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const QString before = today();
    const CliResult r = runCli({QStringLiteral("run"), procedure(threeSteps()), QStringLiteral("--port"), sim.devicePath(),
        QStringLiteral("--loops"), QStringLiteral("2"), QStringLiteral("--report"), path(QStringLiteral("check_1.rpt"))});
    ASSERT_TRUE(r.finished) << r.describe();
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_TRUE(r.err.isEmpty()) << r.describe();

    const QStringList lines = r.outLines();
    ASSERT_EQ(lines.size(), 3) << r.describe();
    EXPECT_EQ(lines[0], Header);
    const QList<PrintedRow> rows = printedRows(r);
    ASSERT_EQ(rows.size(), 2);
    for (const PrintedRow &row : rows) {
        EXPECT_EQ(row.cells, PassingCells);
        EXPECT_TRUE(row.date == before || row.date == today()) << row.date.toStdString();
    }

    const QByteArray file = readBytes(path(QStringLiteral("check_1.rpt")));
    EXPECT_EQ(file, expectedReport(rows));
    // Two rows of ten cells, the degree sign as its two code page bytes.
    EXPECT_TRUE(file.startsWith(QByteArray("\x02\x00\x00\x00\x02\x00", 6)));
    EXPECT_EQ(file.count(QByteArray("-89.9982\xa2\x58\n", 11)), 2);

    // One pass after the other, the meter back in local mode once at the end.
    const QList<QByteArray> commands = sim.commands();
    EXPECT_EQ(commands.count("MEAS:TRIG"), 6);
    EXPECT_EQ(commands.count("*LOC"), 2); // after the identification, after the run
    ASSERT_FALSE(commands.isEmpty());
    EXPECT_EQ(commands.last(), QByteArray("*LOC"));
}

TEST_F(RunFixture, AnyFailingVerdictExitsOneAndKeepsTheRows)
{
    struct Case
    {
        const char *name;
        QList<TestStep> steps;
        QStringList cells;
    };
    TestStep tooSmall = capacitanceStep();
    tooSmall.fStd = QStringLiteral("90"); // 100 nF is above 94.5 nF
    TestStep secondFails = capacitanceStep();
    secondFails.sStd = QStringLiteral("0.01"); // D = 0.000031 is far below 0.0095
    secondFails.sLow = QStringLiteral("-5%");
    secondFails.sHigh = QStringLiteral("+5%");
    const QList<Case> cases{
        {"first item", {tooSmall},
            {QStringLiteral("100nF"), QStringLiteral("fail"), QStringLiteral("0.000031D"), QString()}},
        {"second item only", {secondFails},
            {QStringLiteral("100nF"), QStringLiteral("pass"), QStringLiteral("0.000031D"), QStringLiteral("fail")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MeterSim sim(Capacitor);
        ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
        const QString report = path(QStringLiteral("fail_%1.rpt").arg(QLatin1String(c.name).length()));
        const CliResult r = runCli({QStringLiteral("run"), procedure(c.steps), QStringLiteral("--port"), sim.devicePath(),
            QStringLiteral("--report"), report});
        ASSERT_TRUE(r.finished) << r.describe();
        EXPECT_EQ(r.exitCode, 1) << r.describe();
        const QList<PrintedRow> rows = printedRows(r);
        ASSERT_EQ(rows.size(), 1) << r.describe();
        EXPECT_EQ(rows[0].cells, c.cells);
        EXPECT_EQ(readBytes(report), expectedReport(rows));
    }
}

TEST_F(RunFixture, NoMeterOnTheLineExitsThreeNamingTheDevice)
{
    const QString pro = procedure({capacitanceStep()});
    const QString report = path(QStringLiteral("none_1.rpt"));
    {
        SCOPED_TRACE("a line where no meter answers the identification");
        MeterSim sim({QStringLiteral("--no-idn")});
        ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
        const CliResult r = runCli({QStringLiteral("run"), pro, QStringLiteral("--port"), sim.devicePath(),
            QStringLiteral("--report"), report});
        ASSERT_TRUE(r.finished) << r.describe();
        EXPECT_EQ(r.exitCode, 3) << r.describe();
        EXPECT_TRUE(r.out.isEmpty()) << r.describe();
        EXPECT_TRUE(isOneSentenceNaming(r, sim.devicePath())) << r.describe();
        EXPECT_FALSE(sim.commands().contains("MEAS:TRIG"));
    }
    {
        SCOPED_TRACE("a device that does not exist");
        const QString absent = path(QStringLiteral("no-such-tty"));
        const CliResult r = runCli({QStringLiteral("run"), pro, QStringLiteral("--port"), absent});
        ASSERT_TRUE(r.finished) << r.describe();
        EXPECT_EQ(r.exitCode, 3) << r.describe();
        EXPECT_TRUE(isOneSentenceNaming(r, absent)) << r.describe();
    }
    EXPECT_FALSE(QFileInfo::exists(report));
}

// A run that ends early: the rows completed before are printed and saved,
// the exit status is 4 and stderr says what happened on which device.
TEST_F(RunFixture, MeterThatStopsAnsweringEndsTheRunWithinTheReplyTimeout)
{
    struct Case
    {
        const char *name;
        QStringList simArgs;
        QStringList cliArgs;
    };
    const QList<Case> cases{
        // Three steps a pass: the fourth trigger (pass 2, step 1) gets no reply.
        {"reply dropped", {QStringLiteral("--drop-every"), QStringLiteral("4")},
            {QStringLiteral("--reply-timeout"), QStringLiteral("400")}},
        // The line closes right after the fourth reply.
        {"hang-up", {QStringLiteral("--hangup-after"), QStringLiteral("4")}, {}},
        // From the fourth trigger on, bytes without end and no line feed.
        {"endless bytes", {QStringLiteral("--flood-after"), QStringLiteral("4")},
            {QStringLiteral("--reply-timeout"), QStringLiteral("1000")}},
    };
    const QString pro = procedure(threeSteps());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MeterSim sim(Capacitor + c.simArgs);
        ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
        const QString report = path(QStringLiteral("check_%1.rpt").arg(QString::fromLatin1(c.name).length()));
        const CliResult r = runCli(QStringList{QStringLiteral("run"), pro, QStringLiteral("--port"), sim.devicePath(),
                                       QStringLiteral("--loops"), QStringLiteral("3"), QStringLiteral("--report"), report}
                + c.cliArgs,
            30000);
        ASSERT_TRUE(r.finished) << r.describe();
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.exitCode, 4) << r.describe();
        EXPECT_TRUE(isOneSentenceNaming(r, sim.devicePath())) << r.describe();
        const QStringList lines = r.outLines();
        ASSERT_EQ(lines.size(), 2) << r.describe();
        EXPECT_EQ(lines[0], Header);
        const QList<PrintedRow> rows = printedRows(r);
        ASSERT_EQ(rows.size(), 1);
        EXPECT_EQ(rows[0].cells, PassingCells);
        EXPECT_EQ(readBytes(report), expectedReport(rows));
    }
}

// The reply timeout is per reply: bytes that keep coming without ending the
// line do not keep the run waiting for ever.
TEST_F(RunFixture, ReplyDribblingInSlowerThanTheTimeoutStopsTheRun)
{
    MeterSim sim(Capacitor + QStringList{QStringLiteral("--split"), QStringLiteral("8"), QStringLiteral("--split-pause"),
                                 QStringLiteral("250")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    QElapsedTimer clock;
    clock.start();
    const CliResult r = runCli({QStringLiteral("run"), procedure(threeSteps()), QStringLiteral("--port"), sim.devicePath(),
                                   QStringLiteral("--reply-timeout"), QStringLiteral("600")},
        30000);
    ASSERT_TRUE(r.finished) << r.describe();
    EXPECT_EQ(r.exitCode, 4) << r.describe();
    EXPECT_TRUE(isOneSentenceNaming(r, sim.devicePath())) << r.describe();
    EXPECT_EQ(r.outLines(), QStringList{Header});
    // Connecting takes about two seconds; one reply alone would take 1.75 s more.
    EXPECT_LT(clock.elapsed(), 15000);
}

// Dirty replies end the run normally with every row: pieces and NUL bytes
// read as clean, and an acknowledging meter's lines are read in turn.
TEST_F(RunFixture, RepliesInPiecesWithNulBytesGiveTheCleanRows)
{
    MeterSim sim(Capacitor + QStringList{QStringLiteral("--split"), QStringLiteral("4"), QStringLiteral("--split-pause"),
                                 QStringLiteral("5"), QStringLiteral("--nul-every"), QStringLiteral("2")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const QString report = path(QStringLiteral("dirty.rpt"));
    const CliResult r = runCli({QStringLiteral("run"), procedure(threeSteps()), QStringLiteral("--port"), sim.devicePath(),
        QStringLiteral("--loops"), QStringLiteral("2"), QStringLiteral("--report"), report});
    ASSERT_TRUE(r.finished) << r.describe();
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_TRUE(sim.sentBytes().contains('\0'));
    const QList<PrintedRow> rows = printedRows(r);
    ASSERT_EQ(rows.size(), 2) << r.describe();
    EXPECT_EQ(rows[0].cells, PassingCells);
    EXPECT_EQ(rows[1].cells, PassingCells);
    EXPECT_EQ(readBytes(report), expectedReport(rows));
}

TEST_F(RunFixture, AMeterThatAcknowledgesSetCommandsGivesTheShiftedReadings)
{
    MeterSim sim(Capacitor + QStringList{QStringLiteral("--ack"), QStringLiteral("OK")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const CliResult r = runCli({QStringLiteral("run"), procedure(threeSteps()), QStringLiteral("--port"), sim.devicePath()});
    ASSERT_TRUE(r.finished) << r.describe();
    // The first step's settings are acknowledged before its reading comes,
    // so all three steps read an acknowledgement: judged as the rules say.
    EXPECT_EQ(r.exitCode, 1) << r.describe();
    QVector<ProcedureStep> steps;
    for (const TestStep &t : threeSteps())
        steps << stepFromRow(t.fields());
    const QList<PrintedRow> rows = printedRows(r);
    ASSERT_EQ(rows.size(), 1) << r.describe();
    EXPECT_EQ(rows[0].cells, PassEvaluator::evaluate(steps, {"OK\n", "OK\n", "OK\n"}).cells);
    EXPECT_EQ(rows[0].cells.value(0), QStringLiteral("0nF"));
}

TEST_F(RunFixture, StepDelayLongerThanTheReplyTimeoutIsNotSilence)
{
    TestStep slow = capacitanceStep();
    slow.delay = QStringLiteral("900");
    MeterSim sim(Capacitor);
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const CliResult r = runCli({QStringLiteral("run"), procedure({slow, capacitanceStep()}), QStringLiteral("--port"),
        sim.devicePath(), QStringLiteral("--reply-timeout"), QStringLiteral("300")});
    ASSERT_TRUE(r.finished) << r.describe();
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_EQ(printedRows(r).size(), 1);
}

// Nothing is measured for a report that could not be written, and nothing
// is left behind.
TEST_F(RunFixture, ReportThatCannotBeWrittenIsRefusedBeforeMeasuring)
{
    MeterSim sim(Capacitor);
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const QString pro = procedure({capacitanceStep()});
    const QString taken = path(QStringLiteral("taken_1.rpt"));
    ASSERT_TRUE(QDir().mkdir(taken));
    const QStringList entriesBefore = folderEntries(dir.path());
    struct Case
    {
        const char *name;
        QString report;
    };
    const QList<Case> cases{
        {"missing folder", path(QStringLiteral("missing/check_1.rpt"))},
        {"not a report name", path(QStringLiteral("check_1.txt"))},
        {"a folder in the way", taken},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const CliResult r = runCli({QStringLiteral("run"), pro, QStringLiteral("--port"), sim.devicePath(),
            QStringLiteral("--report"), c.report});
        ASSERT_TRUE(r.finished) << r.describe();
        EXPECT_EQ(r.exitCode, 2) << r.describe();
        EXPECT_TRUE(r.out.isEmpty()) << r.describe();
        EXPECT_TRUE(isOneSentenceNaming(r, c.report)) << r.describe();
    }
    EXPECT_EQ(folderEntries(dir.path()), entriesBefore);
    EXPECT_FALSE(sim.commands().contains("MEAS:TRIG"));
}

TEST_F(RunFixture, ProcedureThatCannotBeRunIsRefused)
{
    MeterSim sim(Capacitor);
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const QString empty = procedure({}, QStringLiteral("empty.pro"));
    const QString damaged = path(QStringLiteral("damaged.pro"));
    ASSERT_TRUE(writeBytes(damaged, procedureOf({capacitanceStep()}).left(40)));
    for (const QString &pro : {empty, damaged, path(QStringLiteral("absent.pro"))}) {
        SCOPED_TRACE(pro.toStdString());
        const CliResult r = runCli({QStringLiteral("run"), pro, QStringLiteral("--port"), sim.devicePath()});
        ASSERT_TRUE(r.finished) << r.describe();
        EXPECT_EQ(r.exitCode, 2) << r.describe();
        EXPECT_TRUE(r.out.isEmpty()) << r.describe();
        EXPECT_TRUE(isOneSentenceNaming(r, pro)) << r.describe();
    }
    EXPECT_FALSE(sim.commands().contains("MEAS:TRIG"));
}

} // namespace
