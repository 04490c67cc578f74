#pragma once

#include "history/HistoryDatabase.h"

#include <functional>

// The selected rows as sheets, the CSV file and the workbook's "Rows": run,
// seq, measuredAt, verdict, then per step and item its text, value and P/F
// (empty where a run has no such column). Behind HistoryExport::writeRows.
namespace HistoryRowSheets {

// Told the rows written so far (every 256); false stops the export, which
// then leaves no file.
using KeepGoing = std::function<bool(qint64 rows)>;

// out "-" is stdout. count: the rows written.
bool writeCsv(HistoryDatabase &db, const HistoryDatabase::Filter &filter, const QString &out, qint64 &count,
              const KeepGoing &keepGoing, QString *error);
bool writeXlsx(HistoryDatabase &db, const HistoryDatabase::Filter &filter, const QString &out, qint64 &count,
               const KeepGoing &keepGoing, QString *error);

} // namespace HistoryRowSheets
