#pragma once

// What the Draw and Stop / Reset commands need of whatever measures the
// points: the link's connected flag, and starting and stopping the sweep.
class SweepRunner
{
public:
    virtual ~SweepRunner() = default;
    virtual bool meterConnected() const = 0;
    // The first point's commands go out once the command has returned.
    virtual void startSweep() = 0;
    // Stops at once; nothing is sent to the meter.
    virtual void stopSweep() = 0;
};
