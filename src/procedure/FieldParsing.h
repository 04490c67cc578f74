#pragma once

#include <QString>

// Turning field texts into numbers, as the C runtime reads them, whatever
// the process locale is.
namespace FieldParsing {

// Leading blanks, optional sign, digits; no digits gives 0. Clamped to int.
int leadingInt(const QString &text);

// Longest leading decimal number (blanks, sign, digits, point, exponent);
// no number gives 0.
double leadingDouble(const QString &text);

} // namespace FieldParsing
