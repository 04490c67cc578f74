#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include "plotter/CellValue.h"

class PlotTableModel;

// A plain copy of a sweep's result list (swept value and up to four line
// columns): the cells as shown ("15.915500KO", "-89.9982°", "2.51327mD",
// "1000.000000Hz") and beside them the numbers the list holds in base
// units, at the precision the sweep measured them.
struct SweepColumns
{
    QString sweptTitle;       // "Frequence" or "Voltage"
    QStringList lineTitles;   // "Z1", "Angle2", ...
    QVector<QStringList> rows; // cells: swept value, then one per line
    // Per row, the cells' numbers (NaN: none). A row without them (columns
    // built by hand) has its cells read instead.
    QVector<QVector<double>> values;

    static SweepColumns fromTable(const PlotTableModel &table);
    bool operator==(const SweepColumns &o) const
    {
        return sweptTitle == o.sweptTitle && lineTitles == o.lineTitles && rows == o.rows && sameValues(o);
    }

    // By the title, or (a plot file keeps no title) by the swept cells' unit.
    bool isFrequencySweep() const;
    int lineCount() const { return int(lineTitles.size()); }
    // The item a line measures: its title without the line number.
    QString lineItem(int line) const;
    // The cell of a line (1-based) in a row; empty when the row has none.
    QString cell(int row, int line) const;
    // The swept value of a row in hertz or volts; false when unreadable.
    bool sweptValue(int row, double *out) const;
    // A line's cell as a number in base units (degrees for an angle);
    // false when empty, unreadable or an overload reading.
    bool lineValue(int row, int line, double *out) const;

    // One draw: two lines when the sweep measured a second item (lines
    // 2k-1 and 2k), otherwise one line.
    struct Draw
    {
        int number = 0;
        int firstLine = 0;
        int secondLine = 0; // 0: none
        QString firstItem;
        QString secondItem;
    };
    QVector<Draw> draws(bool withSecondItem) const;

private:
    bool number(int row, int column, double *out) const;
    bool sameValues(const SweepColumns &o) const;
};
