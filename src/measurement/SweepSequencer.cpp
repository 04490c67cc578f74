#include "measurement/SweepSequencer.h"

#include "meter/InstrumentLink.h"
#include "meter/MeterCommands.h"
#include "meter/ProfileDriver.h"
#include "meter/ReplySplitter.h"
#include "meter/SettingsCache.h"

#include <utility>
#include "plotter/PlotterState.h"

SweepSequencer::SweepSequencer(InstrumentLink &link, SettingsCache &cache, PlotterState &plotter,
                               QObject *parent)
    : QObject(parent), m_link(link), m_exchange(link, cache), m_collector(plotter)
{
    m_sendTimer.setSingleShot(true);
    m_readTimer.setSingleShot(true);
    connect(&m_sendTimer, &QTimer::timeout, this, &SweepSequencer::sendPoint);
    connect(&m_readTimer, &QTimer::timeout, this, &SweepSequencer::takeReading);
    connect(&m_exchange, &MeterExchange::replied, this, &SweepSequencer::onReplied);
    connect(&m_exchange, &MeterExchange::lost, this, &SweepSequencer::onLinkLost);
    connect(&m_exchange, &MeterExchange::timedOut, this, &SweepSequencer::onTimedOut);
    connect(&plotter, &PlotterState::pageReset, this, &SweepSequencer::stopSweep);
}

bool SweepSequencer::meterConnected() const
{
    return m_link.isConnected();
}

void SweepSequencer::startSweep(const SweepPlan &plan)
{
    m_plan = plan;
    m_point = 0;
    m_refusal.clear();
    const QString why = ProfileDriver::cannot(m_link.profile(), measureSettings());
    if (!why.isEmpty()) {
        m_refusal = tr("The sweep cannot be measured: %1; nothing was sent.").arg(why);
        return;
    }
    m_exchange.clearReplies();
    m_state = State::Sending;
    m_sendTimer.start(0);
}

void SweepSequencer::stopSweep()
{
    m_exchange.cancel();
    m_readTimer.stop();
    m_sendTimer.stop();
    m_state = State::Idle;
}

void SweepSequencer::sendPoint()
{
    if (m_state != State::Sending)
        return;
    if (m_point >= m_plan.points.size()) {
        stopSweep();
        return;
    }
    MeterCommands::SweepPoint point;
    point.firstItem = m_plan.firstItem;
    point.secondItem = m_plan.secondItem;
    point.circuit = m_plan.circuit;
    point.speed = m_plan.speed;
    point.frequencyHz = m_plan.points.at(m_point).frequencyHz;
    point.levelVolts = m_plan.points.at(m_point).levelVolts;
    // Waiting already while the settings go out: a meter may answer the
    // trigger before the write returns.
    m_state = State::Waiting;
    const MeterProfile &profile = m_link.profile();
    if (!profile.isLegacy()) {
        m_profilePlan = ProfileDriver::plan(profile, measureSettings());
        m_exchange.request(m_profilePlan.settings);
        return;
    }
    if (!m_exchange.request(MeterCommands::sweepSettings(point)))
        return; // the link went away under a write, and the sweep with it
}

MeasureSettings SweepSequencer::measureSettings() const
{
    MeasureSettings m;
    m.firstItem = m_plan.firstItem;
    m.secondItem = m_plan.secondItem.isEmpty() ? QStringLiteral("off") : m_plan.secondItem;
    m.circuit = m_plan.circuit;
    m.speed = m_plan.speed;
    if (m_point < m_plan.points.size()) {
        m.frequencyHz = m_plan.points.at(m_point).frequencyHz;
        m.level = m_plan.points.at(m_point).levelVolts;
    }
    return m;
}

void SweepSequencer::onReplied(const QByteArray &line)
{
    if (m_state != State::Waiting)
        return;
    m_reply = line;
    m_state = State::Reading;
    m_readTimer.start(0);
}

void SweepSequencer::onTimedOut()
{
    if (m_state != State::Waiting)
        return;
    stopSweep();
    emit timedOut();
}

void SweepSequencer::takeReading()
{
    if (m_state != State::Reading)
        return;
    QByteArray reply = std::exchange(m_reply, QByteArray());
    const MeterProfile &profile = m_link.profile();
    if (!profile.isLegacy()) {
        const ProfileDriver::Reading r = ProfileDriver::read(profile, m_profilePlan, reply);
        if (r.kind == ProfileDriver::Reading::Kind::Error) {
            stopSweep();
            m_collector.finish();
            emit meterFailed(tr("The meter reported %1 at point %2; the sweep was stopped. "
                                "The points already measured are kept.").arg(r.error).arg(m_point + 1));
            return;
        }
        reply = r.line;
    }
    const ReplySplitter::Parts parts = ReplySplitter::split(reply);
    m_exchange.clearReplies();

    const int index = m_point;
    m_collector.collect(parts.primary, parts.secondary);
    emit pointTaken(index);
    if (m_state != State::Reading)
        return; // stopped by a pointTaken handler

    const float step = m_plan.step;
    if (m_point + 1 >= m_plan.points.size()) {
        m_exchange.finish();
        m_state = State::Idle;
        m_collector.finish();
        m_collector.addProgress(step);
        emit finished();
        return;
    }
    ++m_point;
    m_collector.advance(step);
    m_state = State::Sending;
    m_sendTimer.start(0);
    m_collector.addProgress(step);
}

void SweepSequencer::onLinkLost(const QString &message)
{
    if (!isRunning())
        return;
    stopSweep();
    // The meter may come back without the settings it had: send them all again.
    m_exchange.cache().clear();
    // The points taken stay; the lines drawn so far can be compared or reset.
    m_collector.finish();
    QString reason = tr("The connection to the meter was lost during the sweep; the sweep was stopped. "
                        "The points already measured are kept.");
    if (!message.isEmpty())
        reason += QLatin1Char('\n') + message;
    emit interrupted(reason);
}
