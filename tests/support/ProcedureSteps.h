#pragma once
// Procedure steps for tests, as the editor fills one in: C in nF, no second
// item, 1 kHz, 1 V, SER, MED, limits in percent, no delay and no limits, the
// picture of the item and circuit; a test names only the fields it is about:
//   stepWith({{ProcedureStep::FStd, "100"}, {ProcedureStep::Freq, "10KHz"}})
// judgedStep names the first item's judgement first:
//   judgedStep("C", "100", "-5%", "+5%", "nF", {{ProcedureStep::Speed, "FAST"}})
// stepFromRow takes every field, F-Item to Delay, as a row of a .pro file
// holds them, where the whole row is what a test is about.

#include "procedure/ProcedureStep.h"

#include <QStringList>

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
    s.picture = ProcedureStep::pictureFor(s[ProcedureStep::FItem], s[ProcedureStep::Circuit]);
    return s;
}

// The first item in unit judged against standard within low and high; the
// other fields as stepWith has them.
inline ProcedureStep judgedStep(const QString &item, const QString &standard, const QString &low,
    const QString &high, const QString &unit,
    std::initializer_list<std::pair<ProcedureStep::Column, QString>> fields = {})
{
    ProcedureStep s = stepWith(fields);
    s[ProcedureStep::FItem] = item;
    s[ProcedureStep::FStd] = standard;
    s[ProcedureStep::FLow] = low;
    s[ProcedureStep::FHigh] = high;
    s[ProcedureStep::FUnit] = unit;
    s.picture = ProcedureStep::pictureFor(item, s[ProcedureStep::Circuit]);
    return s;
}

inline ProcedureStep stepFromRow(const QStringList &fields)
{
    ProcedureStep s;
    for (int c = ProcedureStep::FItem; c < ProcedureStep::ColumnCount; ++c)
        s[ProcedureStep::Column(c)] = fields.value(c - ProcedureStep::FItem);
    s.picture = ProcedureStep::pictureFor(s[ProcedureStep::FItem], s[ProcedureStep::Circuit]);
    return s;
}
