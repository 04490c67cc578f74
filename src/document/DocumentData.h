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
    // Instead of reportRows, when a report was read into a table or is saved
    // from one: the rows in the result table's packed form, shared with the
    // table. With reportCells 0 or more, a row stands for its first
    // reportCells cells, the missing ones empty (as a save writes it).
    std::shared_ptr<const ResultTableModel> reportTable;
    int reportCells = -1;
    QStringList reportDates;
    QStringList reportTimes;

    qint32 plotRowCount = 0;
    qint32 plotColumnCount = 0;
    QString plotFirstItem = QStringLiteral("C");
    QString plotSecondItem = QStringLiteral("off");
    QString plotSpare = QStringLiteral("10");
    QStringList plotRows;

    // The entries of the report's rows array, whichever form holds them.
    qsizetype reportEntryCount() const;
    QString reportEntry(qsizetype i) const;

    // Index just past the cells-th line feed of joined, or -1 when it has fewer.
    static qsizetype endOfCells(QStringView joined, int cells);
    // Cells 1..cells of a joined row, each followed by a line feed; missing cells are empty.
    static QString joinedCells(QStringView joined, int cells);

    // Moves the fields that a file of this type holds from other into this.
    void takeLayout(DocumentNames::FileType type, DocumentData &&other);
    void clearReportData();
};
