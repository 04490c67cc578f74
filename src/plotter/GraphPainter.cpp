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

// Round values every tick step inside the range, as the screen shows them.
QVector<double> ticks(double a, double b)
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

QString tickText(double v, double step)
{
    if (std::fabs(v) < step * 1e-9)
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

    const double xLo = graph.axisMinimum(1), xHi = graph.axisMaximum(1);
    const double xStep = GraphData::tickStep(xLo, xHi);
    const QVector<double> xTicks = ticks(xLo, xHi);
    const double y1Lo = graph.axisMinimum(2), y1Hi = graph.axisMaximum(2);
    // The grid follows the ticks of the X axis and of line 1's axis.
    QPen grid(QColor(96, 96, 96), 0, Qt::DotLine);
    painter.setPen(grid);
    for (double v : xTicks) {
        const double x = toPixel(v, xLo, xHi, area.left(), area.right());
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
    for (double v : ticks(y1Lo, y1Hi)) {
        const double y = toPixel(v, y1Lo, y1Hi, area.bottom(), area.top());
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    }

    if (graph.axisVisible(1)) {
        painter.setPen(graph.axisTickColor(1));
        painter.drawLine(area.bottomLeft(), area.bottomRight());
        for (double v : xTicks) {
            const double x = toPixel(v, xLo, xHi, area.left(), area.right());
            const QString t = tickText(v, xStep);
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
        const double lo = graph.axisMinimum(axis), hi = graph.axisMaximum(axis);
        painter.setPen(graph.axisTickColor(axis));
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        const double step = GraphData::tickStep(lo, hi);
        for (double v : ticks(lo, hi)) {
            const double y = toPixel(v, lo, hi, area.bottom(), area.top());
            const QString t = tickText(v, step);
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
    for (int plot = 1; plot <= GraphSink::PlotCount; ++plot) {
        const QVector<QPointF> &pts = graph.points(plot);
        if (!graph.plotVisible(plot) || pts.isEmpty())
            continue;
        const double lo = graph.axisMinimum(plot + 1), hi = graph.axisMaximum(plot + 1);
        QPainterPath path;
        QVector<QPointF> pixels;
        pixels.reserve(pts.size());
        for (const QPointF &p : pts) {
            if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
                continue;
            const QPointF px(toPixel(p.x(), xLo, xHi, area.left(), area.right()),
                             toPixel(p.y(), lo, hi, area.bottom(), area.top()));
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
}
