#include "plotter/GraphPainter.h"

#include "plotter/GraphData.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

constexpr double AxisBand = 62.0;
constexpr int Divisions = 5;

double toPixel(double v, double lo, double hi, double p0, double p1)
{
    if (hi == lo)
        return (p0 + p1) / 2.0;
    return p0 + (v - lo) / (hi - lo) * (p1 - p0);
}

QString tickText(double v)
{
    if (std::fabs(v) < 1e-12)
        v = 0.0;
    return QString::number(v, 'g', 5);
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
    QPen grid(QColor(96, 96, 96), 0, Qt::DotLine);
    for (int i = 0; i <= Divisions; ++i) {
        const double x = area.left() + area.width() * i / Divisions;
        const double y = area.top() + area.height() * i / Divisions;
        painter.setPen(grid);
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    }

    if (graph.axisVisible(1)) {
        painter.setPen(graph.axisTickColor(1));
        painter.drawLine(area.bottomLeft(), area.bottomRight());
        for (int i = 0; i <= Divisions; ++i) {
            const double x = area.left() + area.width() * i / Divisions;
            const QString t = tickText(xLo + (xHi - xLo) * i / Divisions);
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
        for (int i = 0; i <= Divisions; ++i) {
            const double y = area.bottom() - area.height() * i / Divisions;
            const QString t = tickText(lo + (hi - lo) * i / Divisions);
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
