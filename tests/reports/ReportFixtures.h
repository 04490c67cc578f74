#pragma once

#include "../support/ProcedureSteps.h"

#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"

#include <QStringList>

#include <ostream>

// Readable QStrings in test failure messages.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

// Procedures and result rows with texts that tell where they came from, so a
// misplaced cell on a page is visible in the failure message.
namespace ReportFixtures {

// Step n (1-based); a second item unless secondItem is "off".
inline ProcedureStep makeStep(int n, const QString &firstItem = QStringLiteral("C"),
                              const QString &secondItem = QStringLiteral("off"))
{
    using S = ProcedureStep;
    const QString k = QString::number(n);
    return stepWith({{S::Step, k}, {S::FItem, firstItem}, {S::FStd, "1" + k}, {S::FLow, "-" + k},
        {S::FHigh, "+" + k}, {S::FUnit, QStringLiteral("pF")}, {S::SItem, secondItem}, {S::SStd, "2" + k},
        {S::SLow, "s-" + k}, {S::SHigh, "s+" + k}, {S::SUnit, QStringLiteral("%")}, {S::Freq, k + "KHz"},
        {S::Level, k + "V"}, {S::Speed, QStringLiteral("FAST")}});
}

// steps steps; those whose 1-based number is in withSecond have a second item "D".
inline void fillProcedure(ProcedureModel &model, int steps, const QList<int> &withSecond = {})
{
    QVector<ProcedureStep> all;
    for (int n = 1; n <= steps; ++n)
        all.append(makeStep(n, QStringLiteral("C"), withSecond.contains(n) ? QStringLiteral("D") : QStringLiteral("off")));
    model.setSteps(all);
}

// The reading of printed item k (0-based) in result row r (0-based).
inline QString reading(int row, int item)
{
    return QStringLiteral("r%1i%2").arg(row + 1).arg(item + 1);
}

// rows rows, each with a reading and "pass" per printed item.
inline void fillResults(ResultTableModel &results, int rows, int items)
{
    const int start = results.resultCount();
    for (int r = start; r < start + rows; ++r) {
        QStringList cells;
        for (int k = 0; k < items; ++k)
            cells << reading(r, k) << QStringLiteral("pass");
        results.appendRow(cells, ResultTableModel::Passed);
    }
}

} // namespace ReportFixtures
