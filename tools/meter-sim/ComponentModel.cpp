#include "ComponentModel.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <sstream>

namespace {
const double kInf = std::numeric_limits<double>::infinity();

std::string lower(std::string s)
{
    for (char &c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string &s)
{
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return std::string();
    const auto e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}
} // namespace

bool ComponentModel::parseValue(const std::string &raw, double *value)
{
    const std::string text = trim(raw);
    if (lower(text) == "inf") {
        *value = kInf;
        return true;
    }
    if (text.empty())
        return false;
    const char *begin = text.c_str();
    char *end = nullptr;
    double v = std::strtod(begin, &end);
    if (end == begin)
        return false;
    std::string suffix(end);
    // Unit letters after the prefix ("100nF", "1kOhm") are allowed and ignored.
    if (!suffix.empty()) {
        switch (suffix[0]) {
        case 'p': v *= 1e-12; break;
        case 'n': v *= 1e-9; break;
        case 'u': v *= 1e-6; break;
        case 'm': v *= 1e-3; break;
        case 'k':
        case 'K': v *= 1e3; break;
        case 'M': v *= 1e6; break;
        case 'G': v *= 1e9; break;
        case 'F':
        case 'H':
        case 'O':
        case 'o': break;
        default: return false;
        }
    }
    if (!std::isfinite(v))
        return false;
    *value = v;
    return true;
}

bool ComponentModel::parse(const std::string &text, ComponentModel *out, std::string *error)
{
    auto fail = [&](const std::string &why) {
        if (error)
            *error = "component \"" + text + "\": " + why;
        return false;
    };
    ComponentModel m;
    std::stringstream in(text);
    std::string field;
    bool first = true;
    while (std::getline(in, field, ',')) {
        const auto eq = field.find('=');
        if (eq == std::string::npos)
            return fail("expected key=value, got \"" + field + "\"");
        const std::string key = trim(field.substr(0, eq));
        double v = 0;
        if (!parseValue(field.substr(eq + 1), &v))
            return fail("bad value in \"" + field + "\"");
        if (v < 0)
            return fail("values must not be negative (\"" + field + "\")");
        if (first) {
            if (key == "C" || key == "c")
                m.kind = Kind::Capacitor;
            else if (key == "L" || key == "l")
                m.kind = Kind::Inductor;
            else if (key == "R" || key == "r")
                m.kind = Kind::Resistor;
            else
                return fail("must start with C=, L= or R=");
            if (v == 0 || std::isinf(v))
                return fail("the main value must be finite and above zero");
            m.value = v;
            first = false;
            continue;
        }
        const std::string k = lower(key);
        switch (m.kind) {
        case Kind::Capacitor:
            if (k == "esr")
                m.seriesR = v;
            else if (k == "esl")
                m.seriesL = v;
            else if (k == "leak")
                m.parallelR = v == 0 ? kInf : v;
            else
                return fail("a capacitor takes esr, esl and leak");
            break;
        case Kind::Inductor:
            if (k == "rw" || k == "r")
                m.seriesR = v;
            else if (k == "cp" || k == "c")
                m.parallelC = v;
            else
                return fail("an inductor takes rw and cp");
            break;
        case Kind::Resistor:
            if (k == "ls" || k == "l")
                m.seriesL = v;
            else if (k == "cp" || k == "c")
                m.parallelC = v;
            else
                return fail("a resistor takes ls and cp");
            break;
        }
    }
    if (first)
        return fail("empty");
    *out = m;
    return true;
}

std::complex<double> ComponentModel::impedance(double frequency) const
{
    using cd = std::complex<double>;
    const double w = 2 * M_PI * frequency;
    const cd j(0, 1);
    switch (kind) {
    case Kind::Capacitor: {
        cd yCore = j * w * value;
        if (std::isfinite(parallelR))
            yCore += 1.0 / parallelR;
        return seriesR + j * w * seriesL + 1.0 / yCore;
    }
    case Kind::Inductor:
    case Kind::Resistor: {
        const cd branch = kind == Kind::Inductor ? cd(seriesR, w * value) : cd(value, w * seriesL);
        // A lossless coil at 0 Hz would be a short; frequency is above 0 here.
        const cd y = 1.0 / branch + j * w * parallelC;
        return 1.0 / y;
    }
    }
    return cd(0, 0);
}

double ComponentModel::dcResistance() const
{
    switch (kind) {
    case Kind::Capacitor: return seriesR + parallelR; // infinity without leakage
    case Kind::Inductor: return seriesR;
    case Kind::Resistor: return value;
    }
    return 0;
}

std::string ComponentModel::describe() const
{
    std::ostringstream o;
    switch (kind) {
    case Kind::Capacitor:
        o << "capacitor " << value << " F, esr " << seriesR << " Ohm, esl " << seriesL << " H, leak " << parallelR
          << " Ohm";
        break;
    case Kind::Inductor:
        o << "inductor " << value << " H, rw " << seriesR << " Ohm, cp " << parallelC << " F";
        break;
    case Kind::Resistor:
        o << "resistor " << value << " Ohm, ls " << seriesL << " H, cp " << parallelC << " F";
        break;
    }
    return o.str();
}
