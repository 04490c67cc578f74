#pragma once

#include <QByteArray>
#include <QString>

class ControlChart;
class TableStatistics;

template<typename T>
class QList;

// The statistics of a table as qel-cli prints them, so every command that
// shows statistics (of a report, of the results history) prints the same:
//   {"rows": N, "firstPassYield": F, "columns": [{"step": 1, "item": "C",
//    "n": N, "mean": ..., "stdev": ..., "min": ..., "max": ..., "cp": ...,
//    "cpk": ..., "fails": N, "yield": F}, ...]}
// Numbers in SI base units (D and Q plain), yields as fractions, null where
// a figure is undefined; the shortest text that reads back to the same double.
namespace StatisticsJson {

// With control charts (one per column, as controlCharts gives them) each
// column gains "control": ControlChart::toJson().
QByteArray toJson(const TableStatistics &statistics, const QList<ControlChart> *control = nullptr);
// A plain-text table of the same figures, one line per column, for people;
// with control charts a second table of their limits and violations.
QByteArray toText(const TableStatistics &statistics, const QList<ControlChart> *control = nullptr);
// A number as the outputs write it ("null" is the caller's business).
QString number(double v);

} // namespace StatisticsJson
