#pragma once

#include "document/DocumentNames.h"
#include "document/PackedStringArray.h"

#include <QString>
#include <QStringList>

#include <array>
#include <memory>

class ResultTableModel;

// The document's copy of the three pages, in the order the files hold it.
struct DocumentData
{
    static constexpr int StepColumnCount = 16;

    qint32 stepCount = 0;
    // Array k holds column k + 1 of the procedure list ("F-Item" .. "Delay").
    std::array<QStringList, StepColumnCount> stepColumns;

    qint32 reportRowCount = 0;
    PackedStringArray reportRows; // joined rows, kept as file bytes
    // Instead of reportRows, when a report was read straight into a table:
    // the rows in the result table's packed form, shared with the table.
    std::shared_ptr<const ResultTableModel> reportTable;
    QStringList reportDates;
    QStringList reportTimes;

    qint32 plotRowCount = 0;
    qint32 plotColumnCount = 0;
    QString plotFirstItem = QStringLiteral("C");
    QString plotSecondItem = QStringLiteral("off");
    QString plotSpare = QStringLiteral("10");
    QStringList plotRows;

    // Moves the fields that a file of this type holds from other into this.
    void takeLayout(DocumentNames::FileType type, DocumentData &&other);
    void clearReportData();
};
