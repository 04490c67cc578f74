#include "meter/MeterExchange.h"

#include "meter/InstrumentLink.h"
#include "meter/ProfileDriver.h"
#include "meter/SettingsCache.h"

MeterExchange::MeterExchange(InstrumentLink &link, SettingsCache &cache, QObject *parent)
    : QObject(parent), m_link(link), m_cache(cache)
{
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, &MeterExchange::onTimeout);
    connect(&m_link, &InstrumentLink::received, this, &MeterExchange::onReceived);
    connect(&m_link, &InstrumentLink::linkLost, this, &MeterExchange::onLinkLost);
}

bool MeterExchange::request(const QList<MeterCommands::Setting> &settings)
{
    cancel();
    const quint64 before = m_interruptions;
    const MeterProfile &profile = m_link.profile();
    const bool legacy = profile.isLegacy();
    if (legacy) {
        for (const QByteArray &line : m_cache.filter(settings)) {
            m_link.writeLine(line);
            if (m_interruptions != before)
                return false;
        }
    } else {
        // One write for the step's settings: on a socket that is one packet,
        // not one per line. A cache line ends in a line feed already, so only
        // another terminator needs work.
        QByteArray lines;
        for (const QByteArray &line : m_cache.filter(settings))
            lines += profile.terminator == "\n" ? line : ProfileDriver::wire(profile, line.chopped(1));
        if (!lines.isEmpty())
            m_link.writeLine(lines);
        if (m_interruptions != before)
            return false;
    }
    m_link.clearLatestChunk();
    m_replyStart = m_link.replyBuffer().size();
    m_scanned = m_replyStart;
    m_waiting = true;
    if (m_timeoutMs > 0)
        m_timeout.start(m_timeoutMs);
    m_link.writeLine(legacy ? MeterCommands::trigger() : ProfileDriver::wire(profile, profile.measure.toLatin1()));
    return m_interruptions == before;
}

void MeterExchange::cancel()
{
    m_timeout.stop();
    if (m_waiting) {
        m_waiting = false;
        ++m_interruptions;
    }
}

void MeterExchange::finish()
{
    const MeterProfile &profile = m_link.profile();
    if (profile.isLegacy())
        m_link.writeLine(MeterCommands::local());
    else
        for (const QString &line : profile.finish)
            m_link.writeLine(ProfileDriver::wire(profile, line.toLatin1()));
    m_cache.clear();
}

void MeterExchange::clearReplies()
{
    m_link.clearReplyBuffer();
}

QByteArray MeterExchange::takeFirstLine()
{
    return m_link.takeFirstLine();
}

void MeterExchange::onReceived()
{
    if (!m_waiting)
        return;
    const QByteArray &buffer = m_link.replyBuffer();
    if (buffer.size() < m_scanned) {
        // Someone emptied the buffer while we waited: all of it is new.
        m_replyStart = 0;
        m_scanned = 0;
    }
    const qsizetype end = buffer.indexOf('\n', m_scanned);
    m_scanned = buffer.size();
    if (end < 0)
        return;
    m_waiting = false;
    m_timeout.stop();
    emit replied(buffer.mid(m_replyStart, end + 1 - m_replyStart));
}

void MeterExchange::onLinkLost(const QString &message)
{
    m_timeout.stop();
    m_waiting = false;
    ++m_interruptions;
    emit lost(message);
}

void MeterExchange::onTimeout()
{
    if (!m_waiting)
        return;
    m_waiting = false;
    ++m_interruptions;
    emit timedOut();
}
