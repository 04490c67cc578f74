#include "plotter/GraphPainter.h"

#include "plotter/GraphData.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

constexpr double AxisBand = 62.0;

double toPixel(double v, double lo, double hi, double p0, double p1)
{
    if (hi == lo)
        return (p0 + p1) / 2.0;
    return p0 + (v - lo) / (hi - lo) * (p1 - p0);
}

// An axis as drawn: linear between its range, or logarithmic over whole
// decades around its positive data.
struct Scale
{
    double lo = 0, hi = 1;
    bool log = false;

    double pixel(double v, double p0, double p1) const
    {
        if (log)
            return toPixel(std::log10(v), std::log10(lo), std::log10(hi), p0, p1);
        return toPixel(v, lo, hi, p0, p1);
    }
    bool drawable(double v) const { return std::isfinite(v) && (!log || v > 0); }
};

Scale decades(double minPositive, double maxPositive)
{
    Scale s;
    s.log = true;
    if (!(minPositive > 0) || !std::isfinite(maxPositive)) {
        s.lo = 1;
        s.hi = 10;
        return s;
    }
    s.lo = std::pow(10.0, std::floor(std::log10(minPositive)));
    s.hi = std::pow(10.0, std::ceil(std::log10(maxPositive)));
    if (s.hi <= s.lo)
        s.hi = s.lo * 10;
    return s;
}

Scale scaleOf(const GraphData &graph, int axis)
{
    if (!graph.axisLog(axis))
        return Scale{graph.axisMinimum(axis), graph.axisMaximum(axis), false};
    double lo = INFINITY, hi = -INFINITY;
    for (int plot = 1; plot <= GraphSink::PlotCount; ++plot) {
        if (axis != 1 && plot != axis - 1)
            continue;
        if (axis == 1 && !graph.plotVisible(plot))
            continue;
        for (const QPointF &p : graph.points(plot)) {
            const double v = axis == 1 ? p.x() : p.y();
            if (v > 0 && std::isfinite(v)) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
        }
    }
    if (axis == 1 && !(lo <= hi) && graph.axisMinimum(1) > 0) {
        lo = graph.axisMinimum(1);
        hi = graph.axisMaximum(1);
    }
    return decades(lo, hi);
}

// Round values every tick step inside the range, as the screen shows them.
QVector<double> roundTicks(double a, double b)
{
    const double lo = std::fmin(a, b), hi = std::fmax(a, b);
    QVector<double> out;
    if (!std::isfinite(lo) || !std::isfinite(hi))
        return out;
    if (!(hi > lo)) {
        out << lo;
        return out;
    }
    const double step = GraphData::tickStep(lo, hi);
    const double first = std::ceil(lo / step - 1e-9);
    for (int i = 0; i < 40; ++i) {
        const double v = (first + i) * step;
        if (v > hi + step * 1e-9)
            break;
        out << v;
    }
    return out;
}

// Ticks as (value, fraction of the axis): round values on a linear axis,
// every decade (every k-th when there are many) on a log axis.
QVector<QPair<double, double>> ticks(const Scale &s)
{
    QVector<QPair<double, double>> out;
    if (!s.log) {
        for (double v : roundTicks(s.lo, s.hi))
            out.append({v, s.hi == s.lo ? 0.5 : (v - s.lo) / (s.hi - s.lo)});
        return out;
    }
    const int a = int(std::lround(std::log10(s.lo))), b = int(std::lround(std::log10(s.hi)));
    const int step = std::max(1, (b - a + 7) / 8);
    for (int e = a; e <= b; e += step)
        out.append({std::pow(10.0, e), double(e - a) / (b - a)});
    return out;
}

QString tickText(const Scale &s, double v)
{
    if (s.log)
        return QString::number(v, 'g', 5);
    if (std::fabs(v) < GraphData::tickStep(s.lo, s.hi) * 1e-9)
        v = 0.0;
    return QString::number(v, 'g', 6);
}

} // namespace

QImage GraphPainter::render(const GraphData &graph, const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(240, 240, 240));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    paint(painter, graph, QRectF(0, 0, size.width(), size.height()));
    return image;
}

void GraphPainter::paint(QPainter &painter, const GraphData &graph, const QRectF &bounds)
{
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    const QFontMetricsF fm(font);

    // Y axes 2 and 4 on the left, 3 and 5 on the right, the inner one first.
    const QRectF area(bounds.left() + 2 * AxisBand, bounds.top() + 24, bounds.width() - 4 * AxisBand,
                      bounds.height() - 24 - 44);
    painter.fillRect(area, graph.plotAreaColor());

    const Scale xs = scaleOf(graph, 1);
    // The grid follows the ticks of the X axis and of line 1's axis.
    QPen grid(QColor(96, 96, 96), 0, Qt::DotLine);
    painter.setPen(grid);
    for (const auto &t : ticks(xs)) {
        const double x = area.left() + area.width() * t.second;
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
    for (const auto &t : ticks(scaleOf(graph, 2))) {
        const double y = area.bottom() - area.height() * t.second;
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    }

    if (graph.axisVisible(1)) {
        painter.setPen(graph.axisTickColor(1));
        painter.drawLine(area.bottomLeft(), area.bottomRight());
        for (const auto &tick : ticks(xs)) {
            const double x = area.left() + area.width() * tick.second;
            const QString t = tickText(xs, tick.first);
            painter.drawLine(QPointF(x, area.bottom()), QPointF(x, area.bottom() + 4));
            painter.drawText(QPointF(x - fm.horizontalAdvance(t) / 2, area.bottom() + 6 + fm.ascent()), t);
        }
        const QString label = graph.axisLabel(1);
        painter.drawText(QPointF(area.center().x() - fm.horizontalAdvance(label) / 2, bounds.bottom() - 6), label);
    }

    for (int axis = 2; axis <= GraphSink::AxisCount; ++axis) {
        if (!graph.axisVisible(axis))
            continue;
        const bool left = axis % 2 == 0;
        const double offset = axis <= 3 ? 0.0 : AxisBand;
        const double x = left ? area.left() - offset : area.right() + offset;
        const Scale ys = scaleOf(graph, axis);
        painter.setPen(graph.axisTickColor(axis));
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        for (const auto &tick : ticks(ys)) {
            const double y = area.bottom() - area.height() * tick.second;
            const QString t = tickText(ys, tick.first);
            const double w = fm.horizontalAdvance(t);
            painter.drawLine(QPointF(x, y), QPointF(left ? x - 4 : x + 4, y));
            painter.drawText(QPointF(left ? x - 6 - w : x + 6, y + fm.ascent() / 2 - 1), t);
        }
        const QString label = graph.axisLabel(axis);
        const double w = fm.horizontalAdvance(label);
        painter.drawText(QPointF(left ? x - w : x, area.top() - 8), label);
    }

    painter.save();
    painter.setClipRect(area);
    int leftOut = 0;
    for (int plot = 1; plot <= GraphSink::PlotCount; ++plot) {
        const QVector<QPointF> &pts = graph.points(plot);
        if (!graph.plotVisible(plot) || pts.isEmpty())
            continue;
        const Scale ys = scaleOf(graph, plot + 1);
        QPainterPath path;
        QVector<QPointF> pixels;
        pixels.reserve(pts.size());
        for (const QPointF &p : pts) {
            if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
                continue;
            if (!xs.drawable(p.x()) || !ys.drawable(p.y())) {
                ++leftOut;
                continue;
            }
            const QPointF px(xs.pixel(p.x(), area.left(), area.right()), ys.pixel(p.y(), area.bottom(), area.top()));
            if (pixels.isEmpty())
                path.moveTo(px);
            else
                path.lineTo(px);
            pixels.append(px);
        }
        painter.setPen(QPen(graph.lineColor(plot), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
        if (graph.pointStyle(plot) == GraphSink::MarkedPoints) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(graph.pointColor(plot));
            for (const QPointF &px : pixels)
                painter.drawEllipse(px, 3.0, 3.0);
        }
    }
    painter.restore();
    if (leftOut > 0) {
        painter.setPen(QColor(160, 0, 0));
        painter.drawText(QPointF(bounds.left() + 6, bounds.bottom() - 6),
            QStringLiteral("%1 point(s) at or below 0 left out of the log axes").arg(leftOut));
    }
}
