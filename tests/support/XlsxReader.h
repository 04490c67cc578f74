#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <ostream>

// Readable QString values in assertion messages.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

// Reads the first sheet of an .xlsx back with openpyxl (Debian's
// python3-openpyxl under /usr/bin/python3), the way a spreadsheet program
// sees it: values, cell and row styles, column styles. Rows and columns are
// 1-based here, as in the sheet.
class XlsxSheet
{
public:
    struct Cell
    {
        QString value;
        QString type; // openpyxl's data_type: "s" for text, "n" for numbers
        bool bold = false;
        QString colour; // "FF0000FF" for blue; empty when none
        QString align;  // horizontal alignment, empty when general
    };
    struct Style
    {
        bool set = false; // the row or column carries a style of its own
        bool bold = false;
        QString colour;
        QString align;
    };

    bool ok = false;
    QString error;
    int maxRow = 0;
    int maxColumn = 0;
    QMap<QPair<int, int>, Cell> cells;
    QMap<int, Style> rows;
    QMap<int, Style> columns;

    bool has(int row, int column) const { return cells.contains({row, column}); }
    Cell cell(int row, int column) const { return cells.value({row, column}); }
    // Empty cells read as empty strings.
    QString text(int row, int column) const { return cell(row, column).value; }
    // Columns 1..count of a row; count defaults to the sheet's width.
    QStringList rowTexts(int row, int count = -1) const
    {
        QStringList out;
        const int n = count < 0 ? maxColumn : count;
        for (int c = 1; c <= n; ++c)
            out << text(row, c);
        return out;
    }
    Style rowStyle(int row) const { return rows.value(row); }
    Style columnStyle(int column) const { return columns.value(column); }

    static XlsxSheet read(const QString &path)
    {
        static const char *script = R"PY(
import json, sys, openpyxl
from openpyxl.utils import column_index_from_string
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.worksheets[0]
def colour(font):
    c = font.color if font is not None else None
    return c.rgb if c is not None and c.type == 'rgb' else ''
def style(o):
    return {'bold': bool(o.font.b), 'colour': colour(o.font),
            'align': o.alignment.horizontal or ''}
out = {'maxRow': ws.max_row, 'maxColumn': ws.max_column, 'cells': [], 'rows': {}, 'columns': {}}
for row in ws.iter_rows():
    for c in row:
        if c.value is None and not c.has_style:
            continue
        d = style(c)
        d.update({'row': c.row, 'column': c.column,
                  'value': '' if c.value is None else str(c.value), 'type': c.data_type})
        out['cells'].append(d)
for r, dim in ws.row_dimensions.items():
    if dim.customFormat:
        out['rows'][str(r)] = style(dim)
for letter, dim in ws.column_dimensions.items():
    if dim.has_style:
        d = style(dim)
        for i in range(dim.min or column_index_from_string(letter), (dim.max or column_index_from_string(letter)) + 1):
            out['columns'][str(i)] = d
json.dump(out, sys.stdout)
)PY";
        XlsxSheet sheet;
        QProcess py;
        py.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(script), path});
        if (!py.waitForFinished(60000) || py.exitStatus() != QProcess::NormalExit || py.exitCode() != 0) {
            sheet.error = QString::fromUtf8(py.readAllStandardError()) + py.errorString();
            return sheet;
        }
        QJsonParseError parseError;
        const QJsonObject root = QJsonDocument::fromJson(py.readAllStandardOutput(), &parseError).object();
        if (parseError.error != QJsonParseError::NoError) {
            sheet.error = parseError.errorString();
            return sheet;
        }
        sheet.maxRow = root.value("maxRow").toInt();
        sheet.maxColumn = root.value("maxColumn").toInt();
        for (const QJsonValue &v : root.value("cells").toArray()) {
            const QJsonObject o = v.toObject();
            Cell c;
            c.value = o.value("value").toString();
            c.type = o.value("type").toString();
            c.bold = o.value("bold").toBool();
            c.colour = o.value("colour").toString();
            c.align = o.value("align").toString();
            sheet.cells.insert({o.value("row").toInt(), o.value("column").toInt()}, c);
        }
        auto styles = [](const QJsonObject &o) {
            QMap<int, Style> out;
            for (auto it = o.begin(); it != o.end(); ++it) {
                const QJsonObject s = it.value().toObject();
                out.insert(it.key().toInt(), {true, s.value("bold").toBool(), s.value("colour").toString(),
                                              s.value("align").toString()});
            }
            return out;
        };
        sheet.rows = styles(root.value("rows").toObject());
        sheet.columns = styles(root.value("columns").toObject());
        sheet.ok = true;
        return sheet;
    }
};
