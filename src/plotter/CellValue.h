#pragma once

#include <QString>

#include <limits>

namespace CellValue {
// The number of a cell in base units; false when it holds none. The unit
// letter and the prefix in front of it are taken from the text after the
// number ("m" milli, "M" mega, "K" kilo, "u", "n", "p").
bool parse(const QString &cell, double *out, double *resolution = nullptr);
// The same number, NaN when the cell holds none.
double of(const QString &cell);
// A reading in base units kept as it is when it is one, NaN when it is the
// meter's overload mark or no number.
double reading(double value);
constexpr double None = std::numeric_limits<double>::quiet_NaN();
}
