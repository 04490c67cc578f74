#include "analysis/SweepColumns.h"

#include "plotter/PlotTableModel.h"

#include <QRegularExpression>

#include <cmath>

namespace {

// Readings at or beyond this are the meter's overload mark, not values.
constexpr double Overload = 1e30;

double prefixFactor(const QString &prefix)
{
    if (prefix == QLatin1String("p"))
        return 1e-12;
    if (prefix == QLatin1String("n"))
        return 1e-9;
    if (prefix == QLatin1String("u") || prefix == QStringLiteral("\u00b5"))
        return 1e-6;
    if (prefix == QLatin1String("m"))
        return 1e-3;
    if (prefix == QLatin1String("K") || prefix == QLatin1String("k"))
        return 1e3;
    if (prefix == QLatin1String("M"))
        return 1e6;
    return prefix.isEmpty() ? 1.0 : 0.0;
}

} // namespace

bool CellValue::parse(const QString &cell, double *out, double *resolution)
{
    static const QRegularExpression re(QStringLiteral(
        "^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)\\s*([pnumKkM\u00b5]?)(?:Hz|V|F|H|O|S|Q|D|G|\u00b0)?\\s*$"));
    const QRegularExpressionMatch m = re.match(cell);
    if (!m.hasMatch())
        return false;
    const QString number = m.captured(1);
    const QString prefix = m.captured(2);
    double factor = prefixFactor(prefix);
    // "mV" is millivolt but a bare "m" before nothing is still milli.
    if (factor == 0.0)
        return false;
    bool ok = false;
    const double v = number.toDouble(&ok) * factor;
    if (!ok || !std::isfinite(v) || std::fabs(v) >= Overload)
        return false;
    *out = v;
    if (resolution) {
        // Half a unit in the last printed digit, in base units.
        const int dot = number.indexOf(QLatin1Char('.'));
        const int e = number.indexOf(QLatin1Char('E'), 0, Qt::CaseInsensitive);
        const int end = e < 0 ? int(number.size()) : e;
        const int decimals = dot < 0 ? 0 : end - dot - 1;
        const int exponent = e < 0 ? 0 : number.mid(e + 1).toInt();
        *resolution = 0.5 * std::pow(10.0, exponent - decimals) * factor;
    }
    return true;
}

SweepColumns SweepColumns::fromTable(const PlotTableModel &table)
{
    SweepColumns c;
    c.sweptTitle = table.sweptTitle();
    c.lineTitles = table.lineTitles();
    c.rows.reserve(table.tableRowCount());
    for (int r = 0; r < table.tableRowCount(); ++r) {
        QStringList cells;
        for (int col = 1; col <= 1 + c.lineTitles.size(); ++col)
            cells << table.cell(r, col);
        c.rows << cells;
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

bool SweepColumns::sweptValue(int row, double *out) const
{
    return CellValue::parse(rows.value(row).value(0), out);
}

bool SweepColumns::lineValue(int row, int line, double *out) const
{
    return line >= 1 && CellValue::parse(cell(row, line), out);
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
