#pragma once

#include "sheets/XlsxWorkbook.h"

#include <QString>

class ProcedureModel;
class Prompter;
class ResultTableModel;
class WorkbookWriter;

// The result table as a sheet: row 1 the column titles (blue, bold), rows 2
// to 6 each item's standard, limits, frequency and level (bold), then one row
// per result with its sequence number, a fail or pass mark, date, time and
// cells. Column B, the marks, is centred.
class ResultExport
{
public:
    // "Χ/Ο", "Χ" and "Ο" (Greek capital chi and omicron).
    static QString verdictHeader();
    static QString failedMark();
    static QString passedMark();

    // Number of result columns after "Seq.": two per step, two more per
    // step with a second item.
    static int resultColumnCount(const ProcedureModel &procedure);
    // Sheet row of the first result.
    static constexpr int FirstDataRow = 7;

    static void write(const ProcedureModel &procedure, const ResultTableModel &results, WorkbookWriter &out);

    // For qel-cli: writes the workbook to path, replacing it only when
    // complete.
    static bool exportToFile(const ProcedureModel &procedure, const ResultTableModel &results, const QString &path,
                             QString *error);

    // The Executive View's "Export to Excel": a new workbook opened in the
    // desktop's spreadsheet application. Returns the file written, or empty.
    static QString exportAndOpen(const ProcedureModel &procedure, const ResultTableModel &results, Prompter &prompter,
                                 const XlsxWorkbook::Opener &opener = XlsxWorkbook::openInDesktop);
};
