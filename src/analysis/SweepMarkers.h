#pragma once

#include <QPointF>
#include <QString>
#include <QVector>

// Reading lines at an X: the interpolated value of each line, the X where a
// line is smallest or largest, and the resonance (where the phase angle
// crosses 0, or else where |Z| is smallest). Points are (x, y) sorted by x
// or not; lines with fewer than two points read nothing.
namespace SweepMarkers {

// y at x between the two neighbouring points (linear in log x when logX
// and both x are positive); false outside the line's X span.
bool valueAt(const QVector<QPointF> &line, double x, bool logX, double *y);

// The X of the smallest or largest y; false for an empty line.
bool minimumX(const QVector<QPointF> &line, double *x);
bool maximumX(const QVector<QPointF> &line, double *x);

// The X where angle (degrees) crosses 0, interpolated on tan(angle)
// (linear in log x near a resonance); otherwise, with a magnitude line,
// the X of its smallest value refined by a parabola through its
// neighbours. False when neither gives one.
bool resonanceX(const QVector<QPointF> &angle, const QVector<QPointF> &magnitude, bool logX, double *x);

// The X on the line nearest to x (for dragging a marker along a curve):
// x clamped to the line's span.
double clampToLine(const QVector<QPointF> &line, double x);

} // namespace SweepMarkers
