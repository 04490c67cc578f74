#pragma once

#include "plotter/SweepCollector.h"
#include "plotter/SweepRunner.h"
#include "meter/MeterExchange.h"
#include "meter/ProfileDriver.h"

#include <QObject>
#include <QTimer>

class InstrumentLink;
class PlotterState;
class SettingsCache;

// Measures a sweep plan on the meter, point by point: the point's changed
// settings and a trigger, the reply line, the reading recorded into the
// Plotter View's list and graph, then the next point or the end ("*LOC\n",
// settings cache emptied, ranges read and applied). What it sends comes from
// the plan alone, never from the page. It waits for the reply by reacting
// to the link's receive notification and takes only the reply to its own
// trigger. Hand it to PlotterCommands::setRunner().
class SweepSequencer : public QObject, public SweepRunner
{
    Q_OBJECT
public:
    enum class State { Idle, Sending, Waiting, Reading };

    // The reason of an interruption is signalled (interrupted); the front
    // end tells the operator.
    SweepSequencer(InstrumentLink &link, SettingsCache &cache, PlotterState &plotter, QObject *parent = nullptr);

    bool meterConnected() const override;
    // What Draw does once the lines are taken: empties the reply buffer
    // and sends the plan's first point when control returns to the event loop.
    void startSweep(const SweepPlan &plan) override;
    // What Stop / Reset does: nothing is sent, the cache stays.
    void stopSweep() override;
    void setSpeed(const QString &speed) override { m_plan.speed = speed; }
    const SweepPlan &plan() const { return m_plan; }
    // Why the last startSweep() did not start (a setting the meter profile
    // cannot do); empty when it started.
    QString lastRefusal() const { return m_refusal; }

    bool isRunning() const { return m_state != State::Idle; }
    State state() const { return m_state; }
    // The request/reply protocol of this sweep (its reply timeout, for one).
    MeterExchange &exchange() { return m_exchange; }

signals:
    void pointTaken(int pointIndex);
    // The last point was taken and "*LOC\n" sent.
    void finished();
    // The sweep ended early (the meter went away); its points stay.
    void interrupted(const QString &reason);
    // The meter answered with an error status; the sweep was stopped, its
    // points kept.
    void meterFailed(const QString &reason);
    // The meter did not answer within the exchange's reply timeout; the
    // sweep was stopped as Stop / Reset stops it.
    void timedOut();

private:
    void sendPoint();
    MeasureSettings measureSettings() const;
    void onReplied(const QByteArray &line);
    void onTimedOut();
    void takeReading();
    void onLinkLost(const QString &message);

    InstrumentLink &m_link;
    MeterExchange m_exchange;
    SweepCollector m_collector;
    QTimer m_sendTimer;
    QTimer m_readTimer;
    State m_state = State::Idle;
    SweepPlan m_plan;
    int m_point = 0;
    QByteArray m_reply;
    QString m_refusal;
    ProfileDriver::Plan m_profilePlan; // the point's, with a profile
};
