#pragma once
// FakeSerialTransport: a scripted SerialTransport for unit tests of
// InstrumentLink and its users.
//
//   auto *fake = new FakeSerialTransport;          // InstrumentLink does not own it
//   InstrumentLink link(&prompter, fake);
//   fake->onWrite = [&](const QByteArray &line) { if (line == "MEAS:TRIG\n") fake->deliver("1.0E-7\n"); };
//   MeterConnector connector(link);
//   connector.connectToMeter();                    // fake->opens, fake->writes record it
//   fake->deliver("44\n");                         // a receive event with these bytes
//   fake->fail(SerialTransport::Fault::DeviceLost, "gone");
//
// deliver() emits readyRead synchronously; use deliverLater() to deliver from
// the event loop instead (as a real port would).

#include "meter/SerialTransport.h"

#include <QList>
#include <QTimer>

#include <functional>
#include <utility>

class FakeSerialTransport : public SerialTransport
{
public:
    using SerialTransport::SerialTransport;

    // What open() does: succeed, or fail with openError.
    bool openSucceeds = true;
    QString openError = QStringLiteral("Cannot open the fake device.");

    QList<SerialOpenRequest> opens;
    int closes = 0;
    QList<QByteArray> writes;
    std::function<void(const QByteArray &)> onWrite;

    bool open(const SerialOpenRequest &request) override
    {
        opens << request;
        m_open = openSucceeds;
        return m_open;
    }
    void close() override
    {
        ++closes;
        m_open = false;
        m_incoming.clear();
    }
    bool isOpen() const override { return m_open; }
    bool write(const QByteArray &bytes) override
    {
        if (!m_open)
            return false;
        writes << bytes;
        if (onWrite)
            onWrite(bytes);
        return true;
    }
    QByteArray readAll() override { return std::exchange(m_incoming, QByteArray()); }
    QString errorString() const override { return openError; }

    // Every byte written, in order.
    QByteArray written() const
    {
        QByteArray all;
        for (const QByteArray &w : writes)
            all += w;
        return all;
    }
    void deliver(const QByteArray &bytes)
    {
        m_incoming += bytes;
        emit readyRead();
    }
    void deliverLater(const QByteArray &bytes, int ms = 0)
    {
        QTimer::singleShot(ms, this, [this, bytes] { deliver(bytes); });
    }
    void fail(Fault fault, const QString &message) { emit errorOccurred(fault, message); }

private:
    bool m_open = false;
    QByteArray m_incoming;
};
