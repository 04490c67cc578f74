#include "meter/MeterConnector.h"

#include "common/Prompter.h"
#include "meter/InstrumentLink.h"
#include "meter/MeterCommands.h"
#include "meter/ProfileDriver.h"
#include "meter/SerialTransport.h"

MeterConnector::MeterConnector(InstrumentLink &link, QObject *parent)
    : QObject(parent), m_link(link)
{
    m_check.setSingleShot(true);
    connect(&m_check, &QTimer::timeout, this, &MeterConnector::onCheck);
}

bool MeterConnector::connectToMeter()
{
    // A check still pending belongs to the port about to be closed.
    m_check.stop();
    disconnect(m_replyWatch);
    m_failure.clear();
    if (!m_link.open())
        return false;
    // Watched from here on so that the loss reaches everyone who was
    // listening before the identification's end does.
    disconnect(m_lossWatch);
    m_lossWatch = connect(&m_link, &InstrumentLink::linkLost, this, &MeterConnector::onLinkLost);
    // Bytes already waiting (a reply a killed program never read) stay in
    // the buffer, but they are not the answer to this identification.
    m_link.transport()->takeWaitingInput();
    if (!m_link.isOpen())
        return true; // lost while reading: told through linkLost
    m_replyStart = m_link.replyBuffer().size();
    m_profileMode = m_automatic || !m_link.profile().isLegacy();
    if (m_profileMode) {
        const MeterProfile &profile = m_link.profile();
        m_replyWatch = connect(&m_link, &InstrumentLink::received, this, &MeterConnector::onProfileReply);
        m_check.start(m_delay);
        m_link.writeLine(m_automatic ? MeterCommands::identify()
                                     : ProfileDriver::wire(profile, profile.identify.toLatin1()));
        return true;
    }
    m_link.writeLine(MeterCommands::identify());
    m_link.writeLine(MeterCommands::local());
    m_check.start(m_delay);
    return true;
}

void MeterConnector::setAutomatic(bool automatic, const MeterProfiles *profiles)
{
    m_automatic = automatic && profiles;
    m_profiles = profiles;
}

void MeterConnector::onProfileReply()
{
    if (m_check.isActive() && m_link.replyBuffer().indexOf('\n', m_replyStart) >= 0)
        finishProfile(false);
}

void MeterConnector::finishProfile(bool timedOut)
{
    m_check.stop();
    disconnect(m_replyWatch);
    const QByteArray &buffer = m_link.replyBuffer();
    const QByteArray reply = buffer.mid(buffer.size() >= m_replyStart ? m_replyStart : 0);
    QByteArray line;
    for (const QByteArray &l : reply.split('\n'))
        if (line.isEmpty())
            line = l.trimmed();
    const MeterProfile *chosen = &m_link.profile();
    if (!line.isEmpty() && m_automatic) {
        chosen = m_profiles->identify(line);
        if (!chosen)
            m_failure = QStringLiteral("No meter profile matches the identification \"%1\"; the patterns known are %2.")
                            .arg(QString::fromLatin1(line), m_profiles->patterns());
    }
    if (!m_link.isOpen() || line.isEmpty() || !chosen) {
        Q_UNUSED(timedOut);
        m_link.setConnected(false);
        if (Prompter *prompter = m_link.prompter())
            prompter->inform(QStringLiteral("Exception"),
                m_failure.isEmpty() ? QStringLiteral("Connecting Error!") : m_failure, Prompter::Icon::Error);
        emit identificationFinished(false);
        return;
    }
    if (m_automatic)
        m_link.setProfile(*chosen);
    const MeterProfile &profile = m_link.profile();
    m_identification = line;
    m_link.clearReplyBuffer();
    if (profile.isLegacy())
        m_link.writeLine(MeterCommands::local());
    else
        for (const QString &l : profile.connect)
            m_link.writeLine(ProfileDriver::wire(profile, l.toLatin1()));
    if (!m_link.isOpen()) {
        emit identificationFinished(false);
        return;
    }
    m_link.setConnected(true);
    emit identificationFinished(true);
}

void MeterConnector::disconnectFromMeter()
{
    m_check.stop();
    disconnect(m_replyWatch);
    m_link.close();
}

void MeterConnector::onLinkLost()
{
    // The loss is the one thing to tell: the check would add a second
    // message about the same device.
    if (!m_check.isActive())
        return;
    m_check.stop();
    disconnect(m_replyWatch);
    emit identificationFinished(false);
}

void MeterConnector::onCheck()
{
    if (m_profileMode) {
        finishProfile(true);
        return;
    }
    const QByteArray &buffer = m_link.replyBuffer();
    // Emptied meanwhile: all of it came after the request.
    const QByteArray reply = buffer.mid(buffer.size() >= m_replyStart ? m_replyStart : 0);
    if (m_link.isOpen() && reply.contains(MeterCommands::identityMark())) {
        // The reply line itself: a late reading the meter still owed the
        // previous program may come first.
        QByteArray line;
        for (const QByteArray &l : reply.split('\n'))
            if (l.contains(MeterCommands::identityMark()))
                line = l;
        m_identification = line;
        m_link.clearReplyBuffer();
        m_link.setConnected(true);
        emit identificationFinished(true);
        return;
    }
    m_link.setConnected(false);
    if (Prompter *prompter = m_link.prompter())
        prompter->inform(QStringLiteral("Exception"), QStringLiteral("Connecting Error!"), Prompter::Icon::Error);
    emit identificationFinished(false);
}
