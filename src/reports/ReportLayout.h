#pragma once

#include <QString>
#include <QVector>

#include <functional>

class ProcedureModel;
class ResultTableModel;

// The test report laid out into page texts: a snapshot taken when printing or
// preview starts, so rows added to the result table afterwards leave the pages
// alone. Pages run by row block first (18 rows each), then by groups of five
// printed items; every block starts on a new page.
//
// Every text is made of lines each ending in a line feed. An item column holds
// six heading lines (item and step, standard and unit, low, high, frequency,
// level) and then one line per result row of the block.
class ReportLayout
{
public:
    static constexpr int RowsPerBlock = 18;
    static constexpr int ItemsPerPage = 5;
    static constexpr int HeadingLines = 6;

    static const QString &failMark(); // Chi
    static const QString &passMark(); // Omicron
    static const QString &verdictHeading();

    // The report of no steps and no rows: one empty page.
    ReportLayout();
    // keepGoing is told the row blocks laid out and their number now and
    // then; false stops the lay-out, leaving an incomplete one to drop.
    static ReportLayout prepare(const ProcedureModel &procedure, const ResultTableModel &results,
                                const std::function<bool(int done, int total)> &keepGoing = {});

    // B: 1 for 0 to 18 rows, then one more per started 18 rows.
    static int blockCountFor(int resultRows);
    // P: started groups of five items, at least 1.
    static int pagesPerBlockFor(int items);

    int itemCount() const { return m_items; }
    int resultRows() const { return m_rows; }
    int blockCount() const { return m_blocks; }
    int pagesPerBlock() const { return m_pagesPerBlock; }
    int pageCount() const { return int(m_rowNumbers.size()); }

    // page is 0-based here; out of range gives an empty text.
    QString itemColumn(int page, int column) const;
    QString rowNumbers(int page) const;
    QString verdicts(int page) const;

    // The lines of a text without their line feeds.
    static QStringList lines(const QString &text);

private:
    int m_items = 0;
    int m_rows = 0;
    int m_blocks = 1;
    int m_pagesPerBlock = 1;
    QVector<QString> m_columns[ItemsPerPage];
    QVector<QString> m_rowNumbers;
    QVector<QString> m_verdicts;
};
