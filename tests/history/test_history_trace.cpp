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
