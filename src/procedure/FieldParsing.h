#pragma once

#include <QString>

// Turning field texts into numbers and readings back into text, as the C
// runtime reads and writes them, whatever the process locale is.
namespace FieldParsing {

// Leading blanks, optional sign, digits; no digits gives 0. Clamped to int.
int leadingInt(const QString &text);

// Longest leading decimal number (blanks, sign, digits, point, exponent);
// no number gives 0. Out of range reads like strtod: inf on overflow,
// a denormal or 0 on underflow. "inf", "nan" and hex are not numbers here.
double leadingDouble(const QString &text);

// Prefix factor of a unit text: the first of p, n, u, m, K, M (searched in
// that order, case-sensitive) that the text contains; 1 when none. Units of
// a second item are searched for m, K, M only.
double unitToBase(const QString &unit, bool secondItem = false);
double baseToUnit(const QString &unit, bool secondItem = false);

// Frequency unit factor: 1e3 if the text holds "K", else 1e6 if it holds
// "M", else 1. Level unit factor: 0.001 if the text holds "m", else 1.
double frequencyFactor(const QString &text);
double levelFactor(const QString &text);

// The field parsers.
double frequencyHz(const QString &freqText);   // leading integer, K/M scaled
double levelVolts(const QString &levelText);    // leading integer, m scaled
double standardValue(const QString &text, const QString &unit, bool secondItem = false);
double limitValue(const QString &text);         // leading number, 0.01 with "%"
// Leading integer in milliseconds; a negative delay waits nothing.
int delayMs(const QString &text);

// "%f" (six decimals, no exponent), in full however long the number is.
QString formatFixed(double value);
QByteArray formatFixedBytes(double value);

// A reading in base units shown in a unit: scaled, "%f", trailing zeros and
// then a trailing point dropped, unit appended. A tiny negative value keeps
// its sign ("-0D"): the operator learns the reading was below zero.
QString formatReading(double base, const QString &unit, bool secondItem = false);

// Freq. and Level texts taken apart again for the editor's edit and unit.
struct EditValue
{
    QString number;
    QString unit;
};
EditValue readBackFrequency(const QString &freqText);
EditValue readBackLevel(const QString &levelText);

} // namespace FieldParsing
