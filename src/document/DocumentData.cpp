#include "document/DocumentData.h"

#include "execution/ResultTableModel.h"

using DocumentNames::FileType;

void DocumentData::takeLayout(FileType type, DocumentData &&other)
{
    switch (type) {
    case FileType::Procedure:
        stepCount = other.stepCount;
        stepColumns = std::move(other.stepColumns);
        break;
    case FileType::Report:
        reportRowCount = other.reportRowCount;
        reportRows = std::move(other.reportRows);
        reportTable = std::move(other.reportTable);
        reportCells = other.reportCells;
        reportDates = std::move(other.reportDates);
        reportTimes = std::move(other.reportTimes);
        break;
    case FileType::Plot:
        plotRowCount = other.plotRowCount;
        plotColumnCount = other.plotColumnCount;
        plotFirstItem = std::move(other.plotFirstItem);
        plotSecondItem = std::move(other.plotSecondItem);
        plotSpare = std::move(other.plotSpare);
        plotRows = std::move(other.plotRows);
        break;
    case FileType::None:
        break;
    }
}

void DocumentData::clearReportData()
{
    reportRowCount = 0;
    reportRows.clear();
    reportTable.reset();
    reportCells = -1;
    reportDates.clear();
    reportTimes.clear();
}

qsizetype DocumentData::reportEntryCount() const
{
    return reportTable ? reportTable->resultCount() : reportRows.size();
}

QString DocumentData::reportEntry(qsizetype i) const
{
    if (!reportTable)
        return reportRows.at(i);
    const QString joined = reportTable->joinedRow(int(i));
    return reportCells < 0 ? joined : joinedCells(joined, reportCells);
}

qsizetype DocumentData::endOfCells(QStringView joined, int cells)
{
    if (cells <= 0)
        return 0;
    const char16_t *p = joined.utf16();
    int seen = 0;
    for (qsizetype i = 0, n = joined.size(); i < n; ++i) {
        if (p[i] == u'\n' && ++seen == cells)
            return i + 1;
    }
    return -1;
}

QString DocumentData::joinedCells(QStringView joined, int cells)
{
    const qsizetype end = endOfCells(joined, cells);
    if (end >= 0)
        return joined.left(end).toString();
    // Fewer cells than columns: the missing ones are empty.
    QString out = joined.toString();
    int have = int(out.count(QLatin1Char('\n')));
    if (!out.isEmpty() && !out.endsWith(QLatin1Char('\n'))) {
        out += QLatin1Char('\n');
        ++have;
    }
    for (; have < cells; ++have)
        out += QLatin1Char('\n');
    return out;
}
