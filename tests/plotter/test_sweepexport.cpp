#include "plotter/SweepExport.h"

#include "../support/RecordingPrompter.h"
#include "../support/XlsxReader.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString Blue = QStringLiteral("FF0000FF");
const QString Degree = QString(QChar(0x00B0));

// A frequency sweep of C from 20 to 100 Hz at 10 mV, three points shown.
SweepExportInput frequencySweep(const QStringList &lineTitles)
{
    SweepExportInput in;
    in.sweepKind = "Freq.";
    in.firstItem = "C";
    in.start = "20";
    in.end = "100";
    in.points = "3";
    in.sweepUnit = "Hz";
    in.fixedFrequency = "20";
    in.fixedFrequencyUnit = "Hz";
    in.fixedLevel = "10";
    in.fixedLevelUnit = "mV";
    in.lineTitles = lineTitles;
    return in;
}

class SweepExportTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;

    XlsxSheet exported(const SweepExportInput &in)
    {
        const QString path = dir.filePath("sweep.xlsx");
        QString error;
        EXPECT_TRUE(SweepExport::exportToFile(in, path, &error)) << error.toStdString();
        XlsxSheet sheet = XlsxSheet::read(path);
        EXPECT_TRUE(sheet.ok) << sheet.error.toStdString();
        return sheet;
    }
};

} // namespace

TEST(SweepExportCells, ValuesBecomePlainNumbersInBaseUnits)
{
    const QList<QPair<QString, QString>> cases{
        {"1.500000KHz", "1.500000E+003"},
        {"123.450000pF", "1.234500E-010"},
        {"100.000000mV", "1.000000E-001"},
        {"2.5mS", "2.500000E-003"},
        {"20.000000Hz", "20.000000"},
        {"1.000000MHz", "1.000000E+006"},
        {"3.3MO", "3.300000E+006"},   // the unit goes first, so M is a prefix
        {"12.5mO", "1.250000E-002"},
        {"2.2uF", "2.200000E-006"},
        {"4.7nH", "4.700000E-009"},
        {"-1.5mS", "-1.500000E-003"},
        {"0pF", "0.000000E+000"},
        {"1.5KHzK", "1.500000E+003"}, // everything from the unit on is dropped
        {"45.000000" + Degree, "45.000000"},
        {"12.500000Q", "12.500000"},
        {"0.001234D", "0.001234"},
        {"1.000000V", "1.000000V"},
        {"7", "7"}, // a Step number
        {"", ""},
        {"1.5E-3", "1.5E-3"}, // no unit, no prefix: kept as it is
    };
    for (const auto &c : cases)
        EXPECT_EQ(SweepExport::plainNumber(c.first), c.second) << c.first.toStdString();
}

TEST(SweepExportCells, UnitsAreCutFromTheFirstUnitLetter)
{
    const QList<QPair<QString, QString>> cases{
        {"20.000000Hz", "Hz"},  {"1.500000KHz", "Hz"}, {"123.450000pF", "F"},
        {"10.000000mV", "10.000000mV"},   {"3.3MO", "O"},        {"45.0" + Degree, Degree},
        {"12.5Q", "Q"},         {"1", "1"},            {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SweepExport::unitOf(c.first), c.second) << c.first.toStdString();
}

TEST_F(SweepExportTest, RowsOneToFiveBoldRowOneBlueNothingCentred)
{
    SweepExportInput in = frequencySweep({"C1", "C2", "C3", "C4"});
    in.rows = {{"1", "20.000000Hz", "1pF", "2pF", "3pF", "4pF"}, {"2", "100.000000Hz", "1pF", "2pF", "3pF", "4pF"}};
    const XlsxSheet sheet = exported(in);
    EXPECT_EQ(sheet.rowTexts(1, 6), (QStringList{"Seq.", "Freq.", "C1", "C2", "C3", "C4"}));
    EXPECT_EQ(sheet.rowTexts(4, 6), (QStringList{"Points", "", "3", "3", "3", "3"}));
    for (int r = 1; r <= 8; ++r) {
        EXPECT_EQ(sheet.rowStyle(r).bold, r <= 5) << r;
        EXPECT_EQ(sheet.rowStyle(r).colour == Blue, r == 1) << r;
        for (int c = 1; c <= 6; ++c) {
            if (!sheet.has(r, c))
                continue;
            EXPECT_EQ(sheet.cell(r, c).bold, r <= 5) << r << "," << c;
            EXPECT_EQ(sheet.cell(r, c).colour == Blue, r == 1) << r << "," << c;
            EXPECT_EQ(sheet.cell(r, c).align, "") << r << "," << c;
        }
    }
    EXPECT_TRUE(sheet.columns.isEmpty());
}

TEST_F(SweepExportTest, EmptyResultListGivesSixRowsWithAnEmptyUnitRow)
{
    const XlsxSheet sheet = exported(frequencySweep({"C1"}));
    EXPECT_EQ(sheet.maxRow, 6);
    EXPECT_EQ(sheet.rowTexts(6, 6), (QStringList{"Unit", "", "", "", "", ""}));
    EXPECT_EQ(sheet.rowTexts(5, 4), (QStringList{"Level", "", "10mV", ""}));
}

TEST_F(SweepExportTest, AfterStopResetNoLineIsTitledOrFilled)
{
    // Stop / Reset removed the line columns and the rows.
    const XlsxSheet sheet = exported(frequencySweep({}));
    EXPECT_EQ(sheet.maxRow, 6);
    EXPECT_EQ(sheet.rowTexts(1, 6), (QStringList{"Seq.", "Freq.", "", "", "", ""}));
    for (int r = 2; r <= 6; ++r)
        EXPECT_EQ(sheet.rowTexts(r, 6).mid(2), (QStringList{"", "", "", ""})) << r;
    EXPECT_EQ(sheet.text(5, 1), "Level");
}

TEST_F(SweepExportTest, VoltageSweepsNameTheFixedFrequencyAndRdcHasNone)
{
    SweepExportInput volt = frequencySweep({"C1"});
    volt.sweepKind = "Volt.";
    volt.start = "10";
    volt.end = "1000";
    volt.sweepUnit = "mV";
    volt.fixedFrequency = "1";
    volt.fixedFrequencyUnit = "KHz";
    volt.rows = {{"1", "10.000000mV", "1pF", "", "", ""}, {"2", "1.000000V", "1pF", "", "", ""}};
    XlsxSheet sheet = exported(volt);
    EXPECT_EQ(sheet.rowTexts(1, 3), (QStringList{"Seq.", "Volt.", "C1"}));
    EXPECT_EQ(sheet.rowTexts(2, 3), (QStringList{"Start", "", "10mV"}));
    EXPECT_EQ(sheet.rowTexts(5, 3), (QStringList{"Freq.", "", "1KHz"}));
    EXPECT_EQ(sheet.rowTexts(6, 2), (QStringList{"Unit", "10.000000mV"}));
    EXPECT_EQ(sheet.rowTexts(7, 2), (QStringList{"1", "1.000000E-002"}));
    EXPECT_EQ(sheet.rowTexts(8, 2), (QStringList{"2", "1.000000V"}));

    // An "Rdc" sweep steps the voltage whatever the list says, and has no
    // test frequency.
    SweepExportInput rdc = volt;
    rdc.firstItem = "Rdc";
    rdc.sweepKind = "Freq.";
    sheet = exported(rdc);
    EXPECT_EQ(sheet.text(1, 2), "Volt.");
    EXPECT_EQ(sheet.rowTexts(5, 3), (QStringList{"Freq.", "", ""}));
}

TEST_F(SweepExportTest, LongSettingTextsAreWrittenWhole)
{
    SweepExportInput in = frequencySweep({"C1"});
    in.start = QString(40, QLatin1Char('1'));
    in.fixedLevel = QString(30, QLatin1Char('5'));
    const XlsxSheet sheet = exported(in);
    EXPECT_EQ(sheet.text(2, 3), in.start + "Hz");
    EXPECT_EQ(sheet.text(5, 3), in.fixedLevel + "mV");
}

TEST_F(SweepExportTest, TheCommandWritesANewWorkbookOrSaysWhereItIs)
{
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(dir.path()));
    SweepExportInput in = frequencySweep({"C1"});
    in.rows = {{"1", "20.000000Hz", "1pF", "", "", ""}};
    RecordingPrompter prompter;
    const QString path = SweepExport::exportAndOpen(in, prompter, [](const QString &) { return false; });
    if (oldTmp.isEmpty())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", oldTmp);

    EXPECT_TRUE(QFileInfo(path).fileName().startsWith("qel-sweep-")) << path.toStdString();
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_TRUE(prompter.said[0].text.contains(path));
    const XlsxSheet sheet = XlsxSheet::read(path);
    ASSERT_TRUE(sheet.ok) << sheet.error.toStdString();
    EXPECT_EQ(sheet.text(7, 3), "1.000000E-012");
}
