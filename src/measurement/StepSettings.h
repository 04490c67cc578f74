#pragma once

#include "meter/MeterCommands.h"

struct ProcedureStep;

namespace MeterCommands {

// A procedure step's settings in sending order: frequency, test mode,
// level, function, circuit, speed.
QList<Setting> stepSettings(const ProcedureStep &step);

} // namespace MeterCommands
