#include "analysis/ImpedanceItems.h"

#include <cmath>

namespace ImpedanceItems {

namespace {
const double Pi = 3.14159265358979323846;
}

bool determines(const QString &firstItem, const QString &secondItem)
{
    if (firstItem == QLatin1String("Z") || firstItem == QLatin1String("Y"))
        return secondItem == QLatin1String("Angle");
    if (firstItem == QLatin1String("C") || firstItem == QLatin1String("L") || firstItem == QLatin1String("X")
        || firstItem == QLatin1String("B"))
        return secondItem == QLatin1String("Q") || secondItem == QLatin1String("D") || secondItem == QLatin1String("R")
            || secondItem == QLatin1String("G");
    return false;
}

bool impedance(const QString &firstItem, const QString &secondItem, bool parallel, double w, double primary,
               double secondary, std::complex<double> *z)
{
    using cd = std::complex<double>;
    if (!determines(firstItem, secondItem) || !(w > 0))
        return false;
    cd result;
    if (firstItem == QLatin1String("Z") || firstItem == QLatin1String("Y")) {
        const cd v = std::polar(primary, secondary * Pi / 180.0);
        if (firstItem == QLatin1String("Z"))
            result = v;
        else if (std::abs(v) > 0)
            result = 1.0 / v;
        else
            return false;
    } else {
        // X and B have one circuit each; C and L follow the circuit chosen.
        const bool par = firstItem == QLatin1String("B") || (parallel && firstItem != QLatin1String("X"));
        double reactive = 0; // X for series, B for parallel
        if (firstItem == QLatin1String("X") || firstItem == QLatin1String("B"))
            reactive = primary;
        else if (firstItem == QLatin1String("C")) {
            if (par)
                reactive = w * primary;
            else if (primary != 0)
                reactive = -1.0 / (w * primary);
            else
                return false;
        } else { // L
            if (!par)
                reactive = w * primary;
            else if (primary != 0)
                reactive = -1.0 / (w * primary);
            else
                return false;
        }
        double resistive = 0; // R for series, G for parallel
        if (secondItem == QLatin1String("Q")) {
            if (secondary == 0)
                return false;
            resistive = std::fabs(reactive) / secondary;
        } else if (secondItem == QLatin1String("D")) {
            resistive = std::fabs(reactive) * secondary;
        } else if (secondItem == QLatin1String("R")) {
            if (par) {
                if (secondary == 0)
                    return false;
                resistive = 1.0 / secondary;
            } else {
                resistive = secondary;
            }
        } else { // G
            if (!par)
                return false;
            resistive = secondary;
        }
        if (par) {
            const cd y(resistive, reactive);
            if (std::abs(y) == 0)
                return false;
            result = 1.0 / y;
        } else {
            result = cd(resistive, reactive);
        }
    }
    if (!std::isfinite(result.real()) || !std::isfinite(result.imag()) || std::abs(result) == 0)
        return false;
    *z = result;
    return true;
}

double reading(const QString &item, const QString &firstItem, bool parallel, double w, std::complex<double> z)
{
    const std::complex<double> y = 1.0 / z;
    const double R = z.real(), X = z.imag(), G = y.real(), B = y.imag();
    const bool par = firstItem == QLatin1String("B") || (parallel && firstItem != QLatin1String("X"));
    if (item == QLatin1String("Z"))
        return std::abs(z);
    if (item == QLatin1String("Y"))
        return std::abs(y);
    if (item == QLatin1String("Angle"))
        return std::arg(firstItem == QLatin1String("Y") ? y : z) * 180.0 / Pi;
    if (item == QLatin1String("C"))
        return par ? B / w : -1.0 / (w * X);
    if (item == QLatin1String("L"))
        return par ? -1.0 / (w * B) : X / w;
    if (item == QLatin1String("X"))
        return X;
    if (item == QLatin1String("B"))
        return B;
    if (item == QLatin1String("Q"))
        return std::fabs(X) / R;
    if (item == QLatin1String("D"))
        return R / std::fabs(X);
    if (item == QLatin1String("R"))
        return par ? 1.0 / G : R;
    if (item == QLatin1String("G"))
        return G;
    return std::nan("");
}

} // namespace ImpedanceItems
