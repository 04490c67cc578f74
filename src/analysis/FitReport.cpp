#include "analysis/FitReport.h"

#include "common/AxisTicks.h"

#include <QJsonValue>

#include <cmath>

namespace FitReport {

QJsonObject toJson(const CircuitFit::Result &r)
{
    QJsonObject parameters;
    for (const CircuitFit::Parameter &p : r.parameters)
        parameters.insert(p.name, QJsonObject{{QStringLiteral("value"), p.value}, {QStringLiteral("uncertainty"), p.uncertainty}});
    QJsonObject o;
    o.insert(QStringLiteral("model"), CircuitFit::modelName(r.model));
    o.insert(QStringLiteral("points"), r.points);
    o.insert(QStringLiteral("parameters"), parameters);
    o.insert(QStringLiteral("srf"), r.srf > 0 ? QJsonValue(r.srf) : QJsonValue(QJsonValue::Null));
    o.insert(QStringLiteral("residual"), r.residual);
    return o;
}

QStringList warnings(const CircuitFit::Result &r)
{
    // The plot's cells keep six decimals in the unit of the column's first
    // reading: a column that starts large prints its small readings coarsely.
    QStringList out;
    if (r.coarse > 0)
        out << QStringLiteral("%1 point(s) read to fewer than 3 significant digits: the plot keeps six decimals in "
                              "the unit of the column's first reading.")
                   .arg(r.coarse);
    if (r.roundedToZero > 0)
        out << QStringLiteral("%1 point(s) printed as 0 in the column's unit left out.").arg(r.roundedToZero);
    return out;
}

QString engineering(double value, int digits)
{
    if (value == 0 || !std::isfinite(value))
        return QString::number(value);
    static const char *const prefixes[] = {"f", "p", "n", "u", "m", "", "k", "M", "G"};
    int e3 = int(std::floor(std::log10(std::fabs(value)) / 3.0));
    e3 = std::max(-5, std::min(3, e3));
    double scaled = value / std::pow(1000.0, e3);
    // 999.9996 rounds to 1000: that is 1 of the next prefix.
    if (std::fabs(QString::number(scaled, 'g', digits).toDouble()) >= 1000 && e3 < 3) {
        ++e3;
        scaled /= 1000;
    }
    // Never an exponent: enough digits for the integer part.
    const int whole = std::fabs(scaled) >= 100 ? 3 : std::fabs(scaled) >= 10 ? 2 : 1;
    return QString::number(scaled, 'g', std::max(digits, whole)) + QLatin1String(prefixes[e3 + 5]);
}

QString text(const CircuitFit::Result &r)
{
    QString out = QStringLiteral("model: %1\n").arg(CircuitFit::modelName(r.model));
    for (const CircuitFit::Parameter &p : r.parameters)
        out += QStringLiteral("%1 = %2%4 +/- %3%4\n")
                   .arg(p.name, engineering(p.value), engineering(p.uncertainty, 2),
                       p.unit == QLatin1String("Ohm") ? QStringLiteral("Ohm") : p.unit);
    out += r.srf > 0 ? QStringLiteral("self-resonant frequency: %1Hz\n").arg(engineering(r.srf))
                     : QStringLiteral("self-resonant frequency: none\n");
    out += QStringLiteral("residual: %1 % (noise %2 %)\n").arg(r.residual * 100, 0, 'g', 3).arg(r.noise * 100, 0, 'g', 2);
    out += QStringLiteral("points: %1 used, %2 left out (empty or unreadable)\n").arg(r.points).arg(r.leftOut);
    for (const QString &w : warnings(r))
        out += QStringLiteral("warning: %1\n").arg(w);
    return out;
}

QString shownText(const CircuitFit::Result &r)
{
    QString out = QStringLiteral("model: %1\n").arg(CircuitFit::modelName(r.model));
    for (const CircuitFit::Parameter &p : r.parameters)
        out += QStringLiteral("%1 = %2 \u00b1 %3\n")
                   .arg(p.name, AxisTicks::format(p.value, p.unit, 6), AxisTicks::format(p.uncertainty, p.unit, 2));
    out += r.srf > 0 ? QStringLiteral("self-resonant frequency: %1\n").arg(AxisTicks::format(r.srf, QStringLiteral("Hz"), 6))
                     : QStringLiteral("self-resonant frequency: none\n");
    const QString plain = text(r);
    // The lines after the parameters and frequency read the same.
    out += plain.mid(plain.indexOf(QLatin1String("residual:")));
    return out;
}

} // namespace FitReport
