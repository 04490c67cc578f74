#include "reports/ReportLayout.h"

#include "ReportFixtures.h"

#include <gtest/gtest.h>

using namespace ReportFixtures;

namespace {

QStringList numbers(int from, int to)
{
    QStringList out;
    for (int i = from; i <= to; ++i)
        out << QString::number(i);
    return out;
}

} // namespace

TEST(ReportLayoutCounts, BlocksAndPagesPerBlock)
{
    // rows -> blocks
    const QList<QPair<int, int>> blocks = {{0, 1}, {1, 1}, {17, 1}, {18, 1}, {19, 2}, {36, 2}, {37, 3}, {40, 3}};
    for (const auto &c : blocks)
        EXPECT_EQ(ReportLayout::blockCountFor(c.first), c.second) << c.first << " rows";
    // items -> pages per block
    const QList<QPair<int, int>> pages = {{0, 1}, {1, 1}, {4, 1}, {5, 1}, {6, 2}, {7, 2}, {10, 2}, {11, 3}};
    for (const auto &c : pages)
        EXPECT_EQ(ReportLayout::pagesPerBlockFor(c.first), c.second) << c.first << " items";
}

TEST(ReportLayoutCounts, NothingToReportGivesOneEmptyPage)
{
    ProcedureModel procedure;
    ResultTableModel results;
    const ReportLayout layout = ReportLayout::prepare(procedure, results);
    EXPECT_EQ(layout.pageCount(), 1);
    EXPECT_EQ(layout.blockCount(), 1);
    EXPECT_EQ(layout.itemCount(), 0);
    for (int a = 0; a < ReportLayout::ItemsPerPage; ++a)
        EXPECT_TRUE(layout.itemColumn(0, a).isEmpty());
    EXPECT_TRUE(layout.rowNumbers(0).isEmpty());
    EXPECT_TRUE(layout.verdicts(0).isEmpty());
    // The default-constructed report is the same single page.
    EXPECT_EQ(ReportLayout().pageCount(), 1);
}

TEST(ReportLayoutCounts, EighteenRowsFitOneBlockNineteenNeedTwo)
{
    ProcedureModel procedure;
    fillProcedure(procedure, 2);
    ResultTableModel results;
    fillResults(results, 18, 2);
    ReportLayout layout = ReportLayout::prepare(procedure, results);
    EXPECT_EQ(layout.pageCount(), 1);
    EXPECT_EQ(ReportLayout::lines(layout.rowNumbers(0)), numbers(1, 18));

    fillResults(results, 1, 2);
    layout = ReportLayout::prepare(procedure, results);
    ASSERT_EQ(layout.pageCount(), 2);
    EXPECT_EQ(ReportLayout::lines(layout.rowNumbers(0)), numbers(1, 18));
    EXPECT_EQ(ReportLayout::lines(layout.rowNumbers(1)), QStringList{"19"});
    // The lone row of the second block sits on the first result line.
    const QStringList col = ReportLayout::lines(layout.itemColumn(1, 0));
    ASSERT_EQ(col.size(), 24);
    EXPECT_EQ(col.at(6), reading(18, 0));
    for (int i = 7; i < 24; ++i)
        EXPECT_TRUE(col.at(i).isEmpty()) << i;
}

class SevenStepsFortyRows : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Second items on steps 2, 4 and 7: items in order
        // C1 C2 D2 C3 C4 D4 C5 C6 C7 D7.
        fillProcedure(procedure, 7, {2, 4, 7});
        fillResults(results, 40, 10);
        layout = ReportLayout::prepare(procedure, results);
    }
    ProcedureModel procedure;
    ResultTableModel results;
    ReportLayout layout;
};

TEST_F(SevenStepsFortyRows, Counts)
{
    EXPECT_EQ(layout.itemCount(), 10);
    EXPECT_EQ(layout.blockCount(), 3);
    EXPECT_EQ(layout.pagesPerBlock(), 2);
    EXPECT_EQ(layout.pageCount(), 6);
}

TEST_F(SevenStepsFortyRows, PagesRunByBlockThenByItems)
{
    const QStringList headings = {"C1", "C2", "D2", "C3", "C4", "D4", "C5", "C6", "C7", "D7"};
    const int firstRow[] = {0, 0, 18, 18, 36, 36};
    for (int page = 0; page < 6; ++page) {
        for (int a = 0; a < 5; ++a) {
            const int item = (page % 2) * 5 + a;
            const QStringList col = ReportLayout::lines(layout.itemColumn(page, a));
            ASSERT_EQ(col.size(), 24) << "page " << page << " column " << a;
            EXPECT_EQ(col.at(0), headings.at(item)) << "page " << page << " column " << a;
            EXPECT_EQ(col.at(6), reading(firstRow[page], item)) << "page " << page << " column " << a;
        }
    }
}

TEST_F(SevenStepsFortyRows, LastBlockCarriesRows37To40Only)
{
    for (int page : {4, 5}) {
        EXPECT_EQ(ReportLayout::lines(layout.rowNumbers(page)), numbers(37, 40)) << page;
        EXPECT_EQ(ReportLayout::lines(layout.verdicts(page)).size(), 4) << page;
        const QStringList col = ReportLayout::lines(layout.itemColumn(page, 2));
        ASSERT_EQ(col.size(), 24);
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(col.at(6 + k), reading(36 + k, (page % 2) * 5 + 2));
        for (int k = 4; k < 18; ++k)
            EXPECT_TRUE(col.at(6 + k).isEmpty()) << "line " << 6 + k << " on page " << page;
    }
    for (int page : {0, 1, 2, 3})
        EXPECT_EQ(ReportLayout::lines(layout.rowNumbers(page)).size(), 18) << page;
    EXPECT_EQ(ReportLayout::lines(layout.rowNumbers(2)).first(), "19");
}

TEST_F(SevenStepsFortyRows, HeadingLinesOfFirstAndSecondItems)
{
    // Page 0 column 2 is step 2's second item, column 1 its first item.
    const QStringList first = ReportLayout::lines(layout.itemColumn(0, 1)).mid(0, 6);
    EXPECT_EQ(first, (QStringList{"C2", "12pF", "-2", "+2", "2KHz", "2V"}));
    const QStringList second = ReportLayout::lines(layout.itemColumn(0, 2)).mid(0, 6);
    EXPECT_EQ(second, (QStringList{"D2", "22%", "s-2", "s+2", "2KHz", "2V"}));
    // Every entry ends with a line feed.
    EXPECT_TRUE(layout.itemColumn(0, 2).endsWith('\n'));
    EXPECT_TRUE(layout.rowNumbers(0).endsWith('\n'));
    EXPECT_TRUE(layout.verdicts(0).endsWith('\n'));
}

TEST_F(SevenStepsFortyRows, LaterRowsDoNotChangeAPreparedReport)
{
    const QString before = layout.itemColumn(4, 0);
    fillResults(results, 20, 10);
    EXPECT_EQ(layout.pageCount(), 6);
    EXPECT_EQ(layout.itemColumn(4, 0), before);
    EXPECT_EQ(ReportLayout::lines(layout.rowNumbers(5)), numbers(37, 40));
    EXPECT_EQ(ReportLayout::prepare(procedure, results).pageCount(), 8);
}

TEST(ReportLayoutMarks, EachRowJudgedByItsOwnCells)
{
    ProcedureModel procedure;
    fillProcedure(procedure, 2, {2}); // items C1, C2, D2
    ResultTableModel results;
    auto row = [&](const QString &a, const QString &b, const QString &c) {
        results.appendRow({"1", a, "2", b, "3", c}, ResultTableModel::Neutral);
    };
    row("pass", "pass", "pass");
    row("pass", "pass", "fail");   // only the second item failed
    row("Fail", "pass", "pass");   // capital F does not count
    row("pass", "failed", "pass"); // neither does a longer word
    row("fail", "pass", "pass");
    row("pass", "", "");           // nothing failed
    const ReportLayout layout = ReportLayout::prepare(procedure, results);
    const QString X = ReportLayout::failMark();
    const QString O = ReportLayout::passMark();
    EXPECT_EQ(ReportLayout::lines(layout.verdicts(0)), (QStringList{O, X, O, O, X, O}));
    EXPECT_EQ(X, QString(QChar(0x03A7)));
    EXPECT_EQ(O, QString(QChar(0x039F)));
    EXPECT_EQ(ReportLayout::verdictHeading(), X + "/" + O);
}

TEST(ReportLayoutMarks, AFailAnywhereInTheRowCountsEvenBeyondThePrintedItems)
{
    // A row holding more cells than the procedure has items (procedure
    // shortened after the run) is still judged on all its cells.
    ProcedureModel procedure;
    fillProcedure(procedure, 1);
    ResultTableModel results;
    results.appendRow({"1", "pass", "2", "fail"}, ResultTableModel::Failed);
    const ReportLayout layout = ReportLayout::prepare(procedure, results);
    EXPECT_EQ(ReportLayout::lines(layout.verdicts(0)), QStringList{ReportLayout::failMark()});
    EXPECT_EQ(ReportLayout::lines(layout.itemColumn(0, 0)).at(6), "1");
}

TEST(ReportLayoutPages, SevenItemsLeaveThreeColumnsEmptyOnTheSecondPage)
{
    ProcedureModel procedure;
    fillProcedure(procedure, 7);
    ResultTableModel results;
    fillResults(results, 3, 7);
    const ReportLayout layout = ReportLayout::prepare(procedure, results);
    ASSERT_EQ(layout.pageCount(), 2);
    EXPECT_EQ(ReportLayout::lines(layout.itemColumn(1, 0)).first(), "C6");
    EXPECT_EQ(ReportLayout::lines(layout.itemColumn(1, 1)).first(), "C7");
    for (int a = 2; a < 5; ++a)
        EXPECT_TRUE(layout.itemColumn(1, a).isEmpty()) << a;
    // Both pages of the block carry the row numbers and marks.
    EXPECT_EQ(layout.rowNumbers(1), layout.rowNumbers(0));
    EXPECT_EQ(ReportLayout::lines(layout.verdicts(1)).size(), 3);
}

TEST(ReportLayoutPages, ShortRowsAndOutOfRangeRequestsGiveEmptyText)
{
    ProcedureModel procedure;
    fillProcedure(procedure, 3);
    ResultTableModel results;
    results.appendRow({"only"}, ResultTableModel::Neutral); // one cell for three items
    results.appendJoinedRow(QStringLiteral("a\npass\nb"), ResultTableModel::Neutral); // no final line feed
    const ReportLayout layout = ReportLayout::prepare(procedure, results);
    EXPECT_EQ(ReportLayout::lines(layout.itemColumn(0, 0)).mid(6, 2), (QStringList{"only", "a"}));
    EXPECT_EQ(ReportLayout::lines(layout.itemColumn(0, 1)).mid(6, 2), (QStringList{"", "b"}));
    EXPECT_EQ(ReportLayout::lines(layout.itemColumn(0, 2)).size(), 24);
    EXPECT_TRUE(layout.itemColumn(1, 0).isEmpty());
    EXPECT_TRUE(layout.itemColumn(0, 5).isEmpty());
    EXPECT_TRUE(layout.rowNumbers(-1).isEmpty());
    EXPECT_TRUE(layout.verdicts(7).isEmpty());
}

TEST(ReportLayoutPages, ResultsWithoutStepsGiveNumberedEmptyPages)
{
    ProcedureModel procedure;
    ResultTableModel results;
    fillResults(results, 20, 1);
    const ReportLayout layout = ReportLayout::prepare(procedure, results);
    EXPECT_EQ(layout.pageCount(), 2);
    // With no printed item there is no item column to carry the row numbers.
    EXPECT_TRUE(layout.rowNumbers(0).isEmpty());
    EXPECT_TRUE(layout.rowNumbers(1).isEmpty());
}
