#pragma once

#include <QString>

#include <functional>
#include <memory>

class QIODevice;
class ResultTableModel;
struct DocumentData;

// A report file read straight into a result table of its own, a window of
// the file at a time: the rows are never held twice (file bytes and table),
// which keeps a million-row report lean. All or nothing: on a damaged file
// ArchiveError is thrown and nothing outside the returned objects changed.
namespace ReportReading {

// Thrown when keepGoing said stop.
struct Stopped
{
};

// Fills out's report fields (count, dates, times; reportTable holds the
// rows, reportRows stays empty). keepGoing, when given, hears of the rows
// read now and then and may stop the reading.
void read(QIODevice *file, qint64 size, DocumentData &out,
          const std::function<bool(qint64 done, qint64 total)> &keepGoing = {});

} // namespace ReportReading
