#pragma once

#include <QString>

class ProcedureModel;
class ResultTableModel;

// The result export as a CSV file: the spreadsheet's title row, then its
// data rows cell for cell (the standard and limit rows are left out).
namespace ResultCsvExport {

// Whether a row of the result sheet goes into the CSV file.
bool keepsRow(int sheetRow);

bool exportToFile(const ProcedureModel &procedure, const ResultTableModel &results, const QString &path,
                  QString *error);

} // namespace ResultCsvExport
