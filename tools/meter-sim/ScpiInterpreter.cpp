#include "ScpiInterpreter.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

std::string upperTrimmed(const std::string &s)
{
    std::string out;
    for (char c : s)
        if (c != '\r')
            out.push_back(char(std::toupper(static_cast<unsigned char>(c))));
    const auto b = out.find_first_not_of(" \t");
    if (b == std::string::npos)
        return std::string();
    const auto e = out.find_last_not_of(" \t");
    return out.substr(b, e - b + 1);
}

bool argument(const std::string &command, const char *header, std::string *arg)
{
    const std::string h = header;
    if (command.size() <= h.size() || command.compare(0, h.size(), h) != 0 || command[h.size()] != ' ')
        return false;
    *arg = command.substr(h.size() + 1);
    return true;
}

bool value(const std::string &text, double *out)
{
    char *end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || !std::isfinite(v) || v < 0)
        return false;
    *out = v;
    return true;
}

std::string nr3(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%+.5E", v);
    return buf;
}

bool overloaded(double v)
{
    return std::fabs(v) >= kOverload;
}

struct Function
{
    const char *token;
    const char *primary;
    const char *secondary;
    bool parallel;
};

// Each function token of the Lcr dialect and what it measures.
const Function kFunctions[] = {
    {"CSD", "C", "D", false}, {"CSQ", "C", "Q", false}, {"CSRS", "C", "R", false},
    {"CPD", "C", "D", true}, {"CPQ", "C", "Q", true}, {"CPRP", "C", "R", true}, {"CPG", "C", "G", true},
    {"LSD", "L", "D", false}, {"LSQ", "L", "Q", false}, {"LSRS", "L", "R", false},
    {"LPD", "L", "D", true}, {"LPQ", "L", "Q", true}, {"LPRP", "L", "R", true}, {"LPG", "L", "G", true},
    {"ZTD", "Z", "Angle", false}, {"YTD", "Y", "Angle", false},
    {"RX", "X", "R", false}, {"GB", "B", "G", true},
};

} // namespace

ScpiInterpreter::ScpiInterpreter(Dialect dialect, const ComponentModel &component, std::string identification)
    : CommandInterpreter(component, std::string()), m_dialect(dialect), m_id(std::move(identification)),
      m_end(dialect == Dialect::Slots ? "\r\n" : "\n")
{
    m_setup.primary = "C";
    m_setup.secondary = "D";
    m_setup.parallel = true;
}

CommandInterpreter::Action ScpiInterpreter::handle(std::string line)
{
    // A compound message: each part in turn; the reply is the last one's.
    Action result;
    size_t start = 0;
    const std::string u = upperTrimmed(line);
    while (start <= u.size()) {
        const size_t semi = u.find(';', start);
        std::string part = u.substr(start, semi == std::string::npos ? std::string::npos : semi - start);
        const Action a = handleOne(upperTrimmed(part));
        if (a.kind != Action::Kind::None)
            result = a;
        if (semi == std::string::npos)
            break;
        start = semi + 1;
    }
    return result;
}

CommandInterpreter::Action ScpiInterpreter::handleOne(const std::string &c)
{
    using K = Action::Kind;
    Action a;
    if (c == "*IDN?") {
        a.kind = K::Identify;
        a.reply = m_id + m_end;
        return a;
    }
    if (c == "*RST" || c == "*CLS") {
        a.kind = K::Set;
        return a;
    }
    std::string arg;
    double v = 0;
    bool ok = false;
    if (argument(c, ":FREQ", &arg)) {
        ok = value(arg, &v);
        if (ok)
            m_setup.frequency = v;
    } else if (m_dialect == Dialect::Lcr) {
        if (c == "*TRG") {
            a.kind = K::Trigger;
            a.reply = lcrReply();
            return a;
        }
        if (argument(c, ":TRIG:SOUR", &arg)) {
            ok = arg == "INT" || arg == "EXT" || arg == "BUS" || arg == "HOLD";
        } else if (argument(c, ":VOLT", &arg) || argument(c, ":CURR", &arg)) {
            ok = value(arg, &v);
            if (ok) {
                m_setup.level = v;
                m_currentLevel = c.compare(0, 5, ":CURR") == 0;
            }
        } else if (argument(c, ":FUNC:IMP", &arg)) {
            ok = setImpedanceFunction(arg);
        } else if (argument(c, ":APER", &arg)) {
            ok = arg == "SHOR" || arg == "MED" || arg == "LONG";
            if (ok)
                m_setup.speed = arg == "SHOR" ? "FAST" : arg == "MED" ? "MED" : "SLOW";
        }
    } else {
        if (c == "*TRG") {
            a.kind = K::Set;
            return a;
        }
        if (c == ":MEAS?") {
            a.kind = K::Trigger;
            a.reply = slotsReply();
            return a;
        }
        if (argument(c, ":TRIG", &arg)) {
            ok = arg == "INT" || arg == "EXT" || arg == "BUS" || arg == "HOLD";
        } else if (argument(c, ":LEV", &arg)) {
            ok = arg == "V" || arg == "CC";
            if (ok)
                m_currentLevel = arg == "CC";
        } else if (argument(c, ":LEV:VOLT", &arg) || argument(c, ":LEV:CURR", &arg)) {
            ok = value(arg, &v);
            if (ok)
                m_setup.level = v;
        } else if (argument(c, ":PAR1", &arg)) {
            ok = setSlot(1, arg);
        } else if (argument(c, ":PAR2", &arg)) {
            ok = setSlot(2, arg);
        } else if (argument(c, ":SPEE", &arg)) {
            ok = arg == "FAST" || arg == "MED" || arg == "SLOW";
            if (ok)
                m_setup.speed = arg;
        }
    }
    a.kind = ok ? K::Set : K::None;
    return a;
}

bool ScpiInterpreter::setImpedanceFunction(const std::string &token)
{
    for (const Function &f : kFunctions)
        if (token == f.token) {
            m_setup.primary = f.primary;
            m_setup.secondary = f.secondary;
            m_setup.parallel = f.parallel;
            m_setup.dcMode = false;
            return true;
        }
    return false;
}

bool ScpiInterpreter::setSlot(int slot, const std::string &t)
{
    if (slot == 1) {
        struct P { const char *token; const char *item; int parallel; };
        static const P first[] = {{"CS", "C", 0}, {"CP", "C", 1}, {"LS", "L", 0}, {"LP", "L", 1}, {"Z", "Z", -1},
            {"Y", "Y", -1}, {"X", "X", 0}, {"B", "B", 1}, {"RDC", "Rdc", -1}};
        for (const P &p : first)
            if (t == p.token) {
                m_setup.primary = p.item;
                if (p.parallel >= 0)
                    m_setup.parallel = p.parallel == 1;
                m_setup.dcMode = t == "RDC";
                return true;
            }
        return false;
    }
    struct S { const char *token; const char *item; int parallel; };
    static const S second[] = {{"OFF", "off", -1}, {"D", "D", -1}, {"Q", "Q", -1}, {"RS", "R", 0}, {"RP", "R", 1},
        {"G", "G", -1}, {"PHASE", "Angle", -1}};
    for (const S &s : second)
        if (t == s.token) {
            m_setup.secondary = s.item;
            if (s.parallel >= 0)
                m_setup.parallel = s.parallel == 1;
            return true;
        }
    return false;
}

std::string ScpiInterpreter::lcrReply()
{
    ++m_triggers;
    const MeterReading r = takeReading();
    // Field A is the primary except for the two functions named after R and G.
    double a = r.primary, b = r.hasSecondary ? r.secondary : 0;
    if (m_setup.primary == "X" || m_setup.primary == "B")
        std::swap(a, b);
    int status = overloaded(a) || overloaded(b) ? 1 : 0;
    if (status == 1)
        a = b = kOverload;
    if (m_statusAt > 0 && m_triggers == m_statusAt) {
        status = m_statusCode;
        if (status != 0)
            a = b = kOverload;
    }
    char code[16];
    std::snprintf(code, sizeof code, "%+d", status);
    return nr3(a) + "," + nr3(b) + "," + code + m_end;
}

std::string ScpiInterpreter::slotsReply()
{
    ++m_triggers;
    const MeterReading r = takeReading();
    std::string line = nr3(r.primary);
    if (m_setup.secondary != "off" && r.hasSecondary)
        line += "," + nr3(r.secondary);
    return line + m_end;
}
