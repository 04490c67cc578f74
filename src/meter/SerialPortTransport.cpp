#include "meter/SerialPortTransport.h"

#include <QFileInfo>

#include <unistd.h>

SerialPortTransport::SerialPortTransport(QObject *parent) : SerialTransport(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialTransport::readyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialPortTransport::onError);
}

SerialPortTransport::~SerialPortTransport()
{
    m_port.close();
}

static QSerialPort::Parity toQt(SerialLineSettings::Parity p)
{
    switch (p) {
    case SerialLineSettings::Parity::None: return QSerialPort::NoParity;
    case SerialLineSettings::Parity::Even: return QSerialPort::EvenParity;
    case SerialLineSettings::Parity::Odd: return QSerialPort::OddParity;
    case SerialLineSettings::Parity::Mark: return QSerialPort::MarkParity;
    case SerialLineSettings::Parity::Space: return QSerialPort::SpaceParity;
    }
    return QSerialPort::NoParity;
}

static QSerialPort::StopBits toQt(SerialLineSettings::StopBits s)
{
    switch (s) {
    case SerialLineSettings::StopBits::One: return QSerialPort::OneStop;
    case SerialLineSettings::StopBits::OneAndHalf: return QSerialPort::OneAndHalfStop;
    case SerialLineSettings::StopBits::Two: return QSerialPort::TwoStop;
    }
    return QSerialPort::OneStop;
}

QString SerialPortTransport::openErrorText(const QString &device, QSerialPort::SerialPortError error,
                                           const QString &systemText)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("Cannot open %1: the device does not exist.").arg(device);
    case QSerialPort::PermissionError: {
        // Qt reports a port locked by another program as a permission error too.
        const QByteArray path = QFileInfo(device).absoluteFilePath().toLocal8Bit();
        if (::access(path.constData(), R_OK | W_OK) == 0)
            return QStringLiteral("Cannot open %1: the port is in use by another program.").arg(device);
        return QStringLiteral("Cannot open %1: permission denied. Serial devices belong to the dialout "
                              "group; add your user to it (sudo usermod -aG dialout $USER) and log in "
                              "again.")
            .arg(device);
    }
    case QSerialPort::OpenError:
        return QStringLiteral("Cannot open %1: the port is already open.").arg(device);
    default:
        return QStringLiteral("Cannot open %1: %2").arg(device, systemText);
    }
}

bool SerialPortTransport::open(const SerialOpenRequest &request)
{
    close();
    m_device = request.device;
    m_errorText.clear();
    // Qt reads a bare name as one under /dev: a path relative to the
    // working folder ("meter", "links/meter") is meant as typed.
    QString device = request.device;
    if (!device.startsWith(QLatin1Char('/')) && QFileInfo::exists(device))
        device = QFileInfo(device).absoluteFilePath();
    m_port.setPortName(device);
    m_port.setBaudRate(request.line.baudRate);
    m_port.setDataBits(QSerialPort::DataBits(request.line.dataBits));
    m_port.setParity(toQt(request.line.parity));
    m_port.setStopBits(toQt(request.line.stopBits));
    switch (request.handshaking) {
    case 1: m_port.setFlowControl(QSerialPort::SoftwareControl); break;
    case 2:
    case 3: m_port.setFlowControl(QSerialPort::HardwareControl); break;
    default: m_port.setFlowControl(QSerialPort::NoFlowControl); break;
    }
    m_port.setReadBufferSize(request.inBufferSize > 0 ? request.inBufferSize : 0);

    m_opening = true;
    const bool ok = m_port.open(QIODevice::ReadWrite);
    if (!ok) {
        m_opening = false;
        m_errorText = openErrorText(request.device, m_port.error(), m_port.errorString());
        m_port.clearError();
        return false;
    }
    // A pseudo-terminal or a three-wire adapter has no modem lines; setting
    // them fails but the port works, so the failure is not a connect failure.
    if (!m_port.setDataTerminalReady(request.dtrEnable))
        m_port.clearError();
    if (request.handshaking < 2 && !m_port.setRequestToSend(request.rtsEnable))
        m_port.clearError();
    m_opening = false;
    return true;
}

void SerialPortTransport::close()
{
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
}

bool SerialPortTransport::isOpen() const
{
    return m_port.isOpen();
}

bool SerialPortTransport::write(const QByteArray &bytes)
{
    if (!m_port.isOpen())
        return false;
    if (m_port.write(bytes) != bytes.size())
        return false;
    // Hand the bytes to the device now instead of at the next event-loop turn.
    m_port.flush();
    return true;
}

QByteArray SerialPortTransport::readAll()
{
    return m_port.readAll();
}

void SerialPortTransport::takeWaitingInput()
{
    if (!m_port.isOpen())
        return;
    // A zero wait reads what the device holds now; finding nothing is no error.
    m_opening = true;
    m_port.waitForReadyRead(0);
    m_port.clearError();
    m_opening = false;
}

QString SerialPortTransport::errorString() const
{
    return m_errorText.isEmpty() ? m_port.errorString() : m_errorText;
}

void SerialPortTransport::onError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || m_opening || !m_port.isOpen())
        return;
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError: {
        // A device that went away (unplugged, or the simulator's line closed
        // because it ended) leaves Qt no system error to name: "Unknown error".
        const QString system = m_port.errorString();
        if (error == QSerialPort::ResourceError || system.isEmpty() || system == QLatin1String("Unknown error"))
            m_errorText = QStringLiteral("The connection to %1 was lost: the device went away (unplugged, switched "
                                         "off, or the program behind it ended).").arg(m_device);
        else
            m_errorText = QStringLiteral("The connection to %1 was lost (%2).").arg(m_device, system);
        m_port.clearError();
        emit errorOccurred(Fault::DeviceLost, m_errorText);
        break;
    }
    default: {
        const QString text = m_port.errorString();
        m_port.clearError();
        emit errorOccurred(Fault::LineError, text);
        break;
    }
    }
}
