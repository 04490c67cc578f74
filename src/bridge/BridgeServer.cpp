#include "bridge/BridgeServer.h"

#include "bridge/BridgeInstrument.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <utility>

namespace {

QString peerText(const QTcpSocket *s)
{
    QHostAddress a = s->peerAddress();
    bool v4 = false;
    const quint32 ip = a.toIPv4Address(&v4);
    if (v4)
        a = QHostAddress(ip);
    return QStringLiteral("%1:%2").arg(a.toString()).arg(s->peerPort());
}

} // namespace

BridgeServer::BridgeServer(BridgeInstrument &instrument, QObject *parent)
    : QObject(parent), m_instrument(instrument), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &BridgeServer::onNewConnection);
    connect(&m_instrument, &BridgeInstrument::reply, this, &BridgeServer::onReply);
    connect(&m_instrument, &BridgeInstrument::drained, this, &BridgeServer::onReadyRead, Qt::QueuedConnection);
}

BridgeServer::~BridgeServer() = default;

bool BridgeServer::allow(const QString &cidr, QString *error)
{
    const QPair<QHostAddress, int> net = QHostAddress::parseSubnet(cidr);
    if (net.first.isNull()) {
        if (error)
            *error = QStringLiteral("%1 is not a network (for example 192.168.1.0/24).").arg(cidr);
        return false;
    }
    m_allowed << net;
    return true;
}

bool BridgeServer::listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (m_server->listen(address, port))
        return true;
    if (error)
        *error = QStringLiteral("Cannot listen on %1:%2: %3.").arg(address.toString()).arg(port).arg(m_server->errorString());
    return false;
}

QHostAddress BridgeServer::address() const
{
    return m_server->serverAddress();
}

quint16 BridgeServer::port() const
{
    return m_server->serverPort();
}

QString BridgeServer::controller() const
{
    return m_client ? peerText(m_client) : QString();
}

bool BridgeServer::allowed(const QHostAddress &peer) const
{
    if (peer.isLoopback())
        return true;
    for (const auto &net : m_allowed)
        if (peer.isInSubnet(net))
            return true;
    return false;
}

void BridgeServer::onNewConnection()
{
    while (QTcpSocket *s = m_server->nextPendingConnection()) {
        const QString peer = peerText(s);
        if (!allowed(s->peerAddress())) {
            const QString host = peer.section(QLatin1Char(':'), 0, -2);
            if (!m_refusedOnce.contains(host)) {
                m_refusedOnce.insert(host);
                emit logged(QStringLiteral("Refused %1: not an allowed network (--allow).").arg(host));
            }
            s->abort();
            s->deleteLater();
            continue;
        }
        if (m_client && m_client->state() == QAbstractSocket::ConnectedState) {
            // The controller may be gone without this side having heard yet:
            // a newcomer waits a moment before it is refused.
            m_waiting << s;
            QTimer::singleShot(WaitForController, s, [this, s] {
                if (!m_waiting.removeOne(s))
                    return;
                const QString refused = peerText(s);
                s->write(QStringLiteral("ERROR: %1 controls this bridge; one client at a time.\n").arg(controller()).toLatin1());
                s->disconnectFromHost();
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
                emit logged(QStringLiteral("Refused %1: %2 controls the bridge.").arg(refused, controller()));
            });
            continue;
        }
        if (m_client)
            onDisconnected();
        take(s);
    }
}

void BridgeServer::take(QTcpSocket *s)
{
    m_client = s;
    m_partial.clear();
    m_discarding = false;
    connect(s, &QTcpSocket::readyRead, this, &BridgeServer::onReadyRead);
    connect(s, &QTcpSocket::disconnected, this, &BridgeServer::onDisconnected);
    const QString peer = peerText(s);
    emit logged(QStringLiteral("%1 controls the bridge.").arg(peer));
    emit controllerChanged(peer);
    if (s->bytesAvailable())
        QTimer::singleShot(0, this, &BridgeServer::onReadyRead);
}

void BridgeServer::onReadyRead()
{
    QTcpSocket *s = m_client;
    if (!s)
        return;
    // Units waiting behind a measurement: read on once they are done.
    while (m_instrument.backlog() < MaxBacklog && s->bytesToWrite() < MaxUnread) {
        const QByteArray chunk = s->read(4096);
        if (chunk.isEmpty())
            return;
        qsizetype from = 0;
        while (from < chunk.size()) {
            const qsizetype lf = chunk.indexOf('\n', from);
            const qsizetype end = lf < 0 ? chunk.size() : lf;
            if (!m_discarding) {
                m_partial.append(chunk.constData() + from, end - from);
                if (m_partial.size() > MaxLine) {
                    m_partial.clear();
                    m_discarding = lf < 0;
                    m_instrument.errors().push(-363);
                    from = end + 1;
                    continue;
                }
            }
            if (lf < 0)
                break;
            if (m_discarding) {
                m_discarding = false;
            } else {
                QByteArray line = std::exchange(m_partial, {});
                if (line.endsWith('\r'))
                    line.chop(1);
                m_instrument.receive(line);
                if (!m_client)
                    return; // the client went while its message was handled
            }
            from = end + 1;
        }
    }
}

void BridgeServer::onReply(const QByteArray &message)
{
    if (!m_client)
        return;
    // A client that sends queries and never reads loses their answers, as
    // an instrument's output queue does.
    if (m_client->bytesToWrite() >= MaxUnread) {
        m_instrument.errors().push(-410);
        return;
    }
    m_client->write(message + '\n');
}

void BridgeServer::onDisconnected()
{
    QTcpSocket *s = m_client;
    if (!s)
        return;
    m_client.clear();
    disconnect(s, nullptr, this, nullptr);
    s->deleteLater();
    m_instrument.dropClient();
    emit logged(QStringLiteral("%1 left.").arg(peerText(s)));
    emit controllerChanged(QString());
    while (!m_waiting.isEmpty()) {
        QPointer<QTcpSocket> next = m_waiting.takeFirst();
        if (next && next->state() == QAbstractSocket::ConnectedState) {
            take(next);
            break;
        }
    }
}
