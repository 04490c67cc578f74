#include "plotter/GraphData.h"

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

namespace {

// Constant data are shown a tenth of their size across (all zeros: 1).
double leastSpan(double dataMin, double dataMax)
{
    const double size = std::fmax(std::fabs(dataMin), std::fabs(dataMax));
    return size > 0.0 ? size * 0.1 : 1.0;
}

} // namespace

void GraphData::clearPlots()
{
    for (Plot &p : m_plots)
        p.points.clear();
    for (Axis &a : m_axes) {
        a.dataMin = std::numeric_limits<double>::infinity();
        a.dataMax = -std::numeric_limits<double>::infinity();
    }
}

void GraphData::appendPoint(int plot, double x, double y)
{
    if (!validPlot(plot))
        return;
    m_plots[plot - 1].points.append(QPointF(x, y));
    auto note = [](Axis &a, double v) {
        if (std::isfinite(v)) {
            a.dataMin = std::fmin(a.dataMin, v);
            a.dataMax = std::fmax(a.dataMax, v);
        }
    };
    // A sweep's X range is set to its start and end beforehand.
    Axis &xAxis = m_axes[0];
    note(xAxis, x);
    if (xAxis.autoRescale)
        widen(xAxis.min, xAxis.max, x);
    Axis &yAxis = m_axes[plot];
    note(yAxis, y);
    if (yAxis.autoRescale && std::isfinite(y) && !showsWell(yAxis.min, yAxis.max, y, yAxis.dataMin, yAxis.dataMax))
        fit(yAxis.dataMin, yAxis.dataMax, yAxis.min, yAxis.max);
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

bool GraphData::showsWell(double min, double max, double value, double dataMin, double dataMax)
{
    const double span = max - min;
    if (!(span > 0.0) || !std::isfinite(span))
        return false;
    const double clear = 0.02 * span;
    if (value < min + clear || value > max - clear)
        return false;
    return std::fmax(dataMax - dataMin, leastSpan(dataMin, dataMax)) >= 0.25 * span;
}

void GraphData::fit(double dataMin, double dataMax, double &min, double &max)
{
    if (!std::isfinite(dataMin) || !std::isfinite(dataMax) || dataMin > dataMax)
        return;
    double lo = dataMin, hi = dataMax;
    const double least = leastSpan(dataMin, dataMax);
    if (hi - lo < least) {
        const double mid = lo / 2.0 + hi / 2.0;
        lo = mid - least / 2.0;
        hi = mid + least / 2.0;
    }
    // Halves first: the span of data near the largest doubles overflows.
    const double margin = (hi / 2.0 - lo / 2.0) * 0.1;
    lo -= margin;
    hi += margin;
    // Ends on half ticks, the ticks being those of the rounded range.
    auto rounded = [](double l, double h, double &outMin, double &outMax) {
        double unit = tickStep(l, h) / 2.0;
        for (int i = 0; i < 4; ++i) {
            outMin = std::floor(l / unit) * unit;
            outMax = std::ceil(h / unit) * unit;
            const double wider = tickStep(outMin, outMax) / 2.0;
            if (!(wider > unit))
                break;
            unit = wider;
        }
    };
    rounded(lo, hi, min, max);
    // Data of one sign take zero as their end when they stay clear of it.
    double zMin = 0.0, zMax = 0.0;
    if (dataMin >= 0.0 && min < 0.0) {
        rounded(0.0, hi, zMin, zMax);
        if (dataMin >= 0.025 * (zMax - zMin)) {
            min = zMin;
            max = zMax;
        }
    } else if (dataMax <= 0.0 && max > 0.0) {
        rounded(lo, 0.0, zMin, zMax);
        if (-dataMax >= 0.025 * (zMax - zMin)) {
            min = zMin;
            max = zMax;
        }
    }
    if (!(std::isfinite(min) && std::isfinite(max) && min <= max)) {
        min = dataMin;
        max = dataMax;
    }
}

double GraphData::tickStep(double min, double max)
{
    const double span = std::fabs(max - min);
    // A span beyond the doubles would give a step of 1: countless ticks.
    if (!std::isfinite(span))
        return niceStep(std::fmax(std::fabs(min), std::fabs(max)) / 3.0);
    return niceStep(span / 6.0);
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
