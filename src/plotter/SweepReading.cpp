#include "plotter/SweepReading.h"

#include "plotter/CellValue.h"
#include "procedure/FieldParsing.h"
#include "procedure/Vocabulary.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

// Beyond this many powers of ten a double is already infinite or zero; a
// garbled exponent must not make us loop for seconds.
constexpr long long MaxShift = 700;

} // namespace

int SweepReading::prefixExponent(const QString &text)
{
    static const struct { QChar letter; int exponent; } order[] = {
        {QLatin1Char('M'), 6}, {QLatin1Char('K'), 3}, {QLatin1Char('m'), -3},
        {QLatin1Char('u'), -6}, {QLatin1Char('n'), -9}, {QLatin1Char('p'), -12},
    };
    for (const auto &p : order)
        if (text.contains(p.letter))
            return p.exponent;
    return 0;
}

QString SweepReading::prefixLetter(int exponent)
{
    switch (exponent) {
    case 6: return QStringLiteral("M");
    case 3: return QStringLiteral("K");
    case -3: return QStringLiteral("m");
    case -6: return QStringLiteral("u");
    case -9: return QStringLiteral("n");
    case -12: return QStringLiteral("p");
    default: return QString();
    }
}

int SweepReading::prefixAtOrBelow(long long exponent)
{
    if (exponent >= 6)
        return 6;
    if (exponent <= -12)
        return -12;
    // Floor division by three, also for negative exponents.
    const long long e = exponent >= 0 ? exponent / 3 : -((2 - exponent) / 3);
    return int(e * 3);
}

QString SweepReading::primaryUnit(int firstItemIndex)
{
    switch (firstItemIndex) {
    case 0: return QStringLiteral("F");
    case 1: return QStringLiteral("H");
    case 3:
    case 5: return QStringLiteral("S");
    default: return QStringLiteral("O");
    }
}

QString SweepReading::secondaryUnit(int firstItemIndex, int secondItemIndex)
{
    if (firstItemIndex > 3)
        return QString(Vocabulary::degreeSign);
    switch (secondItemIndex) {
    case 1: return QStringLiteral("Q");
    case 2: return QStringLiteral("D");
    case 3: return QStringLiteral("O");
    case 4: return QStringLiteral("G");
    default: return QString();
    }
}

QString SweepReading::quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

double SweepReading::shifted(double mantissa, long long from, long long to)
{
    for (long long i = 0; i < std::min(from - to, MaxShift); ++i)
        mantissa *= 10.0;
    for (long long i = 0; i < std::min(to - from, MaxShift); ++i)
        mantissa /= 10.0;
    return mantissa;
}

double SweepReading::reading(const QString &meterText, const QString &cell)
{
    if (std::isnan(CellValue::of(cell)))
        return CellValue::None;
    bool ok = false;
    const double v = QLocale::c().toDouble(meterText.trimmed(), &ok);
    if (ok)
        return CellValue::reading(v);
    // Text after the number (a garbled tail): the mantissa and exponent as
    // the cell read them.
    const int e = meterText.indexOf(QLatin1Char('E'));
    const double mantissa = FieldParsing::leadingDouble(e < 0 ? meterText : meterText.left(e));
    const long long n = e < 0 ? 0 : FieldParsing::leadingInt(meterText.mid(e + 1));
    return CellValue::reading(shifted(mantissa, n, 0));
}

SweepReading SweepReading::make(const QString &primary, const QString &secondary, bool withSecondary,
                                const QString &reference, int firstItemIndex, int secondItemIndex)
{
    SweepReading r;
    QString prefix;
    const int e = primary.indexOf(QLatin1Char('E'));
    if (e >= 0) {
        // Kept in double: 123.45 must show as 123.450000, not 123.449997.
        double mantissa = FieldParsing::leadingDouble(primary.left(e));
        long long n = FieldParsing::leadingInt(primary.mid(e + 1));
        // Later readings join the prefix of the column's first one. The first
        // keeps its own exponent when that names a prefix (engineering
        // notation); a meter writing plain notation gets the prefix below.
        const int target = reference.isEmpty() ? prefixAtOrBelow(n) : prefixExponent(reference);
        if (target != n) {
            mantissa = shifted(mantissa, n, target);
            n = target;
        }
        r.primaryValue = mantissa;
        prefix = prefixLetter(int(std::clamp(n, -1000LL, 1000LL)));
        r.primaryCell = FieldParsing::formatFixed(r.primaryValue) + prefix;
    } else {
        r.primaryCell = primary;
        r.primaryValue = FieldParsing::leadingDouble(primary);
    }
    const QString unit = primaryUnit(firstItemIndex);
    r.primaryCell += unit;
    r.primaryLabel = quoted(prefix + unit);
    r.primaryReading = reading(primary, r.primaryCell);

    if (withSecondary) {
        QString suffix;
        const int se = secondary.indexOf(QLatin1Char('E'));
        if (se >= 0) {
            const long long n = FieldParsing::leadingInt(secondary.mid(se + 1));
            const int target = prefixAtOrBelow(n);
            // The meter's mantissa as sent where its exponent names a prefix.
            if (target == n)
                r.secondaryCell = secondary.left(se);
            else
                r.secondaryCell =
                    FieldParsing::formatFixed(shifted(FieldParsing::leadingDouble(secondary.left(se)), n, target));
            suffix = prefixLetter(target);
        } else {
            r.secondaryCell = secondary;
        }
        const QString secondUnit = secondaryUnit(firstItemIndex, secondItemIndex);
        r.secondaryCell += suffix + secondUnit;
        r.secondaryLabel = quoted(secondUnit);
        r.secondaryValue = FieldParsing::leadingDouble(secondary);
        r.secondaryReading = reading(secondary, r.secondaryCell);
    }
    return r;
}
