#pragma once

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QSet>

class BridgeInstrument;
class QTcpServer;
class QTcpSocket;

// The socket side of the bridge: newline-framed messages from one
// controlling client at a time into the instrument, its replies back.
// What a client can make it hold is bounded: a line, the units waiting,
// the replies not yet read.
class BridgeServer : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype MaxLine = 64 * 1024;
    static constexpr qsizetype MaxBacklog = 1000;        // units waiting behind a measurement
    static constexpr qint64 MaxUnread = 1024 * 1024;     // reply bytes the client has not taken
    static constexpr int WaitForController = 1000;        // ms a newcomer waits for the controller to go

    BridgeServer(BridgeInstrument &instrument, QObject *parent = nullptr);
    ~BridgeServer() override;

    // Besides loopback, clients from these networks ("192.168.1.0/24").
    // False with a sentence for a network that cannot be read.
    bool allow(const QString &cidr, QString *error);
    bool listen(const QHostAddress &address, quint16 port, QString *error);
    QHostAddress address() const;
    quint16 port() const;
    // The controlling client's address, empty when none.
    QString controller() const;

signals:
    // One line for the operator's log.
    void logged(const QString &line);
    void controllerChanged(const QString &address);

private:
    void onNewConnection();
    void onReadyRead();
    void onDisconnected();
    void onReply(const QByteArray &message);
    bool allowed(const QHostAddress &peer) const;
    void take(QTcpSocket *s);

    BridgeInstrument &m_instrument;
    QTcpServer *m_server;
    QPointer<QTcpSocket> m_client;
    QList<QPointer<QTcpSocket>> m_waiting;
    QList<QPair<QHostAddress, int>> m_allowed;
    QSet<QString> m_refusedOnce;
    QByteArray m_partial;
    bool m_discarding = false; // the rest of an over-long line
};
