// One SQLite results file shared by the desktop program (a writer's
// connection, the Results History window reading and reopening) and other
// programs writing into it: nobody's view goes stale or "malformed", and
// every row written is read back exactly once. And a PostgreSQL server
// going away under the window and a writer prints no driver lines.
//
// WritersAndPollingReadersShareOneFile runs for QEL_SOAK_SECONDS (default
// 12); scripts/history-soak runs it for minutes.

#include "history/HistoryDatabase.h"
#include "history/HistoryModels.h"
#include "history/HistoryWriter.h"
#include "history/ui/ResultsHistoryWindow.h"

#include "../../cli/CliHarness.h"
#include "../../support/MeterSim.h"
#include "../../support/PostgresServer.h"
#include "../../support/RecordingPrompter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMutex>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

HistoryTarget fileTarget(const QString &path)
{
    HistoryTarget t;
    t.kind = HistoryTarget::Kind::SQLite;
    t.path = path;
    return t;
}

// Records one run of `rows` rows through a writer, as a front end does.
void recordRun(HistoryWriter &writer, const QString &id, int rows, const QString &lot)
{
    History::RunRecord run;
    run.id = id;
    run.started = QDateTime::currentDateTimeUtc();
    run.procedure = QStringLiteral("stress.pro");
    run.lotNo = lot;
    run.columns = {{1, QStringLiteral("C"), QStringLiteral("F")}};
    writer.beginRun(run);
    for (int r = 1; r <= rows; ++r) {
        History::RowRecord row;
        row.runId = id;
        row.seq = r;
        row.measuredAt = QDateTime::currentDateTimeUtc();
        row.verdict = QStringLiteral("pass");
        row.cells = {{QStringLiteral("%1nF").arg(r), r * 1e-9, QStringLiteral("pass")}};
        writer.writeRow(row);
    }
    writer.endRun(id, History::Outcome::completed());
}

// What another program reads: run id -> "rows|outcome".
QMap<QString, QString> runsReadElsewhere(const QString &db, QString *problem)
{
    const CliResult r = runCli({QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--db"), db, QStringLiteral("--json")});
    QMap<QString, QString> out;
    if (r.exitCode != 0 || !r.err.isEmpty()) {
        *problem = QString::fromStdString(r.describe());
        return out;
    }
    for (const QJsonValue &v : QJsonDocument::fromJson(r.out).array()) {
        const QJsonObject o = v.toObject();
        out.insert(o.value(QStringLiteral("id")).toString(),
            QStringLiteral("%1|%2").arg(o.value(QStringLiteral("rows")).toInt()).arg(o.value(QStringLiteral("outcome")).toString()));
    }
    return out;
}

QString integrity(const QString &db)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"),
        QStringLiteral("import sqlite3,sys; print(sqlite3.connect(sys.argv[1]).execute('PRAGMA integrity_check').fetchone()[0])"), db});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed() + QString::fromUtf8(p.readAllStandardError());
}

} // namespace

// The desktop's case: its writer holds a connection, the window opens one
// of its own; another program records a run and exits. The desktop still
// sees that run and what it records next reaches the file for everyone.
TEST(HistorySharing, ADesktopBesideAnotherWriterStaysCurrent)
{
    MeterSim sim;
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("results.sqlite"));
    const HistoryTarget target = fileTarget(db);
    HistoryWriter writer;
    QStringList problems;
    QObject::connect(&writer, &HistoryWriter::problem, [&](const QString &s) { problems << s; });
    ASSERT_TRUE(writer.setTarget(target));
    RecordingPrompter prompter;
    ResultsHistoryWindow window(&prompter);
    window.setTarget(target);
    window.show();

    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE(round);
        const CliResult cli = runCli({QStringLiteral("run"), qelSourceDir() + QStringLiteral("/examples/capacitor.pro"),
            QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--loops"), QStringLiteral("2"), QStringLiteral("--db"), db});
        ASSERT_EQ(cli.exitCode, 1) << cli.describe();
        ASSERT_TRUE(cli.err.isEmpty()) << cli.describe();
        recordRun(writer, QStringLiteral("desk-%1").arg(round), 3, QStringLiteral("desk"));
        window.refresh();
        EXPECT_EQ(window.runsModel()->rowCount(), 2 * round) << qPrintable(window.statusLabel()->text());
        QString problem;
        const QMap<QString, QString> elsewhere = runsReadElsewhere(db, &problem);
        EXPECT_TRUE(problem.isEmpty()) << qPrintable(problem);
        EXPECT_EQ(elsewhere.size(), 2 * round);
        EXPECT_EQ(elsewhere.value(QStringLiteral("desk-%1").arg(round)), QStringLiteral("3|completed"));
    }
    EXPECT_TRUE(problems.isEmpty()) << qPrintable(problems.join('\n'));
    EXPECT_TRUE(writer.isRecording());
    EXPECT_EQ(integrity(db), QStringLiteral("ok"));
}

// A writer process of the stress test: QEL_SHARING_WRITER=FILE,NAME,RUNS,ROWS.
// Each run through a writer opened afresh; exits 1 on any problem.
TEST(HistorySharing, DISABLED_WriterProcess)
{
    const QStringList w = qEnvironmentVariable("QEL_SHARING_WRITER").split(QLatin1Char(','));
    ASSERT_EQ(w.size(), 4);
    bool failed = false;
    for (int run = 1; run <= w[2].toInt(); ++run) {
        HistoryWriter writer;
        QObject::connect(&writer, &HistoryWriter::problem, [&](const QString &s) {
            std::fprintf(stderr, "writer %s: %s\n", qPrintable(w[1]), qPrintable(s));
            failed = true;
        });
        writer.setTarget(fileTarget(w[0]));
        recordRun(writer, QStringLiteral("%1-%2").arg(w[1]).arg(run), w[3].toInt(), w[1]);
    }
    if (failed)
        std::exit(1);
}

// Several writer processes and readers polling one file for the soak's
// length: in this process an idle writer and the window catching up and
// reopening, elsewhere qel-cli reading. No reader or writer meets an error;
// at the end every run holds all its rows, read from here and from elsewhere.
TEST(HistorySharing, WritersAndPollingReadersShareOneFile)
{
    const int seconds = qEnvironmentVariableIsSet("QEL_SOAK_SECONDS") ? qEnvironmentVariableIntValue("QEL_SOAK_SECONDS") : 12;
    constexpr int Writers = 3, Rows = 40;
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("results.sqlite"));
    const HistoryTarget target = fileTarget(db);
    HistoryWriter idle;
    QStringList problems;
    QObject::connect(&idle, &HistoryWriter::problem, [&](const QString &s) { problems << QStringLiteral("idle: ") + s; });
    ASSERT_TRUE(idle.setTarget(target));
    RecordingPrompter prompter;
    ResultsHistoryWindow window(&prompter);
    window.setTarget(target);
    window.show();

    // Writers come and go until the time is up: each writes a few runs and exits.
    QMap<QString, int> expected; // run id -> rows
    QList<QProcess *> writers;
    int started = 0;
    auto startWriter = [&] {
        auto *p = new QProcess;
        const QString name = QStringLiteral("w%1").arg(++started);
        const int runs = 3;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QEL_SHARING_WRITER"), QStringLiteral("%1,%2,%3,%4").arg(db, name).arg(runs).arg(Rows));
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(),
            {QStringLiteral("--gtest_filter=HistorySharing.DISABLED_WriterProcess"), QStringLiteral("--gtest_also_run_disabled_tests")});
        for (int r = 1; r <= runs; ++r)
            expected.insert(QStringLiteral("%1-%2").arg(name).arg(r), Rows);
        writers << p;
    };
    QProcess reader; // qel-cli reading the runs again and again
    int readsElsewhere = 0, readFailures = 0;
    auto startReader = [&] {
        reader.setProcessEnvironment(cliEnvironment());
        reader.start(cliProgram(), {QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--db"), db});
    };
    QObject::connect(&reader, &QProcess::finished, [&](int code) {
        ++readsElsewhere;
        const QByteArray err = reader.readAllStandardError();
        if (code != 0 || !err.isEmpty()) {
            ++readFailures;
            problems << QStringLiteral("qel-cli history runs: ") + QString::fromUtf8(err);
        }
    });

    QElapsedTimer clock;
    clock.start();
    int ownRuns = 0, catchUps = 0;
    while (clock.elapsed() < seconds * 1000) {
        for (QProcess *p : writers)
            if (p->state() == QProcess::NotRunning && p->exitCode() != 0)
                problems << QStringLiteral("a writer failed");
        int running = 0;
        for (QProcess *p : writers)
            running += p->state() != QProcess::NotRunning;
        while (running++ < Writers)
            startWriter();
        if (reader.state() == QProcess::NotRunning)
            startReader();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        window.catchUp();
        ++catchUps;
        const QString error = window.runsModel()->lastError();
        if (!error.isEmpty())
            problems << QStringLiteral("window: ") + error;
        if (catchUps % 10 == 0) {
            const int before = window.runsModel()->rowCount();
            window.refresh(); // a connection of its own, opened afresh
            if (!window.runsModel()->lastError().isEmpty() || window.runsModel()->rowCount() < std::min(before, 200))
                problems << QStringLiteral("refresh: ") + window.statusLabel()->text();
        }
        if (catchUps % 25 == 0) {
            // The desktop records too, now and then.
            const QString id = QStringLiteral("desk-%1").arg(++ownRuns);
            recordRun(idle, id, 5, QStringLiteral("desk"));
            expected.insert(id, 5);
        }
        if (problems.size() > 20)
            break;
    }
    for (QProcess *p : writers) {
        EXPECT_TRUE(p->state() == QProcess::NotRunning || p->waitForFinished(120000));
        if (p->exitCode() != 0)
            problems << QStringLiteral("a writer failed");
    }
    if (reader.state() != QProcess::NotRunning)
        reader.waitForFinished(60000);
    qDeleteAll(writers);

    EXPECT_TRUE(problems.isEmpty()) << problems.size() << " problems:\n" << qPrintable(problems.mid(0, 20).join('\n'));
    std::printf("history-soak: %d s, %d writer processes, %d runs, %d window catch-ups, %d reads by qel-cli (%d failed), %lld problems\n",
        seconds, started, int(expected.size()), catchUps, readsElsewhere, readFailures, static_cast<long long>(problems.size()));
    EXPECT_GT(started, Writers);
    EXPECT_GT(readsElsewhere, 0);

    // Every run, every row, once: read here and elsewhere.
    window.refresh();
    while (window.runsModel()->canFetchMore({}))
        window.runsModel()->fetchMore({});
    QMap<QString, int> shown;
    for (int i = 0; i < window.runsModel()->rowCount(); ++i)
        shown.insert(window.runsModel()->run(i).id, int(window.runsModel()->run(i).rows));
    EXPECT_EQ(shown, expected);
    QString problem;
    const QMap<QString, QString> elsewhere = runsReadElsewhere(db, &problem);
    EXPECT_TRUE(problem.isEmpty()) << qPrintable(problem);
    QMap<QString, QString> want;
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        want.insert(it.key(), QStringLiteral("%1|completed").arg(it.value()));
    EXPECT_EQ(elsewhere, want);
    EXPECT_EQ(integrity(db), QStringLiteral("ok"));
}


namespace {

// Warnings come from the forwarder's thread too.
QMutex warningsLock;
QStringList warnings;
QtMessageHandler passOn = nullptr;

void keepWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg) {
        QMutexLocker hold(&warningsLock);
        warnings << message;
    }
    passOn(type, context, message);
}

} // namespace

// A PostgreSQL server stopped and started again under the window and a
// writer: what they say of it is theirs (the window's status, the
// writer's), with no line of the database driver's own on the way.
TEST(HistorySharing, AServerOutageLeavesNoDriverLines)
{
    PostgresServer &pg = PostgresServer::shared();
    ASSERT_TRUE(pg.isRunning()) << qPrintable(pg.errorText());
    passOn = qInstallMessageHandler(keepWarnings);
    QString error;
    const HistoryTarget target = HistoryTarget::parse(pg.url(), &error);
    HistoryWriter writer;
    ASSERT_TRUE(writer.setTarget(target));
    recordRun(writer, QStringLiteral("pg-1"), 3, QStringLiteral("pg"));
    ASSERT_TRUE(writer.flush(10000));
    RecordingPrompter prompter;
    ResultsHistoryWindow window(&prompter);
    window.setTarget(target);
    window.show();
    ASSERT_EQ(window.runsModel()->rowCount(), 1);

    ASSERT_TRUE(pg.stop());
    for (int i = 0; i < 3; ++i) {
        window.catchUp();
        recordRun(writer, QStringLiteral("pg-away-%1").arg(i), 2, QStringLiteral("pg"));
        QCoreApplication::processEvents(QEventLoop::AllEvents, 300);
    }
    window.refresh();
    EXPECT_TRUE(window.statusLabel()->text().startsWith(QLatin1String("Cannot reach the results database")))
        << qPrintable(window.statusLabel()->text());
    ASSERT_TRUE(pg.start());
    EXPECT_TRUE(writer.flush(20000)) << qPrintable(writer.lastProblem());
    window.refresh();
    EXPECT_EQ(window.runsModel()->rowCount(), 4) << qPrintable(window.statusLabel()->text());
    QStringList driverLines;
    QMutexLocker hold(&warningsLock);
    for (const QString &w : warnings)
        if (w.contains(QLatin1String("QSql")) || w.contains(QLatin1String("QPSQL")) || w.contains(QLatin1String("statement"))
            || w.contains(QLatin1String("server")))
            driverLines << w;
    EXPECT_TRUE(driverLines.isEmpty()) << qPrintable(driverLines.join(QLatin1Char('\n')));
}
