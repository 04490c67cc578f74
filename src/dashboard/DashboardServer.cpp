#include "dashboard/DashboardServer.h"

#include <QFile>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <cstring>
#include <utility>

static void initDashboardResources()
{
    Q_INIT_RESOURCE(dashboard);
}

struct DashboardServer::Connection
{
    QPointer<QTcpSocket> socket;
    QByteArray in;
    bool busy = false;    // an answer is being made
    bool closing = false; // no more requests on it
    bool keepAlive = true;
    QTimer *idle = nullptr;
};

struct DashboardServer::Request
{
    QByteArray method, path, query, authorization;
    bool hasBody = false;
};

namespace {

struct PageFile
{
    const char *path;
    const char *resource;
    const char *type;
};

const PageFile PageFiles[] = {
    {"/", ":/dashboard/index.html", "text/html; charset=utf-8"},
    {"/index.html", ":/dashboard/index.html", "text/html; charset=utf-8"},
    {"/app.js", ":/dashboard/app.js", "text/javascript; charset=utf-8"},
    {"/style.css", ":/dashboard/style.css", "text/css; charset=utf-8"},
};

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Equal without telling by its timing how much of it was.
bool sameSecret(const QByteArray &a, const QByteArray &b)
{
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i % qMax<qsizetype>(1, b.size())]);
    return diff == 0 && !b.isEmpty();
}

// A token character of HTTP (methods and header names).
bool isTokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || (c && std::strchr("!#$%&'*+-.^_`|~", c));
}

const char *reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    default: return "Error";
    }
}

// The longest method this server could be sent.
constexpr int MaxMethodChars = 16;

} // namespace

DashboardServer::DashboardServer(const HistoryTarget &target, const QByteArray &token, QObject *parent)
    : QObject(parent), m_target(target), m_token(token), m_answers(std::make_shared<DashboardAnswers>())
{
    initDashboardResources();
    m_chartJs = readFile(QStringLiteral(QEL_CHARTJS_PATH));
    for (int i = 0; i < Workers; ++i) {
        QThread *t = QThread::create([this] { work(); });
        t->setObjectName(QStringLiteral("dashboard-%1").arg(i));
        m_workers << t;
        t->start();
    }
    // Answers no longer reused are let go even when nothing more is asked.
    auto *purge = new QTimer(this);
    connect(purge, &QTimer::timeout, this, [this] { m_answers->purge(); });
    purge->start(1000);
}

DashboardServer::~DashboardServer()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        m_jobs.clear();
    }
    m_wake.notify_all();
    for (QThread *t : std::as_const(m_workers)) {
        t->wait();
        delete t;
    }
    // The sockets go now, telling this server nothing more.
    const auto connections = std::exchange(m_connections, {});
    for (const auto &c : connections) {
        if (!c->socket)
            continue;
        c->socket->disconnect(this);
        delete c->socket.data();
    }
}

void DashboardServer::work()
{
    // This thread's own connection, opened and closed here.
    DashboardApi api;
    api.setAnswers(m_answers);
    QString error;
    api.open(m_target, &error); // a failed open is retried by the first request
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_stopping)
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        DashboardReply reply = api.get(job.path, job.query);
        // The server outlives this thread: it waits for it before it goes.
        QMetaObject::invokeMethod(this, [this, id = job.connection, reply = std::move(reply)] { send(id, reply); },
            Qt::QueuedConnection);
    }
}

bool DashboardServer::needsToken(const QHostAddress &address)
{
    return !address.isLoopback();
}

bool DashboardServer::start(const QHostAddress &address, quint16 port, QString *error)
{
    auto *listener = new QTcpServer(this);
    // Many browsers and scripts at once: a deeper queue than the default 50.
    listener->setListenBacklogSize(512);
    if (!listener->listen(address, port)) {
        if (error)
            *error = QStringLiteral("Cannot listen on %1 port %2: %3.").arg(address.toString()).arg(port).arg(listener->errorString());
        delete listener;
        return false;
    }
    m_listener = listener;
    connect(listener, &QTcpServer::newConnection, this, &DashboardServer::accept);
    return true;
}

quint16 DashboardServer::port() const
{
    return m_listener ? m_listener->serverPort() : 0;
}

void DashboardServer::accept()
{
    while (QTcpSocket *socket = m_listener->nextPendingConnection()) {
        const quint64 id = ++m_nextId;
        auto c = std::make_shared<Connection>();
        c->socket = socket;
        socket->setParent(this);
        // What the socket holds unread is bounded too.
        socket->setReadBufferSize(MaxRequestBytes);
        c->idle = new QTimer(socket);
        c->idle->setSingleShot(true);
        c->idle->setInterval(IdleMs);
        connect(c->idle, &QTimer::timeout, socket, &QTcpSocket::abort);
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { readFrom(id); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, id] { readFrom(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] { drop(id); });
        c->idle->start();
        m_connections.insert(id, c);
        if (socket->bytesAvailable())
            readFrom(id);
    }
}

void DashboardServer::drop(quint64 id)
{
    const auto c = m_connections.take(id);
    if (c && c->socket)
        c->socket->deleteLater();
}

void DashboardServer::readFrom(quint64 id)
{
    const auto found = m_connections.constFind(id);
    if (found == m_connections.constEnd())
        return;
    const std::shared_ptr<Connection> keep = *found;
    Connection &c = *keep;
    QTcpSocket *socket = c.socket;
    if (!socket || c.closing)
        return;
    if (socket->bytesToWrite() == 0 && !c.busy)
        c.idle->start();
    // One request at a time, and not while its answers pile up unsent.
    if (c.busy || socket->bytesToWrite() > MaxUnsentBytes)
        return;
    c.in += socket->read(MaxRequestBytes + 1 - c.in.size());

    // Empty lines before a request are allowed.
    qsizetype start = 0;
    while (start < c.in.size() && (c.in[start] == '\r' || c.in[start] == '\n'))
        ++start;
    c.in.remove(0, start);
    if (c.in.isEmpty())
        return;
    // The method as it comes: anything but a short token before the first
    // space is not HTTP, and is told so at once.
    const qsizetype space = c.in.indexOf(' ');
    const qsizetype methodEnd = space < 0 ? c.in.size() : space;
    bool plausible = methodEnd > 0 && methodEnd <= MaxMethodChars;
    for (qsizetype i = 0; plausible && i < methodEnd; ++i)
        plausible = isTokenChar(c.in[i]);
    if (!plausible)
        return fail(id, c, 400, QStringLiteral("This is not an HTTP request."));
    const qsizetype lineEnd = c.in.indexOf('\n');
    QByteArray line = lineEnd < 0 ? QByteArray() : c.in.left(lineEnd);
    if (line.endsWith('\r'))
        line.chop(1);
    if (lineEnd >= 0) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() != 3 || !parts[1].startsWith('/') || (parts[2] != "HTTP/1.1" && parts[2] != "HTTP/1.0"))
            return fail(id, c, 400, QStringLiteral("The request line is not \"METHOD /path HTTP/1.1\"."));
        for (char ch : parts[1])
            if (uchar(ch) <= ' ' || uchar(ch) >= 0x7f)
                return fail(id, c, 400, QStringLiteral("The request line is not \"METHOD /path HTTP/1.1\"."));
    }
    // The whole head, or wait for it.
    qsizetype headEnd = -1, bodyAt = -1;
    for (qsizetype at = lineEnd; at >= 0 && at < c.in.size(); at = c.in.indexOf('\n', at + 1)) {
        const qsizetype next = at + 1 < c.in.size() && c.in[at + 1] == '\r' ? at + 2 : at + 1;
        if (next < c.in.size() && c.in[next] == '\n') {
            headEnd = at;
            bodyAt = next + 1;
            break;
        }
    }
    if (headEnd < 0) {
        if (c.in.size() > MaxRequestBytes)
            return fail(id, c, 431, QStringLiteral("The request's headers are larger than %1 bytes.").arg(MaxRequestBytes));
        return;
    }
    if (headEnd > MaxRequestBytes)
        return fail(id, c, 431, QStringLiteral("The request's headers are larger than %1 bytes.").arg(MaxRequestBytes));

    const QList<QByteArray> parts = line.split(' ');
    Request request;
    request.method = parts[0];
    const QByteArray &target = parts[1];
    const qsizetype question = target.indexOf('?');
    const qsizetype hash = target.indexOf('#');
    const QByteArray withoutFragment = hash < 0 ? target : target.left(hash);
    request.path = question < 0 ? withoutFragment : withoutFragment.left(question);
    request.query = question < 0 || (hash >= 0 && hash < question) ? QByteArray() : withoutFragment.mid(question + 1);
    bool http11 = parts[2] == "HTTP/1.1";
    QByteArray connection;
    for (const QByteArray &raw : c.in.mid(lineEnd + 1, headEnd - lineEnd).split('\n')) {
        const QByteArray header = raw.endsWith('\r') ? raw.chopped(1) : raw;
        if (header.isEmpty())
            continue;
        const qsizetype colon = header.indexOf(':');
        bool named = colon > 0;
        for (qsizetype i = 0; named && i < colon; ++i)
            named = isTokenChar(header[i]);
        if (!named)
            return fail(id, c, 400, QStringLiteral("A request header is not \"Name: value\"."));
        const QByteArray name = header.left(colon).toLower();
        const QByteArray value = header.mid(colon + 1).trimmed();
        if (name == "authorization")
            request.authorization = value;
        else if (name == "connection")
            connection = value.toLower();
        else if (name == "transfer-encoding" || (name == "content-length" && value != "0"))
            request.hasBody = true;
    }
    c.in.remove(0, bodyAt);
    c.keepAlive = http11 ? !connection.contains("close") : connection.contains("keep-alive");
    // Only GET is answered and a body is never read: the connection ends after the answer.
    if (request.hasBody)
        c.keepAlive = false;
    answer(id, c, request);
}

void DashboardServer::answer(quint64 self, Connection &c, const Request &request)
{
    c.busy = true;
    c.idle->stop();
    if (request.method != "GET") {
        DashboardReply r = DashboardReply::error(405, QStringLiteral("Only GET is answered here: the dashboard changes nothing."));
        r.headers.append({QByteArrayLiteral("Allow"), QByteArrayLiteral("GET")});
        return send(self, r);
    }
    const QByteArray &path = request.path;
    if (path.startsWith("/api/")) {
        if (!authorized(request.authorization))
            return send(self, DashboardReply::error(401, QStringLiteral("This dashboard needs its token: send \"Authorization: Bearer TOKEN\".")));
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_jobs.push_back(Job{self, path, request.query});
        }
        m_wake.notify_one();
        return;
    }
    // Only the page's own files, by exact name: no file system behind a URL.
    for (const PageFile &f : PageFiles)
        if (path == f.path)
            return send(self, DashboardReply{200, f.type, readFile(QString::fromLatin1(f.resource)), {}});
    if (path == "/chart.min.js" && !m_chartJs.isEmpty())
        return send(self, DashboardReply{200, "text/javascript; charset=utf-8", m_chartJs, {}});
    send(self, DashboardReply::error(404, QStringLiteral("There is nothing at this address.")));
}

bool DashboardServer::authorized(const QByteArray &authorization) const
{
    if (m_token.isEmpty())
        return true;
    static const QByteArray scheme = QByteArrayLiteral("Bearer ");
    if (!authorization.startsWith(scheme))
        return false;
    return sameSecret(authorization.mid(scheme.size()).trimmed(), m_token);
}

void DashboardServer::fail(quint64 self, Connection &c, int status, const QString &sentence)
{
    // Nothing after a request that cannot be read can be trusted: answer and close.
    c.keepAlive = false;
    c.busy = true;
    c.in.clear();
    c.idle->stop();
    send(self, DashboardReply::error(status, sentence));
}

void DashboardServer::send(quint64 id, const DashboardReply &reply)
{
    const auto found = m_connections.constFind(id);
    if (found == m_connections.constEnd())
        return; // the client went away meanwhile
    const std::shared_ptr<Connection> keep = *found;
    Connection &c = *keep;
    QTcpSocket *socket = c.socket;
    if (!socket)
        return;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reason(reply.status) + "\r\n";
    auto header = [&head](const QByteArray &name, const QByteArray &value) { head += name + ": " + value + "\r\n"; };
    header("Content-Type", reply.contentType);
    header("Content-Length", QByteArray::number(reply.body.size()));
    header("Cache-Control", "no-store");
    header("X-Content-Type-Options", "nosniff");
    header("Referrer-Policy", "no-referrer");
    // The page runs only its own scripts and styles; data never becomes markup.
    header("Content-Security-Policy",
        "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; img-src 'self'; frame-ancestors 'none'");
    if (reply.status == 401)
        header("WWW-Authenticate", "Bearer");
    for (const auto &h : reply.headers)
        header(h.first, h.second);
    if (!c.keepAlive)
        header("Connection", "close");
    head += "\r\n";
    socket->write(head);
    socket->write(reply.body);
    c.busy = false;
    if (!c.keepAlive) {
        c.closing = true;
        socket->disconnectFromHost();
        return;
    }
    c.idle->start();
    // A request that came while this one was answered.
    if (!c.in.isEmpty() || socket->bytesAvailable())
        QMetaObject::invokeMethod(this, [this, id] { readFrom(id); }, Qt::QueuedConnection);
}
