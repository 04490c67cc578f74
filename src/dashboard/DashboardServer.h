#pragma once

#include "dashboard/DashboardApi.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

class QTcpServer;
class QTcpSocket;
class QThread;

// The dashboard over HTTP/1.1: the page's own files at /, /app.js,
// /style.css and /chart.min.js, the API under /api/; anything else is 404.
// Only GET. With a token, every API request needs "Authorization: Bearer
// TOKEN". Sockets are read and written on the thread that made the server;
// API requests are answered by Workers threads, each with a read-only
// connection of its own, so a small request does not wait behind a large
// one. A request line that cannot be HTTP is a 400 and a head larger than
// MaxRequestBytes a 431, both as soon as they are seen.
class DashboardServer : public QObject
{
    Q_OBJECT
public:
    // Bytes of a request's line and headers; a larger head is never read whole.
    static constexpr qint64 MaxRequestBytes = 64 * 1024;
    // A connection that sends nothing for this long (while no answer is
    // being made for it) is closed.
    static constexpr int IdleMs = 30000;
    // Threads answering the API, each with its own connection.
    static constexpr int Workers = 4;
    // A connection's next request waits while this much of its answers is unsent.
    static constexpr qint64 MaxUnsentBytes = 1024 * 1024;

    // target: the results database each worker opens read-only.
    DashboardServer(const HistoryTarget &target, const QByteArray &token, QObject *parent = nullptr);
    ~DashboardServer() override;

    // Listens; port 0 takes a free one. error gets one sentence.
    bool start(const QHostAddress &address, quint16 port, QString *error);
    quint16 port() const;

    // Listening there needs a token: anything but a loopback address.
    static bool needsToken(const QHostAddress &address);

private:
    struct Connection;
    struct Request;
    struct Job
    {
        quint64 connection = 0;
        QByteArray path, query;
    };

    void accept();
    void readFrom(quint64 id);
    void answer(quint64 self, Connection &c, const Request &request);
    void send(quint64 id, const DashboardReply &reply);
    void fail(quint64 self, Connection &c, int status, const QString &sentence);
    void drop(quint64 id);
    bool authorized(const QByteArray &authorization) const;
    void work();

    HistoryTarget m_target;
    QByteArray m_token;
    QTcpServer *m_listener = nullptr;
    QByteArray m_chartJs;
    quint64 m_nextId = 0;
    QHash<quint64, std::shared_ptr<Connection>> m_connections;
    std::shared_ptr<DashboardAnswers> m_answers;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    bool m_stopping = false;
    QList<QThread *> m_workers;
};
