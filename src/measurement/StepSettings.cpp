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

MeasureSettings measureSettings(const ProcedureStep &step)
{
    using C = ProcedureStep;
    MeasureSettings m;
    m.firstItem = step[C::FItem];
    m.secondItem = step[C::SItem].isEmpty() ? QStringLiteral("off") : step[C::SItem];
    m.circuit = step[C::Circuit];
    m.speed = step[C::Speed];
    m.frequencyHz = FieldParsing::frequencyHz(step[C::Freq]);
    m.current = step[C::Level].contains(QLatin1Char('A'), Qt::CaseInsensitive);
    m.level = FieldParsing::levelVolts(step[C::Level]);
    return m;
}
