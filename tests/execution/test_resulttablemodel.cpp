// The result table model: columns that follow the procedure, rows kept
// packed and given back exactly as they were stored, dates and times beside
// the rows, and the notices a view relies on.

#include "../support/ProcedureSteps.h"

#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

using S = ProcedureStep;

TEST(ResultTableColumns, FollowTheProcedureSteps)
{
    ProcedureModel procedure;
    ResultTableModel results;
    EXPECT_EQ(results.columnTitles(), QStringList({"Seq."}));
    EXPECT_EQ(results.columnCount(), 1);

    procedure.insertStep(0, stepWith());
    procedure.insertStep(1, stepWith({{S::SItem, "Q"}}));
    procedure.insertStep(2, stepWith({{S::FItem, "Rdc"}}));
    procedure.insertStep(3, stepWith({{S::FItem, "Z"}, {S::SItem, "Angle"}}));
    results.rebuildColumns(procedure);
    EXPECT_EQ(results.columnTitles(), QStringList({"Seq.", "C1", "P/F", "C2", "P/F", "Q2", "P/F", "Rdc3", "P/F", "Z4",
                                          "P/F", "Angle4", "P/F"}));
    EXPECT_EQ(results.columnCount(), 1 + 2 * (4 + 2));
    EXPECT_EQ(results.headerData(5, Qt::Horizontal).toString(), "Q2");
    EXPECT_FALSE(results.headerData(13, Qt::Horizontal).isValid());

    results.removeStepColumns();
    EXPECT_EQ(results.columnTitles(), QStringList({"Seq."}));
}

TEST(ResultTableColumns, ChangingColumnsKeepsTheRows)
{
    ResultTableModel results;
    results.setStepColumns({"C1", "P/F"});
    results.appendRow({"1pF", "pass"}, ResultTableModel::Passed);
    int resets = 0;
    QObject::connect(&results, &QAbstractItemModel::modelReset, [&] { ++resets; });
    results.setStepColumns({"C1", "P/F", "Q1", "P/F"});
    results.setStepColumns({"C1", "P/F", "Q1", "P/F"}); // same titles: no notice
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(results.resultCount(), 1);
    EXPECT_EQ(results.cell(0, 2), "pass");
    EXPECT_EQ(results.cell(0, 3), "");
}

TEST(ResultTableRows, CellsComeBackExactlyAsStored)
{
    ResultTableModel m;
    m.setStepColumns({"C1", "P/F", "Q1", "P/F", "Angle2", "P/F"});
    const QStringList cells = {"120pF", "pass", "", "fail", QString::fromUtf8("-12.5\u00B0"), "passed"};
    EXPECT_EQ(m.appendRow(cells, ResultTableModel::Failed), 0);
    EXPECT_EQ(m.cells(0), cells);
    EXPECT_EQ(m.joinedRow(0), cells.join('\n') + '\n');
    for (int c = 0; c < cells.size(); ++c)
        EXPECT_EQ(m.cell(0, c + 1), cells.at(c)) << c;
    EXPECT_EQ(m.cell(0, 0), "1");
    EXPECT_EQ(m.cell(0, 7), "");
    EXPECT_EQ(m.cell(0, -1), "");
    EXPECT_EQ(m.cell(1, 1), "");
    EXPECT_EQ(m.joinedRow(-1), "");
    EXPECT_TRUE(m.cells(5).isEmpty());
    EXPECT_EQ(m.image(0), ResultTableModel::Failed);
    EXPECT_EQ(m.data(m.index(0, 1)).toString(), "120pF");
    EXPECT_EQ(m.data(m.index(0, 0), ResultTableModel::ImageRole).toInt(), ResultTableModel::Failed);
}

TEST(ResultTableRows, AwkwardTextsSurvivePacking)
{
    // Texts that look like the packing's own marks, or are not plain ASCII.
    const QString controls = QString(QChar(1)) + QChar(2) + QChar(3) + "x" + QChar(3) + QChar(1);
    const QString wide = QString::fromUtf8("\u03A7\u039F \xF0\x9F\x98\x80 \u00B0");
    const QStringList joinedRows = {
        "pass\nfail\n",
        "pass",               // unterminated: a plain cell, not a verdict
        "a\npass\nb",         // the last cell has no line feed
        "xpass\npasss\nPASS\n",
        controls + "\n" + QChar(1) + "\n",
        wide + "\n",
        "",
        "\n\n",
        "a\n\n",
    };
    ResultTableModel m;
    for (const QString &j : joinedRows)
        m.appendJoinedRow(j, ResultTableModel::Neutral);
    for (int r = 0; r < joinedRows.size(); ++r)
        EXPECT_EQ(m.joinedRow(r), joinedRows.at(r)) << r;

    EXPECT_EQ(m.cells(0), QStringList({"pass", "fail"}));
    EXPECT_EQ(m.cells(1), QStringList({"pass"}));
    EXPECT_EQ(m.cells(2), QStringList({"a", "pass", "b"}));
    EXPECT_EQ(m.cell(2, 3), "b");
    EXPECT_EQ(m.cells(4), QStringList({controls, QString(QChar(1))}));
    EXPECT_EQ(m.cell(4, 2), QString(QChar(1)));
    EXPECT_EQ(m.cells(5), QStringList({wide}));
    EXPECT_TRUE(m.cells(6).isEmpty());
    EXPECT_EQ(m.cells(7), QStringList({"", ""}));
    EXPECT_EQ(m.cells(8), QStringList({"a", ""}));

    // A lone surrogate is written as Qt's own
    // UTF-8 conversion does.
    const QString lone = QString(QChar(0xD800)) + "z";
    m.appendRow({lone}, ResultTableModel::Neutral);
    EXPECT_EQ(m.cell(m.resultCount() - 1, 1), QString::fromUtf8(lone.toUtf8()));
}

TEST(ResultTableRows, ManyRowsAcrossChunksStayIntact)
{
    // Rows of growing length, some longer than a chunk, cross many chunk ends.
    ResultTableModel m;
    QStringList expected;
    for (int r = 0; r < 3000; ++r) {
        const QString reading = QString::number(r) + QString(r % 97, QChar('0' + r % 10)) + "pF";
        QStringList cells = {reading, r % 2 ? "pass" : "fail"};
        if (r % 1000 == 999)
            cells << QString(1 << 21, QChar('L')); // 2 MiB cell
        m.appendRow(cells, r % 3);
        expected << cells.join('\n') + '\n';
    }
    ASSERT_EQ(m.resultCount(), 3000);
    for (int r = 0; r < 3000; ++r) {
        ASSERT_EQ(m.joinedRow(r), expected.at(r)) << r;
        ASSERT_EQ(m.image(r), r % 3);
    }
    EXPECT_EQ(m.cell(1999, 3).size(), 1 << 21);
}

TEST(ResultTableRows, RemoveAllEmptiesRowsButKeepsColumnsAndDates)
{
    ResultTableModel m;
    m.setStepColumns({"C1", "P/F"});
    m.appendRow({"1pF", "pass"}, ResultTableModel::Passed);
    m.setRowDateTime(0, "2012/3/7/", "9:5:3");
    m.appendRow({"2pF", "fail"}, ResultTableModel::Failed);
    m.setRowDateTime(1, "2012/3/7/", "9:5:4");
    m.removeAllRows();
    EXPECT_EQ(m.resultCount(), 0);
    EXPECT_EQ(m.rowCount(), 0);
    EXPECT_EQ(m.columnTitles(), QStringList({"Seq.", "C1", "P/F"}));
    EXPECT_EQ(m.reportTimes(), QStringList({"9:5:3", "9:5:4"}));

    // Numbering starts again from 1, and the first new row cuts the lists back.
    m.appendRow({"3pF", "pass"}, ResultTableModel::Passed);
    m.setRowDateTime(0, "2013/1/1/", "0:0:0");
    EXPECT_EQ(m.cell(0, 0), "1");
    EXPECT_EQ(m.cell(0, 1), "3pF");
    EXPECT_EQ(m.reportDates(), QStringList({"2013/1/1/"}));
    m.setRowDateTime(-1, "x", "y");
    EXPECT_EQ(m.reportDates().size(), 1);
}

TEST(ResultTableRows, JudgedReadingsStayBesideTheirRowsAndTheirCopies)
{
    ResultTableModel m;
    m.appendRow({"1pF", "pass"}, ResultTableModel::Passed); // known by its text only
    // Enough judged rows to fill more than one chunk of values.
    for (int r = 1; r <= 40000; ++r)
        m.appendRow({"x", "pass", "y", ""}, ResultTableModel::Passed, {r * 1e-12 + 1e-19, -r * 0.5});
    EXPECT_EQ(m.values(0).count, 0);
    EXPECT_EQ(m.values(40001).count, 0); // past the end
    ASSERT_EQ(m.values(40000).count, 2);
    EXPECT_EQ(m.values(40000).data[0], 40000 * 1e-12 + 1e-19);
    EXPECT_EQ(m.values(40000).data[1], -20000.0);

    // A snapshot reads the values as they were while the table goes on.
    const std::unique_ptr<ResultTableModel> copy = m.snapshot();
    m.appendRow({"z", ""}, ResultTableModel::Failed, {7.0});
    EXPECT_EQ(copy->values(40001).count, 0);
    EXPECT_EQ(m.values(40001).data[0], 7.0);
    for (int r : {1, 20000, 40000})
        EXPECT_EQ(copy->values(r).data[1], -r * 0.5) << r;

    // Rows taken over bring their values; removed rows take theirs away.
    ResultTableModel other;
    other.adoptRows(m);
    EXPECT_EQ(m.values(1).count, 0);
    EXPECT_EQ(other.values(40001).data[0], 7.0);
    other.removeAllRows();
    other.appendRow({"1pF", "pass"}, ResultTableModel::Passed);
    other.appendRow({"2pF", "pass"}, ResultTableModel::Passed);
    EXPECT_EQ(other.values(1).count, 0);
    EXPECT_EQ(copy->values(2).data[0], 2e-12 + 1e-19);
}

TEST(ResultTableRows, ViewsAreToldOfEveryChange)
{
    ResultTableModel m;
    m.setStepColumns({"C1", "P/F"});
    QList<int> inserted;
    int removed = 0;
    QList<int> changed;
    QObject::connect(&m, &QAbstractItemModel::rowsInserted, [&](const QModelIndex &, int first, int last) {
        EXPECT_EQ(first, last);
        inserted << first;
        // The row is readable when the notice arrives.
        EXPECT_EQ(m.rowCount(), first + 1);
    });
    QObject::connect(&m, &QAbstractItemModel::rowsRemoved, [&] { ++removed; });
    QObject::connect(&m, &QAbstractItemModel::dataChanged, [&](const QModelIndex &a, const QModelIndex &) {
        changed << a.row();
    });
    m.appendRow({"1pF", "pass"}, 0);
    m.appendJoinedRow("2pF\nfail\n", 0);
    EXPECT_EQ(inserted, QList<int>({0, 1}));
    m.setImage(1, ResultTableModel::Failed);
    m.setImage(7, ResultTableModel::Failed);
    EXPECT_EQ(changed, QList<int>({1}));
    EXPECT_EQ(m.image(1), ResultTableModel::Failed);
    m.removeAllRows();
    m.removeAllRows();
    EXPECT_EQ(removed, 1);
}

TEST(ResultTableRows, RowIconsFollowTheImages)
{
    ResultTableModel m;
    m.appendRow({"1pF", "pass"}, ResultTableModel::Passed);
    EXPECT_FALSE(m.data(m.index(0, 0), Qt::DecorationRole).isValid());
    QPixmap red(16, 16), green(16, 16), white(16, 16);
    red.fill(Qt::red);
    green.fill(Qt::green);
    white.fill(Qt::white);
    m.setRowIcons({QIcon(white), QIcon(red), QIcon(green)});
    const QIcon icon = m.data(m.index(0, 0), Qt::DecorationRole).value<QIcon>();
    EXPECT_EQ(icon.pixmap(16, 16).toImage().pixelColor(4, 4), QColor(Qt::green));
    EXPECT_FALSE(m.data(m.index(0, 1), Qt::DecorationRole).isValid());
}
