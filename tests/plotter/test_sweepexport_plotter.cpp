// The sweep export read from a Plotter View driven as the operator would:
// Draw, readings recorded, Stop / Reset.
#include "plotter/SweepExport.h"

#include "plotter/PlotterCommands.h"
#include "plotter/PlotterState.h"
#include "plotter/SweepCollector.h"

#include "../support/RecordingPrompter.h"
#include "../support/SweepRig.h"
#include "../support/XlsxReader.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class SweepExportPlotterTest : public ::testing::Test, protected PlotterBench
{
protected:
    QTemporaryDir dir;

    void SetUp() override { state.editText(PlotterState::Points, "3"); }

    XlsxSheet exported(const QString &name = QStringLiteral("sweep.xlsx"))
    {
        // scripts/check-xlsx-libreoffice keeps a workbook to open elsewhere.
        const QString keep = qEnvironmentVariable("QEL_XLSX_KEEP_DIR");
        const QString path = QDir(keep.isEmpty() ? dir.path() : keep).filePath(name);
        QString error;
        EXPECT_TRUE(SweepExport::exportToFile(state, path, &error)) << error.toStdString();
        XlsxSheet sheet = XlsxSheet::read(path);
        EXPECT_TRUE(sheet.ok) << sheet.error.toStdString();
        return sheet;
    }
};

} // namespace

TEST_F(SweepExportPlotterTest, TwoDrawsOfOneItemThenStopReset)
{
    sweep({"123.45E-12", "1.2E-09", "100E-12"});
    sweep({"150E-12", "1.5E-09", "99E-12"});
    ASSERT_EQ(state.table().lineTitles(), (QStringList{"C1", "C2"}));

    XlsxSheet sheet = exported();
    EXPECT_EQ(sheet.maxRow, 9);
    EXPECT_EQ(sheet.rowTexts(1, 6), (QStringList{"Seq.", "Freq.", "C1", "C2", "", ""}));
    EXPECT_EQ(sheet.rowTexts(2, 6), (QStringList{"Start", "", "20Hz", "20Hz", "", ""}));
    EXPECT_EQ(sheet.rowTexts(3, 6), (QStringList{"End", "", "100Hz", "100Hz", "", ""}));
    EXPECT_EQ(sheet.rowTexts(4, 6), (QStringList{"Points", "", "3", "3", "", ""}));
    EXPECT_EQ(sheet.rowTexts(5, 6), (QStringList{"Level", "", "10mV", "10mV", "", ""}));
    EXPECT_EQ(sheet.rowTexts(6, 6), (QStringList{"Unit", "Hz", "F", "F", "", ""}));
    EXPECT_EQ(sheet.rowTexts(7, 4), (QStringList{"1", "20.000000", "1.234500E-010", "1.500000E-010"}));
    EXPECT_EQ(sheet.rowTexts(8, 4), (QStringList{"2", "60.000000", "1.200000E-009", "1.500000E-009"}));
    EXPECT_EQ(sheet.rowTexts(9, 4), (QStringList{"3", "100.000000", "1.000000E-010", "9.900000E-011"}));

    commands.stopReset();
    sheet = exported("reset.xlsx");
    EXPECT_EQ(sheet.maxRow, 6);
    EXPECT_EQ(sheet.rowTexts(1, 6), (QStringList{"Seq.", "Freq.", "", "", "", ""}));
    EXPECT_EQ(sheet.rowTexts(2, 6), (QStringList{"Start", "", "", "", "", ""}));
    EXPECT_EQ(sheet.rowTexts(6, 6), (QStringList{"Unit", "", "", "", "", ""}));
}

TEST_F(SweepExportPlotterTest, TwoItemsDrawnTogether)
{
    state.select(PlotterState::SecondItem, 1); // Q
    sweep({"123.45E-12", "1.2E-09", "100E-12"}, {"12.5", "13", "14"});
    const XlsxSheet sheet = exported();
    EXPECT_EQ(sheet.rowTexts(1, 6), (QStringList{"Seq.", "Freq.", "C1", "Q2", "", ""}));
    EXPECT_EQ(sheet.rowTexts(5, 6), (QStringList{"Level", "", "10mV", "10mV", "", ""}));
    EXPECT_EQ(sheet.text(6, 4), "Q");
}

TEST_F(SweepExportPlotterTest, AnRdcSweepIsAVoltageSweepWithoutFrequency)
{
    state.select(PlotterState::FirstItem, 6);
    ASSERT_EQ(state.items(PlotterState::SweepKind), QStringList{"Volt."});
    sweep({"1.5E+03", "1.6E+03", "1.7E+03"});
    const XlsxSheet sheet = exported();
    EXPECT_EQ(sheet.rowTexts(1, 3), (QStringList{"Seq.", "Volt.", "Rdc1"}));
    EXPECT_EQ(sheet.rowTexts(2, 3), (QStringList{"Start", "", "10mV"}));
    EXPECT_EQ(sheet.rowTexts(5, 3), (QStringList{"Freq.", "", ""}));
    // A voltage keeps its text in the unit row: none of the unit letters is in it.
    EXPECT_EQ(sheet.text(6, 2), "10.000000mV");
    EXPECT_EQ(sheet.text(7, 2), "1.000000E-002");
}

TEST_F(SweepExportPlotterTest, CellsOfColumnsNotShownAreLeftOut)
{
    PlotTableModel &table = state.table();
    table.insertLineColumn(2, "C1");
    const int row = table.insertRow(0, "1");
    table.setCell(row, 1, "20.000000Hz");
    table.setCell(row, 2, "1.000000pF");
    table.setCell(row, 3, "9.000000pF"); // kept by the model, not shown

    const SweepExportInput in = SweepExport::inputFrom(state);
    ASSERT_EQ(in.rows.size(), 1);
    EXPECT_EQ(in.rows[0], (QStringList{"1", "20.000000Hz", "1.000000pF", "", "", ""}));
    EXPECT_EQ(in.lineTitles, QStringList{"C1"});
}
