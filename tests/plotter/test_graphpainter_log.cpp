// The headless graph on log axes: whole decades around the data, a point
// placed by its logarithm, and values at or below 0 left out with a note.

#include "plotter/GraphData.h"
#include "plotter/GraphPainter.h"

#include <QImage>

#include <cmath>

#include <gtest/gtest.h>

namespace {

// Any pixel of roughly this colour in the rectangle.
bool hasColour(const QImage &img, const QRect &r, const QColor &c, int tolerance = 40)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor p = img.pixelColor(x, y);
            if (std::abs(p.red() - c.red()) < tolerance && std::abs(p.green() - c.green()) < tolerance
                && std::abs(p.blue() - c.blue()) < tolerance)
                return true;
        }
    return false;
}

} // namespace

TEST(GraphPainterLog, PlacesPointsByDecadeAndLeavesOutNonPositiveValuesWithANote)
{
    GraphData g;
    for (int p = 2; p <= 4; ++p)
        g.setPlotVisible(p, false);
    g.setPointStyle(1, GraphSink::MarkedPoints);
    // 20 .. 800 on X spans the decades 10 .. 1000; 2 .. 50 on Y spans 1 .. 100.
    g.appendPoint(1, 20, 2);
    g.appendPoint(1, 100, 10);
    g.appendPoint(1, 800, 50);
    const QImage linear = GraphPainter::render(g, QSize(900, 560));

    g.setAxisLog(1, true);
    g.setAxisLog(2, true);
    const QImage log = GraphPainter::render(g, QSize(900, 560));
    // The plot area is 652 x 492 at (124, 24): (100, 10) lies in its middle.
    const QRect middle(450 - 2, 270 - 2, 5, 5);
    EXPECT_TRUE(hasColour(log, middle, QColor(0, 255, 0)));
    // On the linear axes the same point sits where its value puts it, far
    // from the middle (the line between the points may still cross there).
    const double lx = 124 + 652 * (100 - g.axisMinimum(1)) / (g.axisMaximum(1) - g.axisMinimum(1));
    const double ly = 24 + 492 * (g.axisMaximum(2) - 10) / (g.axisMaximum(2) - g.axisMinimum(2));
    EXPECT_TRUE(hasColour(linear, QRect(int(lx) - 2, int(ly) - 2, 5, 5), QColor(0, 255, 0)));
    EXPECT_GT(std::hypot(lx - 450, ly - 270), 50.0);
    const QRect noteBand(0, 540, 400, 20);
    EXPECT_FALSE(hasColour(log, noteBand, QColor(160, 0, 0), 60));

    // A reading of 0 and a negative one cannot be drawn on the log Y axis.
    g.appendPoint(1, 300, 0);
    g.appendPoint(1, 400, -3);
    const QImage withNote = GraphPainter::render(g, QSize(900, 560));
    EXPECT_TRUE(hasColour(withNote, noteBand, QColor(160, 0, 0), 60));
    EXPECT_TRUE(hasColour(withNote, middle, QColor(0, 255, 0)));
}
