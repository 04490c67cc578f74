#pragma once

#include "document/DocumentData.h"

#include <QByteArray>

#include <functional>

class QIODevice;

// The three file layouts: flat archive items, no header or checksum.
namespace DocumentLayouts {

// Hears of the report rows read or written now and then; false stops.
using KeepGoing = std::function<bool(qint64 done, qint64 total)>;
// Thrown when keepGoing said stop.
struct Stopped
{
};

// Report rows past the file's row count: the pages never show or save them
// (Drop); showing the file as it stands keeps them (Keep).
enum class PastCount { Drop, Keep };

// Writes the layout of type; false (with why) when the device fails or the
// type has no layout. Report rows come from data.reportTable when it is set.
bool write(DocumentNames::FileType type, const DocumentData &data, QIODevice *device, QString *error,
    const KeepGoing &keepGoing = {});

// Reads the layout of type from size bytes of device into out (only that
// layout's fields), a window of the file at a time; a report's rows go
// straight into a result table of their own (out.reportTable), so a million
// rows are never held twice. Throws ArchiveError for a truncated or damaged
// file, including arrays that hold fewer strings than their counts say.
// All or nothing: on a throw, out may be half filled but nothing else changed.
void read(DocumentNames::FileType type, QIODevice *device, qint64 size, DocumentData &out,
    PastCount pastCount = PastCount::Drop, const KeepGoing &keepGoing = {});
// The same from bytes in memory, every report row kept.
void read(DocumentNames::FileType type, const QByteArray &bytes, DocumentData &out);

} // namespace DocumentLayouts
