#include "plotter/GraphData.h"

#include "plotter/GraphPainter.h"

#include <cmath>

GraphData::GraphData()
{
    for (int a = 1; a <= AxisCount; ++a)
        m_axes[a - 1].tick = defaultTickColor(a);
    for (int p = 1; p <= PlotCount; ++p) {
        m_plots[p - 1].line = defaultLineColor(p);
        m_plots[p - 1].point = defaultLineColor(p);
    }
}

QColor GraphData::defaultLineColor(int plot)
{
    switch (plot) {
    case 1: return QColor(0, 255, 0);
    case 2: return QColor(255, 0, 0);
    case 3: return QColor(255, 255, 0);
    case 4: return QColor(0, 0, 255);
    default: return QColor(Qt::black);
    }
}

QColor GraphData::defaultTickColor(int axis)
{
    // Each Y axis wears a darker shade of its line's colour, which also
    // reads on white paper; the print scheme borrows lines 1 and 3 from here.
    switch (axis) {
    case 2: return QColor(0, 128, 0);
    case 3: return QColor(255, 0, 0);
    case 4: return QColor(128, 128, 0);
    case 5: return QColor(0, 0, 255);
    default: return QColor(Qt::black);
    }
}

void GraphData::clearPlots()
{
    for (Plot &p : m_plots)
        p.points.clear();
}

void GraphData::appendPoint(int plot, double x, double y)
{
    if (!validPlot(plot))
        return;
    m_plots[plot - 1].points.append(QPointF(x, y));
    Axis &xAxis = m_axes[0];
    if (xAxis.autoRescale)
        widen(xAxis.min, xAxis.max, x);
    Axis &yAxis = m_axes[plot];
    if (yAxis.autoRescale)
        widen(yAxis.min, yAxis.max, y);
}

int GraphData::pointCount(int plot) const
{
    return validPlot(plot) ? int(m_plots[plot - 1].points.size()) : 0;
}

double GraphData::axisMinimum(int axis) const
{
    return validAxis(axis) ? m_axes[axis - 1].min : 0.0;
}

double GraphData::axisMaximum(int axis) const
{
    return validAxis(axis) ? m_axes[axis - 1].max : 0.0;
}

void GraphData::setAxisMinimum(int axis, double value)
{
    if (validAxis(axis))
        m_axes[axis - 1].min = value;
}

void GraphData::setAxisMaximum(int axis, double value)
{
    if (validAxis(axis))
        m_axes[axis - 1].max = value;
}

void GraphData::setAxisRange(int axis, double minimum, double maximum)
{
    if (!validAxis(axis))
        return;
    m_axes[axis - 1].min = minimum;
    m_axes[axis - 1].max = maximum;
}

void GraphData::setAutoRescale(int axis, bool on)
{
    if (validAxis(axis))
        m_axes[axis - 1].autoRescale = on;
}

bool GraphData::autoRescale(int axis) const
{
    return validAxis(axis) && m_axes[axis - 1].autoRescale;
}

void GraphData::setAxisLabel(int axis, const QString &text)
{
    if (validAxis(axis))
        m_axes[axis - 1].label = text;
}

QString GraphData::axisLabel(int axis) const
{
    return validAxis(axis) ? m_axes[axis - 1].label : QString();
}

void GraphData::setAxisVisible(int axis, bool visible)
{
    if (validAxis(axis))
        m_axes[axis - 1].visible = visible;
}

bool GraphData::axisVisible(int axis) const
{
    return validAxis(axis) && m_axes[axis - 1].visible;
}

void GraphData::setPlotVisible(int plot, bool visible)
{
    if (validPlot(plot))
        m_plots[plot - 1].visible = visible;
}

bool GraphData::plotVisible(int plot) const
{
    return validPlot(plot) && m_plots[plot - 1].visible;
}

void GraphData::setPointStyle(int plot, int style)
{
    if (validPlot(plot))
        m_plots[plot - 1].style = style;
}

int GraphData::pointStyle(int plot) const
{
    return validPlot(plot) ? m_plots[plot - 1].style : NoMarks;
}

void GraphData::setLineColor(int plot, const QColor &color)
{
    if (validPlot(plot))
        m_plots[plot - 1].line = color;
}

QColor GraphData::lineColor(int plot) const
{
    return validPlot(plot) ? m_plots[plot - 1].line : QColor();
}

void GraphData::setPointColor(int plot, const QColor &color)
{
    if (validPlot(plot))
        m_plots[plot - 1].point = color;
}

QColor GraphData::pointColor(int plot) const
{
    return validPlot(plot) ? m_plots[plot - 1].point : QColor();
}

void GraphData::setPlotAreaColor(const QColor &color)
{
    m_plotArea = color;
}

QColor GraphData::plotAreaColor() const
{
    return m_plotArea;
}

QColor GraphData::axisTickColor(int axis) const
{
    return validAxis(axis) ? m_axes[axis - 1].tick : QColor();
}

QImage GraphData::picture() const
{
    return GraphPainter::render(*this, QSize(800, 500));
}

const QVector<QPointF> &GraphData::points(int plot) const
{
    static const QVector<QPointF> none;
    return validPlot(plot) ? m_plots[plot - 1].points : none;
}

double GraphData::niceStep(double span)
{
    if (!(span > 0.0) || !std::isfinite(span))
        return 1.0;
    const double magnitude = std::pow(10.0, std::floor(std::log10(span)));
    const double f = span / magnitude;
    double nice = 10.0;
    if (f <= 1.0)
        nice = 1.0;
    else if (f <= 2.0)
        nice = 2.0;
    else if (f <= 5.0)
        nice = 5.0;
    return nice * magnitude;
}

void GraphData::widen(double &min, double &max, double value)
{
    if (!std::isfinite(value))
        return;
    double lo = std::fmin(min, max);
    double hi = std::fmax(min, max);
    if (value >= lo && value <= hi) {
        min = lo;
        max = hi;
        return;
    }
    const double newLo = std::fmin(lo, value);
    const double newHi = std::fmax(hi, value);
    double span = newHi - newLo;
    if (!(span > 0.0))
        span = std::fabs(value) > 0.0 ? std::fabs(value) : 1.0;
    const double step = niceStep(span / 10.0);
    if (value < lo)
        lo = std::fmin(std::floor(value / step) * step, value);
    else
        hi = std::fmax(std::ceil(value / step) * step, value);
    min = lo;
    max = hi;
}

void GraphData::setAxisLog(int axis, bool on)
{
    if (validAxis(axis))
        m_axes[axis - 1].log = on;
}

bool GraphData::axisLog(int axis) const
{
    return validAxis(axis) && m_axes[axis - 1].log;
}
