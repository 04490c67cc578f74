#pragma once

#include "history/HistoryTarget.h"

#include <QObject>
#include <QTimer>

#include <memory>

class HistoryDatabase;

// Moves what the local spool holds for a server to that server: each run
// or sweep with its rows in one server transaction (inserts that keep what
// is there already), then those rows out of the spool. A crash between the
// two only repeats inserts the server ignores, so nothing is lost or doubled.
class HistoryForwarder : public QObject
{
    Q_OBJECT
public:
    // One pass over everything spooled for server's target; rows gets the
    // number of rows and points the server took. False with a sentence
    // when the server or the spool failed (what went before stays done).
    static bool forward(HistoryDatabase &spool, HistoryDatabase &server, qint64 *rows, QString *error);
    // Rows and points a statement to the server (500; 1 sends each alone).
    static void setBatchRows(int rows);
    // Rows and points waiting in the spool for the target.
    static qint64 pending(HistoryDatabase &spool, const QString &targetKey, QString *error = nullptr);

    // A forwarder for a worker thread: kick() after each spooled row; it
    // retries every second while the server cannot be reached.
    explicit HistoryForwarder(const HistoryTarget &server, QObject *parent = nullptr);
    ~HistoryForwarder() override;

    void kick();
    void stop();

signals:
    // After each attempt: whether the server took everything, how much waits,
    // and why not (one sentence) when it failed.
    void progress(bool reachable, qint64 pending, const QString &problem);

private:
    void work();

    HistoryTarget m_server;
    std::unique_ptr<HistoryDatabase> m_spoolDb;
    std::unique_ptr<HistoryDatabase> m_serverDb;
    QTimer *m_timer = nullptr;
    QString m_lastProblem;
};
