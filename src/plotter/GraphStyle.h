#pragma once

struct AxisRanges;
class GraphSink;

// How the Plotter View dresses its graph, apart from the data: the stored
// start-up look, which lines and axes show, point marks, the print-mode
// colours and the range tables put onto the axes. The same for the window's
// graph and the one kept without a window.
namespace GraphStyle {

// Ranges 0 to 10 rescaling on, no labels, everything shown, no marks, the
// on-screen colours on black.
void resetToStored(GraphSink &graph);
// Line 1..4 with its own Y axis (axis line + 1).
void showLine(GraphSink &graph, int line, bool on);
void markPoints(GraphSink &graph, bool on);
// White plot area with lines 1 and 3 in their axes' tick colours, so they
// print on paper; off: black with the screen's green and yellow.
void setPrintMode(GraphSink &graph, bool on);
// Axes 1..lastAxis take the locked or the automatic ranges and rescale for
// later points.
void applyRanges(GraphSink &graph, const AxisRanges &ranges, bool locked, int lastAxis);

} // namespace GraphStyle
