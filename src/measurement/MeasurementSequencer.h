#pragma once

#include "measurement/PassEvaluator.h"
#include "meter/MeterExchange.h"
#include "meter/ProfileDriver.h"
#include "procedure/ProcedureStep.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <functional>

class ExecutionState;
class InstrumentLink;
class ProcedureModel;
class ResultTableModel;
class SettingsCache;

// Runs the procedure on the meter, pass after pass: per step the changed
// settings and a trigger, the reply, the step's delay; after the last step
// one judged row in the result table; then the next pass or the end
// ("*LOC\n", settings cache emptied). Needs no window: the progress, lamp,
// Run enable and loop count live in ExecutionState.
class MeasurementSequencer : public QObject
{
    Q_OBJECT
public:
    enum class State { Idle, Holding, Sending, Waiting, Advancing, Evaluating };

    MeasurementSequencer(InstrumentLink &link, SettingsCache &cache, ProcedureModel &procedure,
                         ResultTableModel &results, ExecutionState &state, QObject *parent = nullptr);

    // What Run does once its checks have passed.
    void start();
    // What Emergency Stop does: nothing is sent, no row is written.
    void stop();

    bool isRunning() const { return m_state != State::Idle; }
    State state() const { return m_state; }
    // The step whose commands go out next (or whose reply is awaited).
    int currentStep() const { return m_step; }

    // The request/reply protocol of this run (its reply timeout, for one).
    MeterExchange &exchange() { return m_exchange; }

    // Where the row dates and times come from; the local clock by default.
    void setClock(std::function<QDateTime()> clock);

    // Hold before each pass until resumePass() (a part to be named first);
    // Emergency Stop ends a held run as any other.
    void setHoldBeforePass(bool hold) { m_holdBeforePass = hold; }
    bool holdsBeforePass() const { return m_holdBeforePass; }
    void resumePass();

signals:
    // Before rowCompleted: the judged row with its readings in base units
    // and the moment it was judged, for recorders.
    void rowJudged(int row, const PassEvaluator::Row &judged, const QDateTime &measuredAtUtc);
    void rowCompleted(int row);
    // The last pass ended normally.
    void finished();
    // The run ended without finishing (the meter went away).
    void interrupted(const QString &reason);
    // The meter answered with an error status; the run was stopped, the
    // rows before kept.
    void meterFailed(const QString &reason);
    // The meter did not answer within the exchange's reply timeout; the run
    // was stopped as Emergency Stop stops it.
    void timedOut();
    void currentStepChanged(int step);
    // Held before pass (0-based) of this run: nothing goes out until resumePass().
    void passWaiting(int pass);

private:
    void sendStep();
    void onReplied(const QByteArray &line);
    void onTimedOut();
    void advance();
    void evaluate();
    void onLinkLost(const QString &message);
    void setStep(int step);
    void stopTimers();
    void endRun();
    void abandon(const QString &reason);
    static QString procedureChangedText();

    MeterExchange m_exchange;
    ProcedureModel &m_procedure;
    ResultTableModel &m_results;
    ExecutionState &m_exec;

    QTimer m_sendTimer;
    QTimer m_advanceTimer;
    QTimer m_evaluateTimer;

    State m_state = State::Idle;
    int m_step = 0;
    int m_pass = 0;
    bool m_holdBeforePass = false;
    bool m_released = false;
    std::function<QDateTime()> m_clock;
    // With a meter profile: the pass's readings as the profile read them,
    // and which steps read an overload.
    QList<QByteArray> m_profileLines;
    QList<int> m_overloadSteps;
    // A profile's plan per step, worked out again only when the step's
    // fields or the profile changed.
    struct StepPlan
    {
        decltype(ProcedureStep::fields) fields;
        QString profile;
        ProfileDriver::Plan plan;
    };
    QVector<StepPlan> m_plans;
    const ProfileDriver::Plan &planFor(int step);
};
