#pragma once

#include <QByteArray>
#include <QMetaObject>
#include <QObject>
#include <QTimer>

class InstrumentLink;

// Connecting to the meter, the one exchange that comes before any request:
// the link opened with its settings, "*IDN?\n" and "*LOC\n" written, and
// after the identification delay (1000 ms) a look at everything received
// since: a reply containing "44" is kept as the identification, the bytes
// are emptied and the link becomes connected; anything else says
// "Connecting Error!". The link is opened and closed only through here, so a
// reconnect or disconnect stops the check still pending for the port it
// closes, and a loss while identifying is told once, as the loss.
class MeterConnector : public QObject
{
    Q_OBJECT
public:
    explicit MeterConnector(InstrumentLink &link, QObject *parent = nullptr);

    InstrumentLink &link() const { return m_link; }

    // Close if open, apply the link's settings, open, write the two lines and
    // start the check. False when the port could not be opened or the
    // settings are invalid (the error was shown; no check runs).
    bool connectToMeter();
    // Close the port and clear the connected flag; nothing is sent.
    void disconnectFromMeter();

    // Whether the identification check is pending.
    bool isIdentifying() const { return m_check.isActive(); }
    // What the meter answered to the last identification that succeeded:
    // its reply line, not bytes that were waiting from before the request.
    const QByteArray &identification() const { return m_identification; }

    // Time from connect to the identification check (1000 ms).
    int identificationDelay() const { return m_delay; }
    void setIdentificationDelay(int ms) { m_delay = ms; }

signals:
    // The check ran, or the link was lost while it was pending (false, after
    // every other listener heard linkLost, and with no message of its own).
    void identificationFinished(bool ok);

private:
    void onCheck();
    void onLinkLost();

    InstrumentLink &m_link;
    QTimer m_check;
    int m_delay = 1000;
    QByteArray m_identification;
    // Where this connection's reply starts in the reply buffer.
    qsizetype m_replyStart = 0;
    QMetaObject::Connection m_lossWatch;
};
