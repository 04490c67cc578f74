#include "execution/ResultCsvExport.h"

#include "sheets/CsvWriter.h"
#include "execution/ResultExport.h"

namespace ResultCsvExport {

bool keepsRow(int sheetRow)
{
    return sheetRow == 1 || sheetRow >= ResultExport::FirstDataRow;
}

bool exportToFile(const ProcedureModel &procedure, const ResultTableModel &results, const QString &path,
                  QString *error)
{
    return CsvWriter::writeFile(
        path, keepsRow, [&](WorkbookWriter &out) { ResultExport::write(procedure, results, out); }, error);
}

} // namespace ResultCsvExport
