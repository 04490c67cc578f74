#pragma once

#include "history/HistoryRecords.h"
#include "history/HistoryTarget.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

#include <memory>

class HistoryDatabase;
class HistoryForwarder;
class QThread;
class QTimer;

// The narrow interface front ends record through. Each row is committed
// before the call returns (a killed program keeps it). With a server as the
// target, rows are committed to the local spool and forwarded by a worker
// thread, so a server that goes away never stops or slows the bench.
// A database that cannot be written for a while (locked by another program,
// a full disk) is said once and tried again (at once, then every second):
// rows meanwhile are counted as not recorded and the run, once it can be
// written, is closed as "recording-interrupted" with that count. Only a
// target that can never be recorded into (not a results database, a newer
// schema) turns recording off; the run goes on either way.
class HistoryWriter : public QObject
{
    Q_OBJECT
public:
    explicit HistoryWriter(QObject *parent = nullptr);
    ~HistoryWriter() override;

    // An invalid target records nothing. Returns false (and problem()) when
    // the local database cannot be opened.
    bool setTarget(const HistoryTarget &target);
    const HistoryTarget &target() const { return m_target; }
    // Recording is on (possibly waiting for the database to be writable).
    bool isRecording() const { return m_target.isValid() && !m_off; }
    // The database could not be written; tried again every second.
    bool isWaiting() const { return m_waiting; }
    // Rows not recorded since the database stopped taking them.
    qint64 unrecorded() const { return m_unrecorded; }

    void beginRun(const History::RunRecord &run);
    void writeRow(const History::RowRecord &row);
    void endRun(const QString &runId, const QString &outcome);
    void beginSweep(const History::SweepRecord &sweep);
    void writePoint(const History::PointRecord &point);
    void endSweep(const QString &sweepId, const QString &outcome);
    // Tries now what waits for a database that could not be written (the
    // end of an interrupted run); true when nothing waits.
    bool retryNow();

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
    // A problem, once per kind a session: isRecording() and isWaiting()
    // say whether it is tried again.
    void problem(const QString &sentence);
    void statusChanged();

private:
    // A run as recorded so far: written once the database takes it.
    struct RunState
    {
        History::RunRecord record;
        bool stored = false;
        qint64 unrecorded = 0;
        bool ended = false;
        QDateTime finished;
        QString outcome;
    };
    HistoryTarget localTarget() const;
    bool write(const std::function<bool(HistoryDatabase &, QString *)> &op);
    bool storeRun(RunState &run);
    bool closeRun(RunState &run);
    void stall(const QString &sentence, bool forGood);
    void resumed();
    void tell(const QString &sentence);
    void written();
    void onProgress(bool reachable, qint64 pending, const QString &problem);
    void startForwarder();
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
    QStringList m_told;
    bool m_off = false;
    bool m_waiting = false;
    qint64 m_unrecorded = 0;
    QElapsedTimer m_clock;
    qint64 m_nextTry = 0;
    QTimer *m_retry;
    // The run under way, and ended runs not yet closed in the database.
    std::unique_ptr<RunState> m_run;
    QList<RunState> m_unclosed;
    QString m_sweepId; // empty when the sweep under way is not recorded
};
