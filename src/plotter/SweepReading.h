#pragma once

#include <QString>

// One sweep reading turned into what the result list and the graph show.
// The primary reading is brought to the prefix of the reference cell (the
// first line's cell of row 0) so a whole column shares one unit, and is
// plotted in that unit; the secondary reading keeps the meter's mantissa
// and is plotted in its base unit. An exponent that names a prefix (the
// meter writes engineering notation) gives the text as it always was; any
// other exponent is brought to the prefix at or below it, the mantissa
// scaled and printed with six decimals: 1.5E-10 shows as 150.000000pF,
// -8.99529E+01 as -89.952900 degrees.
struct SweepReading
{
    QString primaryCell;  // e.g. 123.450000pF
    QString primaryLabel; // e.g. "pF", quotes included
    double primaryValue = 0.0;
    QString secondaryCell;
    QString secondaryLabel;
    double secondaryValue = 0.0;
    // The readings in base units at the meter's own precision, for the
    // session to keep beside the cells; NaN when a cell shows no number
    // (an overload or a garbled reply).
    double primaryReading = 0.0;
    double secondaryReading = 0.0;

    // reference: empty for the very first reading of a table.
    static SweepReading make(const QString &primary, const QString &secondary, bool withSecondary,
                             const QString &reference, int firstItemIndex, int secondItemIndex);

    // 6 for M, 3 for K, -3 m, -6 u, -9 n, -12 p, searched in that order; else 0.
    static int prefixExponent(const QString &text);
    // The prefix exponent (-12, -9, ... 6, 0 without a letter) at or below
    // exponent; 6 above, -12 below the letters there are.
    static int prefixAtOrBelow(long long exponent);
    // The letter for one of those exponents; empty for any other.
    static QString prefixLetter(int exponent);
    // F, H, O or S by the first item's index.
    static QString primaryUnit(int firstItemIndex);
    // The degree sign for items with an angle, else Q, D, O or G.
    static QString secondaryUnit(int firstItemIndex, int secondItemIndex);
    static QString quoted(const QString &text);
    // The meter's number text ("1.23456E-10", "-89.95") in base units with
    // the unit's prefix factor; NaN unless cell, the text shown for it,
    // holds a number too.
    static double reading(const QString &meterText, const QString &cell);
    // mantissa * 10^(from - to), by repeated steps of ten.
    static double shifted(double mantissa, long long from, long long to);
};
