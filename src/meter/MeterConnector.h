#pragma once

#include <QByteArray>
#include <QMetaObject>
#include <QObject>
#include <QTimer>

class InstrumentLink;
class MeterProfiles;

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

    // With a profile other than legacy chosen on the link, or automatic
    // choice on, the identification is the profile's (or "*IDN?\n") and
    // the first line answered is the identity; automatic choice then puts
    // the profile whose pattern matches on the link (refused, with the
    // patterns listed, when none does). The profiles must outlive this.
    void setAutomatic(bool automatic, const MeterProfiles *profiles);
    bool isAutomatic() const { return m_automatic; }
    // Why the last identification failed, when it was more than no answer.
    QString failure() const { return m_failure; }

    // Time from connect to the identification check (1000 ms).
    int identificationDelay() const { return m_delay; }
    void setIdentificationDelay(int ms) { m_delay = ms; }

signals:
    // The check ran, or the link was lost while it was pending (false, after
    // every other listener heard linkLost, and with no message of its own).
    void identificationFinished(bool ok);

private:
    void onCheck();
    void onProfileReply();
    void finishProfile(bool timedOut);
    void onLinkLost();

    InstrumentLink &m_link;
    QTimer m_check;
    int m_delay = 1000;
    QByteArray m_identification;
    // Where this connection's reply starts in the reply buffer.
    qsizetype m_replyStart = 0;
    QMetaObject::Connection m_lossWatch;
    QMetaObject::Connection m_replyWatch;
    bool m_automatic = false;
    bool m_profileMode = false;
    const MeterProfiles *m_profiles = nullptr;
    QString m_failure;
};
