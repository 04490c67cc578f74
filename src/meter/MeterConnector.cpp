#include "meter/MeterConnector.h"

#include "common/Prompter.h"
#include "meter/InstrumentLink.h"
#include "meter/MeterCommands.h"
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
    m_link.writeLine(MeterCommands::identify());
    m_link.writeLine(MeterCommands::local());
    m_check.start(m_delay);
    return true;
}

void MeterConnector::disconnectFromMeter()
{
    m_check.stop();
    m_link.close();
}

void MeterConnector::onLinkLost()
{
    // The loss is the one thing to tell: the check would add a second
    // message about the same device.
    if (!m_check.isActive())
        return;
    m_check.stop();
    emit identificationFinished(false);
}

void MeterConnector::onCheck()
{
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
