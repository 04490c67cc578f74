#include "document/DocumentLayouts.h"

#include "document/ArchiveReader.h"
#include "document/ArchiveWriter.h"

#include <QIODevice>

using DocumentNames::FileType;

namespace DocumentLayouts {

namespace {

// The line counter of the plotter never leaves 1..5; 0 is an untouched document.
constexpr qint32 MaxPlotColumnCount = 5;

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

void readReport(ArchiveReader &in, DocumentData &out)
{
    out.reportRowCount = readRowCount(in, "row");
    const qint64 at = in.offset();
    const qsizetype rows = in.readStringArray(out.reportRows);
    checkHolds(at, rows, out.reportRowCount, "report rows");
    out.reportDates = in.readStringArray();
    out.reportTimes = in.readStringArray();
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

} // namespace

void read(FileType type, const QByteArray &bytes, DocumentData &out)
{
    ArchiveReader in(bytes);
    switch (type) {
    case FileType::Procedure:
        readProcedure(in, out);
        break;
    case FileType::Report:
        readReport(in, out);
        break;
    case FileType::Plot:
        readPlot(in, out);
        break;
    case FileType::None:
        break;
    }
}

bool write(FileType type, const DocumentData &data, QIODevice *device, QString *error)
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
        out.writeStringArray(data.reportRows);
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
