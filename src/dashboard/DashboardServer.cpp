#include "dashboard/DashboardServer.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

static void initDashboardResources()
{
    Q_INIT_RESOURCE(dashboard);
}

namespace {

// Sockets that hold at most MaxRequestBytes unread, and close when idle.
class BoundedTcpServer : public QTcpServer
{
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr handle) override
    {
        auto *socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(handle)) {
            delete socket;
            return;
        }
        socket->setReadBufferSize(DashboardServer::MaxRequestBytes);
        auto *idle = new QTimer(socket);
        idle->setSingleShot(true);
        idle->setInterval(DashboardServer::IdleMs);
        QObject::connect(idle, &QTimer::timeout, socket, &QTcpSocket::abort);
        QObject::connect(socket, &QTcpSocket::readyRead, idle, qOverload<>(&QTimer::start));
        QObject::connect(socket, &QTcpSocket::bytesWritten, idle, qOverload<>(&QTimer::start));
        idle->start();
        addPendingConnection(socket);
    }
};

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

} // namespace

DashboardServer::DashboardServer(DashboardApi &api, const QByteArray &token, QObject *parent)
    : QAbstractHttpServer(parent), m_api(api), m_token(token)
{
    initDashboardResources();
    m_chartJs = readFile(QStringLiteral(QEL_CHARTJS_PATH));
}

bool DashboardServer::needsToken(const QHostAddress &address)
{
    return !address.isLoopback();
}

bool DashboardServer::start(const QHostAddress &address, quint16 port, QString *error)
{
    auto *listener = new BoundedTcpServer(this);
    // Many browsers and scripts at once: a deeper queue than the default 50.
    listener->setListenBacklogSize(512);
    if (!listener->listen(address, port)) {
        if (error)
            *error = QStringLiteral("Cannot listen on %1 port %2: %3.").arg(address.toString()).arg(port).arg(listener->errorString());
        delete listener;
        return false;
    }
    m_listener = listener;
    bind(listener);
    return true;
}

quint16 DashboardServer::port() const
{
    return m_listener ? m_listener->serverPort() : 0;
}

bool DashboardServer::authorized(const QHttpServerRequest &request) const
{
    if (m_token.isEmpty())
        return true;
    const QByteArray header = request.value(QByteArrayLiteral("Authorization")).trimmed();
    static const QByteArray scheme = QByteArrayLiteral("Bearer ");
    if (!header.startsWith(scheme))
        return false;
    return sameSecret(header.mid(scheme.size()).trimmed(), m_token);
}

DashboardReply DashboardServer::answer(const QHttpServerRequest &request)
{
    if (request.method() != QHttpServerRequest::Method::Get)
        return DashboardReply::error(405, QStringLiteral("Only GET is answered here: the dashboard changes nothing."));
    const QUrl url = request.url();
    const QByteArray path = url.path(QUrl::FullyEncoded).toLatin1();
    const QByteArray query = url.query(QUrl::FullyEncoded).toLatin1();
    if (path.startsWith("/api/")) {
        if (!authorized(request))
            return DashboardReply::error(401, QStringLiteral("This dashboard needs its token: send \"Authorization: Bearer TOKEN\"."));
        return m_api.get(path, query);
    }
    // Only the page's own files, by exact name: no file system behind a URL.
    for (const PageFile &f : PageFiles)
        if (path == f.path)
            return DashboardReply{200, f.type, readFile(QString::fromLatin1(f.resource))};
    if (path == "/chart.min.js" && !m_chartJs.isEmpty())
        return DashboardReply{200, "text/javascript; charset=utf-8", m_chartJs};
    return DashboardReply::error(404, QStringLiteral("There is nothing at this address."));
}

bool DashboardServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    const DashboardReply reply = answer(request);
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(QHttpServerResponder::StatusCode(reply.status));
    responder.writeHeader("Content-Type", reply.contentType);
    responder.writeHeader("Content-Length", QByteArray::number(reply.body.size()));
    responder.writeHeader("Cache-Control", "no-store");
    responder.writeHeader("X-Content-Type-Options", "nosniff");
    responder.writeHeader("Referrer-Policy", "no-referrer");
    // The page runs only its own scripts and styles; data never becomes markup.
    responder.writeHeader("Content-Security-Policy",
        "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; img-src 'self'; frame-ancestors 'none'");
    if (reply.status == 401)
        responder.writeHeader("WWW-Authenticate", "Bearer");
    responder.writeBody(reply.body);
    return true;
}

void DashboardServer::missingHandler(const QHttpServerRequest &, QTcpSocket *)
{
    // handleRequest answers everything.
}
