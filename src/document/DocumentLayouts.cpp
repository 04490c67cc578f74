#include "document/DocumentLayouts.h"

#include "document/ArchiveReader.h"
#include "document/ArchiveWriter.h"
#include "document/Cp950Codec.h"
#include "execution/ResultTableModel.h"

#include <QBuffer>
#include <QSignalBlocker>

using DocumentNames::FileType;

namespace DocumentLayouts {

namespace {

// The line counter of the plotter never leaves 1..5; 0 is an untouched document.
constexpr qint32 MaxPlotColumnCount = 5;
// Rows between two words to keepGoing.
constexpr qsizetype RowsPerReport = 4096;

qint32 readRowCount(ArchiveReader &in, const char *what)
{
    const qint64 at = in.offset();
    const qint32 n = in.readInt32();
    if (n < 0)
        throw ArchiveError(at, QStringLiteral("the %1 count %2 is negative").arg(QLatin1String(what)).arg(n));
    return n;
}

void checkHolds(qint64 at, qsizetype held, qint32 count, const char *what)
{
    if (held < count)
        throw ArchiveError(at, QStringLiteral("the %1 hold %2 entries where %3 were announced")
                                   .arg(QLatin1String(what))
                                   .arg(held)
                                   .arg(count));
}

void readProcedure(ArchiveReader &in, DocumentData &out)
{
    out.stepCount = readRowCount(in, "step");
    for (QStringList &column : out.stepColumns) {
        const qint64 at = in.offset();
        column = in.readStringArray();
        checkHolds(at, column.size(), out.stepCount, "step columns");
    }
}

// The rows go into a table of their own as they are read: never held twice.
void readReport(ArchiveReader &in, DocumentData &out, PastCount pastCount, const KeepGoing &keepGoing)
{
    const qint32 count = readRowCount(in, "row");
    auto table = std::make_shared<ResultTableModel>();
    const QSignalBlocker quiet(table.get());
    // Every entry takes at least one byte, so a count beyond the bytes left
    // reserves no more than the file could hold.
    table->reserveRows(int(qMin<qint64>(count, in.remaining())), 0);
    const qint64 at = in.offset();
    qsizetype seen = 0;
    const qsizetype rows = in.readStringArray([&](QByteArrayView bytes) {
        if (seen++ >= count && pastCount == PastCount::Drop)
            return;
        if (keepGoing && seen % RowsPerReport == 0 && !keepGoing(seen, count))
            throw Stopped{};
        // In ASCII the bytes can be searched; a Big5 trail byte could fake a match.
        if (Cp950Codec::isAscii(bytes.data(), bytes.size())) {
            const bool failed = bytes.contains(QByteArrayView("fail"));
            table->appendJoinedAscii(bytes, failed ? ResultTableModel::Failed : ResultTableModel::Passed);
        } else {
            const QString joined = Cp950Codec::decode(bytes.data(), bytes.size());
            const bool failed = joined.contains(QLatin1String("fail"));
            table->appendJoinedRow(joined, failed ? ResultTableModel::Failed : ResultTableModel::Passed);
        }
    });
    checkHolds(at, rows, count, "report rows");
    out.reportDates = in.readStringArray();
    out.reportTimes = in.readStringArray();
    out.reportRowCount = count;
    out.reportRows.clear();
    out.reportCells = -1;
    out.reportTable = std::move(table);
}

void readPlot(ArchiveReader &in, DocumentData &out)
{
    out.plotRowCount = readRowCount(in, "plot row");
    const qint64 columnsAt = in.offset();
    out.plotColumnCount = in.readInt32();
    if (out.plotColumnCount < 0 || out.plotColumnCount > MaxPlotColumnCount)
        throw ArchiveError(columnsAt, QStringLiteral("the plot line counter %1 is out of range").arg(out.plotColumnCount));
    out.plotFirstItem = in.readString();
    out.plotSecondItem = in.readString();
    out.plotSpare = in.readString();
    const qint64 at = in.offset();
    out.plotRows = in.readStringArray();
    checkHolds(at, out.plotRows.size(), out.plotRowCount, "plot rows");
}

// The rows array of a report, from whichever form holds it, one row at a time.
void writeReportRows(ArchiveWriter &out, const DocumentData &data, const KeepGoing &keepGoing)
{
    const qsizetype rows = data.reportEntryCount();
    out.writeCount(quint32(rows));
    QString cut;
    for (qsizetype r = 0; r < rows; ++r) {
        if (keepGoing && r % RowsPerReport == 0 && !keepGoing(r, rows))
            throw Stopped{};
        if (!data.reportTable) {
            const QByteArrayView b = data.reportRows.encodedAt(r);
            out.writeEncodedString(b.data(), b.size());
            continue;
        }
        const QString joined = data.reportTable->joinedRow(int(r));
        const qsizetype end = data.reportCells < 0 ? joined.size() : DocumentData::endOfCells(joined, data.reportCells);
        if (end >= 0) {
            out.writeString(QStringView(joined).left(end));
        } else {
            cut = DocumentData::joinedCells(joined, data.reportCells);
            out.writeString(cut);
        }
    }
}

} // namespace

void read(FileType type, QIODevice *device, qint64 size, DocumentData &out, PastCount pastCount,
    const KeepGoing &keepGoing)
{
    ArchiveReader in(device, size);
    switch (type) {
    case FileType::Procedure:
        readProcedure(in, out);
        break;
    case FileType::Report:
        readReport(in, out, pastCount, keepGoing);
        break;
    case FileType::Plot:
        readPlot(in, out);
        break;
    case FileType::None:
        break;
    }
}

void read(FileType type, const QByteArray &bytes, DocumentData &out)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    read(type, &buffer, bytes.size(), out, PastCount::Keep);
}

bool write(FileType type, const DocumentData &data, QIODevice *device, QString *error, const KeepGoing &keepGoing)
{
    ArchiveWriter out(device);
    switch (type) {
    case FileType::Procedure:
        out.writeInt32(data.stepCount);
        for (const QStringList &column : data.stepColumns)
            out.writeStringArray(column);
        break;
    case FileType::Report:
        out.writeInt32(data.reportRowCount);
        writeReportRows(out, data, keepGoing);
        out.writeStringArray(data.reportDates);
        out.writeStringArray(data.reportTimes);
        break;
    case FileType::Plot:
        out.writeInt32(data.plotRowCount);
        out.writeInt32(data.plotColumnCount);
        out.writeString(data.plotFirstItem);
        out.writeString(data.plotSecondItem);
        out.writeString(data.plotSpare);
        out.writeStringArray(data.plotRows);
        break;
    case FileType::None:
        if (error)
            *error = QStringLiteral("the name does not end in pro, rpt or pic");
        return false;
    }
    if (!out.finish()) {
        if (error)
            *error = out.errorString();
        return false;
    }
    return true;
}

} // namespace DocumentLayouts
