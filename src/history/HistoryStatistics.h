#pragma once

#include "history/HistoryDatabase.h"

#include <QDate>

class TableStatistics;

// Statistics over recorded rows, the same figures as of a result table.
namespace HistoryStatistics {

// The rows the filter selects, judged against the limits of the oldest
// selected run's procedure. Rows of runs whose columns differ from that
// run's are left out and counted in skipped. No run selected: no columns.
bool compute(HistoryDatabase &db, const HistoryDatabase::Filter &filter, TableStatistics &out, qint64 *skipped,
             QString *error);

// For the desktop program: the target opened read-only, the rows of a lot
// (empty: any) recorded from the day `from` through the day `to` (null:
// open). Fails with one sentence when the database cannot be read.
bool computeFor(const HistoryTarget &target, const QString &lot, const QDate &from, const QDate &to,
                TableStatistics &out, QString *error);

} // namespace HistoryStatistics
