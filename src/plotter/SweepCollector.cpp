#include "plotter/SweepCollector.h"

#include "plotter/PlotterState.h"
#include "plotter/SweepReading.h"
#include "procedure/FieldParsing.h"

double SweepCollector::frequencyHz() const
{
    return m_state.pointFrequencyHz(m_state.setup().currentX);
}

double SweepCollector::levelVolts() const
{
    return m_state.pointLevelVolts(m_state.setup().currentX);
}

void SweepCollector::collect(const QString &primary, const QString &secondary)
{
    SweepSetup &s = m_state.setup();
    PlotTableModel &table = m_state.table();
    GraphSink &graph = m_state.graph();
    const int p = s.pointIndex;
    const int a = s.firstItemLine;
    const int b = s.secondItemLine;
    const bool second = m_state.hasSecondItem();

    // The first line makes the rows; a later line finds them, unless the
    // sweep that made them was cut short.
    if (a == 1 || p >= table.tableRowCount()) {
        table.insertRow(p, QString::number(p + 1));
        table.setCell(p, 1, FieldParsing::formatFixed(s.currentX) + m_state.text(PlotterState::SweepUnit));
    }
    table.setPicture(p, second ? (a + 7) / 2 : a - 1);

    const SweepReading r = SweepReading::make(primary, secondary, second, table.cell(0, 2),
                                              m_state.firstItemIndex(), m_state.secondItemIndex());
    table.setCell(p, a + 1, r.primaryCell, r.primaryReading);
    graph.setAxisLabel(a + 1, r.primaryLabel);
    if (second) {
        table.setCell(p, b + 1, r.secondaryCell, r.secondaryReading);
        graph.setAxisLabel(b + 1, r.secondaryLabel);
    }
    m_state.showRow(p);

    graph.appendPoint(a, s.currentX, r.primaryValue);
    if (second)
        graph.appendPoint(b, s.currentX, r.secondaryValue);
}

void SweepCollector::finish()
{
    m_state.editText(PlotterState::Points, m_state.text(PlotterState::Points));
    m_state.editText(PlotterState::Start, m_state.text(PlotterState::Start));
    m_state.setDrawEnabled(true);

    const SweepSetup &s = m_state.setup();
    const bool second = m_state.hasSecondItem();
    AxisRanges &ranges = m_state.ranges();
    const GraphSink &graph = m_state.graph();
    auto readLine = [&](int line) {
        if (line < 1 || line >= AxisRanges::Count)
            return;
        ranges.autoMax[line] = graph.axisMaximum(line + 1);
        ranges.autoMin[line] = graph.axisMinimum(line + 1);
    };
    readLine(s.firstItemLine);
    if (second)
        readLine(s.secondItemLine);
    ranges.computeLocked(s.firstItemLine, s.secondItemLine, second, s.nextLine);
    // The lock box's handler flips the flag, and the flag was flipped just
    // before: the ranges are applied with the lock as it stands.
    m_state.applyYAxisRanges();
}

void SweepCollector::advance(float step)
{
    m_state.setup().advance(step);
}

void SweepCollector::addProgress(float step)
{
    m_state.setProgressValue(m_state.progressValue() + step);
}
