#pragma once

#include "history/HistoryRecords.h"
#include "history/HistoryTarget.h"

#include <QObject>
#include <QString>

#include <memory>

class HistoryDatabase;
class HistoryForwarder;
class QThread;

// The narrow interface front ends record through. Each row is committed
// before the call returns (a killed program keeps it). With a server as the
// target, rows are committed to the local spool and forwarded by a worker
// thread, so a server that goes away never stops or slows the bench. A
// database that cannot be written turns recording off with one sentence;
// the run goes on.
class HistoryRecorder : public QObject
{
    Q_OBJECT
public:
    explicit HistoryRecorder(QObject *parent = nullptr);
    ~HistoryRecorder() override;

    // An invalid target records nothing. Returns false (and problem()) when
    // the local database cannot be opened.
    bool setTarget(const HistoryTarget &target);
    const HistoryTarget &target() const { return m_target; }
    bool isRecording() const { return m_db != nullptr; }

    void beginRun(const History::RunRecord &run);
    void recordRow(const History::RowRecord &row);
    void endRun(const QString &runId, const QString &outcome);
    void beginSweep(const History::SweepRecord &sweep);
    void recordPoint(const History::PointRecord &point);
    void endSweep(const QString &sweepId, const QString &outcome);

    // Rows waiting in the spool for the server (0 for SQLite).
    qint64 pending() const { return m_pending; }
    bool serverReachable() const { return m_reachable; }
    // "Results: FILE" or "Results: URL (N waiting)" for a status bar.
    QString statusText() const;
    // Waits (running the event loop) until the spool is empty or the time is up;
    // true when nothing waits.
    bool flush(int timeoutMs);
    // The last problem, one sentence.
    QString lastProblem() const { return m_problem; }

signals:
    void problem(const QString &sentence);
    void statusChanged();

private:
    void fail(const QString &sentence);
    void written();
    void onProgress(bool reachable, qint64 pending, const QString &problem);
    void stopForwarder();

    HistoryTarget m_target;
    std::unique_ptr<HistoryDatabase> m_db;
    QThread *m_thread = nullptr;
    HistoryForwarder *m_forwarder = nullptr;
    qint64 m_pending = 0;
    bool m_reachable = false;
    bool m_progressSeen = false;
    QString m_problem;
    QString m_serverProblem;
};
