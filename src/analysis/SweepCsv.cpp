#include "analysis/SweepCsv.h"

#include "plotter/PlotTableModel.h"

#include <QSaveFile>
#include <QStringList>

namespace {

QString field(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    QString t = text;
    t.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + t + QLatin1Char('"');
}

} // namespace

namespace SweepCsv {

QByteArray toCsv(const PlotTableModel &table)
{
    QString out;
    QStringList cells;
    for (int c = 0; c < table.columnCount(); ++c)
        cells << field(table.headerData(c, Qt::Horizontal).toString());
    out += cells.join(QLatin1Char(',')) + QLatin1String("\r\n");
    for (int r = 0; r < table.rowCount(); ++r) {
        cells.clear();
        for (int c = 0; c < table.columnCount(); ++c)
            cells << field(table.cell(r, c));
        out += cells.join(QLatin1Char(',')) + QLatin1String("\r\n");
    }
    return out.toUtf8();
}

bool write(const PlotTableModel &table, const QString &path, QString *error)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(toCsv(table)) < 0 || !f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

} // namespace SweepCsv
