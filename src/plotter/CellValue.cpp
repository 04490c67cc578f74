#include "plotter/CellValue.h"

#include <QRegularExpression>

#include <cmath>

namespace {

// Readings at or beyond this are the meter's overload mark, not values.
constexpr double Overload = 1e30;

double prefixFactor(const QString &prefix)
{
    if (prefix == QLatin1String("p"))
        return 1e-12;
    if (prefix == QLatin1String("n"))
        return 1e-9;
    if (prefix == QLatin1String("u") || prefix == QStringLiteral("\u00b5"))
        return 1e-6;
    if (prefix == QLatin1String("m"))
        return 1e-3;
    if (prefix == QLatin1String("K") || prefix == QLatin1String("k"))
        return 1e3;
    if (prefix == QLatin1String("M"))
        return 1e6;
    return prefix.isEmpty() ? 1.0 : 0.0;
}

} // namespace

bool CellValue::parse(const QString &cell, double *out, double *resolution)
{
    static const QRegularExpression re(QStringLiteral(
        "^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)\\s*([pnumKkM\u00b5]?)(?:Hz|V|F|H|O|S|Q|D|G|\u00b0)?\\s*$"));
    const QRegularExpressionMatch m = re.match(cell);
    if (!m.hasMatch())
        return false;
    const QString number = m.captured(1);
    const QString prefix = m.captured(2);
    double factor = prefixFactor(prefix);
    // "mV" is millivolt but a bare "m" before nothing is still milli.
    if (factor == 0.0)
        return false;
    bool ok = false;
    const double v = number.toDouble(&ok) * factor;
    if (!ok || !std::isfinite(v) || std::fabs(v) >= Overload)
        return false;
    *out = v;
    if (resolution) {
        // Half a unit in the last printed digit, in base units.
        const int dot = number.indexOf(QLatin1Char('.'));
        const int e = number.indexOf(QLatin1Char('E'), 0, Qt::CaseInsensitive);
        const int end = e < 0 ? int(number.size()) : e;
        const int decimals = dot < 0 ? 0 : end - dot - 1;
        const int exponent = e < 0 ? 0 : number.mid(e + 1).toInt();
        *resolution = 0.5 * std::pow(10.0, exponent - decimals) * factor;
    }
    return true;
}

double CellValue::of(const QString &cell)
{
    double v = 0;
    return parse(cell, &v) ? v : None;
}

double CellValue::reading(double value)
{
    return std::isfinite(value) && std::fabs(value) < Overload ? value : None;
}
