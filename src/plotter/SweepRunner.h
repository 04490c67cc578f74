#pragma once

#include "plotter/SweepPlan.h"

// What the Draw and Stop / Reset commands need of whatever measures the
// points: the link's connected flag, and starting and stopping the sweep.
class SweepRunner
{
public:
    virtual ~SweepRunner() = default;
    virtual bool meterConnected() const = 0;
    // The first point's commands go out once the command has returned.
    virtual void startSweep(const SweepPlan &plan) = 0;
    // Stops at once; nothing is sent to the meter.
    virtual void stopSweep() = 0;
    // The operator chose another speed while the sweep goes on.
    virtual void setSpeed(const QString &speed) { (void)speed; }
};
