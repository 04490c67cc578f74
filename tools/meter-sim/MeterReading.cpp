#include "MeterReading.h"

#include <cmath>
#include <complex>
#include <cstdio>

namespace {
double clampReading(double v)
{
    if (std::isnan(v))
        return kOverload;
    if (std::isinf(v) || std::fabs(v) > kOverload)
        return v < 0 ? -kOverload : kOverload;
    return v;
}

double ratio(double num, double den)
{
    if (den == 0)
        return num == 0 ? 0 : kOverload;
    return num / den;
}

double degrees(std::complex<double> v)
{
    return std::arg(v) * 180.0 / M_PI;
}
} // namespace

std::string MeterReading::format() const
{
    char buf[64];
    if (hasSecondary)
        std::snprintf(buf, sizeof buf, "%.5E,%.5E\n", primary, secondary);
    else
        std::snprintf(buf, sizeof buf, "%.5E\n", primary);
    return buf;
}

MeterReading measure(const ComponentModel &component, const MeterSetup &setup)
{
    MeterReading r;
    if (setup.dcMode || setup.primary == "Rdc") {
        r.primary = clampReading(component.dcResistance());
        return r; // a DC measurement has no second item
    }

    const double f = setup.frequency < kMinimumFrequency ? kMinimumFrequency : setup.frequency;
    const double w = 2 * M_PI * f;
    const std::complex<double> z = component.impedance(f);
    const std::complex<double> y = 1.0 / z;
    const double R = z.real(), X = z.imag(), G = y.real(), B = y.imag();

    const std::string &p = setup.primary;
    if (p == "C")
        r.primary = setup.parallel ? B / w : ratio(-1.0, w * X);
    else if (p == "L")
        r.primary = setup.parallel ? ratio(-1.0, w * B) : X / w;
    else if (p == "X")
        r.primary = X;
    else if (p == "B")
        r.primary = B;
    else if (p == "Z")
        r.primary = std::abs(z);
    else if (p == "Y")
        r.primary = std::abs(y);
    r.primary = clampReading(r.primary);

    const std::string &s = setup.secondary;
    if (s == "off" || s.empty())
        return r;
    r.hasSecondary = true;
    if (s == "Q")
        r.secondary = ratio(std::fabs(X), R);
    else if (s == "D")
        r.secondary = ratio(R, std::fabs(X));
    else if (s == "R")
        r.secondary = setup.parallel ? ratio(1.0, G) : R;
    else if (s == "G")
        r.secondary = G;
    else if (s == "Angle")
        r.secondary = (p == "Y" || p == "B") ? degrees(y) : degrees(z);
    r.secondary = clampReading(r.secondary);
    return r;
}
