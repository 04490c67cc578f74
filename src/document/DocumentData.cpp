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
    reportDates.clear();
    reportTimes.clear();
}
