#include "document/Document.h"
#include "document/PlotterStateAccess.h"
#include "execution/ResultTableModel.h"
#include "plotter/PlotterState.h"
#include "procedure/ProcedureModel.h"

#include "../support/RecordingPrompter.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The real plotter state behind the document: a plot file saved from one
// plotter comes back into another with its rows, columns and items.
TEST(PlotterStateAccess, PlotFileRoundTripThroughThePlotter)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    RecordingPrompter prompter;

    PlotterState source;
    ASSERT_TRUE(source.selectText(PlotterState::FirstItem, QStringLiteral("L")));
    ASSERT_TRUE(source.selectText(PlotterState::SecondItem, QStringLiteral("Q")));
    source.table().insertLineColumn(2, QStringLiteral("L1"));
    source.table().insertLineColumn(3, QStringLiteral("Q2"));
    source.table().appendJoinedRow(QStringLiteral("1"), QStringLiteral("20.000000Hz\n1.2uH\n3.4\n"), 4);
    source.table().appendJoinedRow(QStringLiteral("2"), QStringLiteral("100.000000Hz\n1.3uH\n3.9\n"), 4);
    source.setup().nextLine = 3;

    ProcedureModel procedure;
    ResultTableModel results;
    PlotterStateAccess sourceAccess(&source);
    Document doc(&procedure, &results, &prompter);
    doc.setPlotPage(&sourceAccess);
    const QString file = dir.filePath(QStringLiteral("sweep.pic"));
    ASSERT_TRUE(doc.saveDocument(file)) << doc.lastError().toStdString();

    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_EQ(bytes.left(15), QByteArray::fromHex("02000000" "03000000" "014c" "0151" "023130"));
    EXPECT_TRUE(bytes.contains(QByteArray("\x18" "20.000000Hz\n1.2uH\n3.4\n\n\n")));

    PlotterState target;
    PlotterStateAccess targetAccess(&target);
    ProcedureModel p2;
    ResultTableModel r2;
    Document other(&p2, &r2, &prompter);
    other.setPlotPage(&targetAccess);
    ASSERT_TRUE(other.openDocument(file)) << other.lastError().toStdString();
    EXPECT_EQ(target.firstItemText(), QStringLiteral("L"));
    EXPECT_EQ(target.secondItemText(), QStringLiteral("Q"));
    EXPECT_EQ(target.joinedRows(), source.joinedRows());
    EXPECT_EQ(target.table().lineTitles(), (QStringList{"L1", "Q2"}));
    EXPECT_TRUE(prompter.said.isEmpty());
}
