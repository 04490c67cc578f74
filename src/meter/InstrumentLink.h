#pragma once
// Public API of the serial link (implemented by InstrumentLink.cpp).

#include "meter/LinkSettings.h"
#include "meter/MeterProfile.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class Prompter;
class SerialTransport;

// The connection to the meter: the port, the connected flag, the reply
// buffer (everything received since it was last emptied) and the latest
// chunk (the bytes of the last receive event), both private to the
// MeterExchange that reads replies. The port is opened and closed, and the
// flag set, by the MeterConnector that identifies the meter.
class InstrumentLink : public QObject
{
    Q_OBJECT
public:
    // transport: null means a real serial port.
    explicit InstrumentLink(Prompter *prompter, SerialTransport *transport = nullptr, QObject *parent = nullptr);
    ~InstrumentLink() override;

    LinkSettings &settings() { return m_settings; }
    const LinkSettings &settings() const { return m_settings; }

    bool isConnected() const { return m_connected; }
    bool isOpen() const;

    // The device a settings record opens: the typed or picked path, else
    // /dev/ttyS<n-1> for port n; empty for a port number below 1.
    static QString devicePathFor(const LinkSettings &settings);
    // Whether a connection string is a serial device (not tcp:// nor
    // /dev/usbtmc*): only then do the line settings apply.
    static bool isSerial(const QString &connection);

    // The reply buffer never grows past this many bytes: a device that keeps
    // sending without being read is cut off and reported as lost.
    qsizetype replyLimit() const { return m_replyLimit; }
    void setReplyLimit(qsizetype bytes) { m_replyLimit = bytes; }

    // The text of the last error shown on opening or reported by linkLost.
    QString lastError() const { return m_lastError; }

    SerialTransport *transport() const { return m_transport; }

    // The meter family spoken over this link: legacy unless chosen. The
    // connector sets it when "auto" identified another.
    const MeterProfile &profile() const { return m_profile; }
    void setProfile(const MeterProfile &profile) { m_profile = profile; }

    // Writes the bytes unchanged and in order.
    void writeLine(const QByteArray &line);

signals:
    // Data arrived (after both buffers were updated).
    void received();
    void connectedChanged(bool connected);
    // The device went away or failed while open; the port has been closed (and
    // the flag cleared) before this is emitted. A failed write is noticed at
    // once, so this may arrive from inside writeLine().
    void linkLost(const QString &message);

private:
    // The bytes received are read through a MeterExchange only, and the
    // port is opened and closed through a MeterConnector only (tests look
    // at the bytes through their own LinkProbe).
    friend class MeterExchange;
    friend class MeterConnector;
    friend class LinkProbe;
    // Close if open, clear the flag, apply the settings and open. False when
    // the port could not be opened or the settings are invalid (the error
    // was shown).
    bool open();
    // Close the port and clear the connected flag; nothing is sent.
    void close();
    void setConnected(bool connected);
    Prompter *prompter() const { return m_prompter; }
    const QByteArray &replyBuffer() const { return m_reply; }
    const QByteArray &latestChunk() const { return m_latest; }
    void clearReplyBuffer() { m_reply.clear(); }
    void clearLatestChunk() { m_latest.clear(); }
    // Removes and returns the first line (through its line feed); empty and
    // nothing removed when the buffer holds no line feed.
    QByteArray takeFirstLine();

    void onReadyRead();
    void watchTransport();
    // The owned transport follows the connection string's kind.
    void chooseTransport(const QString &device);
    void onTransportError(int fault, const QString &message);
    void fail(const QString &text);
    void loseLink(const QString &message);

    LinkSettings m_settings;
    MeterProfile m_profile = MeterProfile::legacy();
    Prompter *m_prompter;
    SerialTransport *m_transport;
    bool m_ownsTransport = false;
    bool m_connected = false;
    QByteArray m_reply;
    QByteArray m_latest;
    qsizetype m_replyLimit = qsizetype(1) << 20;
    QString m_lastError;
};
