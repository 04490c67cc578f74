#pragma once

#include "meter/MeterCommands.h"
#include "meter/ProfileDriver.h"

struct ProcedureStep;

namespace MeterCommands {

// A procedure step's settings in sending order: frequency, test mode,
// level, function, circuit, speed.
QList<Setting> stepSettings(const ProcedureStep &step);

} // namespace MeterCommands

// What a procedure step measures at, for a meter profile: a level text
// with "A" in it is a current.
MeasureSettings measureSettings(const ProcedureStep &step);
