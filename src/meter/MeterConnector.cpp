#include "meter/MeterConnector.h"

#include "common/Prompter.h"
#include "meter/InstrumentLink.h"
#include "meter/MeterCommands.h"

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
    if (m_link.isOpen() && m_link.replyBuffer().contains(MeterCommands::identityMark())) {
        m_identification = m_link.replyBuffer();
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
