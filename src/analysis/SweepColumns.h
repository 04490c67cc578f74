#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

class PlotTableModel;

// A plain copy of a sweep's result list (swept value and up to four line
// columns), read into numbers: cells carry a number, a unit prefix and a
// unit letter ("15.915500KO", "-89.9982°", "2.51327mD", "1000.000000Hz").
struct SweepColumns
{
    QString sweptTitle;       // "Frequence" or "Voltage"
    QStringList lineTitles;   // "Z1", "Angle2", ...
    QVector<QStringList> rows; // cells: swept value, then one per line

    static SweepColumns fromTable(const PlotTableModel &table);
    bool operator==(const SweepColumns &o) const
    {
        return sweptTitle == o.sweptTitle && lineTitles == o.lineTitles && rows == o.rows;
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
};

namespace CellValue {
// The number of a cell in base units; false when it holds none. The unit
// letter and the prefix in front of it are taken from the text after the
// number ("m" milli, "M" mega, "K" kilo, "u", "n", "p").
bool parse(const QString &cell, double *out, double *resolution = nullptr);
}
