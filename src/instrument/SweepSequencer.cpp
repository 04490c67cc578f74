#include "instrument/SweepSequencer.h"

#include "common/Prompter.h"
#include "instrument/InstrumentLink.h"
#include "instrument/MeterCommands.h"
#include "instrument/ReplySplitter.h"
#include "instrument/SettingsCache.h"
#include "plotter/PlotterState.h"

SweepSequencer::SweepSequencer(InstrumentLink &link, SettingsCache &cache, PlotterState &plotter, Prompter *prompter,
                               QObject *parent)
    : QObject(parent), m_link(link), m_cache(cache), m_plotter(plotter), m_prompter(prompter), m_recorder(plotter)
{
    m_sendTimer.setSingleShot(true);
    m_readTimer.setSingleShot(true);
    connect(&m_sendTimer, &QTimer::timeout, this, &SweepSequencer::sendPoint);
    connect(&m_readTimer, &QTimer::timeout, this, &SweepSequencer::takeReading);
    connect(&m_link, &InstrumentLink::received, this, &SweepSequencer::onReceived);
    connect(&m_link, &InstrumentLink::linkLost, this, &SweepSequencer::onLinkLost);
    connect(&m_plotter, &PlotterState::pageReset, this, &SweepSequencer::stopSweep);
}

bool SweepSequencer::meterConnected() const
{
    return m_link.isConnected();
}

void SweepSequencer::startSweep()
{
    m_link.clearReplyBuffer();
    m_state = State::Sending;
    m_sendTimer.start(0);
}

void SweepSequencer::stopSweep()
{
    m_readTimer.stop();
    m_sendTimer.stop();
    m_state = State::Idle;
}

void SweepSequencer::sendPoint()
{
    if (m_state != State::Sending)
        return;
    MeterCommands::SweepPoint point;
    point.firstItem = m_plotter.text(PlotterState::FirstItem);
    point.secondItem = m_plotter.text(PlotterState::SecondItem);
    point.circuit = m_plotter.text(PlotterState::Circuit);
    point.speed = m_plotter.text(PlotterState::Speed);
    point.frequencyHz = m_recorder.frequencyHz();
    point.levelVolts = m_recorder.levelVolts();
    for (const QByteArray &line : m_cache.filter(MeterCommands::sweepSettings(point)))
        m_link.writeLine(line);
    m_link.clearLatestChunk();
    m_replyStart = m_link.replyBuffer().size();
    m_scanned = m_replyStart;
    m_state = State::Waiting;
    m_link.writeLine(MeterCommands::trigger());
}

void SweepSequencer::onReceived()
{
    if (m_state != State::Waiting)
        return;
    const QByteArray &buffer = m_link.replyBuffer();
    if (buffer.size() < m_scanned) {
        // The buffer was emptied while we waited: all of it is new.
        m_replyStart = 0;
        m_scanned = 0;
    }
    // Every byte since the trigger counts, not just the latest chunk.
    const bool complete = buffer.indexOf('\n', m_scanned) >= 0;
    m_scanned = buffer.size();
    if (!complete)
        return;
    m_state = State::Reading;
    m_readTimer.start(0);
}

void SweepSequencer::takeReading()
{
    if (m_state != State::Reading)
        return;
    QByteArray line = m_link.replyBuffer().mid(m_replyStart);
    line.truncate(line.indexOf('\n') + 1);
    const ReplySplitter::Parts parts = ReplySplitter::split(line);
    m_link.clearReplyBuffer();

    const int index = m_plotter.setup().pointIndex;
    m_recorder.record(parts.primary, parts.secondary);
    emit pointTaken(index);
    if (m_state != State::Reading)
        return; // stopped by a pointTaken handler

    const float step = m_recorder.step();
    if (m_recorder.isLastPoint()) {
        m_link.writeLine(MeterCommands::local());
        m_cache.clear();
        m_state = State::Idle;
        m_recorder.finish();
        m_recorder.addProgress(step);
        emit finished();
        return;
    }
    m_recorder.advance(step);
    m_state = State::Sending;
    m_sendTimer.start(0);
    m_recorder.addProgress(step);
}

void SweepSequencer::onLinkLost(const QString &message)
{
    if (!isRunning())
        return;
    stopSweep();
    // The meter may come back without the settings it had: send them all again.
    m_cache.clear();
    // The points taken stay; the lines drawn so far can be compared or reset.
    m_recorder.finish();
    QString reason = tr("The connection to the meter was lost during the sweep; the sweep was stopped. "
                        "The points already measured are kept.");
    if (!message.isEmpty())
        reason += QLatin1Char('\n') + message;
    if (m_prompter)
        m_prompter->inform(QStringLiteral("Exception"), reason, Prompter::Icon::Warning);
    emit interrupted(reason);
}
