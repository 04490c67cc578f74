#pragma once
// Procedure steps for tests, as the editor fills one in: C in nF, no second
// item, 1 kHz, 1 V, SER, MED, limits in percent, no delay and no limits;
// a test names only the fields it is about:
//   stepWith({{ProcedureStep::FStd, "100"}, {ProcedureStep::Freq, "10KHz"}})

#include "procedure/ProcedureStep.h"

#include <initializer_list>
#include <utility>

inline ProcedureStep stepWith(std::initializer_list<std::pair<ProcedureStep::Column, QString>> fields = {})
{
    ProcedureStep s;
    s[ProcedureStep::FItem] = QStringLiteral("C");
    s[ProcedureStep::FUnit] = QStringLiteral("nF");
    s[ProcedureStep::SItem] = QStringLiteral("off");
    s[ProcedureStep::Freq] = QStringLiteral("1KHz");
    s[ProcedureStep::Level] = QStringLiteral("1V");
    s[ProcedureStep::Circuit] = QStringLiteral("SER");
    s[ProcedureStep::Speed] = QStringLiteral("MED");
    s[ProcedureStep::Type] = QStringLiteral("%");
    s[ProcedureStep::Delay] = QStringLiteral("0");
    for (const auto &f : fields)
        s[f.first] = f.second;
    return s;
}

