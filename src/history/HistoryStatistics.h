#pragma once

#include "history/HistoryDatabase.h"

class TableStatistics;

// Statistics over recorded rows, the same figures as of a result table.
namespace HistoryStatistics {

// The rows the filter selects, judged against the limits of the oldest
// selected run's procedure. Rows of runs whose columns differ from that
// run's are left out and counted in skipped. No run selected: no columns.
bool compute(HistoryDatabase &db, const HistoryDatabase::Filter &filter, TableStatistics &out, qint64 *skipped,
             QString *error);

} // namespace HistoryStatistics
