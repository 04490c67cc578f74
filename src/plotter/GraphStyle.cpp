#include "plotter/GraphStyle.h"

#include "plotter/AxisRanges.h"
#include "plotter/GraphData.h"

namespace GraphStyle {

void resetToStored(GraphSink &g)
{
    g.clearPlots();
    for (int a = 1; a <= GraphSink::AxisCount; ++a) {
        g.setAxisMinimum(a, 0.0);
        g.setAxisMaximum(a, 10.0);
        g.setAutoRescale(a, true);
        g.setAxisLabel(a, QString());
        g.setAxisVisible(a, true);
    }
    for (int p = 1; p <= GraphSink::PlotCount; ++p) {
        g.setPlotVisible(p, true);
        g.setPointStyle(p, GraphSink::NoMarks);
        g.setLineColor(p, GraphData::defaultLineColor(p));
        g.setPointColor(p, GraphData::defaultLineColor(p));
    }
    g.setPlotAreaColor(Qt::black);
}

void showLine(GraphSink &g, int line, bool on)
{
    g.setPlotVisible(line, on);
    g.setAxisVisible(line + 1, on);
}

void markPoints(GraphSink &g, bool on)
{
    for (int p = 1; p <= GraphSink::PlotCount; ++p)
        g.setPointStyle(p, on ? GraphSink::MarkedPoints : GraphSink::NoMarks);
}

void setPrintMode(GraphSink &g, bool on)
{
    QColor line1(0, 255, 0), line3(255, 255, 0);
    if (on) {
        line1 = g.axisTickColor(2);
        line3 = g.axisTickColor(4);
    }
    g.setPlotAreaColor(on ? QColor(255, 255, 255) : QColor(0, 0, 0));
    g.setLineColor(1, line1);
    g.setPointColor(1, line1);
    g.setLineColor(3, line3);
    g.setPointColor(3, line3);
}

void applyRanges(GraphSink &g, const AxisRanges &ranges, bool locked, int lastAxis)
{
    for (int axis = 1; axis <= lastAxis; ++axis) {
        const int i = axis - 1;
        g.setAxisMaximum(axis, locked ? ranges.lockedMax[i] : ranges.autoMax[i]);
        g.setAxisMinimum(axis, locked ? ranges.lockedMin[i] : ranges.autoMin[i]);
        g.setAutoRescale(axis, true);
    }
}

} // namespace GraphStyle
