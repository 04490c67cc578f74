#include "analysis/SweepCsv.h"

#include "plotter/PlotTableModel.h"
#include "sheets/CsvWriter.h"

#include <QSaveFile>
#include <QStringList>

namespace {

void fill(CsvWriter &sheet, const PlotTableModel &table)
{
    QStringList cells;
    for (int c = 0; c < table.columnCount(); ++c)
        cells << table.headerData(c, Qt::Horizontal).toString();
    sheet.writeRow(1, cells);
    for (int r = 0; r < table.rowCount(); ++r) {
        cells.clear();
        for (int c = 0; c < table.columnCount(); ++c)
            cells << table.cell(r, c);
        sheet.writeRow(r + 2, cells);
    }
}

} // namespace

namespace SweepCsv {

bool write(const PlotTableModel &table, const QString &path, QString *error)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    CsvWriter sheet(&f, {}, CsvWriter::Quote::SeparatorsOnly);
    fill(sheet, table);
    if (!sheet.close() || !f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

} // namespace SweepCsv
