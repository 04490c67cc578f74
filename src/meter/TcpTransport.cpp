#include "meter/TcpTransport.h"

#include <QUrl>

TcpTransport::TcpTransport(QObject *parent) : SerialTransport(parent)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &SerialTransport::readyRead);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &TcpTransport::onError);
}

TcpTransport::~TcpTransport()
{
    m_socket.abort();
}

bool TcpTransport::isAddress(const QString &connection)
{
    return connection.trimmed().startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive);
}

bool TcpTransport::parse(const QString &connection, QString *host, quint16 *port, QString *error)
{
    const QUrl url(connection.trimmed());
    if (!url.isValid() || url.host().isEmpty() || (!url.path().isEmpty() && url.path() != QLatin1String("/"))) {
        *error = QStringLiteral("Cannot open %1: a socket address is tcp://HOST:PORT (port 5025 unless given).")
                     .arg(connection);
        return false;
    }
    const int p = url.port(5025);
    if (p < 1 || p > 65535) {
        *error = QStringLiteral("Cannot open %1: the port must be from 1 to 65535.").arg(connection);
        return false;
    }
    *host = url.host();
    *port = quint16(p);
    return true;
}

bool TcpTransport::open(const SerialOpenRequest &request)
{
    close();
    m_address = request.device;
    m_errorText.clear();
    QString host;
    quint16 port = 0;
    if (!parse(request.device, &host, &port, &m_errorText))
        return false;
    m_opening = true;
    m_socket.connectToHost(host, port);
    const bool ok = m_socket.waitForConnected(connectTimeout());
    m_opening = false;
    if (ok) {
        // Small command lines go out at once: waiting to fill a packet would
        // meet the meter's delayed acknowledgement on every step.
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return true;
    }
    const QString target = request.device;
    switch (m_socket.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        m_errorText = QStringLiteral("Cannot open %1: the connection was refused (nothing listens on that port).").arg(target);
        break;
    case QAbstractSocket::HostNotFoundError:
        m_errorText = QStringLiteral("Cannot open %1: the host name is not known.").arg(target);
        break;
    case QAbstractSocket::NetworkError:
        m_errorText = QStringLiteral("Cannot open %1: there is no route to the host.").arg(target);
        break;
    case QAbstractSocket::SocketTimeoutError:
        m_errorText = QStringLiteral("Cannot open %1: no answer within %2 s (timeout).").arg(target).arg(connectTimeout() / 1000);
        break;
    case QAbstractSocket::SocketAccessError:
        m_errorText = QStringLiteral("Cannot open %1: permission denied.").arg(target);
        break;
    default:
        m_errorText = QStringLiteral("Cannot open %1: %2.").arg(target, m_socket.errorString());
        break;
    }
    m_socket.abort();
    return false;
}

void TcpTransport::close()
{
    m_socket.abort();
}

bool TcpTransport::isOpen() const
{
    return m_socket.state() == QAbstractSocket::ConnectedState;
}

bool TcpTransport::write(const QByteArray &bytes)
{
    if (!isOpen())
        return false;
    if (m_socket.write(bytes) != bytes.size())
        return false;
    m_socket.flush();
    return true;
}

QByteArray TcpTransport::readAll()
{
    return m_socket.readAll();
}

void TcpTransport::onError(QAbstractSocket::SocketError error)
{
    if (m_opening)
        return;
    if (error == QAbstractSocket::RemoteHostClosedError)
        m_errorText = QStringLiteral("The connection to %1 was lost: the meter closed the socket.").arg(m_address);
    else
        m_errorText = QStringLiteral("The connection to %1 was lost (%2).").arg(m_address, m_socket.errorString());
    // Whatever the meter sent before it closed is still read first.
    if (m_socket.bytesAvailable() > 0)
        emit readyRead();
    m_socket.abort();
    emit errorOccurred(Fault::DeviceLost, m_errorText);
}
