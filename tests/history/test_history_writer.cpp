// The writer and a database another program locks: the problem is said
// once, recording is tried again instead of switched off, and a run whose
// rows could not all be recorded is closed, with their count, as soon as
// the file can be written again.

#include "../support/SqliteLockHolder.h"

#include "history/HistoryDatabase.h"
#include "history/HistoryWriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

History::RowRecord row(const QString &run, int seq)
{
    History::RowRecord r;
    r.runId = run;
    r.seq = seq;
    r.measuredAt = QDateTime::currentDateTimeUtc();
    r.verdict = QStringLiteral("pass");
    r.cells = {{QStringLiteral("%1nF").arg(seq), seq * 1e-9, QStringLiteral("pass")}};
    return r;
}

History::RunRecord runRecord(const QString &id)
{
    History::RunRecord run;
    run.id = id;
    run.started = QDateTime::currentDateTimeUtc();
    run.columns = {{1, QStringLiteral("C"), QStringLiteral("F")}};
    return run;
}

// The run as another reader sees it; empty when it is not there.
HistoryDatabase::RunSummary stored(const HistoryTarget &target, const QString &id)
{
    HistoryDatabase db;
    HistoryDatabase::Filter f;
    f.runId = id;
    QVector<HistoryDatabase::RunSummary> runs;
    if (!db.open(target, HistoryDatabase::Mode::ReadOnly, nullptr) || !db.listRuns(f, runs, nullptr) || runs.isEmpty())
        return {};
    return runs.first();
}

} // namespace

TEST(HistoryWriter, ALockedDatabaseIsTriedAgainAndTheRunClosedWithWhatWasLost)
{
    QTemporaryDir dir;
    HistoryTarget target;
    target.kind = HistoryTarget::Kind::SQLite;
    target.path = dir.filePath(QStringLiteral("results.sqlite"));
    HistoryWriter writer;
    QStringList problems;
    QObject::connect(&writer, &HistoryWriter::problem, [&](const QString &s) { problems << s; });
    ASSERT_TRUE(writer.setTarget(target));

    // The run ends while another program holds the lock: nothing of it is written.
    SqliteLockHolder lock(target.path);
    ASSERT_TRUE(lock.held());
    writer.beginRun(runRecord(QStringLiteral("locked")));
    for (int seq = 1; seq <= 5; ++seq)
        writer.writeRow(row(QStringLiteral("locked"), seq));
    writer.endRun(QStringLiteral("locked"), History::Outcome::completed());
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains(QLatin1String("locked by another program"))) << qPrintable(problems[0]);
    EXPECT_TRUE(writer.isRecording());
    EXPECT_TRUE(writer.isWaiting());
    EXPECT_TRUE(writer.statusText().contains(QLatin1String("5 rows not recorded"))) << qPrintable(writer.statusText());

    // Released: the writer closes the run by itself, saying why.
    ASSERT_TRUE(lock.release());
    QElapsedTimer clock;
    clock.start();
    while (stored(target, QStringLiteral("locked")).finished.isEmpty() && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const HistoryDatabase::RunSummary closed = stored(target, QStringLiteral("locked"));
    EXPECT_FALSE(closed.finished.isEmpty());
    EXPECT_EQ(closed.outcome, QStringLiteral("recording-interrupted"));
    EXPECT_EQ(closed.unrecorded, 5);
    EXPECT_EQ(closed.rows, 0);
    EXPECT_FALSE(writer.isWaiting());

    // The next run is recorded whole; nothing more is said.
    writer.beginRun(runRecord(QStringLiteral("after")));
    for (int seq = 1; seq <= 3; ++seq)
        writer.writeRow(row(QStringLiteral("after"), seq));
    writer.endRun(QStringLiteral("after"), History::Outcome::completed());
    const HistoryDatabase::RunSummary after = stored(target, QStringLiteral("after"));
    EXPECT_EQ(after.outcome, QStringLiteral("completed"));
    EXPECT_EQ(after.rows, 3);
    EXPECT_EQ(after.unrecorded, 0);
    EXPECT_EQ(problems.size(), 1);
    EXPECT_EQ(writer.statusText(), QStringLiteral("Results: %1").arg(target.path));
}
