#pragma once

#include "history/HistoryRecords.h"
#include "history/HistoryTarget.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <functional>
#include <memory>

// One connection to a results database (SQLite or PostgreSQL) on the thread
// that opened it: the schema made or migrated on a writable open
// (HistoryDatabase.cpp), inserts that keep a record already there
// (HistoryDatabaseWrites.cpp), and the queries of the history
// (HistoryDatabaseQueries.cpp). Every value is bound, never pasted into SQL.
// Failures give one sentence naming the database.
struct sqlite3;
struct sqlite3_stmt;

class HistoryDatabase
{
public:
    enum class Mode { ReadWrite, ReadOnly };

    HistoryDatabase();
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase &) = delete;
    HistoryDatabase &operator=(const HistoryDatabase &) = delete;

    bool open(const HistoryTarget &target, Mode mode, QString *error);
    void close();
    bool isOpen() const { return m_open; }
    // After a failed open: the target can never be recorded into as it is
    // (not a results database, a newer schema, a folder), as opposed to
    // a lock, a full disk or a server away, which may pass.
    bool failedForGood() const { return m_failedForGood; }
    // How long an SQLite statement waits for another program's lock (ms);
    // applies now and to later opens.
    void setBusyTimeout(int ms);
    const HistoryTarget &target() const { return m_target; }
    QSqlDatabase database() const;
    // The version the database holds (0 before the schema exists).
    int schemaVersion() const { return m_version; }

    // Writing. A record already there (same id, or run and seq) is kept;
    // a run's end is added to a run already there.
    bool insertRun(const History::RunRecord &run, QString *error);
    // count: keep the run's row and fail counts with it (not in a spool,
    // whose rows leave as they are forwarded).
    // unrecorded: rows of the run that could not be recorded (kept from
    // version 3 on; 0 stores NULL).
    bool finishRun(const QString &id, const QDateTime &finished, const QString &outcome, QString *error,
                   bool count = true, qint64 unrecorded = 0);
    // Keeps an ended run's counts as its rows stand now.
    bool countRun(const QString &id, QString *error);
    bool insertRow(const History::RowRecord &row, QString *error);
    // Rows in bulk (an import, a bench): the caller's transaction makes
    // them visible together.
    bool insertRows(const QVector<History::RowRecord> &rows, QString *error);
    bool insertSweep(const History::SweepRecord &sweep, QString *error);
    bool finishSweep(const QString &id, const QDateTime &finished, const QString &outcome, QString *error);
    bool insertPoint(const History::PointRecord &point, QString *error);
    bool begin();
    bool commit(QString *error);
    void rollback();

    // Reading.
    struct Filter
    {
        QString runId;
        QStringList runIds;   // any of these (the window's selection)
        QString since, until; // stored time texts (History::boundText)
        QString procedure, lot, station;
        QString verdict;      // runs: "pass" (no fails) or "fail"; empty: any
        QString serial;       // rows of this part only (runs: those holding it)
    };
    struct RunSummary
    {
        QString id, started, finished, station, operatorName, meter, procedure, lot, outcome;
        qint64 rows = 0, fails = 0;
        qint64 unrecorded = 0; // rows the run could not record
        QString meterProfile;  // empty: none recorded
    };
    // Newest first; limit < 0: all.
    bool listRuns(const Filter &filter, QVector<RunSummary> &out, QString *error, int limit = -1, int offset = 0);
    bool runColumns(const QString &runId, QVector<History::Column> &columns, QString *error);
    // The run's steps as recorded (a JSON array of each step's fields).
    bool runSteps(const QString &runId, QString &stepsJson, QString *error);
    // A stored row as read back: its cells in the run's columns.
    struct StoredRow
    {
        QString runId;
        int seq = 0;
        QString measuredAt;
        QString verdict;
        const QVector<History::Column> *columns = nullptr;
        QStringList texts, values, verdicts;
        // The stored lists as joined (History::splitList); raw reads fill only these.
        QString rawTexts, rawValues, rawVerdicts;
        QString serial, bin; // empty: none
    };
    // Rows of the selected runs, oldest run first, in sequence; the
    // callback returns false to stop. afterSeq/limit page one run's rows.
    bool forEachRow(const Filter &filter, const std::function<bool(const StoredRow &)> &row, QString *error,
                    int afterSeq = 0, int limit = -1, bool raw = false);
    // The afterSeq that skips offset of one run's rows. listedRows: the run's
    // rows as counted before this call. One seek when the run's rows are
    // numbered 1..listedRows, else a walk over its keys.
    bool seqAfterOffset(const QString &runId, qint64 offset, qint64 listedRows, int &afterSeq, QString *error);

    // Recorded sweeps, newest first (limit < 0: all), with their point counts.
    struct SweepSummary
    {
        QString id, started, station, operatorName, settings;
        qint64 points = 0;
    };
    bool listSweeps(QVector<SweepSummary> &out, QString *error, int limit = -1);
    // A sweep's points in the order taken.
    bool sweepPoints(const QString &sweepId, QVector<History::PointRecord> &out, QString *error);

    // Spool bookkeeping: which records wait for which server.
    bool markSpooled(const QString &id, const QString &kind, const QString &targetKey, QString *error);

    // One sentence for a failed statement, naming the database.
    QString describe(const class QSqlError &error) const;

private:
    bool connectTo(Mode mode, QString *error);
    bool execSql(const QString &sql, QString *error);
    bool prepareSchema(Mode mode, QString *error);
    bool insertRowsSqlite(const History::RowRecord *rows, qsizetype count, QString *error);
    bool exec(QSqlQuery &q, QString *error);
    QSqlQuery &prepared(const QString &key, const QString &sql);

    QString m_name;
    HistoryTarget m_target;
    bool m_open = false;
    bool m_failedForGood = false;
    int m_busyTimeout = 1500;
    int m_version = 0;
    std::unique_ptr<QHash<QString, QSqlQuery>> m_queries;
    // Rows into SQLite go straight through the library.
    sqlite3 *m_sqlite = nullptr;
    sqlite3_stmt *m_bulk = nullptr;
};
