#include "execution/ResultExport.h"

#include "execution/ResultTableModel.h"
#include "sheets/WorkbookWriter.h"
#include "procedure/ProcedureModel.h"

namespace {

const QChar Chi(0x03A7);
const QChar Omicron(0x039F);

// Rows 2 to 6: a title, three empty cells, then per item its value and an
// empty cell under "P/F".
struct LimitRow
{
    const char *title;
    int firstColumn;  // field of the first item's value
    int firstUnit;    // appended field, or -1
    int secondColumn; // field of the second item's value
    int secondUnit;
};

const LimitRow limitRows[] = {
    {"Std.", ProcedureStep::FStd, ProcedureStep::FUnit, ProcedureStep::SStd, ProcedureStep::SUnit},
    {"Low.", ProcedureStep::FLow, -1, ProcedureStep::SLow, -1},
    {"High.", ProcedureStep::FHigh, -1, ProcedureStep::SHigh, -1},
    {"Freq.", ProcedureStep::Freq, -1, ProcedureStep::Freq, -1},
    {"Level.", ProcedureStep::Level, -1, ProcedureStep::Level, -1},
};

QString fieldText(const ProcedureStep &step, int column, int unit)
{
    return unit < 0 ? step[column] : step[column] + step[unit];
}

} // namespace

QString ResultExport::verdictHeader()
{
    return QString(Chi) + QLatin1Char('/') + Omicron;
}

QString ResultExport::failedMark()
{
    return QString(Chi);
}

QString ResultExport::passedMark()
{
    return QString(Omicron);
}

int ResultExport::resultColumnCount(const ProcedureModel &procedure)
{
    return 2 * (procedure.stepCount() + procedure.secondItemCount());
}

void ResultExport::write(const ProcedureModel &procedure, const ResultTableModel &results, WorkbookWriter &out)
{
    const int c = resultColumnCount(procedure);
    const QString pf = QStringLiteral("P/F");

    out.centreColumn(1);

    QStringList row;
    row.reserve(c + 4);
    row << QStringLiteral("Seq.") << verdictHeader() << QStringLiteral("Date") << QStringLiteral("Time");
    for (const ProcedureStep &step : procedure.steps()) {
        row << step[ProcedureStep::FItem] + step[ProcedureStep::Step] << pf;
        if (step.hasSecondItem())
            row << step[ProcedureStep::SItem] + step[ProcedureStep::Step] << pf;
    }
    out.writeRow(1, row);
    out.blueRow(1);
    out.boldRow(1);

    int sheetRow = 2;
    for (const LimitRow &limits : limitRows) {
        row.clear();
        row << QString::fromLatin1(limits.title) << QString() << QString() << QString();
        for (const ProcedureStep &step : procedure.steps()) {
            row << fieldText(step, limits.firstColumn, limits.firstUnit) << QString();
            if (step.hasSecondItem())
                row << fieldText(step, limits.secondColumn, limits.secondUnit) << QString();
        }
        out.writeRow(sheetRow, row);
        out.boldRow(sheetRow);
        ++sheetRow;
    }

    // A row without a date or time (files from elsewhere can be short) still
    // goes out whole, with those cells empty.
    const QStringList &dates = results.reportDates();
    const QStringList &times = results.reportTimes();
    const QString fail = QStringLiteral("fail");
    const int rows = results.resultCount();
    for (int k = 0; k < rows; ++k) {
        const QStringList cells = results.cells(k);
        row.clear();
        row << results.cell(k, 0) << QString() << dates.value(k) << times.value(k);
        bool failed = false;
        for (int i = 0; i < c; ++i) {
            const QString cell = cells.value(i);
            if (cell == fail)
                failed = true;
            row << cell;
        }
        row[1] = failed ? failedMark() : passedMark();
        out.writeRow(k + FirstDataRow, row);
    }
}

bool ResultExport::exportToFile(const ProcedureModel &procedure, const ResultTableModel &results,
                                const QString &path, QString *error)
{
    return XlsxWorkbook::writeFile(
        path, [&](WorkbookWriter &out) { write(procedure, results, out); }, error);
}

QString ResultExport::exportAndOpen(const ProcedureModel &procedure, const ResultTableModel &results,
                                    Prompter &prompter, const XlsxWorkbook::Opener &opener)
{
    return XlsxWorkbook::exportAndOpen(
        QStringLiteral("qel-results"), [&](WorkbookWriter &out) { write(procedure, results, out); }, prompter,
        opener);
}
