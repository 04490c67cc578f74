#include "analysis/SweepColumns.h"

#include "plotter/PlotTableModel.h"

#include <cmath>

SweepColumns SweepColumns::fromTable(const PlotTableModel &table)
{
    SweepColumns c;
    c.sweptTitle = table.sweptTitle();
    c.lineTitles = table.lineTitles();
    c.rows.reserve(table.tableRowCount());
    c.values.reserve(table.tableRowCount());
    for (int r = 0; r < table.tableRowCount(); ++r) {
        QStringList cells;
        QVector<double> values;
        for (int col = 1; col <= 1 + c.lineTitles.size(); ++col) {
            cells << table.cell(r, col);
            values << table.value(r, col);
        }
        c.rows << cells;
        c.values << values;
    }
    return c;
}

bool SweepColumns::isFrequencySweep() const
{
    if (sweptTitle == QLatin1String("Voltage"))
        return false;
    for (const QStringList &row : rows)
        if (!row.value(0).trimmed().isEmpty())
            return !row.value(0).trimmed().endsWith(QLatin1Char('V'));
    return true;
}

QString SweepColumns::lineItem(int line) const
{
    QString t = lineTitles.value(line - 1);
    while (!t.isEmpty() && t.back().isDigit())
        t.chop(1);
    return t;
}

QString SweepColumns::cell(int row, int line) const
{
    return rows.value(row).value(line);
}

bool SweepColumns::number(int row, int column, double *out) const
{
    if (row < 0 || row >= values.size())
        return CellValue::parse(rows.value(row).value(column), out);
    const double v = values[row].value(column, CellValue::None);
    if (std::isnan(v))
        return false;
    *out = v;
    return true;
}

bool SweepColumns::sameValues(const SweepColumns &o) const
{
    if (values.size() != o.values.size())
        return false;
    for (int r = 0; r < values.size(); ++r) {
        if (values[r].size() != o.values[r].size())
            return false;
        for (int c = 0; c < values[r].size(); ++c) {
            const double a = values[r][c], b = o.values[r][c];
            if (a != b && !(std::isnan(a) && std::isnan(b)))
                return false;
        }
    }
    return true;
}

bool SweepColumns::sweptValue(int row, double *out) const
{
    return number(row, 0, out);
}

bool SweepColumns::lineValue(int row, int line, double *out) const
{
    return line >= 1 && number(row, line, out);
}

QVector<SweepColumns::Draw> SweepColumns::draws(bool withSecondItem) const
{
    QVector<Draw> out;
    const int step = withSecondItem ? 2 : 1;
    for (int line = 1; line + step - 1 <= lineCount(); line += step) {
        Draw d;
        d.number = int(out.size()) + 1;
        d.firstLine = line;
        d.firstItem = lineItem(line);
        if (withSecondItem) {
            d.secondLine = line + 1;
            d.secondItem = lineItem(line + 1);
        }
        out << d;
    }
    return out;
}
