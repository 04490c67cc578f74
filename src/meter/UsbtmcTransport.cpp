#include "meter/UsbtmcTransport.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <utility>

UsbtmcTransport::UsbtmcTransport(QObject *parent) : SerialTransport(parent) {}

UsbtmcTransport::~UsbtmcTransport()
{
    close();
}

bool UsbtmcTransport::isDevice(const QString &connection)
{
    return connection.trimmed().startsWith(QLatin1String("/dev/usbtmc"));
}

bool UsbtmcTransport::open(const SerialOpenRequest &request)
{
    close();
    m_device = request.device;
    m_errorText.clear();
    const QByteArray path = request.device.toLocal8Bit();
    m_fd = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (m_fd < 0) {
        const int e = errno;
        if (e == EACCES || e == EPERM)
            m_errorText = QStringLiteral("Cannot open %1: permission denied. USB instruments belong to the plugdev "
                                         "group; add your user to it (sudo usermod -aG plugdev $USER) and log in again.")
                              .arg(request.device);
        else if (e == ENOENT || e == ENODEV || e == ENXIO)
            m_errorText = QStringLiteral("Cannot open %1: the device does not exist.").arg(request.device);
        else
            m_errorText = QStringLiteral("Cannot open %1: %2.").arg(request.device, QString::fromLocal8Bit(std::strerror(e)));
        return false;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &UsbtmcTransport::onReadable);
    return true;
}

void UsbtmcTransport::close()
{
    // Possibly called from the notifier's own signal.
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier.release()->deleteLater();
    }
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_pending.clear();
}

bool UsbtmcTransport::write(const QByteArray &bytes)
{
    if (m_fd < 0)
        return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            continue; // the driver takes a message whole; a busy device is waited for
        if (n <= 0) {
            lose(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        done += n;
    }
    return true;
}

QByteArray UsbtmcTransport::readAll()
{
    return std::exchange(m_pending, QByteArray());
}

void UsbtmcTransport::onReadable()
{
    // One read, one message: the driver hands over what the device sent as
    // one transfer, with its terminator.
    char buf[65536];
    const ssize_t n = ::read(m_fd, buf, sizeof buf);
    if (n > 0) {
        m_pending.append(buf, n);
        emit readyRead();
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    lose(n == 0 ? QStringLiteral("the device went away") : QString::fromLocal8Bit(std::strerror(errno)));
}

void UsbtmcTransport::lose(const QString &why)
{
    m_errorText = QStringLiteral("The connection to %1 was lost (%2).").arg(m_device, why);
    close();
    emit errorOccurred(Fault::DeviceLost, m_errorText);
}
