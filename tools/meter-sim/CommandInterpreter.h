#pragma once

#include "ComponentModel.h"
#include "MeterReading.h"
#include "PartPlan.h"

#include <random>
#include <string>

// The meter's command set: one line in, at most one line out. Headers are
// case-insensitive; anything unknown is ignored, as the meter does.
class CommandInterpreter
{
public:
    struct Action
    {
        enum class Kind { None, Identify, Query, Set, Local, Trigger };
        Kind kind = Kind::None;
        std::string reply; // with its line feed; empty when nothing is sent
    };

    CommandInterpreter(const ComponentModel &component, std::string identification);
    virtual ~CommandInterpreter() = default;

    // Relative noise (standard deviation) on every reading, with a seed so a
    // run can be repeated exactly. Slower speeds average more noise away.
    void setNoise(double relative, unsigned seed);

    // Parts that vary: each trigger measures the plan's current part instead
    // of the fixed component. The plan must outlive the interpreter.
    void setParts(PartPlan *plan) { m_parts = plan; }

    // `line` is one command without its line feed (a carriage return is ignored).
    virtual Action handle(std::string line);

    const MeterSetup &setup() const { return m_setup; }
    const ComponentModel &component() const { return m_component; }

protected:
    // The reading of one trigger, noise included, at the current setup.
    MeterReading takeReading();
    double noisy(double v);

private:
    bool setFunction(const std::string &arg);

protected:

    ComponentModel m_component;
    std::string m_identification;
    MeterSetup m_setup;
    double m_noise = 0;
    std::mt19937 m_rng;
    std::normal_distribution<double> m_normal {0.0, 1.0};
    PartPlan *m_parts = nullptr;
};
