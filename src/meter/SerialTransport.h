#pragma once

#include "meter/LinkSettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// The line format of the settings text "baud,parity,data,stop".
struct SerialLineSettings
{
    enum class Parity { None, Even, Odd, Mark, Space };
    enum class StopBits { One, OneAndHalf, Two };

    qint32 baudRate = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;

    // Parses "9600,n,8,1": a positive baud rate, parity n/e/o/m/s (either
    // case), 5 to 8 data bits, 1, 1.5 or 2 stop bits; blanks around fields are
    // allowed. On failure returns false and says why in *error.
    static bool parse(const QString &text, SerialLineSettings *out, QString *error);
};

// Everything a transport needs to open a device.
struct SerialOpenRequest
{
    QString device;
    SerialLineSettings line;
    bool dtrEnable = true;
    bool rtsEnable = false;
    qint32 handshaking = 0; // 0 none, 1 XON/XOFF, 2 RTS/CTS, 3 both
    qint32 inBufferSize = 1024;
};

// The byte pipe under InstrumentLink: a real serial port in the program, a
// scripted fake in unit tests.
class SerialTransport : public QObject
{
    Q_OBJECT
public:
    // Errors after a successful open. A line error (parity, framing, a modem
    // line the device lacks) leaves the port usable; a lost device does not.
    enum class Fault { LineError, DeviceLost };
    Q_ENUM(Fault)

    using QObject::QObject;
    ~SerialTransport() override = default;

    // False when the device cannot be opened; errorString() says why.
    virtual bool open(const SerialOpenRequest &request) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Queues the bytes in order and starts sending them at once.
    virtual bool write(const QByteArray &bytes) = 0;
    // Everything received and not read yet.
    virtual QByteArray readAll() = 0;
    // Announces (readyRead) at once the bytes the device already holds, so
    // a caller can tell them from what comes after its next write.
    virtual void takeWaitingInput() {}
    virtual QString errorString() const = 0;

signals:
    void readyRead();
    void errorOccurred(SerialTransport::Fault fault, const QString &message);
};
