#pragma once

#include <QImage>
#include <QSize>

class GraphData;
class QPainter;
class QRectF;

// Draws a GraphData without any widget: the plot area, the visible axes
// with ticks, values and unit labels, and the visible plots. Used for the
// graph's picture where no Graph widget exists (qel-cli, tests).
class GraphPainter
{
public:
    static QImage render(const GraphData &graph, const QSize &size);
    static void paint(QPainter &painter, const GraphData &graph, const QRectF &bounds);
};
