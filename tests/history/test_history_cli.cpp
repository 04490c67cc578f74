// qel-cli recording into real databases: the default SQLite file, a real
// PostgreSQL server started here (stopped mid-run and started again), a
// killed run, and databases that cannot be written.
#include "../cli/CliHarness.h"
#include "../support/MeterSim.h"
#include "../support/PostgresServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

namespace {

QString procedure()
{
    return qelSourceDir() + QStringLiteral("/examples/capacitor.pro");
}

QString defaultDb()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Qel/results.sqlite");
}

// The printed result lines without the header: cells by column.
QList<QStringList> printedRows(const CliResult &r)
{
    QList<QStringList> rows;
    const QStringList lines = r.outLines();
    for (int i = 1; i < lines.size(); ++i)
        rows << lines[i].split(QLatin1Char('\t'));
    return rows;
}

QJsonArray jsonOf(const CliResult &r)
{
    return QJsonDocument::fromJson(r.out).array();
}

// A meter that takes 20 ms per trigger, so a run lasts long enough to act during it.
QStringList slowMeter()
{
    QStringList a;
    for (const char *s : {"SLOW", "MED", "FAST", "MAX"})
        a << QStringLiteral("--meas-time") << QStringLiteral("%1=20").arg(QLatin1String(s));
    return a;
}

const QString HostileLot = QStringLiteral("批次 'A\"; DROP TABLE runs; -- 100% _x\\");
const QString HostileOperator = QStringLiteral("O'Brien \"王\" %s %d");

} // namespace

// The default database: a run recorded with its texts exactly, rows as the
// run printed them, a lot's CSV equal to the rows of its runs, filters.
TEST(HistoryCli, DefaultSqliteRecordsRunsAndRowsExactly)
{
    MeterSim sim;
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("out.rpt"));
    const CliResult a = runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(),
        QStringLiteral("--loops"), QStringLiteral("2"), QStringLiteral("--lot-no"), HostileLot, QStringLiteral("--operator"),
        HostileOperator, QStringLiteral("--part-no"), QStringLiteral("P-7"), QStringLiteral("--report"), report});
    ASSERT_TRUE(a.finished && a.exitCode == 1) << a.describe(); // the example fails on some items
    EXPECT_TRUE(a.err.isEmpty()) << a.describe();
    const CliResult b = runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(),
        QStringLiteral("--loops"), QStringLiteral("3"), QStringLiteral("--lot-no"), HostileLot});
    const CliResult other = runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(),
        QStringLiteral("--lot-no"), QStringLiteral("B")});
    ASSERT_TRUE(b.finished && other.finished) << b.describe() << other.describe();
    ASSERT_TRUE(QFile::exists(defaultDb()));

    // WAL, as the bench relies on for readers beside the writer.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(defaultDb());
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next());
        EXPECT_EQ(q.value(0).toString(), QStringLiteral("wal"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));

    const CliResult runs = runCli({QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--lot"), HostileLot,
        QStringLiteral("--json")});
    ASSERT_EQ(runs.exitCode, 0) << runs.describe();
    const QJsonArray list = jsonOf(runs);
    ASSERT_EQ(list.size(), 2);
    // Newest first.
    const QJsonObject newest = list[0].toObject(), oldest = list[1].toObject();
    EXPECT_EQ(newest.value(QStringLiteral("rows")).toInt(), 3);
    EXPECT_EQ(oldest.value(QStringLiteral("rows")).toInt(), 2);
    EXPECT_EQ(oldest.value(QStringLiteral("fails")).toInt(), 2);
    EXPECT_EQ(oldest.value(QStringLiteral("lot")).toString(), HostileLot);
    EXPECT_EQ(oldest.value(QStringLiteral("operator")).toString(), HostileOperator);
    EXPECT_EQ(oldest.value(QStringLiteral("outcome")).toString(), QStringLiteral("completed"));
    EXPECT_EQ(oldest.value(QStringLiteral("procedure")).toString(), QStringLiteral("capacitor.pro"));
    EXPECT_TRUE(oldest.value(QStringLiteral("meter")).toString().contains(QLatin1String("44"))) << qPrintable(runs.errText());
    EXPECT_FALSE(oldest.value(QStringLiteral("finished")).toString().isEmpty());
    EXPECT_EQ(QStringList(list[0].toObject().keys()).size(), 11);
    EXPECT_TRUE(readBytes(report).size() > 0);

    // The TSV: header and one line a run; all three runs without a filter.
    const CliResult tsv = runCli({QStringLiteral("history"), QStringLiteral("runs")});
    ASSERT_EQ(tsv.outLines().size(), 4) << tsv.describe();
    EXPECT_EQ(tsv.outLines()[0], QStringLiteral("id\tstarted\tfinished\tstation\toperator\tmeter\tprocedure\tlot\trows\tfails\toutcome"));

    // The lot's CSV holds exactly the rows the two runs printed, in order.
    const QString csvPath = dir.filePath(QStringLiteral("lot.csv"));
    const CliResult csv = runCli({QStringLiteral("history"), QStringLiteral("rows"), QStringLiteral("--lot"), HostileLot,
        QStringLiteral("--csv"), csvPath});
    ASSERT_EQ(csv.exitCode, 0) << csv.describe();
    QStringList lines = QString::fromUtf8(readBytes(csvPath)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1 + 5);
    const QList<QStringList> printed = printedRows(a) + printedRows(b);
    const QString oldestId = oldest.value(QStringLiteral("id")).toString();
    const QString newestId = newest.value(QStringLiteral("id")).toString();
    for (int i = 0; i < printed.size(); ++i) {
        const QStringList f = lines[i + 1].split(QLatin1Char(','));
        const QStringList &p = printed[i];
        EXPECT_EQ(f[0], i < 2 ? oldestId : newestId);
        EXPECT_EQ(f[1], p[0]); // seq
        const int readings = (p.size() - 3) / 2;
        ASSERT_EQ(f.size(), 4 + 3 * readings) << qPrintable(lines[i + 1]);
        for (int k = 0; k < readings; ++k) {
            EXPECT_EQ(f[4 + 3 * k], p[1 + 2 * k]);
            EXPECT_EQ(f[6 + 3 * k], p[2 + 2 * k]);
        }
    }

    // JSON rows of one run: values in base units beside the texts.
    const CliResult rows = runCli({QStringLiteral("history"), QStringLiteral("rows"), oldestId, QStringLiteral("--json")});
    const QJsonArray r = jsonOf(rows);
    ASSERT_EQ(r.size(), 2) << rows.describe();
    const QJsonObject first = r[0].toObject();
    EXPECT_EQ(first.value(QStringLiteral("seq")).toInt(), 1);
    EXPECT_EQ(first.value(QStringLiteral("verdict")).toString(), QStringLiteral("fail"));
    EXPECT_TRUE(first.value(QStringLiteral("measuredAt")).toString().endsWith(QLatin1Char('Z')));
    const QJsonObject c1 = first.value(QStringLiteral("cells")).toArray()[0].toObject();
    EXPECT_EQ(c1.value(QStringLiteral("step")).toInt(), 1);
    EXPECT_EQ(c1.value(QStringLiteral("item")).toString(), QStringLiteral("C"));
    EXPECT_EQ(c1.value(QStringLiteral("text")).toString(), printed[0][1]);
    EXPECT_DOUBLE_EQ(c1.value(QStringLiteral("value")).toDouble(), 1e-7);
    EXPECT_EQ(c1.value(QStringLiteral("verdict")).toString(), printed[0][2]);

    // The workbook, read back.
    const QString xlsx = dir.filePath(QStringLiteral("lot.xlsx"));
    ASSERT_EQ(runCli({QStringLiteral("history"), QStringLiteral("rows"), QStringLiteral("--lot"), HostileLot,
                  QStringLiteral("--xlsx"), xlsx}).exitCode, 0);
    QProcess py;
    py.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"),
        QStringLiteral("import openpyxl,sys; ws=openpyxl.load_workbook(sys.argv[1]).active; "
                       "print(ws.max_row, ws.cell(2,5).value, ws.cell(2,6).value)"), xlsx});
    py.waitForFinished(30000);
    EXPECT_EQ(QString::fromUtf8(py.readAllStandardOutput()).trimmed(), QStringLiteral("6 %1 1e-07").arg(printed[0][1]));

    // Filters: a date range that holds nothing, and one that holds all.
    EXPECT_EQ(jsonOf(runCli({QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--until"),
                  QStringLiteral("2000-01-01"), QStringLiteral("--json")})).size(), 0);
    EXPECT_EQ(jsonOf(runCli({QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--since"),
                  QStringLiteral("2000-01-01"), QStringLiteral("--procedure"), QStringLiteral("capacitor"), QStringLiteral("--json")})).size(), 3);
    const CliResult bad = runCli({QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--since"), QStringLiteral("yesterday")});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(isOneSentenceNaming(bad, QStringLiteral("yesterday"))) << bad.describe();
}

// Each row is committed before it is printed: a killed run keeps at least
// every row it printed; --no-db records nothing; a sweep's points are kept.
TEST(HistoryCli, KilledRunKeepsEveryPrintedRow)
{
    MeterSim sim;
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("kill.sqlite"));
    QProcess p;
    p.setProcessEnvironment(cliEnvironment());
    p.start(cliProgram(), {QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--loops"),
        QStringLiteral("100000"), QStringLiteral("--db"), db});
    ASSERT_TRUE(p.waitForStarted(10000));
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (out.count('\n') < 1 + 25 && clock.elapsed() < 30000) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
    }
    ::kill(pid_t(p.processId()), SIGKILL);
    p.waitForFinished(5000);
    out += p.readAllStandardOutput();
    const int printed = int(out.count('\n')) - 1;
    ASSERT_GE(printed, 25);
    const CliResult runs = runCli({QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--db"), db, QStringLiteral("--json")});
    const QJsonArray list = jsonOf(runs);
    ASSERT_EQ(list.size(), 1) << runs.describe();
    EXPECT_GE(list[0].toObject().value(QStringLiteral("rows")).toInt(), printed);
    EXPECT_TRUE(list[0].toObject().value(QStringLiteral("outcome")).isNull());

    const CliResult none = runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--db"),
        db, QStringLiteral("--no-db")});
    ASSERT_TRUE(none.finished) << none.describe();
    EXPECT_EQ(jsonOf(runCli({QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--db"), db, QStringLiteral("--json")})).size(), 1);

    // A sweep is recorded too: its settings and every point as listed.
    const CliResult sweep = runCli({QStringLiteral("sweep"), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--item"),
        QStringLiteral("C"), QStringLiteral("--kind"), QStringLiteral("freq"), QStringLiteral("--start"), QStringLiteral("20"),
        QStringLiteral("--end"), QStringLiteral("100"), QStringLiteral("--points"), QStringLiteral("5"), QStringLiteral("--db"), db});
    ASSERT_EQ(sweep.exitCode, 0) << sweep.describe();
    const QStringList listed = sweep.outLines();
    ASSERT_EQ(listed.size(), 1 + 5);
    {
        QSqlDatabase check = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("sweep"));
        check.setDatabaseName(db);
        ASSERT_TRUE(check.open());
        QSqlQuery q(check);
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT outcome, settings FROM sweeps")) && q.next());
        EXPECT_EQ(q.value(0).toString(), QStringLiteral("completed"));
        EXPECT_TRUE(q.value(1).toString().contains(QLatin1String("\"points\":\"5\""))) << qPrintable(q.value(1).toString());
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT seq, x, first_text FROM sweep_points ORDER BY seq")));
        for (int i = 1; i <= 5; ++i) {
            ASSERT_TRUE(q.next());
            const QStringList cells = listed[i].split(QLatin1Char('\t'));
            EXPECT_EQ(q.value(0).toInt(), i);
            EXPECT_EQ(q.value(1).toString(), cells.value(1));
            EXPECT_EQ(q.value(2).toString(), cells.value(2));
        }
        EXPECT_FALSE(q.next());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("sweep"));
}

// A database that cannot be written is said in one sentence naming it;
// the run goes on, with the same exit status, and its report is written.
// A reply timeout and a lost meter are stored as such.
TEST(HistoryCli, UnwritableDatabasesAndRunEnds)
{
    MeterSim sim;
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    QTemporaryDir dir;
    const QString junk = dir.filePath(QStringLiteral("junk.db"));
    writeBytes(junk, QByteArray(4096, 'x'));
    const QString newer = dir.filePath(QStringLiteral("newer.db"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("newer"));
        db.setDatabaseName(newer);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("CREATE TABLE schema_version (version INTEGER NOT NULL, applied TEXT NOT NULL)")));
        ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO schema_version VALUES (99, 'later')")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("newer"));
    const QString locked = dir.filePath(QStringLiteral("locked.db"));
    QProcess holder;
    holder.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"),
        QStringLiteral("import sqlite3,sys,time; c=sqlite3.connect(sys.argv[1], isolation_level=None); "
                       "c.execute('PRAGMA locking_mode=EXCLUSIVE'); c.execute('BEGIN EXCLUSIVE'); "
                       "c.execute('CREATE TABLE t (x)'); print('held', flush=True); time.sleep(60)"), locked});
    ASSERT_TRUE(holder.waitForReadyRead(10000));

    const QList<QPair<QString, QString>> cases = {{junk, QStringLiteral("not a results database")},
        {newer, QStringLiteral("newer")}, {locked, QStringLiteral("locked")}};
    for (const auto &c : cases) {
        const QString report = dir.filePath(QStringLiteral("r.rpt"));
        QFile::remove(report);
        const CliResult r = runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--loops"),
            QStringLiteral("2"), QStringLiteral("--db"), c.first, QStringLiteral("--report"), report});
        EXPECT_EQ(r.exitCode, 1) << r.describe();
        EXPECT_EQ(r.outLines().size(), 3) << r.describe();
        EXPECT_TRUE(isOneSentenceNaming(r, c.first)) << r.describe();
        EXPECT_TRUE(r.errText().contains(c.second)) << r.describe();
        EXPECT_TRUE(QFile::exists(report));
    }
    holder.kill();
    holder.waitForFinished(5000);
    const CliResult read = runCli({QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--db"), newer});
    EXPECT_EQ(read.exitCode, 2);
    EXPECT_TRUE(isOneSentenceNaming(read, newer)) << read.describe();

    // A reply that never comes, then a meter that hangs up.
    const QString db = dir.filePath(QStringLiteral("ends.sqlite"));
    MeterSim silent({QStringLiteral("--drop-every"), QStringLiteral("3")});
    const CliResult t = runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), silent.devicePath(), QStringLiteral("--db"),
        db, QStringLiteral("--reply-timeout"), QStringLiteral("300"), QStringLiteral("--lot-no"), QStringLiteral("T")});
    EXPECT_EQ(t.exitCode, 4) << t.describe();
    MeterSim gone({QStringLiteral("--hangup-after"), QStringLiteral("8")});
    const CliResult g = runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), gone.devicePath(), QStringLiteral("--db"),
        db, QStringLiteral("--loops"), QStringLiteral("5"), QStringLiteral("--lot-no"), QStringLiteral("G")});
    EXPECT_EQ(g.exitCode, 4) << g.describe();
    const QJsonArray ends = jsonOf(runCli({QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--db"), db, QStringLiteral("--json")}));
    ASSERT_EQ(ends.size(), 2);
    EXPECT_EQ(ends[0].toObject().value(QStringLiteral("outcome")).toString(), QStringLiteral("meter-lost"));
    EXPECT_EQ(ends[0].toObject().value(QStringLiteral("rows")).toInt(), 1);
    EXPECT_EQ(ends[1].toObject().value(QStringLiteral("outcome")).toString(), QStringLiteral("timeout"));
}

// A real PostgreSQL server: a run recorded in it, texts exactly; the server
// stopped during a run and started again: every row there exactly once; a
// run while it is away waits in the spool until a sync.
TEST(HistoryCli, PostgresRecordsAndSurvivesAServerRestart)
{
    PostgresServer &pg = PostgresServer::shared();
    ASSERT_TRUE(pg.isRunning()) << qPrintable(pg.errorText());
    MeterSim sim;
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const CliResult a = runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--loops"),
        QStringLiteral("3"), QStringLiteral("--db"), pg.url(), QStringLiteral("--lot-no"), HostileLot, QStringLiteral("--operator"),
        HostileOperator});
    ASSERT_EQ(a.exitCode, 1) << a.describe();
    EXPECT_TRUE(a.err.isEmpty()) << a.describe();
    EXPECT_EQ(pg.query(QStringLiteral("SELECT count(*) FROM result_rows")), QStringList{QStringLiteral("3")});
    EXPECT_EQ(pg.query(QStringLiteral("SELECT lot_no FROM runs")), QStringList{HostileLot});
    const QJsonArray runs = jsonOf(runCli({QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--db"), pg.url(), QStringLiteral("--json")}));
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].toObject().value(QStringLiteral("operator")).toString(), HostileOperator);
    EXPECT_EQ(runs[0].toObject().value(QStringLiteral("outcome")).toString(), QStringLiteral("completed"));
    const QString firstId = runs[0].toObject().value(QStringLiteral("id")).toString();
    const QJsonArray rows = jsonOf(runCli({QStringLiteral("history"), QStringLiteral("rows"), firstId, QStringLiteral("--db"), pg.url(), QStringLiteral("--json")}));
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[2].toObject().value(QStringLiteral("cells")).toArray()[0].toObject().value(QStringLiteral("text")).toString(),
        printedRows(a)[2][1]);

    // The server goes away after a few rows and comes back before the end.
    MeterSim slow(slowMeter(), false);
    ASSERT_TRUE(slow.isRunning()) << qPrintable(slow.errorText());
    const int loops = 24;
    QProcess p;
    p.setProcessEnvironment(cliEnvironment());
    p.start(cliProgram(), {QStringLiteral("run"), procedure(), QStringLiteral("--port"), slow.devicePath(), QStringLiteral("--loops"),
        QString::number(loops), QStringLiteral("--db"), pg.url(), QStringLiteral("--lot-no"), QStringLiteral("restart")});
    ASSERT_TRUE(p.waitForStarted(10000));
    QByteArray out;
    auto waitRows = [&](int n) {
        QElapsedTimer clock;
        clock.start();
        while (out.count('\n') < 1 + n && clock.elapsed() < 30000 && p.state() == QProcess::Running) {
            p.waitForReadyRead(50);
            out += p.readAllStandardOutput();
        }
        return out.count('\n') - 1;
    };
    ASSERT_GE(waitRows(3), 3);
    ASSERT_TRUE(pg.stop());
    const int whileDown = int(waitRows(12));
    ASSERT_LT(whileDown, loops) << "the run ended before the server came back";
    ASSERT_TRUE(pg.start());
    ASSERT_TRUE(p.waitForFinished(60000));
    out += p.readAllStandardOutput();
    // The outage is the bench's business only: no driver's lines on stderr.
    const QByteArray restartErr = p.readAllStandardError();
    EXPECT_EQ(p.exitCode(), 1) << restartErr.constData();
    // Only the program's own sentences, never a driver's line.
    for (const QByteArray &line : restartErr.split('\n'))
        EXPECT_TRUE(line.isEmpty() || line.startsWith("qel-cli: ")) << restartErr.constData();
    EXPECT_EQ(out.count('\n') - 1, loops);
    EXPECT_EQ(pg.query(QStringLiteral("SELECT count(*), count(DISTINCT seq), min(seq), max(seq) FROM result_rows w "
                                      "JOIN runs r ON r.id = w.run_id WHERE r.lot_no = 'restart'")),
        QStringList{QStringLiteral("%1|%1|1|%1").arg(loops)});
    EXPECT_EQ(pg.query(QStringLiteral("SELECT outcome FROM runs WHERE lot_no = 'restart'")), QStringList{QStringLiteral("completed")});

    // Nothing waits, and a sync says so; a sync again moves nothing twice.
    const CliResult sync = runCli({QStringLiteral("history"), QStringLiteral("sync"), QStringLiteral("--db"), pg.url()});
    EXPECT_EQ(sync.exitCode, 0) << sync.describe();
    EXPECT_TRUE(sync.outLines().value(0).startsWith(QLatin1String("0 rows forwarded"))) << sync.describe();
    EXPECT_EQ(pg.query(QStringLiteral("SELECT count(*) FROM result_rows")), QStringList{QString::number(3 + loops)});

    // A whole run while the server is away: its rows wait in the spool and
    // a sync forwards them, once.
    ASSERT_TRUE(pg.stop());
    const CliResult r = runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--loops"),
        QStringLiteral("4"), QStringLiteral("--db"), pg.url(), QStringLiteral("--lot-no"), QStringLiteral("offline")});
    EXPECT_EQ(r.exitCode, 1) << r.describe();
    EXPECT_TRUE(isOneSentenceNaming(r, QStringLiteral("4 rows wait"))) << r.describe();
    const CliResult down = runCli({QStringLiteral("history"), QStringLiteral("sync"), QStringLiteral("--db"), pg.url()});
    EXPECT_EQ(down.exitCode, 3) << down.describe();
    ASSERT_TRUE(pg.start());
    const CliResult back = runCli({QStringLiteral("history"), QStringLiteral("sync"), QStringLiteral("--db"), pg.url()});
    EXPECT_EQ(back.exitCode, 0) << back.describe();
    EXPECT_TRUE(back.outLines().value(0).startsWith(QLatin1String("4 rows forwarded"))) << back.describe();
    const CliResult again = runCli({QStringLiteral("history"), QStringLiteral("sync"), QStringLiteral("--db"), pg.url()});
    EXPECT_TRUE(again.outLines().value(0).startsWith(QLatin1String("0 rows forwarded"))) << again.describe();
    EXPECT_EQ(pg.query(QStringLiteral("SELECT count(*), count(DISTINCT seq) FROM result_rows w JOIN runs r ON r.id = w.run_id "
                                      "WHERE r.lot_no = 'offline'")),
        QStringList{QStringLiteral("4|4")});
    EXPECT_EQ(pg.query(QStringLiteral("SELECT outcome FROM runs WHERE lot_no = 'offline'")), QStringList{QStringLiteral("completed")});
}

// A server that refuses the password: one sentence naming it, the run goes
// on and its rows wait in the spool; a sync with the right password
// forwards each of them once.
TEST(HistoryCli, RefusedPasswordSpoolsTheRowsUntilASyncWithTheRightOne)
{
    PostgresServer &pg = PostgresServer::shared();
    ASSERT_TRUE(pg.isRunning()) << qPrintable(pg.errorText());
    ASSERT_TRUE(pg.requirePassword(QStringLiteral("bench"), QStringLiteral("r1ght")));
    MeterSim sim;
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const QString base = QStringLiteral("postgresql://bench:%1@127.0.0.1:%2/qel");
    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("pw.rpt"));
    const CliResult r = runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--loops"),
        QStringLiteral("3"), QStringLiteral("--db"), base.arg(QStringLiteral("wr0ng")).arg(pg.port()), QStringLiteral("--lot-no"),
        QStringLiteral("password"), QStringLiteral("--report"), report});
    EXPECT_EQ(r.exitCode, 1) << r.describe();
    EXPECT_EQ(r.outLines().size(), 1 + 3) << r.describe();
    const QString shown = QStringLiteral("postgresql://bench@127.0.0.1:%1/qel").arg(pg.port());
    EXPECT_TRUE(isOneSentenceNaming(r, shown)) << r.describe();
    EXPECT_TRUE(r.errText().contains(QLatin1String("3 rows wait"))) << r.describe();
    EXPECT_TRUE(r.errText().contains(QLatin1String("refused the password"))) << r.describe();
    EXPECT_FALSE(r.errText().contains(QLatin1String("wr0ng"))) << r.describe();
    EXPECT_TRUE(QFile::exists(report));

    const CliResult refused = runCli({QStringLiteral("history"), QStringLiteral("sync"), QStringLiteral("--db"),
        base.arg(QStringLiteral("wr0ng")).arg(pg.port())});
    EXPECT_EQ(refused.exitCode, 3) << refused.describe();
    EXPECT_TRUE(isOneSentenceNaming(refused, shown)) << refused.describe();
    const CliResult sync = runCli({QStringLiteral("history"), QStringLiteral("sync"), QStringLiteral("--db"),
        base.arg(QStringLiteral("r1ght")).arg(pg.port())});
    EXPECT_EQ(sync.exitCode, 0) << sync.describe();
    EXPECT_TRUE(sync.outLines().value(0).startsWith(QLatin1String("3 rows forwarded"))) << sync.describe();
    EXPECT_EQ(pg.query(QStringLiteral("SELECT count(*), count(DISTINCT seq), max(r.row_count), max(r.outcome) FROM result_rows w "
                                      "JOIN runs r ON r.id = w.run_id WHERE r.lot_no = 'password'")),
        QStringList{QStringLiteral("3|3|3|completed")});
}

// The disk under the database fills during a run: recording stops with one
// sentence naming the file, the run goes on to its end, and every row
// recorded before is there as printed.
TEST(HistoryCli, AFullDiskStopsRecordingNotTheRun)
{
    if (getuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    QTemporaryDir dir;
    const QString small = dir.filePath(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(small));
    if (QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
            QStringLiteral("size=160k"), QStringLiteral("tmpfs"), small}) != 0)
        GTEST_SKIP() << "this machine does not let a test mount a file system";
    struct Unmount
    {
        QString path;
        ~Unmount() { QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), path}); }
    } unmount{small};
    MeterSim sim;
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const QString db = small + QStringLiteral("/full.sqlite");
    const QString report = dir.filePath(QStringLiteral("full.rpt"));
    const int loops = 60;
    const CliResult r = runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--loops"),
        QString::number(loops), QStringLiteral("--db"), db, QStringLiteral("--report"), report});
    EXPECT_EQ(r.exitCode, 1) << r.describe();
    const QList<QStringList> printed = printedRows(r);
    EXPECT_EQ(printed.size(), loops) << r.describe();
    EXPECT_TRUE(isOneSentenceNaming(r, db)) << r.describe();
    EXPECT_TRUE(r.errText().contains(QLatin1String("disk is full"))) << r.describe();
    EXPECT_TRUE(readBytes(report).size() > 0);

    const QJsonArray runs = jsonOf(runCli({QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--db"), db, QStringLiteral("--json")}));
    ASSERT_EQ(runs.size(), 1);
    const QJsonArray rows = jsonOf(runCli({QStringLiteral("history"), QStringLiteral("rows"),
        runs[0].toObject().value(QStringLiteral("id")).toString(), QStringLiteral("--db"), db, QStringLiteral("--json")}));
    ASSERT_GT(rows.size(), 0);
    ASSERT_LT(rows.size(), loops);
    EXPECT_EQ(runs[0].toObject().value(QStringLiteral("rows")).toInt(), rows.size());
    // Recording is tried again while the disk stays full: the rows that got
    // in are the printed ones under their numbers.
    for (int i = 0; i < rows.size(); ++i) {
        const QJsonObject row = rows[i].toObject();
        const int seq = row.value(QStringLiteral("seq")).toInt();
        ASSERT_TRUE(seq > (i ? rows[i - 1].toObject().value(QStringLiteral("seq")).toInt() : 0) && seq <= loops);
        const QJsonArray cells = row.value(QStringLiteral("cells")).toArray();
        for (int k = 0; k < cells.size(); ++k)
            EXPECT_EQ(cells[k].toObject().value(QStringLiteral("text")).toString(), printed[seq - 1].value(1 + 2 * k)) << i << "," << k;
    }
    // Closed only if the disk took its end: then as interrupted, every row counted.
    const QJsonObject run = runs[0].toObject();
    if (!run.value(QStringLiteral("finished")).isNull()) {
        EXPECT_EQ(run.value(QStringLiteral("outcome")).toString(), QStringLiteral("recording-interrupted"));
        EXPECT_EQ(run.value(QStringLiteral("unrecorded")).toInt() + rows.size(), loops);
    }
}

// Databases left at schema version 1, a file and a server: read as they
// are (a read-only open changes nothing), brought to version 4 by the next
// run with every run and row kept, counts included.
TEST(HistoryCli, VersionOneDatabasesAreReadThenMigrated)
{
    PostgresServer &pg = PostgresServer::shared();
    ASSERT_TRUE(pg.isRunning()) << qPrintable(pg.errorText());
    ASSERT_EQ(pg.query(QStringLiteral("CREATE DATABASE qelv1")), QStringList{QStringLiteral("CREATE DATABASE")});
    MeterSim sim;
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("v1.sqlite"));
    // Statements on either database; result rows with fields joined by "|".
    auto sql = [&](const QString &url, const QString &statement) {
        if (url != file)
            return pg.query(statement, QStringLiteral("qelv1"));
        QStringList out;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v1"));
            db.setDatabaseName(file);
            db.open();
            QSqlQuery q(db);
            for (const QString &s : statement.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
                if (!q.exec(s))
                    out << QStringLiteral("ERROR: ") + q.lastError().text();
                while (q.next()) {
                    QStringList fields;
                    for (int i = 0; i < q.record().count(); ++i)
                        fields << q.value(i).toString();
                    out << fields.join(QLatin1Char('|'));
                }
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("v1"));
        return out;
    };
    for (const QString &url : {file, pg.url(QStringLiteral("qelv1"))}) {
        SCOPED_TRACE(url.toStdString());
        auto run = [&](int loops, const QString &lot) {
            const CliResult r = runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--loops"),
                QString::number(loops), QStringLiteral("--db"), url, QStringLiteral("--lot-no"), lot});
            EXPECT_EQ(r.exitCode, 1) << r.describe();
            EXPECT_TRUE(r.err.isEmpty()) << r.describe();
        };
        auto runsJson = [&] {
            return jsonOf(runCli({QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--db"), url, QStringLiteral("--json")}));
        };
        run(2, QStringLiteral("old"));
        const QJsonArray recorded = runsJson();
        ASSERT_EQ(recorded.size(), 1);
        // As a program of version 1 left it.
        const QStringList dropped = sql(url, QStringLiteral("DROP INDEX result_rows_verdict; DROP INDEX runs_station; "
                                                            "ALTER TABLE runs DROP COLUMN row_count; ALTER TABLE runs DROP COLUMN fail_count; "
                                                            "ALTER TABLE runs DROP COLUMN unrecorded; "
                                                            "DROP INDEX result_rows_serial; ALTER TABLE result_rows DROP COLUMN serial; "
                                                            "ALTER TABLE result_rows DROP COLUMN bin; ALTER TABLE runs DROP COLUMN meter_profile; "
                                                            "DELETE FROM schema_version WHERE version >= 2"));
        EXPECT_FALSE(dropped.join(QLatin1Char('\n')).contains(QLatin1String("ERROR"))) << qPrintable(dropped.join(QLatin1Char('\n')));
        EXPECT_EQ(runsJson(), recorded);
        EXPECT_EQ(sql(url, QStringLiteral("SELECT MAX(version) FROM schema_version")), QStringList{QStringLiteral("1")});

        run(3, QStringLiteral("new"));
        EXPECT_EQ(sql(url, QStringLiteral("SELECT MAX(version), COUNT(*) FROM schema_version")), QStringList{QStringLiteral("4|4")});
        EXPECT_EQ(sql(url, QStringLiteral("SELECT lot_no, row_count, fail_count FROM runs ORDER BY started")),
            (QStringList{QStringLiteral("old|2|2"), QStringLiteral("new|3|3")}));
        const QJsonArray both = runsJson();
        ASSERT_EQ(both.size(), 2);
        EXPECT_EQ(both[1].toObject(), recorded[0].toObject());
        EXPECT_EQ(both[0].toObject().value(QStringLiteral("rows")).toInt(), 3);
        const QJsonArray rows = jsonOf(runCli({QStringLiteral("history"), QStringLiteral("rows"), QStringLiteral("--lot"),
            QStringLiteral("old"), QStringLiteral("--db"), url, QStringLiteral("--json")}));
        EXPECT_EQ(rows.size(), 2);
    }
}

// Another program holds the file's write lock for part of a run: said once,
// the rows after it is released are recorded again, and the run is closed
// as interrupted with the rows it could not record counted.
TEST(HistoryCli, ALockHeldDuringARunIsWaitedOutAndCounted)
{
    MeterSim sim;
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("lock.sqlite"));
    ASSERT_EQ(runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--db"), db}).exitCode, 1);
    QProcess holder;
    holder.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"),
        QStringLiteral("import sqlite3,sys; c=sqlite3.connect(sys.argv[1], isolation_level=None); "
                       "c.execute('BEGIN IMMEDIATE'); print('held', flush=True); sys.stdin.readline(); "
                       "c.execute('ROLLBACK'); c.close()"), db});
    ASSERT_TRUE(holder.waitForReadyRead(10000));

    const int loops = 60;
    QProcess p;
    p.setProcessEnvironment(cliEnvironment());
    p.start(cliProgram(), {QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--loops"),
        QString::number(loops), QStringLiteral("--db"), db});
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (out.count('\n') < 1 + 10 && clock.elapsed() < 30000) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
    }
    holder.write("\n");
    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished(10000));
    ASSERT_TRUE(p.waitForFinished(60000));
    out += p.readAllStandardOutput();
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 1) << qPrintable(err);
    EXPECT_EQ(err.count(QLatin1Char('\n')), 1) << qPrintable(err);
    EXPECT_TRUE(err.contains(db + QStringLiteral(" is locked by another program; rows are recorded again"))) << qPrintable(err);

    const QJsonArray runs = jsonOf(runCli({QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--db"), db, QStringLiteral("--json")}));
    ASSERT_EQ(runs.size(), 2);
    const QJsonObject run = runs[0].toObject();
    EXPECT_EQ(run.value(QStringLiteral("outcome")).toString(), QStringLiteral("recording-interrupted"));
    EXPECT_FALSE(run.value(QStringLiteral("finished")).toString().isEmpty());
    const int recorded = run.value(QStringLiteral("rows")).toInt(), lost = run.value(QStringLiteral("unrecorded")).toInt();
    EXPECT_GT(recorded, 0);
    EXPECT_GT(lost, 0);
    EXPECT_EQ(recorded + lost, loops);
    // The rows recorded are the ones printed under their numbers.
    QList<QStringList> printed;
    for (const QString &line : QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1))
        printed << line.split(QLatin1Char('\t'));
    ASSERT_EQ(printed.size(), loops);
    const QJsonArray rows = jsonOf(runCli({QStringLiteral("history"), QStringLiteral("rows"), run.value(QStringLiteral("id")).toString(),
        QStringLiteral("--db"), db, QStringLiteral("--json")}));
    ASSERT_EQ(rows.size(), recorded);
    for (const QJsonValue &v : rows) {
        const int seq = v.toObject().value(QStringLiteral("seq")).toInt();
        ASSERT_TRUE(seq >= 1 && seq <= loops);
        EXPECT_EQ(v.toObject().value(QStringLiteral("cells")).toArray()[0].toObject().value(QStringLiteral("text")).toString(),
            printed[seq - 1].value(1));
    }
    // The run before keeps its eleven keys.
    EXPECT_EQ(runs[1].toObject().keys().size(), 11);
}
