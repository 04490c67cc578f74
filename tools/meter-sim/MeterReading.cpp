#include "MeterReading.h"

#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <string>

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

namespace {
bool g_engineering = false;

// Six significant digits with the exponent a multiple of three, so the
// exponent names a unit prefix (100.000E-09).
std::string engineering(double v)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.5E", v);
    if (v == 0 || !std::isfinite(v))
        return buf;
    // Move the point of d.ddddd right by 0..2 places until the exponent is
    // a multiple of three: 1.00000E-07 becomes 100.000E-09.
    const std::string s = buf;
    const size_t epos = s.find('E');
    const bool negative = s[0] == '-';
    std::string digits = s.substr(negative ? 1 : 0, epos - (negative ? 1 : 0));
    digits.erase(1, 1); // the point
    const int e = std::atoi(s.c_str() + epos + 1);
    const int shift = ((e % 3) + 3) % 3;
    const int target = e - shift;
    std::string out = negative ? "-" : "";
    out += digits.substr(0, 1 + shift) + "." + digits.substr(1 + shift);
    std::snprintf(buf, sizeof buf, "E%c%02d", target < 0 ? '-' : '+', std::abs(target));
    return out + buf;
}

std::string number(double v)
{
    if (g_engineering)
        return engineering(v);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.5E", v);
    return buf;
}
} // namespace

void MeterReading::setEngineeringNotation(bool on)
{
    g_engineering = on;
}

std::string MeterReading::format() const
{
    std::string line = number(primary);
    if (hasSecondary)
        line += "," + number(secondary);
    return line + "\n";
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
