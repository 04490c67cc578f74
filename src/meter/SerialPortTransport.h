#pragma once

#include "meter/SerialTransport.h"

#include <QSerialPort>

// SerialTransport over a real QSerialPort (serial devices, USB adapters and
// pseudo-terminals alike).
class SerialPortTransport : public SerialTransport
{
    Q_OBJECT
public:
    explicit SerialPortTransport(QObject *parent = nullptr);
    ~SerialPortTransport() override;

    bool open(const SerialOpenRequest &request) override;
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray &bytes) override;
    QByteArray readAll() override;
    void takeWaitingInput() override;
    QString errorString() const override;

    // For tests and diagnostics that need to poke at the port itself.
    QSerialPort &port() { return m_port; }

    // The text shown when `device` cannot be opened with `error`.
    static QString openErrorText(const QString &device, QSerialPort::SerialPortError error,
                                 const QString &systemText);

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    QString m_device;
    QString m_errorText;
    bool m_opening = false;
};
