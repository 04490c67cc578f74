// Tracing parts and runs through the history with qel-cli: a recorded run
// written again as a report pair, a results file on a read-only medium.
#include "../cli/CliHarness.h"
#include "../support/MeterSim.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

QString procedure()
{
    return qelSourceDir() + QStringLiteral("/examples/capacitor.pro");
}

QJsonArray jsonOf(const CliResult &r)
{
    return QJsonDocument::fromJson(r.out).array();
}

QString onlyRunId(const QString &db)
{
    const QJsonArray runs = jsonOf(runCli({QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--db"), db,
        QStringLiteral("--json")}));
    return runs.size() == 1 ? runs[0].toObject().value(QStringLiteral("id")).toString() : QString();
}

// A tmpfs mounted for the test and made read-only on request; unmounted at the end.
struct SmallMount
{
    QString path;
    bool mounted = false;
    explicit SmallMount(const QString &where) : path(where)
    {
        QDir().mkpath(path);
        mounted = getuid() == 0
            && QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                   QStringLiteral("size=4m"), QStringLiteral("tmpfs"), path}) == 0;
    }
    bool makeReadOnly()
    {
        return QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("remount,ro"), path}) == 0;
    }
    ~SmallMount()
    {
        if (mounted)
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), path});
    }
};

} // namespace

// A recorded run written again: the procedure file and the report are the
// very bytes the run's own files hold, and they read back as a pair with
// the rows the run printed. Names that would not open as a pair, and an
// unknown run, are refused in one sentence.
TEST(HistoryTrace, RecordedRunIsWrittenAgainAsTheRunsOwnFiles)
{
    MeterSim sim;
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("h.sqlite"));
    const QString own = dir.filePath(QStringLiteral("capacitor_own.rpt"));
    const CliResult run = runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(),
        QStringLiteral("--loops"), QStringLiteral("4"), QStringLiteral("--db"), db, QStringLiteral("--report"), own});
    ASSERT_EQ(run.exitCode, 1) << run.describe();
    const QString id = onlyRunId(db);
    ASSERT_FALSE(id.isEmpty());

    const QString pro = dir.filePath(QStringLiteral("capacitor.pro"));
    const QString rpt = dir.filePath(QStringLiteral("capacitor_again.rpt"));
    const CliResult again = runCli({QStringLiteral("history"), QStringLiteral("report"), id, QStringLiteral("--db"), db,
        QStringLiteral("--rpt"), rpt, QStringLiteral("--pro"), pro});
    ASSERT_EQ(again.exitCode, 0) << again.describe();
    EXPECT_TRUE(again.err.isEmpty()) << again.describe();
    EXPECT_EQ(readBytes(pro), readBytes(procedure()));
    // The run's dates and times are whole seconds of the moment recorded,
    // in this machine's zone: the same bytes.
    EXPECT_EQ(readBytes(rpt), readBytes(own));

    // Read back through the program: the rows as printed, cells and dates.
    const CliResult shown = runCli({QStringLiteral("show"), rpt, QStringLiteral("--procedure"), pro});
    ASSERT_EQ(shown.exitCode, 0) << shown.describe();
    const QJsonObject report = QJsonDocument::fromJson(shown.out).object();
    const QJsonArray rows = report.value(QStringLiteral("rows")).toArray();
    const QStringList printed = run.outLines().mid(1);
    ASSERT_EQ(rows.size(), printed.size()) << shown.out.constData();
    for (int i = 0; i < rows.size(); ++i) {
        QStringList cells = printed[i].split(QLatin1Char('\t'));
        const QString time = cells.takeLast(), date = cells.takeLast();
        cells.removeFirst(); // the row number
        QStringList read;
        for (const QJsonValue &c : rows[i].toArray())
            read << c.toString();
        EXPECT_EQ(read, cells) << i;
        EXPECT_EQ(report.value(QStringLiteral("dates")).toArray().at(i).toString(), date);
        EXPECT_EQ(report.value(QStringLiteral("times")).toArray().at(i).toString(), time);
    }

    const CliResult mismatch = runCli({QStringLiteral("history"), QStringLiteral("report"), id, QStringLiteral("--db"), db,
        QStringLiteral("--rpt"), dir.filePath(QStringLiteral("other.rpt")), QStringLiteral("--pro"), pro});
    EXPECT_EQ(mismatch.exitCode, 2);
    EXPECT_TRUE(isOneSentenceNaming(mismatch, QStringLiteral("other.rpt"))) << mismatch.describe();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("other.rpt"))));
    const CliResult unknown = runCli({QStringLiteral("history"), QStringLiteral("report"), QStringLiteral("no-such-run"),
        QStringLiteral("--db"), db, QStringLiteral("--rpt"), dir.filePath(QStringLiteral("capacitor_x.rpt")), QStringLiteral("--pro"), pro});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(isOneSentenceNaming(unknown, QStringLiteral("no-such-run"))) << unknown.describe();
}

// A results file on a read-only medium: a run says so in the short
// sentence (not the library's "unable to open") and goes on; the history
// still reads the file.
TEST(HistoryTrace, AResultsFileOnAReadOnlyMediumIsSaidAndStillRead)
{
    QTemporaryDir dir;
    SmallMount medium(dir.filePath(QStringLiteral("medium")));
    if (!medium.mounted)
        GTEST_SKIP() << "mounting a file system needs root";
    MeterSim sim;
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const QString db = medium.path + QStringLiteral("/results.sqlite");
    ASSERT_EQ(runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--db"), db}).exitCode, 1);
    ASSERT_TRUE(medium.makeReadOnly());

    const CliResult r = runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(),
        QStringLiteral("--loops"), QStringLiteral("2"), QStringLiteral("--db"), db});
    EXPECT_EQ(r.exitCode, 1) << r.describe();
    EXPECT_EQ(r.outLines().size(), 3) << r.describe();
    EXPECT_TRUE(isOneSentenceNaming(r, db)) << r.describe();
    EXPECT_TRUE(r.errText().contains(db + QStringLiteral(" cannot be written: it is read-only"))) << r.describe();

    const CliResult runs = runCli({QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--db"), db, QStringLiteral("--json")});
    EXPECT_EQ(runs.exitCode, 0) << runs.describe();
    EXPECT_EQ(jsonOf(runs).size(), 1) << runs.describe();
}

// Serials from a file: a pass each, each row recorded with its own; a
// serial listed twice or measured before in the lot is warned about and
// measured all the same; every measurement of a part is found by its
// serial across runs. A count of passes that does not fit is refused
// before anything is recorded.
TEST(HistoryTrace, SerialsNameEachPassAndFindEveryMeasurementOfAPart)
{
    MeterSim sim;
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("serials.sqlite"));
    const QString first = dir.filePath(QStringLiteral("first.txt"));
    writeBytes(first, "A-1\nA-2\n\n  A-1 \r\nB-9\n");
    const CliResult a = runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--serials"),
        first, QStringLiteral("--lot-no"), QStringLiteral("L1"), QStringLiteral("--db"), db});
    ASSERT_EQ(a.exitCode, 1) << a.describe();
    EXPECT_EQ(a.outLines().size(), 1 + 4) << a.describe();
    ASSERT_EQ(a.errLines().size(), 1) << a.describe();
    EXPECT_TRUE(a.errLines()[0].contains(QLatin1String("serial A-1 is listed twice"))) << a.describe();
    EXPECT_TRUE(a.errLines()[0].contains(QLatin1String("(lines 1 and 4)"))) << a.describe();
    const QString runA = onlyRunId(db);
    ASSERT_FALSE(runA.isEmpty());
    const QJsonArray rowsA = jsonOf(runCli({QStringLiteral("history"), QStringLiteral("rows"), runA, QStringLiteral("--db"), db,
        QStringLiteral("--json")}));
    QStringList serials;
    for (const QJsonValue &r : rowsA)
        serials << r.toObject().value(QStringLiteral("serial")).toString();
    EXPECT_EQ(serials, (QStringList{QStringLiteral("A-1"), QStringLiteral("A-2"), QStringLiteral("A-1"), QStringLiteral("B-9")}));

    // Passes that do not fit the serials: refused, nothing recorded.
    const CliResult misfit = runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--serials"),
        first, QStringLiteral("--loops"), QStringLiteral("5"), QStringLiteral("--db"), db});
    EXPECT_EQ(misfit.exitCode, 2);
    EXPECT_TRUE(misfit.errText().contains(QLatin1String("--loops 5 does not match the 4 serial numbers"))) << misfit.describe();
    const QString empty = dir.filePath(QStringLiteral("empty.txt"));
    writeBytes(empty, "\n  \n");
    const CliResult none = runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--serials"),
        empty, QStringLiteral("--db"), db});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_TRUE(isOneSentenceNaming(none, empty)) << none.describe();

    // B-9 again in the same lot: said, measured, recorded; a run without serials keeps none.
    const QString second = dir.filePath(QStringLiteral("second.txt"));
    writeBytes(second, "B-9\nC-3\n");
    const CliResult b = runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--serials"),
        second, QStringLiteral("--lot-no"), QStringLiteral("L1"), QStringLiteral("--db"), db});
    ASSERT_EQ(b.exitCode, 1) << b.describe();
    EXPECT_EQ(b.outLines().size(), 1 + 2) << b.describe();
    EXPECT_TRUE(isOneSentenceNaming(b, QStringLiteral("serial B-9 was measured before in lot L1 (1 row)"))) << b.describe();
    ASSERT_EQ(runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--db"), db}).exitCode, 1);
    const QJsonArray all = jsonOf(runCli({QStringLiteral("history"), QStringLiteral("rows"), QStringLiteral("--since"),
        QStringLiteral("2000-01-01"), QStringLiteral("--db"), db, QStringLiteral("--json")}));
    ASSERT_EQ(all.size(), 7);
    EXPECT_TRUE(all[6].toObject().value(QStringLiteral("serial")).isNull());

    // Every measurement of B-9, over both runs, oldest first.
    const CliResult part = runCli({QStringLiteral("history"), QStringLiteral("rows"), QStringLiteral("--serial"), QStringLiteral("B-9"),
        QStringLiteral("--db"), db, QStringLiteral("--json")});
    ASSERT_EQ(part.exitCode, 0) << part.describe();
    const QJsonArray found = jsonOf(part);
    ASSERT_EQ(found.size(), 2) << part.out.constData();
    EXPECT_EQ(found[0].toObject().value(QStringLiteral("run")).toString(), runA);
    EXPECT_EQ(found[0].toObject().value(QStringLiteral("seq")).toInt(), 4);
    EXPECT_NE(found[1].toObject().value(QStringLiteral("run")).toString(), runA);
    for (const QJsonValue &r : found)
        EXPECT_EQ(r.toObject().value(QStringLiteral("serial")).toString(), QStringLiteral("B-9"));
    EXPECT_EQ(jsonOf(runCli({QStringLiteral("history"), QStringLiteral("rows"), QStringLiteral("--serial"), QStringLiteral("Z-0"),
                  QStringLiteral("--db"), db, QStringLiteral("--json")})).size(), 0);
}
