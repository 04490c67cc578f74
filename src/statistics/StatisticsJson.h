#pragma once

#include <QByteArray>
#include <QString>

class TableStatistics;

// The statistics of a table as qel-cli prints them, so every command that
// shows statistics (of a report, of the results history) prints the same:
//   {"rows": N, "firstPassYield": F, "columns": [{"step": 1, "item": "C",
//    "n": N, "mean": ..., "stdev": ..., "min": ..., "max": ..., "cp": ...,
//    "cpk": ..., "fails": N, "yield": F}, ...]}
// Numbers in SI base units (D and Q plain), yields as fractions, null where
// a figure is undefined; the shortest text that reads back to the same double.
namespace StatisticsJson {

QByteArray toJson(const TableStatistics &statistics);
// A plain-text table of the same figures, one line per column, for people.
QByteArray toText(const TableStatistics &statistics);
// A number as the outputs write it ("null" is the caller's business).
QString number(double v);

} // namespace StatisticsJson
