#include "measurement/StepSettings.h"

#include "procedure/FieldParsing.h"
#include "procedure/ProcedureStep.h"

namespace MeterCommands {

QList<Setting> stepSettings(const ProcedureStep &step)
{
    using C = ProcedureStep;
    return {
        frequency(FieldParsing::frequencyHz(step[C::Freq])),
        testMode(step[C::FItem]),
        level(FieldParsing::levelVolts(step[C::Level])),
        function(step[C::FItem], step[C::SItem]),
        circuit(step[C::Circuit]),
        speed(step[C::Speed]),
    };
}

} // namespace MeterCommands
