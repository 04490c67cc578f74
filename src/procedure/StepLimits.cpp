#include "procedure/StepLimits.h"

#include "procedure/FieldParsing.h"

namespace StepLimits {

Limits limits(const QString &standard, const QString &low, const QString &high, const QString &unit, bool secondItem)
{
    const double nominal = FieldParsing::standardValue(standard, unit, secondItem);
    const double hi = FieldParsing::limitValue(high);
    const double lo = FieldParsing::limitValue(low);
    Limits l;
    // Without a percent sign the deviation is in base units, not in the
    // step's unit: -5 on 100 nF means -5 F.
    if (low.contains(QLatin1Char('%'))) {
        l.high = nominal + nominal * hi;
        l.low = nominal + nominal * lo;
    } else {
        l.high = nominal + hi;
        l.low = nominal + lo;
    }
    return l;
}

QString verdict(double value, const QString &standard, const Limits &limits)
{
    if (standard.isEmpty())
        return QString();
    return (limits.low < value && value < limits.high) ? passText() : failText();
}

} // namespace StepLimits
