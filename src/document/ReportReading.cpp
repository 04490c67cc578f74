#include "document/ReportReading.h"

#include "document/ArchiveReader.h"
#include "document/Cp950Codec.h"
#include "document/DocumentData.h"
#include "execution/ResultTableModel.h"

#include <QSignalBlocker>

namespace ReportReading {

void read(QIODevice *file, qint64 size, DocumentData &out, const std::function<bool(qint64, qint64)> &keepGoing)
{
    ArchiveReader in(file, size);
    const qint64 countAt = in.offset();
    const qint32 count = in.readInt32();
    if (count < 0)
        throw ArchiveError(countAt, QStringLiteral("the row count %1 is negative").arg(count));

    auto table = std::make_shared<ResultTableModel>();
    const QSignalBlocker quiet(table.get());
    // Every entry takes at least one byte, so a count beyond the bytes left
    // reserves no more than the file could hold.
    table->reserveRows(int(qMin<qint64>(count, in.remaining())), 0);
    const qint64 rowsAt = in.offset();
    qsizetype seen = 0;
    const qsizetype rows = in.readStringArray([&](QByteArrayView bytes) {
        // Entries past the count are never shown or saved.
        if (seen++ >= count)
            return;
        if (keepGoing && seen % 4096 == 0 && !keepGoing(seen, count))
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
    if (rows < count)
        throw ArchiveError(rowsAt, QStringLiteral("the report rows hold %1 entries where %2 were announced")
                                       .arg(rows)
                                       .arg(count));
    out.reportDates = in.readStringArray();
    out.reportTimes = in.readStringArray();
    out.reportRowCount = count;
    out.reportRows.clear();
    out.reportTable = std::move(table);
}

} // namespace ReportReading
