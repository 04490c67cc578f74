#pragma once

#include "meter/SerialTransport.h"

#include <QTcpSocket>

// A meter on a raw socket: "tcp://HOST[:PORT]", port 5025 unless given.
// The line settings do not apply.
class TcpTransport : public SerialTransport
{
    Q_OBJECT
public:
    explicit TcpTransport(QObject *parent = nullptr);
    ~TcpTransport() override;

    // Whether a connection string names a socket, and its parts.
    static bool isAddress(const QString &connection);
    static bool parse(const QString &connection, QString *host, quint16 *port, QString *error);

    bool open(const SerialOpenRequest &request) override;
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray &bytes) override;
    QByteArray readAll() override;
    QString errorString() const override { return m_errorText; }

    // How long a connection may take (5 s).
    static int connectTimeout() { return 5000; }

private:
    void onError(QAbstractSocket::SocketError error);

    QTcpSocket m_socket;
    QString m_address;
    QString m_errorText;
    bool m_opening = false;
};
