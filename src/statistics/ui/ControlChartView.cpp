#include "statistics/ui/ControlChartView.h"

#include "common/AxisTicks.h"
#include "statistics/ui/HistogramView.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

ControlChartView::ControlChartView(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(320, 180);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
    m_message = QStringLiteral("Choose a column for its control chart.");
}

void ControlChartView::setChart(const ControlChart &chart, std::optional<double> specLow,
                                std::optional<double> specHigh, double toUnit, const QString &unit,
                                const QString &title)
{
    m_chart = chart;
    m_limits = chart.limits();
    m_violations = chart.violations();
    m_specLow = specLow;
    m_specHigh = specHigh;
    m_toUnit = toUnit;
    m_unit = unit;
    m_title = title;
    m_message = chart.points() == 0 ? QStringLiteral("No readings with a number in this column.") : QString();
    update();
}

void ControlChartView::clear(const QString &message)
{
    m_chart = ControlChart();
    m_limits.reset();
    m_violations.clear();
    m_message = message;
    update();
}

void ControlChartView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QFontMetrics fm(font());
    if (!m_message.isEmpty()) {
        p.setPen(Qt::darkGray);
        p.drawText(rect(), Qt::AlignCenter, m_message);
        return;
    }
    const int n = m_chart.points();
    const int first = std::max(0, n - MaxShown);
    double lo = m_chart.point(first), hi = lo;
    for (int i = first; i < n; ++i) {
        lo = std::min(lo, m_chart.point(i));
        hi = std::max(hi, m_chart.point(i));
    }
    std::vector<double> lines;
    if (m_limits)
        lines = {m_limits->lcl, m_limits->center, m_limits->ucl};
    for (const auto &s : {m_specLow, m_specHigh})
        if (s)
            lines.push_back(*s);
    for (double v : lines) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    if (hi == lo) {
        const double pad = lo == 0 ? 1 : std::fabs(lo) * 0.01;
        lo -= pad;
        hi += pad;
    }
    const double pad = (hi - lo) * 0.06;
    lo -= pad;
    hi += pad;

    // In engineering notation with the base unit, as the histogram beside it.
    const QString base = HistogramView::baseUnit(m_unit);
    const QString topLabel = AxisTicks::format(hi, base, 5);
    const QString bottomLabel = AxisTicks::format(lo, base, 5);
    const int labelWidth = std::max(fm.horizontalAdvance(topLabel), fm.horizontalAdvance(bottomLabel));
    const QRect plot = rect().adjusted(labelWidth + 12, fm.height() + 12, -std::max(60, fm.horizontalAdvance(QStringLiteral("UCL 0.00000e-00")) / 2), -(fm.height() + 12));
    auto xOf = [&](int i) { return plot.left() + (n - first > 1 ? double(i - first) / (n - first - 1) : 0.5) * plot.width(); };
    auto yOf = [&](double v) { return plot.bottom() - (v - lo) / (hi - lo) * plot.height(); };

    p.setPen(Qt::black);
    QString heading = QStringLiteral("%1: %2 chart, %3 point%4").arg(m_title, m_chart.kind()).arg(n).arg(n == 1 ? "" : "s");
    if (m_chart.subgroup() > 1)
        heading += QStringLiteral(" (subgroups of %1)").arg(m_chart.subgroup());
    if (first > 0)
        heading += QStringLiteral(", the last %1 shown").arg(n - first);
    if (!m_limits)
        heading += QStringLiteral(", no limits yet");
    p.drawText(QRect(0, 2, width(), fm.height() + 4), Qt::AlignHCenter, heading);
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());
    p.drawText(QRect(0, plot.top() - fm.height() / 2, plot.left() - 4, fm.height()), Qt::AlignRight, topLabel);
    p.drawText(QRect(0, plot.bottom() - fm.height() / 2, plot.left() - 4, fm.height()), Qt::AlignRight, bottomLabel);

    p.setRenderHint(QPainter::Antialiasing, true);
    auto line = [&](double v, const QColor &colour, Qt::PenStyle style, const QString &name) {
        const double y = yOf(v);
        p.setPen(QPen(colour, 1.5, style));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.drawText(QPointF(plot.right() + 4, y + fm.ascent() / 2.0 - 1), name);
    };
    if (m_limits) {
        line(m_limits->ucl, QColor(30, 60, 200), Qt::DashLine, QStringLiteral("UCL"));
        line(m_limits->center, QColor(0, 140, 0), Qt::SolidLine, QStringLiteral("CL"));
        line(m_limits->lcl, QColor(30, 60, 200), Qt::DashLine, QStringLiteral("LCL"));
    }
    if (m_specLow)
        line(*m_specLow, QColor(200, 0, 0), Qt::SolidLine, QStringLiteral("Low"));
    if (m_specHigh)
        line(*m_specHigh, QColor(200, 0, 0), Qt::SolidLine, QStringLiteral("High"));

    p.setPen(QPen(QColor(60, 60, 60), 1));
    QPolygonF path;
    for (int i = first; i < n; ++i)
        path << QPointF(xOf(i), yOf(m_chart.point(i)));
    p.drawPolyline(path);
    p.setBrush(QColor(60, 60, 60));
    const double dot = n - first > 200 ? 1.5 : 2.5;
    for (const QPointF &pt : path)
        p.drawEllipse(pt, dot, dot);

    // Broken rules: the point circled, its rule numbers beside it.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(220, 0, 0), 2));
    for (int k = 0; k < m_violations.size();) {
        const int i = m_violations[k].point;
        QString rules;
        for (; k < m_violations.size() && m_violations[k].point == i; ++k)
            rules += QString::number(m_violations[k].rule);
        if (i < first)
            continue;
        const QPointF pt(xOf(i), yOf(m_chart.point(i)));
        p.drawEllipse(pt, 5.0, 5.0);
        p.drawText(pt + QPointF(6, -6), rules);
    }
}
