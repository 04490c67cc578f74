#include "CommandInterpreter.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {
std::string upper(std::string s)
{
    for (char &c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string &s)
{
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return std::string();
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

bool startsWith(const std::string &s, const char *prefix)
{
    return s.rfind(prefix, 0) == 0;
}

bool number(const std::string &text, double *out)
{
    const std::string t = trim(text);
    if (t.empty())
        return false;
    char *end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (end == t.c_str() || !std::isfinite(v))
        return false;
    *out = v;
    return true;
}

std::string sci(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.5E\n", v);
    return buf;
}

// The canonical spelling of an item name, or empty when it is not one.
std::string canonical(const std::string &name, bool primary)
{
    static const char *const primaries[] = {"C", "L", "X", "B", "Z", "Y", "Rdc"};
    static const char *const secondaries[] = {"off", "Q", "D", "R", "G", "Angle"};
    const std::string u = upper(trim(name));
    if (primary) {
        for (const char *p : primaries)
            if (upper(p) == u)
                return p;
    } else {
        for (const char *s : secondaries)
            if (upper(s) == u)
                return s;
    }
    return std::string();
}

double speedNoiseFactor(const std::string &speed)
{
    if (speed == "SLOW")
        return 0.5;
    if (speed == "FAST")
        return 2;
    if (speed == "MAX")
        return 4;
    return 1;
}
} // namespace

CommandInterpreter::CommandInterpreter(const ComponentModel &component, std::string identification)
    : m_component(component), m_identification(std::move(identification))
{
}

void CommandInterpreter::setNoise(double relative, unsigned seed)
{
    m_noise = relative;
    m_rng.seed(seed);
}

double CommandInterpreter::noisy(double v)
{
    if (m_noise <= 0 || std::fabs(v) >= kOverload)
        return v;
    return v * (1.0 + m_noise * speedNoiseFactor(m_setup.speed) * m_normal(m_rng));
}

MeterReading CommandInterpreter::takeReading()
{
    MeterReading r = measure(m_parts ? m_parts->nextTrigger() : m_component, m_setup);
    r.primary = noisy(r.primary);
    if (r.hasSecondary)
        r.secondary = noisy(r.secondary);
    return r;
}

bool CommandInterpreter::setFunction(const std::string &arg)
{
    const auto semi = arg.find(';');
    const std::string p = canonical(arg.substr(0, semi), true);
    const std::string s = semi == std::string::npos ? std::string("off") : canonical(arg.substr(semi + 1), false);
    if (p.empty() || s.empty())
        return false;
    m_setup.primary = p;
    m_setup.secondary = s;
    return true;
}

CommandInterpreter::Action CommandInterpreter::handle(std::string line)
{
    using K = Action::Kind;
    line = trim(line);
    const std::string u = upper(line);
    Action a;

    if (u == "*IDN?") {
        a.kind = K::Identify;
        a.reply = m_identification + "\n";
        return a;
    }
    if (u == "*LOC") {
        a.kind = K::Local;
        return a;
    }
    if (u == "*RST") {
        m_setup = MeterSetup();
        a.kind = K::Set;
        return a;
    }
    if (u == "MEAS:TRIG") {
        a.kind = K::Trigger;
        a.reply = takeReading().format();
        return a;
    }

    // Queries of the settings, for operators poking at the simulator by hand.
    if (u == "MEAS:FREQ?" || u == "MEAS:LEV?" || u == "MEAS:FUNC?" || u == "MEAS:EQU-CCT?" || u == "MEAS:SPEED?"
        || u == "MEAS:TEST?") {
        a.kind = K::Query;
        if (u == "MEAS:FREQ?")
            a.reply = sci(m_setup.frequency);
        else if (u == "MEAS:LEV?")
            a.reply = sci(m_setup.level);
        else if (u == "MEAS:FUNC?")
            a.reply = m_setup.primary + (m_setup.secondary == "off" ? "" : ";" + m_setup.secondary) + "\n";
        else if (u == "MEAS:EQU-CCT?")
            a.reply = m_setup.parallel ? "PAR\n" : "SER\n";
        else if (u == "MEAS:SPEED?")
            a.reply = m_setup.speed + "\n";
        else
            a.reply = m_setup.dcMode ? "RDC\n" : "AC\n";
        return a;
    }

    bool ok = false;
    double v = 0;
    if (startsWith(u, "MEAS:FREQ ")) {
        ok = number(line.substr(10), &v) && v >= 0;
        if (ok)
            m_setup.frequency = v;
    } else if (startsWith(u, "MEAS:LEV ")) {
        ok = number(line.substr(9), &v) && v >= 0;
        if (ok)
            m_setup.level = v;
    } else if (startsWith(u, "MEAS:FUNC:")) {
        ok = setFunction(line.substr(10));
    } else if (startsWith(u, "MEAS:EQU-CCT ")) {
        const std::string c = trim(u.substr(13));
        ok = c == "SER" || c == "PAR";
        if (ok)
            m_setup.parallel = c == "PAR";
    } else if (startsWith(u, "MEAS:SPEED ")) {
        const std::string s = trim(u.substr(11));
        ok = s == "SLOW" || s == "MED" || s == "FAST" || s == "MAX";
        if (ok)
            m_setup.speed = s;
    } else if (startsWith(u, "MEAS:TEST:")) {
        const std::string t = trim(u.substr(10));
        ok = t == "RDC" || t == "AC";
        if (ok)
            m_setup.dcMode = t == "RDC";
    }
    // A malformed setting leaves the meter as it was, silently.
    a.kind = ok ? K::Set : K::None;
    return a;
}
