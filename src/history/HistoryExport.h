#pragma once

#include "history/HistoryDatabase.h"

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

// The history's outputs, shared by qel-cli and the Results History window.
namespace HistoryExport {

// One object per run: id, started, finished, station, operator, meter,
// procedure, lot, rows, fails, outcome (null while unknown).
QByteArray runsJson(const QVector<HistoryDatabase::RunSummary> &runs);
// The same as tab-separated lines under a header line.
QByteArray runsTsv(const QVector<HistoryDatabase::RunSummary> &runs);

enum class Format { Json, Csv, Xlsx };

// The selected rows written to out (a file path; "-" is stdout for JSON and
// CSV). CSV and XLSX: run, seq, measuredAt, verdict, then per step and item
// its text, value and verdict. rows gets the number written. keepGoing is
// told the rows written so far; false stops the export, which leaves no file.
bool writeRows(HistoryDatabase &db, const HistoryDatabase::Filter &filter, Format format, const QString &out,
               qint64 *rows, QString *error, const std::function<bool(qint64 rows)> &keepGoing = {});

// The selected rows as the JSON that writeRows writes, in memory.
bool rowsJson(HistoryDatabase &db, const HistoryDatabase::Filter &filter, QByteArray &out, QString *error);
// One page of them: at most limit rows after seq afterSeq (forEachRow's
// paging), in the same form; rows gets the number written.
bool rowsJson(HistoryDatabase &db, const HistoryDatabase::Filter &filter, int afterSeq, int limit, QByteArray &out,
              qint64 *rows, QString *error);

} // namespace HistoryExport
