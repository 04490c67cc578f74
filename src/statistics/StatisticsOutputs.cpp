#include "statistics/StatisticsOutputs.h"

#include "statistics/BinOutputs.h"
#include "statistics/BinPlan.h"

#include "execution/ResultExport.h"
#include "execution/ResultTableModel.h"
#include "sheets/WorkbookWriter.h"
#include "procedure/FieldParsing.h"
#include "procedure/ProcedureModel.h"
#include "statistics/Statistics.h"
#include "statistics/StatisticsJson.h"

#include <QPainter>

#include <memory>

namespace StatisticsOutputs {

QString baseUnit(const QString &item)
{
    if (item == QLatin1String("C"))
        return QStringLiteral("F");
    if (item == QLatin1String("L"))
        return QStringLiteral("H");
    if (item == QLatin1String("B") || item == QLatin1String("Y") || item == QLatin1String("G"))
        return QStringLiteral("S");
    if (item == QLatin1String("Angle"))
        return QStringLiteral("degrees");
    if (item == QLatin1String("D") || item == QLatin1String("Q"))
        return QString();
    return QStringLiteral("O");
}

QString display(const ColumnStatistics &column, const Figure &figure)
{
    if (!figure.defined())
        return QString();
    const double v = *figure.value * FieldParsing::baseToUnit(column.unit, column.secondItem);
    return QString::number(v, 'g', 6) + column.unit;
}

QString displayIndex(const Figure &figure)
{
    return figure.defined() ? QString::number(*figure.value, 'f', 3) : QString();
}

QString displayYield(const Figure &figure)
{
    return figure.defined() ? QString::number(*figure.value * 100, 'f', 1) + QLatin1Char('%') : QString();
}

namespace {

QString cell(const Figure &f)
{
    return f.defined() ? StatisticsJson::number(*f.value) : QString();
}

// Why the undefined figures of a column are undefined, each reason once.
QString reasons(const ColumnStatistics &c)
{
    QStringList out;
    const QList<QPair<const char *, Figure>> figures = {
        {"mean", c.mean()}, {"stdev", c.stdev()}, {"Cp", c.cp()}, {"Cpk", c.cpk()}, {"yield", c.yield()}};
    QStringList seen;
    for (const auto &f : figures) {
        if (f.second.defined() || seen.contains(f.second.why))
            continue;
        seen << f.second.why;
        out << QString::fromLatin1(f.first) + QLatin1String(": ") + f.second.why;
    }
    return out.join(QLatin1String("; "));
}

} // namespace

void writeSheet(const TableStatistics &st, WorkbookWriter &out)
{
    out.writeRow(1, {QStringLiteral("Column"), QStringLiteral("Step"), QStringLiteral("Item"), QStringLiteral("Unit"),
                     QStringLiteral("n"), QStringLiteral("Mean"), QStringLiteral("Std. dev."), QStringLiteral("Min"),
                     QStringLiteral("Max"), QStringLiteral("Cp"), QStringLiteral("Cpk"), QStringLiteral("Fails"),
                     QStringLiteral("Yield"), QStringLiteral("Why empty")});
    out.blueRow(1);
    out.boldRow(1);
    int row = 2;
    for (const ColumnStatistics &c : st.columns()) {
        out.writeRow(row, {c.title(), QString::number(c.step), c.item, baseUnit(c.item), QString::number(c.stats.n),
                           cell(c.mean()), cell(c.stdev()), cell(c.minimum()), cell(c.maximum()), cell(c.cp()),
                           cell(c.cpk()), QString::number(c.fails), cell(c.yield()), reasons(c)});
        out.numberRow(row);
        ++row;
    }
    ++row;
    out.writeRow(row, {QStringLiteral("Rows"), QString::number(st.rows())});
    out.numberRow(row);
    out.boldRow(row++);
    out.writeRow(row, {QStringLiteral("Passed"), QString::number(st.passedRows())});
    out.numberRow(row);
    out.boldRow(row++);
    out.writeRow(row, {QStringLiteral("First-pass yield"), cell(st.firstPassYield())});
    out.numberRow(row);
    out.boldRow(row);
}

void writeWorkbook(const ProcedureModel &procedure, const ResultTableModel &results, WorkbookWriter &out,
                   const BinPlan *bins)
{
    ResultExport::write(procedure, results, out);
    TableStatistics st;
    st.setSteps(procedure.steps());
    st.addTable(results);
    if (!out.addSheet(QStringLiteral("Statistics")))
        return;
    writeSheet(st, out);
    if (bins && bins->checkAgainst(procedure.steps()).isEmpty()) {
        BinSorter sorter;
        sorter.setPlan(*bins, procedure.steps());
        sorter.countTable(results);
        if (out.addSheet(QStringLiteral("Bins")))
            BinOutputs::writeSheet(sorter, out);
    }
}

bool exportToFile(const ProcedureModel &procedure, const ResultTableModel &results, const QString &path,
                  QString *error)
{
    return XlsxWorkbook::writeFile(
        path, [&](WorkbookWriter &out) { writeWorkbook(procedure, results, out); }, error);
}

QString exportAndOpen(const ProcedureModel &procedure, const ResultTableModel &results, Prompter &prompter,
                      const XlsxWorkbook::Opener &opener)
{
    return XlsxWorkbook::exportAndOpen(
        QStringLiteral("qel-results"), [&](WorkbookWriter &out) { writeWorkbook(procedure, results, out); },
        prompter, opener);
}

namespace {

void text(QPainter &p, double x, double y, const QString &s, Qt::Alignment align, double width)
{
    p.save();
    p.translate(x, y);
    p.scale(1, -1);
    p.drawText(QRectF(0, 0, width, 75), align | Qt::AlignVCenter | Qt::TextSingleLine, s);
    p.restore();
}

void paintPage(QPainter &p, const TableStatistics &st, int index, int pages, const QPointF &origin)
{
    ReportPainter::setPageTransform(p, origin);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::black, ReportPainter::ThinPen));
    p.setFont(ReportPainter::largeFont());
    text(p, 100, -100, QStringLiteral("Statistics"), Qt::AlignHCenter, 1800);
    p.setFont(ReportPainter::smallFont());
    text(p, 100, -230,
         QStringLiteral("Rows: %1   Passed: %2   First-pass yield: %3")
             .arg(st.rows())
             .arg(st.passedRows())
             .arg(st.firstPassYield().defined() ? displayYield(st.firstPassYield()) : QStringLiteral("none")),
         Qt::AlignLeft, 1800);
    if (pages > 1)
        text(p, 100, -230, QStringLiteral("(%1 of %2)").arg(index + 1).arg(pages), Qt::AlignRight, 1800);

    static const char *const heads[] = {"Item", "n", "Mean", "Std. dev.", "Min", "Max", "Cp", "Cpk", "Fails", "Yield"};
    static const int widths[] = {170, 150, 260, 250, 260, 260, 110, 110, 110, 120};
    QFont cells = ReportPainter::smallFont();
    cells.setPixelSize(32);
    p.setFont(cells);
    const double top = -350;
    double x = 100;
    QVector<double> xs;
    for (int w : widths) {
        xs << x;
        x += w;
    }
    const int first = index * ColumnsPerPage;
    const int count = qMin(ColumnsPerPage, int(st.columns().size()) - first);
    for (int i = 0; i < 10; ++i)
        text(p, xs[i], top, QString::fromLatin1(heads[i]), Qt::AlignHCenter, widths[i]);
    for (int r = 0; r < count; ++r) {
        const ColumnStatistics &c = st.columns().at(first + r);
        const QStringList cells = {c.title(), QString::number(c.stats.n), display(c, c.mean()), display(c, c.stdev()),
                                   display(c, c.minimum()), display(c, c.maximum()), displayIndex(c.cp()),
                                   displayIndex(c.cpk()), c.judged ? QString::number(c.fails) : QString(),
                                   displayYield(c.yield())};
        for (int i = 0; i < 10; ++i)
            text(p, xs[i], top - 75 * (r + 1), cells[i], Qt::AlignHCenter, widths[i]);
    }
    const double bottom = top - 75 * (count + 1);
    for (int r = 0; r <= count + 1; ++r)
        p.drawLine(QPointF(100, top - 75 * r), QPointF(x, top - 75 * r));
    for (double vx : xs)
        p.drawLine(QPointF(vx, top), QPointF(vx, bottom));
    p.drawLine(QPointF(x, top), QPointF(x, bottom));
    text(p, 100, bottom - 40, QStringLiteral("Mean, deviation, min and max in the step's unit; Cp and Cpk from the step's limits."),
         Qt::AlignLeft, 1800);
    text(p, 100, bottom - 100, QStringLiteral("An empty cell is a figure that is not defined (no numbers, one reading, no spread, no limits)."),
         Qt::AlignLeft, 1800);
}

} // namespace

ReportPainter::Appendix appendix(const TableStatistics &statistics)
{
    ReportPainter::Appendix a;
    const int columns = int(statistics.columns().size());
    a.pages = qMax(1, (columns + ColumnsPerPage - 1) / ColumnsPerPage);
    auto snapshot = std::make_shared<TableStatistics>(statistics);
    const int pages = a.pages;
    a.paint = [snapshot, pages](QPainter &p, int index, const QPointF &origin) {
        paintPage(p, *snapshot, index, pages, origin);
    };
    return a;
}

} // namespace StatisticsOutputs
