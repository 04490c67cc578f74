#pragma once

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
    ProcedureStep s;
    const QString k = QString::number(n);
    s[ProcedureStep::Step] = k;
    s[ProcedureStep::FItem] = firstItem;
    s[ProcedureStep::FStd] = QStringLiteral("1%1").arg(k);
    s[ProcedureStep::FLow] = QStringLiteral("-%1").arg(k);
    s[ProcedureStep::FHigh] = QStringLiteral("+%1").arg(k);
    s[ProcedureStep::FUnit] = QStringLiteral("pF");
    s[ProcedureStep::SItem] = secondItem;
    s[ProcedureStep::SStd] = QStringLiteral("2%1").arg(k);
    s[ProcedureStep::SLow] = QStringLiteral("s-%1").arg(k);
    s[ProcedureStep::SHigh] = QStringLiteral("s+%1").arg(k);
    s[ProcedureStep::SUnit] = QStringLiteral("%");
    s[ProcedureStep::Freq] = QStringLiteral("%1KHz").arg(n);
    s[ProcedureStep::Level] = QStringLiteral("%1V").arg(n);
    s[ProcedureStep::Circuit] = QStringLiteral("SER");
    s[ProcedureStep::Speed] = QStringLiteral("FAST");
    s[ProcedureStep::Type] = QStringLiteral("%");
    s[ProcedureStep::Delay] = QStringLiteral("0");
    return s;
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
