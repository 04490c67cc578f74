#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The few spreadsheet operations the exports need. Every cell is written as
// a string; an empty string leaves its cell empty. Rows are numbered from 1,
// columns from 0 (A).
//
// Rows must be written in increasing order: the real writer streams them to
// disk. A row's style may be set before or after its cells, but only while no
// later row has been written. Columns are centred before the first row.
class WorkbookWriter
{
public:
    virtual ~WorkbookWriter() = default;

    virtual void centreColumn(int column) = 0;
    // Cells A, B, C, ... of the row receive the strings in order.
    virtual void writeRow(int row, const QStringList &cells) = 0;
    virtual void boldRow(int row) = 0;
    // Blue text, 0000FF.
    virtual void blueRow(int row) = 0;

    // Starts another sheet after the ones written; later rows and column
    // styles go to it, numbered from row 1 again. False when it cannot.
    virtual bool addSheet(const QString &name)
    {
        (void)name;
        return false;
    }
    // The cells of the row that are plain decimal numbers are written as
    // numbers instead of text.
    virtual void numberRow(int row) { (void)row; }
    // The same for the row's cells in the columns that numeric picks only.
    virtual void numberCells(int row, const std::function<bool(int column)> &numeric)
    {
        (void)row;
        (void)numeric;
    }

    // Finishes the workbook. False when anything failed since it was
    // opened; errorText() then says what.
    virtual bool close() = 0;
    virtual QString errorText() const = 0;
};
