#pragma once

#include <QString>
#include <QVector>

// Axis ticks and their labels in engineering notation with the unit: one
// notation on every axis ("1 kHz 10 kHz 100 kHz 1 MHz", "100 nF", "50 mΩ"),
// never a bare 100000 beside 1e+06. Shared by every chart the program draws.
namespace AxisTicks {

// The sign a base unit is shown with: "Ohm" and "O" as Ω, "deg" as °; any
// other unit as it is.
QString unitSign(const QString &unit);

// value with an SI prefix (f p n µ m k M G) and the unit, to digits
// significant digits: "15.9 kΩ", "100 nF". Degrees and unitless values
// take no prefix: "-45°", "0.0012".
QString format(double value, const QString &unit, int digits = 4);

struct Scale
{
    double lo = 0;          // the axis range, covering the data
    double hi = 1;
    QVector<double> major;  // labelled ticks, ascending
    QVector<double> minor;  // unlabelled grid lines (log axes), ascending
    QStringList labels;     // one per major tick
};

// A linear axis over [lo, hi] ending on ticks at 1, 2 or 5 times a power of
// ten, about target ticks; labels share one prefix and as many decimals
// as the step needs ("0 nF 50 nF 100 nF").
Scale linear(double lo, double hi, const QString &unit, int target = 6);
// A log axis over whole decades around [lo, hi] (both > 0); each decade
// labelled with its own prefix, 2 and 5 labelled too when there are at
// most two decades, minor grid at 2..9 when there are at most four.
Scale log(double lo, double hi, const QString &unit);

} // namespace AxisTicks
