#include "components/ui/Graph.h"

#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QValueAxis>

#include <cmath>

namespace {

// Often enough to look live, seldom enough that a fast sweep costs little.
constexpr int FlushIntervalMs = 40;

int buttonCode(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
    }
}

int shiftCode(Qt::KeyboardModifiers m)
{
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
}

} // namespace

// The chart view reports button releases; the right button does not zoom
// out here, the page gives it its own meaning.
class GraphChartView : public QChartView
{
public:
    GraphChartView(QChart *chart, Graph *graph) : QChartView(chart, graph), m_graph(graph) {}

protected:
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() != Qt::RightButton)
            QChartView::mouseReleaseEvent(event);
        else
            event->accept();
        const QPoint p = mapTo(m_graph, event->position().toPoint());
        emit m_graph->mouseReleased(buttonCode(event->button()), shiftCode(event->modifiers()), p.x(), p.y());
    }

private:
    Graph *m_graph;
};

Graph::Graph(QWidget *parent) : QWidget(parent)
{
    m_chart = new QChart;
    m_chart->legend()->hide();
    m_chart->setMargins(QMargins(4, 4, 4, 4));
    m_chart->setBackgroundRoundness(0);
    m_chart->setBackgroundBrush(QColor(240, 240, 240));
    m_chart->setPlotAreaBackgroundVisible(true);

    const char *axisNames[] = {"XAxis", "YAxis-1", "YAxis-2", "YAxis-3", "YAxis-4"};
    for (int a = 1; a <= AxisCount; ++a) {
        auto *ax = new QValueAxis(m_chart);
        ax->setObjectName(QLatin1String(axisNames[a - 1]));
        ax->setTickType(QValueAxis::TicksDynamic);
        ax->setTickAnchor(0.0);
        // The chart puts a Y axis's tick mark right against its label: a
        // space between them keeps "50" on a right-hand axis from reading
        // as "-50". The labels are HTML, where only this space is kept.
        if (a == 1)
            ax->setLabelFormat(QStringLiteral("%g"));
        else
            ax->setLabelFormat(a % 2 == 0 ? QStringLiteral("%g&#160;") : QStringLiteral("&#160;%g"));
        ax->setMinorTickCount(0);
        ax->setGridLineVisible(a <= 2);
        ax->setGridLineColor(QColor(80, 80, 80));
        const QColor tick = m_data.axisTickColor(a);
        ax->setLabelsColor(tick);
        ax->setLinePenColor(tick);
        ax->setTitleBrush(tick);
        QFont f = ax->titleFont();
        f.setBold(false);
        ax->setTitleFont(f);
        m_axes[a - 1] = ax;
        Qt::Alignment side = Qt::AlignBottom;
        if (a > 1)
            side = a % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight;
        m_chart->addAxis(ax, side);
    }
    for (int p = 1; p <= PlotCount; ++p) {
        auto *s = new QLineSeries(m_chart);
        s->setName(QStringLiteral("Plot-%1").arg(p));
        s->setObjectName(s->name());
        s->setMarkerSize(7.0);
        m_chart->addSeries(s);
        s->attachAxis(m_axes[0]);
        s->attachAxis(m_axes[p]);
        m_series[p - 1] = s;
        applyPlotLook(p);
    }
    m_chart->setPlotAreaBackgroundBrush(m_data.plotAreaColor());
    for (int a = 1; a <= AxisCount; ++a) {
        applyAxis(a);
        // Connected last: attaching the series moves the ranges by itself.
        connect(m_axes[a - 1], &QValueAxis::rangeChanged, this,
                [this, a](qreal min, qreal max) { axisRangeChanged(a, min, max); });
    }

    m_view = new GraphChartView(m_chart, this);
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setRubberBand(QChartView::RectangleRubberBand);
    m_view->setFrameShape(QFrame::NoFrame);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(FlushIntervalMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &Graph::flush);
}

Graph::~Graph() = default;

QChartView *Graph::chartView() const
{
    return m_view;
}

QLineSeries *Graph::series(int plot) const
{
    return plot >= 1 && plot <= PlotCount ? m_series[plot - 1] : nullptr;
}

QValueAxis *Graph::axis(int axis) const
{
    return axis >= 1 && axis <= AxisCount ? m_axes[axis - 1] : nullptr;
}

void Graph::clearPlots()
{
    m_data.clearPlots();
    for (int p = 0; p < PlotCount; ++p) {
        m_shown[p].clear();
        m_plotDirty[p] = false;
        m_series[p]->clear();
    }
}

void Graph::appendPoint(int plot, double x, double y)
{
    if (plot < 1 || plot > PlotCount)
        return;
    const double xMin = m_data.axisMinimum(1), xMax = m_data.axisMaximum(1);
    const double yMin = m_data.axisMinimum(plot + 1), yMax = m_data.axisMaximum(plot + 1);
    m_data.appendPoint(plot, x, y);
    if (m_data.axisMinimum(1) != xMin || m_data.axisMaximum(1) != xMax)
        m_axisDirty[0] = true;
    if (m_data.axisMinimum(plot + 1) != yMin || m_data.axisMaximum(plot + 1) != yMax)
        m_axisDirty[plot] = true;
    // The chart cannot draw what is not a number; the data keeps it anyway.
    if (std::isfinite(x) && std::isfinite(y)) {
        m_shown[plot - 1].append(QPointF(x, y));
        m_plotDirty[plot - 1] = true;
    }
    scheduleFlush();
}

void Graph::scheduleFlush()
{
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void Graph::flush()
{
    m_flushTimer.stop();
    for (int a = 1; a <= AxisCount; ++a) {
        if (m_axisDirty[a - 1])
            applyAxis(a);
    }
    for (int p = 0; p < PlotCount; ++p) {
        if (!m_plotDirty[p])
            continue;
        m_plotDirty[p] = false;
        m_series[p]->replace(m_shown[p]);
    }
}

void Graph::setAxisMinimum(int axis, double value)
{
    m_data.setAxisMinimum(axis, value);
    applyAxis(axis);
}

void Graph::setAxisMaximum(int axis, double value)
{
    m_data.setAxisMaximum(axis, value);
    applyAxis(axis);
}

void Graph::applyAxis(int axis)
{
    QValueAxis *ax = this->axis(axis);
    if (!ax)
        return;
    m_axisDirty[axis - 1] = false;
    double lo = std::fmin(m_data.axisMinimum(axis), m_data.axisMaximum(axis));
    double hi = std::fmax(m_data.axisMinimum(axis), m_data.axisMaximum(axis));
    if (!std::isfinite(lo) || !std::isfinite(hi))
        return;
    // A single value still needs some room to be drawn around.
    if (!(hi > lo)) {
        const double pad = lo != 0.0 ? std::fabs(lo) * 0.1 : 1.0;
        lo -= pad;
        hi += pad;
    }
    m_settingRange = true;
    ax->setTickInterval(GraphData::tickStep(lo, hi));
    ax->setRange(lo, hi);
    m_settingRange = false;
}

void Graph::axisRangeChanged(int axis, double min, double max)
{
    // Only a zoom of the operator's lands here: the range shown is the range.
    if (m_settingRange)
        return;
    m_data.setAxisRange(axis, min, max);
    if (QValueAxis *ax = this->axis(axis)) {
        m_settingRange = true;
        ax->setTickInterval(GraphData::tickStep(min, max));
        m_settingRange = false;
    }
}

void Graph::setAxisLabel(int axis, const QString &text)
{
    m_data.setAxisLabel(axis, text);
    if (QValueAxis *ax = this->axis(axis))
        ax->setTitleText(text);
}

void Graph::setAxisVisible(int axis, bool visible)
{
    m_data.setAxisVisible(axis, visible);
    if (QValueAxis *ax = this->axis(axis))
        ax->setVisible(visible);
}

void Graph::setPlotVisible(int plot, bool visible)
{
    m_data.setPlotVisible(plot, visible);
    if (QLineSeries *s = series(plot))
        s->setVisible(visible);
}

void Graph::setPointStyle(int plot, int style)
{
    m_data.setPointStyle(plot, style);
    applyPlotLook(plot);
}

void Graph::setLineColor(int plot, const QColor &color)
{
    m_data.setLineColor(plot, color);
    applyPlotLook(plot);
}

void Graph::setPointColor(int plot, const QColor &color)
{
    m_data.setPointColor(plot, color);
    applyPlotLook(plot);
}

void Graph::applyPlotLook(int plot)
{
    QLineSeries *s = series(plot);
    if (!s)
        return;
    QPen pen(m_data.lineColor(plot));
    pen.setWidthF(2.0);
    s->setPen(pen);
    s->setBrush(m_data.pointColor(plot));
    s->setPointsVisible(m_data.pointStyle(plot) == MarkedPoints);
}

void Graph::setPlotAreaColor(const QColor &color)
{
    m_data.setPlotAreaColor(color);
    m_chart->setPlotAreaBackgroundBrush(color);
}

QImage Graph::picture() const
{
    const_cast<Graph *>(this)->flush();
    return m_view->grab().toImage();
}

void Graph::loadFrom(const GraphData &data)
{
    clearPlots();
    // The copied ranges already hold the points: no widening on the way in.
    for (int a = 1; a <= AxisCount; ++a)
        m_data.setAutoRescale(a, false);
    for (int p = 1; p <= PlotCount; ++p) {
        m_data.setPointStyle(p, data.pointStyle(p));
        m_data.setLineColor(p, data.lineColor(p));
        m_data.setPointColor(p, data.pointColor(p));
        applyPlotLook(p);
        setPlotVisible(p, data.plotVisible(p));
        for (const QPointF &pt : data.points(p))
            appendPoint(p, pt.x(), pt.y());
    }
    for (int a = 1; a <= AxisCount; ++a) {
        m_data.setAxisRange(a, data.axisMinimum(a), data.axisMaximum(a));
        m_data.setAutoRescale(a, data.autoRescale(a));
        setAxisLabel(a, data.axisLabel(a));
        setAxisVisible(a, data.axisVisible(a));
        applyAxis(a);
    }
    setPlotAreaColor(data.plotAreaColor());
    flush();
}
