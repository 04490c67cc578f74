#include "plotter/PlotterCommands.h"

#include "common/Prompter.h"
#include "plotter/PlotterState.h"
#include "plotter/SweepRunner.h"

namespace {
const char *const notConnected = "Not connect yet. Please setup and modify the communication status.";
const char *const allLinesUsed = "All the lines have be used, refresh the all the points and data?";
const char *const otherPoints = "The points of this sweep differ from those in the result list. Clear all the lines "
                                "and data and draw afresh?";
} // namespace

PlotterCommands::PlotterCommands(PlotterState &state, Prompter &prompter, QObject *parent)
    : QObject(parent), m_state(state), m_prompter(prompter)
{
    // The speed list stays enabled while a sweep runs.
    connect(&m_state, &PlotterState::controlChanged, this, [this](int id) {
        if (id == PlotterState::Speed && m_runner)
            m_runner->setSpeed(m_state.text(PlotterState::Speed));
    });
}

void PlotterCommands::refuse(const QString &text)
{
    m_lastRefusal = text;
    m_prompter.inform(QStringLiteral("Exception"), text, Prompter::Icon::Warning);
}

bool PlotterCommands::checkPoints()
{
    const int points = m_state.setup().points;
    if (points < 2) {
        refuse(QStringLiteral("The value must over or equal 2 points"));
        m_state.editText(PlotterState::Points, QStringLiteral("2"));
        return false;
    }
    if (points > 200) {
        refuse(QStringLiteral("The value can't over 200 points"));
        m_state.editText(PlotterState::Points, QStringLiteral("200"));
        return false;
    }
    return true;
}

void PlotterCommands::draw()
{
    if (!m_runner || !m_runner->meterConnected()) {
        refuse(QString::fromLatin1(notConnected));
        return;
    }
    SweepSetup &setup = m_state.setup();
    setup.pointIndex = 0;
    for (int id : PlotterState::setupControls())
        m_state.setEnabled(id, false);
    GraphSink &graph = m_state.graph();
    graph.setAxisMaximum(1, setup.end);
    graph.setAxisMinimum(1, setup.start);

    if (setup.nextLine > 4) {
        if (m_prompter.ask(QStringLiteral("Filled exception"), QString::fromLatin1(allLinesUsed),
                           Prompter::Icon::None)) {
            stopReset();
            draw();
        }
        return;
    }

    // Every sweep starts at the first point, also after one stopped midway.
    setup.restart();
    // The list has one column of swept values for all its lines.
    if (setup.nextLine > 1 && !m_state.listHoldsPointsOf(m_state.sweepPlan())) {
        if (m_prompter.ask(QStringLiteral("Sweep points changed"), QString::fromLatin1(otherPoints), Prompter::Icon::None)) {
            stopReset();
            draw();
        }
        return;
    }
    const float step = setup.progressStep();
    m_state.setProgressValue(setup.start - step);
    m_state.setProgressScale(setup.start - step, setup.end);
    m_state.setDrawEnabled(false);

    PlotTableModel &table = m_state.table();
    setup.firstItemLine = setup.nextLine++;
    table.insertLineColumn(setup.firstItemLine + 1,
                           m_state.text(PlotterState::FirstItem) + QString::number(setup.firstItemLine));
    if (m_state.hasSecondItem()) {
        setup.secondItemLine = setup.nextLine++;
        table.insertLineColumn(setup.secondItemLine + 1,
                               m_state.text(PlotterState::SecondItem) + QString::number(setup.secondItemLine));
    }
    m_runner->startSweep(m_state.sweepPlan());
}

void PlotterCommands::stopReset()
{
    if (m_runner)
        m_runner->stopSweep();
    for (int id : PlotterState::setupControls())
        m_state.setEnabled(id, true);
    m_state.table().removeLineColumns();
    m_state.reapplySetupEnabling();
    GraphSink &graph = m_state.graph();
    graph.clearPlots();
    m_state.table().removeAllRows();
    for (int axis = 1; axis <= GraphSink::AxisCount; ++axis) {
        graph.setAxisMinimum(axis, 0.0);
        graph.setAxisMaximum(axis, 10.0);
        graph.setAutoRescale(axis, true);
        graph.setAxisLabel(axis, QString());
    }
    m_state.editText(PlotterState::End, m_state.text(PlotterState::End));
    m_state.editText(PlotterState::Start, m_state.text(PlotterState::Start));
    m_state.setProgressValue(m_state.setup().end);
    m_state.setDrawEnabled(true);
    m_state.setup().nextLine = 1;
}
