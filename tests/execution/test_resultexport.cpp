#include "execution/ResultExport.h"

#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"

#include "../support/ProcedureSteps.h"
#include "../support/RecordingPrompter.h"
#include "../support/XlsxReader.h"

#include <QFileInfo>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString Chi = QString(QChar(0x03A7));
const QString Omicron = QString(QChar(0x039F));
const QString Blue = QStringLiteral("FF0000FF");

ProcedureStep makeStep(const QString &fItem, const QString &fStd, const QString &fUnit, const QString &sItem,
                       const QString &sStd, const QString &sUnit, const QString &freq, const QString &level)
{
    using S = ProcedureStep;
    return stepWith({{S::FItem, fItem}, {S::FStd, fStd}, {S::FLow, fStd.isEmpty() ? QString() : QStringLiteral("-5%")},
        {S::FHigh, fStd.isEmpty() ? QString() : QStringLiteral("+5%")}, {S::FUnit, fUnit}, {S::SItem, sItem},
        {S::SStd, sStd}, {S::SLow, sStd.isEmpty() ? QString() : QStringLiteral("-2")},
        {S::SHigh, sStd.isEmpty() ? QString() : QStringLiteral("+3")}, {S::SUnit, sUnit}, {S::Freq, freq},
        {S::Level, level}});
}

class ResultExportTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    ProcedureModel procedure;
    ResultTableModel results;

    // Step 1: C with Q; step 2: L alone.
    void twoSteps()
    {
        procedure.insertStep(0, makeStep("C", "100", "pF", "Q", "10", "Q", "1KHz", "1V"));
        procedure.insertStep(1, makeStep("L", "1.5", "mH", "off", "", "", "20Hz", "10mV"));
        procedure.renumber();
        results.rebuildColumns(procedure);
    }
    void addResult(const QStringList &cells, const QString &date, const QString &time)
    {
        const int row = results.appendRow(cells, ResultTableModel::Passed);
        results.setRowDateTime(row, date, time);
    }
    XlsxSheet exported()
    {
        // scripts/check-xlsx-libreoffice keeps a workbook to open elsewhere.
        const QString keep = qEnvironmentVariable("QEL_XLSX_KEEP_DIR");
        const QString path = QDir(keep.isEmpty() ? dir.path() : keep).filePath("results.xlsx");
        QString error;
        EXPECT_TRUE(ResultExport::exportToFile(procedure, results, path, &error)) << error.toStdString();
        XlsxSheet sheet = XlsxSheet::read(path);
        EXPECT_TRUE(sheet.ok) << sheet.error.toStdString();
        return sheet;
    }
};

} // namespace

TEST_F(ResultExportTest, TwoStepProcedureCellByCell)
{
    twoSteps();
    addResult({"101.2pF", "pass", "12.5Q", "pass", "1.49mH", "pass"}, "2012/3/7/", "9:5:3");
    addResult({"99pF", "pass", "9.1Q", "fail", "1.6mH", "fail"}, "2012/3/7/", "9:5:9");
    addResult({"100.4pF", "pass", "10Q", "pass", "1.5mH", "pass"}, "2012/3/8/", "10:0:0");

    const XlsxSheet sheet = exported();
    EXPECT_EQ(sheet.maxRow, 9);
    EXPECT_EQ(sheet.maxColumn, 10);
    const QString verdicts = Chi + "/" + Omicron;
    EXPECT_EQ(sheet.rowTexts(1), (QStringList{"Seq.", verdicts, "Date", "Time", "C1", "P/F", "Q1", "P/F", "L2", "P/F"}));
    EXPECT_EQ(sheet.rowTexts(2), (QStringList{"Std.", "", "", "", "100pF", "", "10Q", "", "1.5mH", ""}));
    EXPECT_EQ(sheet.rowTexts(3), (QStringList{"Low.", "", "", "", "-5%", "", "-2", "", "-5%", ""}));
    EXPECT_EQ(sheet.rowTexts(4), (QStringList{"High.", "", "", "", "+5%", "", "+3", "", "+5%", ""}));
    EXPECT_EQ(sheet.rowTexts(5), (QStringList{"Freq.", "", "", "", "1KHz", "", "1KHz", "", "20Hz", ""}));
    EXPECT_EQ(sheet.rowTexts(6), (QStringList{"Level.", "", "", "", "1V", "", "1V", "", "10mV", ""}));
    EXPECT_EQ(sheet.rowTexts(7),
              (QStringList{"1", Omicron, "2012/3/7/", "9:5:3", "101.2pF", "pass", "12.5Q", "pass", "1.49mH", "pass"}));
    EXPECT_EQ(sheet.rowTexts(8),
              (QStringList{"2", Chi, "2012/3/7/", "9:5:9", "99pF", "pass", "9.1Q", "fail", "1.6mH", "fail"}));
    EXPECT_EQ(sheet.rowTexts(9),
              (QStringList{"3", Omicron, "2012/3/8/", "10:0:0", "100.4pF", "pass", "10Q", "pass", "1.5mH", "pass"}));
    for (int r = 1; r <= 9; ++r)
        for (int c = 1; c <= 10; ++c)
            if (!sheet.text(r, c).isEmpty())
                EXPECT_EQ(sheet.cell(r, c).type, "s") << r << "," << c;
}

TEST_F(ResultExportTest, OnlyAnExactFailAnywhereMarksTheRowFailed)
{
    twoSteps();
    addResult({"99pF", "pass", "9.1Q", "fail", "1.5mH", "pass"}, "d", "t"); // only the second item
    addResult({"1mH", "pass", "1Q", "pass", "2mH", "fail"}, "d", "t");     // only the last column
    addResult({"99pF", "", "9.1Q", "", "1.5mH", ""}, "d", "t");            // nothing judged
    addResult({"fails", "Fail", "fail ", "passed", "x", "pass"}, "d", "t");
    addResult({"fail", "", "", "", "", ""}, "d", "t"); // a reading cell reading "fail" counts too

    const XlsxSheet sheet = exported();
    EXPECT_EQ(sheet.text(7, 2), Chi);
    EXPECT_EQ(sheet.text(8, 2), Chi);
    EXPECT_EQ(sheet.text(9, 2), Omicron);
    EXPECT_EQ(sheet.text(10, 2), Omicron);
    EXPECT_EQ(sheet.text(11, 2), Chi);
}

TEST_F(ResultExportTest, ColumnBCentredRowsOneToSixBoldOnlyRowOneBlue)
{
    twoSteps();
    addResult({"101.2pF", "pass", "12.5Q", "pass", "1.49mH", "pass"}, "d", "t");
    addResult({"99pF", "fail", "9.1Q", "pass", "1.6mH", "pass"}, "d", "t");

    const XlsxSheet sheet = exported();
    for (int r = 1; r <= 8; ++r) {
        const bool bold = r <= 6;
        const bool blue = r == 1;
        EXPECT_EQ(sheet.rowStyle(r).bold, bold) << r;
        EXPECT_EQ(sheet.rowStyle(r).colour == Blue, blue) << r;
        for (int c = 1; c <= 10; ++c) {
            if (!sheet.has(r, c))
                continue;
            const XlsxSheet::Cell cell = sheet.cell(r, c);
            EXPECT_EQ(cell.bold, bold) << r << "," << c;
            EXPECT_EQ(cell.colour == Blue, blue) << r << "," << c;
            EXPECT_EQ(cell.align, c == 2 ? "center" : "") << r << "," << c;
        }
        EXPECT_TRUE(sheet.has(r, 2)) << "column B is written in every row: " << r;
    }
    EXPECT_EQ(sheet.columnStyle(2).align, "center");
    EXPECT_FALSE(sheet.columnStyle(1).set);
    EXPECT_FALSE(sheet.columnStyle(3).set);
}

TEST_F(ResultExportTest, EmptyResultTableGivesTheSixHeadRowsOnly)
{
    twoSteps();
    const XlsxSheet sheet = exported();
    EXPECT_EQ(sheet.maxRow, 6);
    EXPECT_EQ(sheet.text(1, 9), "L2");
    EXPECT_EQ(sheet.text(6, 1), "Level.");
}

TEST_F(ResultExportTest, RowsFollowTheProcedureNotTheStoredCells)
{
    twoSteps();
    addResult({"101.2pF", "pass"}, "d", "t");                                         // short row
    addResult({"1", "pass", "2", "pass", "3", "pass", "4", "fail"}, "d", "t");        // longer than the procedure
    results.setReportDates({"2012/1/1/"}); // the second row has no date or time
    results.setReportTimes({"1:2:3"});

    const XlsxSheet sheet = exported();
    EXPECT_EQ(sheet.maxRow, 8);
    EXPECT_EQ(sheet.rowTexts(7), (QStringList{"1", Omicron, "2012/1/1/", "1:2:3", "101.2pF", "pass", "", "", "", ""}));
    // Only the procedure's six columns are written, and judged.
    EXPECT_EQ(sheet.rowTexts(8, 11), (QStringList{"2", Omicron, "", "", "1", "pass", "2", "pass", "3", "pass", ""}));
}

TEST_F(ResultExportTest, WithoutStepsEveryRowHasFourCellsAndPasses)
{
    results.appendRow({"1pF", "fail"}, ResultTableModel::Failed);
    results.setRowDateTime(0, "d", "t");
    const XlsxSheet sheet = exported();
    EXPECT_EQ(sheet.maxColumn, 4);
    EXPECT_EQ(sheet.rowTexts(1), (QStringList{"Seq.", Chi + "/" + Omicron, "Date", "Time"}));
    EXPECT_EQ(sheet.rowTexts(2), (QStringList{"Std.", "", "", ""}));
    EXPECT_EQ(sheet.rowTexts(7), (QStringList{"1", Omicron, "d", "t"}));
}

TEST_F(ResultExportTest, TheCommandWritesANewWorkbookAndOpensIt)
{
    twoSteps();
    addResult({"101.2pF", "pass", "12.5Q", "pass", "1.49mH", "fail"}, "d", "t");
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(dir.path()));

    RecordingPrompter prompter;
    QString opened;
    const QString path = ResultExport::exportAndOpen(procedure, results, prompter, [&](const QString &p) {
        opened = p;
        return true;
    });
    if (oldTmp.isEmpty())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", oldTmp);

    EXPECT_TRUE(prompter.said.isEmpty());
    EXPECT_EQ(opened, path);
    EXPECT_TRUE(QFileInfo(path).fileName().startsWith("qel-results-")) << path.toStdString();
    const XlsxSheet sheet = XlsxSheet::read(path);
    ASSERT_TRUE(sheet.ok) << sheet.error.toStdString();
    EXPECT_EQ(sheet.text(7, 2), Chi);
}
