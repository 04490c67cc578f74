#include "reports/ReportLayout.h"

#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"

#include <QStringView>

#include <algorithm>

const QString &ReportLayout::failMark()
{
    static const QString m(QChar(0x03A7));
    return m;
}

const QString &ReportLayout::passMark()
{
    static const QString m(QChar(0x039F));
    return m;
}

const QString &ReportLayout::verdictHeading()
{
    static const QString h = failMark() + QLatin1Char('/') + passMark();
    return h;
}

ReportLayout::ReportLayout()
{
    for (auto &c : m_columns)
        c.resize(1);
    m_rowNumbers.resize(1);
    m_verdicts.resize(1);
}

int ReportLayout::blockCountFor(int resultRows)
{
    if (resultRows <= 0)
        return 1;
    return (resultRows + RowsPerBlock - 1) / RowsPerBlock;
}

int ReportLayout::pagesPerBlockFor(int items)
{
    if (items <= 0)
        return 1;
    return (items + ItemsPerPage - 1) / ItemsPerPage;
}

namespace {

struct BlockRow
{
    QString joined; // keeps the views below alive
    QVector<QStringView> cells;
};

void splitRow(BlockRow &row)
{
    row.cells.clear();
    const QStringView all(row.joined);
    qsizetype start = 0;
    for (;;) {
        const qsizetype lf = all.indexOf(QLatin1Char('\n'), start);
        if (lf < 0) {
            // A row written without its final line feed still has its last cell.
            if (start < all.size())
                row.cells.append(all.mid(start));
            break;
        }
        row.cells.append(all.mid(start, lf - start));
        start = lf + 1;
    }
}

void addLine(QString &text, QStringView line)
{
    text += line;
    text += QLatin1Char('\n');
}

} // namespace

ReportLayout ReportLayout::prepare(const ProcedureModel &procedure, const ResultTableModel &results,
                                   const std::function<bool(int done, int total)> &keepGoing)
{
    ReportLayout layout;
    const int steps = procedure.stepCount();
    layout.m_items = steps + procedure.secondItemCount();
    layout.m_rows = results.resultCount();
    layout.m_blocks = blockCountFor(layout.m_rows);
    layout.m_pagesPerBlock = pagesPerBlockFor(layout.m_items);
    const int pages = layout.m_blocks * layout.m_pagesPerBlock;
    for (auto &c : layout.m_columns) {
        c.clear();
        c.resize(pages);
    }
    layout.m_rowNumbers.clear();
    layout.m_rowNumbers.resize(pages);
    layout.m_verdicts.clear();
    layout.m_verdicts.resize(pages);

    static const QLatin1String fail("fail");
    BlockRow rows[RowsPerBlock];
    int v = 0;
    for (int b = 0; b < layout.m_blocks; ++b) {
        if (keepGoing && b % 256 == 0 && !keepGoing(b, layout.m_blocks))
            break;
        const int first = b * RowsPerBlock;
        const int present = std::clamp(layout.m_rows - first, 0, int(RowsPerBlock));

        // Row numbers and marks are the same on every page of the block.
        QString numbers;
        QString marks;
        for (int k = 0; k < present; ++k) {
            rows[k].joined = results.joinedRow(first + k);
            splitRow(rows[k]);
            addLine(numbers, QString::number(first + k + 1));
            const bool failed = std::any_of(rows[k].cells.cbegin(), rows[k].cells.cend(),
                                            [](QStringView c) { return c == fail; });
            addLine(marks, failed ? failMark() : passMark());
        }

        int u = 1;
        for (int j = 0; j < steps; ++j) {
            const ProcedureStep &step = procedure.step(j);
            const bool second = step.hasSecondItem();
            for (int item = 0; item < (second ? 2 : 1); ++item) {
                const int a = v % ItemsPerPage;
                const int page = v / ItemsPerPage;
                const int base = item == 0 ? ProcedureStep::FItem : ProcedureStep::SItem;
                // FItem..FUnit and SItem..SUnit share one order: item, std, low, high, unit.
                const QString &itemText = step[base];
                const QString &stdText = step[base + 1];
                const QString &lowText = step[base + 2];
                const QString &highText = step[base + 3];
                const QString &unitText = step[base + 4];

                QString text;
                text.reserve(160);
                addLine(text, QString(itemText + step[ProcedureStep::Step]));
                addLine(text, QString(stdText + unitText));
                addLine(text, lowText);
                addLine(text, highText);
                addLine(text, step[ProcedureStep::Freq]);
                addLine(text, step[ProcedureStep::Level]);
                for (int k = 0; k < RowsPerBlock; ++k) {
                    const int index = u - 1;
                    if (k < present && index < rows[k].cells.size())
                        addLine(text, rows[k].cells.at(index));
                    else
                        text += QLatin1Char('\n');
                }
                layout.m_columns[a][page] = text;
                if (a == 0) {
                    layout.m_rowNumbers[page] = numbers;
                    layout.m_verdicts[page] = marks;
                }
                u += 2;
                ++v;
            }
        }
        v = (v + ItemsPerPage - 1) / ItemsPerPage * ItemsPerPage;
    }
    return layout;
}

QString ReportLayout::itemColumn(int page, int column) const
{
    if (column < 0 || column >= ItemsPerPage || page < 0 || page >= pageCount())
        return {};
    return m_columns[column].at(page);
}

QString ReportLayout::rowNumbers(int page) const
{
    return page >= 0 && page < pageCount() ? m_rowNumbers.at(page) : QString();
}

QString ReportLayout::verdicts(int page) const
{
    return page >= 0 && page < pageCount() ? m_verdicts.at(page) : QString();
}

QStringList ReportLayout::lines(const QString &text)
{
    QStringList out = text.split(QLatin1Char('\n'));
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    return out;
}
