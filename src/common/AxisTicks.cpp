#include "common/AxisTicks.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

const char16_t *const Prefixes[] = {u"f", u"p", u"n", u"\u00b5", u"m", u"", u"k", u"M", u"G"};
constexpr int PrefixOffset = 5; // Prefixes[e3 + PrefixOffset] is 10^(3 * e3)

bool takesPrefix(const QString &sign)
{
    return !sign.isEmpty() && sign != QStringLiteral("\u00b0") && sign != QStringLiteral("%");
}

// The power of 1000 whose prefix shows value with 1 to 999 in front.
int prefixPower(double value)
{
    if (value == 0 || !std::isfinite(value))
        return 0;
    const int e3 = int(std::floor(std::log10(std::fabs(value)) / 3.0 + 1e-9));
    return std::clamp(e3, -PrefixOffset, 3);
}

QString joined(const QString &number, int e3, const QString &sign)
{
    const QString prefix = QString::fromUtf16(Prefixes[e3 + PrefixOffset]);
    if (!takesPrefix(sign))
        return number + sign;
    return number + QLatin1Char(' ') + prefix + sign;
}

// The number of decimals that tells ticks step apart, in units of scale.
int decimalsFor(double step, double scale)
{
    const double s = step / scale;
    return std::max(0, int(-std::floor(std::log10(s) + 1e-9)));
}

QString fixed(double v, int decimals)
{
    QString t = QString::number(v, 'f', decimals);
    if (t.startsWith(QLatin1Char('-')) && t.toDouble() == 0)
        t.remove(0, 1); // no "-0"
    return t;
}

} // namespace

namespace AxisTicks {

QString unitSign(const QString &unit)
{
    if (unit == QLatin1String("Ohm") || unit == QLatin1String("O"))
        return QStringLiteral("\u03a9");
    if (unit == QLatin1String("deg"))
        return QStringLiteral("\u00b0");
    return unit;
}

QString format(double value, const QString &unit, int digits)
{
    const QString sign = unitSign(unit);
    if (!std::isfinite(value))
        return QStringLiteral("-");
    if (!takesPrefix(sign))
        return QString::number(value, 'g', digits) + sign;
    int e3 = prefixPower(value);
    double scaled = value / std::pow(1000.0, e3);
    // 999.96 to four digits is 1 of the next prefix.
    if (std::fabs(QString::number(scaled, 'g', digits).toDouble()) >= 1000 && e3 < 3) {
        ++e3;
        scaled /= 1000;
    }
    const int whole = std::fabs(scaled) >= 100 ? 3 : std::fabs(scaled) >= 10 ? 2 : 1;
    return joined(QString::number(scaled, 'g', std::max(digits, whole)), e3, sign);
}

Scale linear(double lo, double hi, const QString &unit, int target)
{
    Scale s;
    if (!std::isfinite(lo) || !std::isfinite(hi))
        lo = 0, hi = 1;
    if (hi < lo)
        std::swap(lo, hi);
    if (hi == lo) {
        const double pad = lo == 0 ? 1 : std::fabs(lo) * 0.01;
        lo -= pad;
        hi += pad;
    }
    const double raw = (hi - lo) / std::max(1, target - 1);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10 * power;
    for (double m : {1.0, 2.0, 5.0})
        if (m * power >= raw * 0.999) {
            step = m * power;
            break;
        }
    s.lo = std::floor(lo / step + 1e-9) * step;
    s.hi = std::ceil(hi / step - 1e-9) * step;
    const int n = int(std::llround((s.hi - s.lo) / step));
    for (int i = 0; i <= n; ++i) {
        double v = s.lo + i * step;
        if (std::fabs(v) < step * 1e-9)
            v = 0;
        s.major << v;
    }
    const QString sign = unitSign(unit);
    const int e3 = takesPrefix(sign) ? prefixPower(std::max(std::fabs(s.lo), std::fabs(s.hi))) : 0;
    const double scale = std::pow(1000.0, e3);
    const int decimals = decimalsFor(step, scale);
    for (double v : s.major)
        s.labels << joined(fixed(v / scale, decimals), e3, sign);
    return s;
}

Scale log(double lo, double hi, const QString &unit)
{
    Scale s;
    if (!(lo > 0) || !std::isfinite(lo))
        lo = 1;
    if (!(hi > 0) || !std::isfinite(hi))
        hi = lo * 10;
    if (hi < lo)
        std::swap(lo, hi);
    const int d0 = int(std::floor(std::log10(lo) + 1e-9));
    int d1 = int(std::ceil(std::log10(hi) - 1e-9));
    if (d1 <= d0)
        d1 = d0 + 1;
    s.lo = std::pow(10.0, d0);
    s.hi = std::pow(10.0, d1);
    const int decades = d1 - d0;
    const QString sign = unitSign(unit);
    for (int d = d0; d <= d1; ++d) {
        const double decade = std::pow(10.0, d);
        for (int m = 1; m <= 9 && (d < d1 || m == 1); ++m) {
            const double v = m * decade;
            if (m == 1 || (decades <= 2 && (m == 2 || m == 5))) {
                s.major << v;
                s.labels << format(v, sign, 3);
            } else if (decades <= 4) {
                s.minor << v;
            }
        }
    }
    return s;
}

} // namespace AxisTicks
