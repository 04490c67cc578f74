#include "plotter/PlotTableModel.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(PlotTableColumns, TitlesInsertAndRemove)
{
    PlotTableModel m;
    EXPECT_EQ(m.columnTitles(), QStringList({"Step", "Frequence"}));
    m.setSweptTitle("Voltage");
    EXPECT_EQ(m.headerData(1, Qt::Horizontal).toString(), "Voltage");
    m.insertLineColumn(2, "C1");
    m.insertLineColumn(3, "Q2");
    // Past the end goes last, as a list control does.
    m.insertLineColumn(9, "C3");
    EXPECT_EQ(m.columnTitles(), QStringList({"Step", "Voltage", "C1", "Q2", "C3"}));
    EXPECT_EQ(m.columnCount(), 5);
    m.removeLineColumns();
    EXPECT_EQ(m.columnTitles(), QStringList({"Step", "Voltage"}));
}

TEST(PlotTableRows, CellsPicturesAndJoinedRows)
{
    PlotTableModel m;
    m.insertLineColumn(2, "C1");
    m.insertLineColumn(3, "C2");
    EXPECT_EQ(m.insertRow(0, "1"), 0);
    EXPECT_EQ(m.insertRow(7, "2"), 1);
    m.setCell(0, 1, "20.000000Hz");
    m.setCell(0, 2, "1.234000nF");
    m.setCell(0, 3, "1.300000nF");
    m.setPicture(0, 1);
    EXPECT_EQ(m.data(m.index(0, 0)).toString(), "1");
    EXPECT_EQ(m.data(m.index(0, 2)).toString(), "1.234000nF");
    EXPECT_EQ(m.data(m.index(0, 0), PlotTableModel::PictureRole).toInt(), 1);
    EXPECT_EQ(m.joinedRow(0), "20.000000Hz\n1.234000nF\n1.300000nF\n\n\n");
    EXPECT_EQ(m.joinedRow(1), "\n\n\n\n\n");
    m.setCell(0, 6, "ignored");
    m.setCell(5, 1, "ignored");
    EXPECT_EQ(m.tableRowCount(), 2);
    m.removeAllRows();
    EXPECT_EQ(m.rowCount(), 0);
}

TEST(PlotTableRows, CellsOfMissingColumnsAreNotSaved)
{
    PlotTableModel m;
    m.insertLineColumn(2, "C1");
    const int r = m.appendJoinedRow("1", "20.000000Hz\n1nF\n2nF\n3nF\n4nF\n", 0);
    EXPECT_EQ(m.cell(r, 4), "3nF");
    EXPECT_EQ(m.data(m.index(r, 3)).toString(), QString()); // no such column to show it
    EXPECT_EQ(m.joinedRow(r), "20.000000Hz\n1nF\n\n\n\n");
}

TEST(PlotTableRows, JoinedRowRoundTripAndShortStrings)
{
    PlotTableModel m;
    for (int c = 2; c <= 5; ++c)
        m.insertLineColumn(c, QString("C%1").arg(c - 1));
    const QString joined = "1.000000V\n1O\n2O\n3O\n4O\n";
    const int r = m.appendJoinedRow("1", joined, 3);
    EXPECT_EQ(m.joinedRow(r), joined);
    EXPECT_EQ(m.picture(r), 3);
    const int s = m.appendJoinedRow("2", "5V", 0); // no line feeds at all
    EXPECT_EQ(m.cell(s, 1), "5V");
    EXPECT_EQ(m.cell(s, 2), QString());
}

TEST(PlotTableSignals, ViewsHearOfEveryChange)
{
    PlotTableModel m;
    int rows = 0, cols = 0, data = 0, header = 0;
    QObject::connect(&m, &QAbstractItemModel::rowsInserted, [&] { ++rows; });
    QObject::connect(&m, &QAbstractItemModel::columnsInserted, [&] { ++cols; });
    QObject::connect(&m, &QAbstractItemModel::dataChanged, [&] { ++data; });
    QObject::connect(&m, &QAbstractItemModel::headerDataChanged, [&] { ++header; });
    m.insertLineColumn(2, "C1");
    m.insertRow(0, "1");
    m.setCell(0, 2, "x");
    m.setSweptTitle("Voltage");
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(cols, 1);
    EXPECT_EQ(data, 1);
    EXPECT_EQ(header, 1);
}

// Each cell's number sits beside its text: given with it, or read once from
// a text given alone; it follows its cell when a line column moves in.
TEST(PlotTableValues, NumbersBesideTheTextsFollowTheirCells)
{
    PlotTableModel t;
    t.insertLineColumn(2, QStringLiteral("Z1"));
    t.insertLineColumn(3, QStringLiteral("Angle2"));
    t.insertRow(0, QStringLiteral("1"));
    t.setCell(0, 1, QStringLiteral("1000.000000Hz"));
    t.setCell(0, 2, QStringLiteral("0.000084KO"), 0.0836269);
    t.setCell(0, 3, QStringLiteral("-53.280800\u00b0"), -53.2808);
    EXPECT_DOUBLE_EQ(t.value(0, 1), 1000);
    EXPECT_DOUBLE_EQ(t.value(0, 2), 0.0836269);
    EXPECT_EQ(t.cell(0, 2), QStringLiteral("0.000084KO"));
    // The plot file keeps the text only.
    EXPECT_EQ(t.joinedRow(0), QStringLiteral("1000.000000Hz\n0.000084KO\n-53.280800\u00b0\n\n\n"));

    t.insertLineColumn(2, QStringLiteral("Z3"));
    EXPECT_TRUE(std::isnan(t.value(0, 2)));
    EXPECT_DOUBLE_EQ(t.value(0, 3), 0.0836269);
    EXPECT_DOUBLE_EQ(t.value(0, 4), -53.2808);

    // A row read from a file: its texts read once, "OVER" and blanks none.
    const int r = t.appendJoinedRow(QStringLiteral("2"), QStringLiteral("2.5KHz\n1.591550KO\nOVER\n\n\n"), 0);
    EXPECT_DOUBLE_EQ(t.value(r, 1), 2500);
    EXPECT_DOUBLE_EQ(t.value(r, 2), 1591.55);
    EXPECT_TRUE(std::isnan(t.value(r, 3)));
    EXPECT_TRUE(std::isnan(t.value(r, 4)));
    t.removeLineColumns();
    EXPECT_TRUE(std::isnan(t.value(0, 3)));
}
