#include "measurement/MeasurementSequencer.h"

#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "measurement/StepSettings.h"
#include "meter/MeterCommands.h"
#include "meter/InstrumentLink.h"
#include "meter/ProfileDriver.h"
#include "measurement/PassEvaluator.h"
#include "procedure/FieldParsing.h"
#include "procedure/ProcedureModel.h"

#include <algorithm>

MeasurementSequencer::MeasurementSequencer(InstrumentLink &link, SettingsCache &cache, ProcedureModel &procedure,
                                           ResultTableModel &results, ExecutionState &state, QObject *parent)
    : QObject(parent),
      m_exchange(link, cache),
      m_procedure(procedure),
      m_results(results),
      m_exec(state),
      m_clock([] { return QDateTime::currentDateTime(); })
{
    for (QTimer *t : {&m_sendTimer, &m_advanceTimer, &m_evaluateTimer}) {
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
    }
    connect(&m_sendTimer, &QTimer::timeout, this, &MeasurementSequencer::sendStep);
    connect(&m_advanceTimer, &QTimer::timeout, this, &MeasurementSequencer::advance);
    connect(&m_evaluateTimer, &QTimer::timeout, this, &MeasurementSequencer::evaluate);
    connect(&m_exchange, &MeterExchange::replied, this, &MeasurementSequencer::onReplied);
    connect(&m_exchange, &MeterExchange::lost, this, &MeasurementSequencer::onLinkLost);
    connect(&m_exchange, &MeterExchange::timedOut, this, &MeasurementSequencer::onTimedOut);
}

void MeasurementSequencer::setClock(std::function<QDateTime()> clock)
{
    m_clock = std::move(clock);
}

void MeasurementSequencer::start()
{
    stopTimers();
    m_exec.setProgress(0.0);
    setStep(0);
    m_exec.setFinishedLamp(false);
    m_exec.setRunEnabled(false);
    m_exchange.clearReplies();
    m_profileLines.clear();
    m_overloadSteps.clear();
    m_pass = 0;
    m_released = false;
    m_state = State::Sending;
    m_sendTimer.start(0);
}

void MeasurementSequencer::resumePass()
{
    if (m_state != State::Holding)
        return;
    m_released = true;
    m_state = State::Sending;
    m_sendTimer.start(0);
}

void MeasurementSequencer::stop()
{
    stopTimers();
    m_state = State::Idle;
    m_exec.reloadLoopCount();
    m_exec.setProgress(100.0);
    m_exec.setFinishedLamp(true);
    m_exec.setRunEnabled(true);
}

void MeasurementSequencer::stopTimers()
{
    m_exchange.cancel();
    m_sendTimer.stop();
    m_advanceTimer.stop();
    m_evaluateTimer.stop();
}

void MeasurementSequencer::setStep(int step)
{
    if (step == m_step)
        return;
    m_step = step;
    emit currentStepChanged(step);
}

void MeasurementSequencer::sendStep()
{
    if (m_step >= m_procedure.stepCount()) {
        abandon(procedureChangedText());
        return;
    }
    if (m_step == 0 && m_holdBeforePass && !m_released) {
        m_state = State::Holding;
        emit passWaiting(m_pass);
        return;
    }
    // Waiting already while the settings go out: a meter may answer the
    // trigger before the write returns.
    m_state = State::Waiting;
    const MeterProfile &profile = m_exchange.link().profile();
    const ProcedureStep &step = m_procedure.step(m_step);
    if (!m_exchange.request(profile.isLegacy() ? MeterCommands::stepSettings(step) : planFor(m_step).settings))
        return; // the link went away under a write, and the run with it
}

const ProfileDriver::Plan &MeasurementSequencer::planFor(int index)
{
    if (m_plans.size() < m_procedure.stepCount())
        m_plans.resize(m_procedure.stepCount());
    const ProcedureStep &step = m_procedure.step(index);
    const MeterProfile &profile = m_exchange.link().profile();
    StepPlan &p = m_plans[index];
    if (p.fields != step.fields || p.profile != profile.name) {
        p.fields = step.fields;
        p.profile = profile.name;
        p.plan = ProfileDriver::plan(profile, measureSettings(step));
    }
    return p.plan;
}

void MeasurementSequencer::onReplied(const QByteArray &line)
{
    if (m_state != State::Waiting)
        return;
    const MeterProfile &profile = m_exchange.link().profile();
    if (!profile.isLegacy() && m_step < m_procedure.stepCount()) {
        const ProfileDriver::Reading r = ProfileDriver::read(profile, planFor(m_step), line);
        if (r.kind == ProfileDriver::Reading::Kind::Error) {
            const QString reason = tr("The meter reported %1 at step %2; the run was stopped. "
                                      "The rows already measured are kept.").arg(r.error).arg(m_step + 1);
            stopTimers();
            m_state = State::Idle;
            endRun();
            emit meterFailed(reason);
            return;
        }
        while (m_profileLines.size() <= m_step)
            m_profileLines << QByteArray();
        m_profileLines[m_step] = r.line;
        if (r.kind == ProfileDriver::Reading::Kind::Overload)
            m_overloadSteps << m_step;
    }
    m_state = State::Advancing;
    m_advanceTimer.start(0);
}

void MeasurementSequencer::onTimedOut()
{
    if (m_state != State::Waiting)
        return;
    stop();
    emit timedOut();
}

void MeasurementSequencer::advance()
{
    const int steps = m_procedure.stepCount();
    if (m_step >= steps) {
        abandon(procedureChangedText());
        return;
    }
    // A loop edit of 0 or without digits still runs one pass.
    const int loops = std::max(1, m_exec.loopTextValue());
    const double increment = 100.0 / (double(loops) * double(steps));
    const int delay = std::max(0, FieldParsing::delayMs(m_procedure.text(m_step, ProcedureStep::Delay)));
    if (m_step == steps - 1) {
        m_state = State::Evaluating;
        m_evaluateTimer.start(delay);
    } else {
        m_state = State::Sending;
        m_sendTimer.start(delay);
        setStep(m_step + 1);
    }
    m_exec.addProgress(increment);
}

void MeasurementSequencer::evaluate()
{
    const int steps = m_procedure.stepCount();
    if (steps == 0) {
        abandon(procedureChangedText());
        return;
    }
    QList<QByteArray> lines;
    lines.reserve(steps);
    const bool legacy = m_exchange.link().profile().isLegacy();
    for (int j = 0; j < steps; ++j)
        lines << (legacy ? m_exchange.takeFirstLine() : m_profileLines.value(j));
    PassEvaluator::Row row = PassEvaluator::evaluate(m_procedure.steps(), lines);
    // An overloaded step fails whatever its limits say.
    for (int j : std::as_const(m_overloadSteps)) {
        int cell = 0;
        for (int k = 0; k < j && k < steps; ++k)
            cell += m_procedure.step(k).hasSecondItem() ? 4 : 2;
        if (cell + 1 < row.cells.size())
            row.cells[cell + 1] = PassEvaluator::failText();
        row.image = ResultTableModel::Failed;
    }
    m_profileLines.clear();
    m_overloadSteps.clear();
    const int index = m_results.appendRow(row.cells, row.image, row.values);
    const QDateTime now = m_clock();
    m_results.setRowDateTime(index, PassEvaluator::dateText(now.date()), PassEvaluator::timeText(now.time()));
    // The recorded moment is the row's own, so a report made again from the
    // history dates the row as this one does.
    emit rowJudged(index, row, now.toUTC());
    emit rowCompleted(index);

    if (m_state != State::Evaluating)
        return; // stopped from a rowCompleted handler
    if (m_exec.loopCount() > 1) {
        m_exchange.clearReplies();
        ++m_pass;
        m_released = false;
        setStep(0);
        m_exec.setLoopCount(m_exec.loopCount() - 1);
        m_state = State::Sending;
        m_sendTimer.start(0);
        return;
    }
    m_exchange.finish();
    m_state = State::Idle;
    endRun();
    emit finished();
}

void MeasurementSequencer::endRun()
{
    m_exec.reloadLoopCount();
    m_exec.setFinishedLamp(true);
    m_exec.setRunEnabled(true);
}

void MeasurementSequencer::onLinkLost(const QString &message)
{
    if (!isRunning())
        return;
    QString reason = tr("The connection to the meter was lost during the run; the run was stopped. "
                        "The rows already measured are kept.");
    if (!message.isEmpty())
        reason += QLatin1Char('\n') + message;
    abandon(reason);
}

void MeasurementSequencer::abandon(const QString &reason)
{
    // Unlike Emergency Stop the progress stays where the run got to.
    stopTimers();
    m_state = State::Idle;
    endRun();
    emit interrupted(reason);
}

QString MeasurementSequencer::procedureChangedText()
{
    return tr("The procedure changed during the run; the run was stopped.");
}
