#include "PartPlan.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

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

// The field of the model a value name stands for; null when the kind has none.
double *field(ComponentModel &m, const std::string &name)
{
    const std::string k = lower(name);
    switch (m.kind) {
    case ComponentModel::Kind::Capacitor:
        if (k == "c") return &m.value;
        if (k == "esr") return &m.seriesR;
        if (k == "esl") return &m.seriesL;
        if (k == "leak") return &m.parallelR;
        break;
    case ComponentModel::Kind::Inductor:
        if (k == "l") return &m.value;
        if (k == "rw" || k == "r") return &m.seriesR;
        if (k == "cp" || k == "c") return &m.parallelC;
        break;
    case ComponentModel::Kind::Resistor:
        if (k == "r") return &m.value;
        if (k == "ls" || k == "l") return &m.seriesL;
        if (k == "cp" || k == "c") return &m.parallelC;
        break;
    }
    return nullptr;
}

} // namespace

bool PartOptions::parseRelative(const std::string &raw, double *out)
{
    std::string text = trim(raw);
    bool percent = false;
    if (!text.empty() && text.back() == '%') {
        percent = true;
        text.pop_back();
    }
    if (text.empty())
        return false;
    char *end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !std::isfinite(v) || v < 0)
        return false;
    *out = percent ? v / 100.0 : v;
    return true;
}

bool PartOptions::parseAmounts(const std::string &text, ComponentModel::Kind kind, Amounts *out, std::string *error)
{
    ComponentModel probe;
    probe.kind = kind;
    Amounts amounts;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        const auto eq = item.find('=');
        double v = 0;
        if (eq == std::string::npos || !parseRelative(item.substr(eq + 1), &v)) {
            *error = "\"" + item + "\" is not name=percent (e.g. C=2%)";
            return false;
        }
        const std::string name = trim(item.substr(0, eq));
        if (!field(probe, name)) {
            *error = "the component has no value \"" + name + "\"";
            return false;
        }
        amounts.emplace_back(name, v);
    }
    if (amounts.empty()) {
        *error = "nothing given";
        return false;
    }
    *out = amounts;
    return true;
}

PartPlan::PartPlan(const ComponentModel &nominal, const PartOptions &options, unsigned seed)
    : m_nominal(nominal), m_current(nominal), m_options(options)
{
    if (m_options.partEvery < 1)
        m_options.partEvery = 1;
    std::seed_seq seq {seed, 0x9a27u};
    m_rng.seed(seq);
}

const ComponentModel &PartPlan::nextTrigger()
{
    if (m_part < 0 || m_triggers >= m_options.partEvery) {
        drawPart();
        m_triggers = 0;
    }
    ++m_triggers;
    return m_current;
}

void PartPlan::drawPart()
{
    ++m_part;
    m_current = m_nominal;
    std::normal_distribution<double> normal(0.0, 1.0);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    for (const auto &s : m_options.spread) {
        const double z = m_options.uniform ? uniform(m_rng) : normal(m_rng);
        double *v = field(m_current, s.first);
        if (std::isfinite(*v))
            *v *= 1.0 + s.second * z;
    }
    for (const auto &d : m_options.drift) {
        double *v = field(m_current, d.first);
        const double nominal = *field(m_nominal, d.first);
        if (std::isfinite(*v))
            *v += nominal * d.second * m_part;
    }
    if (m_options.outlierFraction > 0) {
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        const double draw = unit(m_rng);
        const double sign = unit(m_rng) < 0.5 ? -1.0 : 1.0;
        if (draw < m_options.outlierFraction)
            m_current.value *= 1.0 + sign * m_options.outlierSize;
    }
    // A value spread below zero would be a different kind of part.
    for (double *v : {&m_current.value, &m_current.seriesR, &m_current.seriesL, &m_current.parallelC})
        if (*v < 0)
            *v = 0;
    if (m_current.value <= 0)
        m_current.value = m_nominal.value * 1e-6;
}
