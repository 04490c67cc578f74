#pragma once

#include "ComponentModel.h"

#include <random>
#include <string>
#include <utility>
#include <vector>

// Parts that differ from one another: a new part every N triggers, each drawn
// around the nominal component with a relative spread per value, an optional
// drift from part to part and a fraction of outliers. All from one seed, on a
// random stream of its own, so the reading noise of a seed stays as it was.
struct PartOptions
{
    // Value name (C, L, R, esr, esl, leak, rw, cp, ls) and a relative amount.
    using Amounts = std::vector<std::pair<std::string, double>>;
    Amounts spread;          // normal: standard deviation; uniform: half-width
    bool uniform = false;
    Amounts drift;           // added to the relative deviation per part
    int partEvery = 1;       // triggers per part
    double outlierFraction = 0;
    double outlierSize = 0.2; // an outlier's main value is off by this, either way

    bool varies() const { return !spread.empty() || !drift.empty() || outlierFraction > 0; }

    // "C=2%,esr=10%" (or fractions, "C=0.02") for a component of the kind.
    static bool parseAmounts(const std::string &text, ComponentModel::Kind kind, Amounts *out, std::string *error);
    // "2%" or "0.02"; false when it is neither or negative.
    static bool parseRelative(const std::string &text, double *out);
};

class PartPlan
{
public:
    PartPlan(const ComponentModel &nominal, const PartOptions &options, unsigned seed);

    // The part on the line for the next trigger.
    const ComponentModel &nextTrigger();
    int partNumber() const { return m_part; }

private:
    void drawPart();

    ComponentModel m_nominal;
    ComponentModel m_current;
    PartOptions m_options;
    std::mt19937 m_rng;
    int m_part = -1;      // parts drawn so far, minus one
    int m_triggers = 0;   // triggers on the current part
};
