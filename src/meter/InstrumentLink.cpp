#include "meter/InstrumentLink.h"

#include "common/Prompter.h"
#include "meter/SerialPortTransport.h"
#include "meter/SerialTransport.h"
#include "meter/TcpTransport.h"
#include "meter/UsbtmcTransport.h"

namespace {
// Errors raised while opening the port are shown like any other program error.
const QString kErrorCaption = QStringLiteral("Qel");
}

InstrumentLink::InstrumentLink(Prompter *prompter, SerialTransport *transport, QObject *parent)
    : QObject(parent), m_prompter(prompter), m_transport(transport)
{
    if (!m_transport) {
        m_transport = new SerialPortTransport(this);
        m_ownsTransport = true;
    }
    watchTransport();
}

void InstrumentLink::watchTransport()
{
    connect(m_transport, &SerialTransport::readyRead, this, &InstrumentLink::onReadyRead);
    connect(m_transport, &SerialTransport::errorOccurred, this,
            [this](SerialTransport::Fault fault, const QString &message) {
                onTransportError(int(fault), message);
            });
}

void InstrumentLink::chooseTransport(const QString &device)
{
    // A transport handed in (a test's) is used whatever the connection says.
    if (!m_ownsTransport)
        return;
    SerialTransport *wanted = nullptr;
    if (TcpTransport::isAddress(device)) {
        if (!qobject_cast<TcpTransport *>(m_transport))
            wanted = new TcpTransport(this);
    } else if (UsbtmcTransport::isDevice(device)) {
        if (!qobject_cast<UsbtmcTransport *>(m_transport))
            wanted = new UsbtmcTransport(this);
    } else if (!qobject_cast<SerialPortTransport *>(m_transport)) {
        wanted = new SerialPortTransport(this);
    }
    if (!wanted)
        return;
    m_transport->disconnect(this);
    m_transport->deleteLater();
    m_transport = wanted;
    watchTransport();
}

bool InstrumentLink::isSerial(const QString &device)
{
    return !TcpTransport::isAddress(device) && !UsbtmcTransport::isDevice(device);
}

InstrumentLink::~InstrumentLink()
{
    if (m_transport->isOpen())
        m_transport->close();
}

QString InstrumentLink::devicePathFor(const LinkSettings &settings)
{
    const QString typed = settings.devicePath.trimmed();
    if (!typed.isEmpty())
        return typed;
    if (settings.portNumber < 1)
        return QString();
    return QStringLiteral("/dev/ttyS%1").arg(settings.portNumber - 1);
}

bool InstrumentLink::isOpen() const
{
    return m_transport->isOpen();
}

bool InstrumentLink::open()
{
    if (m_transport->isOpen())
        m_transport->close();
    setConnected(false);

    SerialOpenRequest request;
    request.device = devicePathFor(m_settings);
    if (request.device.isEmpty()) {
        fail(QStringLiteral("Invalid port number %1: ports are numbered from 1.").arg(m_settings.portNumber));
        return false;
    }
    chooseTransport(request.device);
    QString error;
    // Line settings mean something on a serial line only.
    if (isSerial(request.device) && !SerialLineSettings::parse(m_settings.settingsText, &request.line, &error)) {
        fail(error);
        return false;
    }
    request.dtrEnable = m_settings.dtrEnable;
    request.rtsEnable = m_settings.rtsEnable;
    request.handshaking = m_settings.handshaking;
    request.inBufferSize = m_settings.inBufferSize;
    if (!m_transport->open(request)) {
        fail(m_transport->errorString());
        return false;
    }
    return true;
}

void InstrumentLink::close()
{
    if (m_transport->isOpen())
        m_transport->close();
    setConnected(false);
}

void InstrumentLink::writeLine(const QByteArray &line)
{
    if (m_transport->isOpen())
        m_transport->write(line);
}

QByteArray InstrumentLink::takeFirstLine()
{
    const qsizetype end = m_reply.indexOf('\n');
    if (end < 0)
        return QByteArray();
    QByteArray line = m_reply.left(end + 1);
    m_reply.remove(0, end + 1);
    return line;
}

void InstrumentLink::onReadyRead()
{
    // A receive threshold of 0 turns receive notifications off; the bytes wait.
    if (m_settings.rThreshold <= 0)
        return;
    QByteArray chunk = m_transport->readAll();
    // In text mode a NUL is dropped rather than ending the text: cutting there
    // would also throw away the line feed behind it and stall the reader.
    if (m_settings.inputMode == 0 && chunk.contains('\0'))
        chunk.replace(QByteArrayLiteral("\0"), QByteArray());
    if (chunk.isEmpty())
        return;
    if (m_reply.size() + chunk.size() > m_replyLimit) {
        loseLink(QStringLiteral("The meter sent more than %1 bytes without them being read; the link was "
                                "closed.")
                     .arg(m_replyLimit));
        return;
    }
    m_latest = chunk;
    m_reply += chunk;
    emit received();
}

void InstrumentLink::onTransportError(int fault, const QString &message)
{
    // Line errors are not data: both buffers stay as they are.
    if (SerialTransport::Fault(fault) != SerialTransport::Fault::DeviceLost)
        return;
    loseLink(message);
}

void InstrumentLink::loseLink(const QString &message)
{
    m_lastError = message;
    if (m_transport->isOpen())
        m_transport->close();
    setConnected(false);
    emit linkLost(message);
}

void InstrumentLink::setConnected(bool connected)
{
    if (m_connected == connected)
        return;
    m_connected = connected;
    emit connectedChanged(connected);
}

void InstrumentLink::fail(const QString &text)
{
    m_lastError = text;
    if (m_prompter)
        m_prompter->inform(kErrorCaption, text, Prompter::Icon::Error);
}
