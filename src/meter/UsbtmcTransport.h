#pragma once

#include "meter/SerialTransport.h"

#include <QSocketNotifier>

#include <memory>

// A meter through the Linux USBTMC driver (/dev/usbtmc*): the device node
// is written and read as a file, and each read returns one message. The
// line settings do not apply.
class UsbtmcTransport : public SerialTransport
{
    Q_OBJECT
public:
    explicit UsbtmcTransport(QObject *parent = nullptr);
    ~UsbtmcTransport() override;

    static bool isDevice(const QString &connection);

    bool open(const SerialOpenRequest &request) override;
    void close() override;
    bool isOpen() const override { return m_fd >= 0; }
    bool write(const QByteArray &bytes) override;
    QByteArray readAll() override;
    QString errorString() const override { return m_errorText; }

private:
    void onReadable();
    void lose(const QString &why);

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QString m_device;
    QString m_errorText;
    QByteArray m_pending;
};
