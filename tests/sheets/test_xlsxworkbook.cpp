#include "sheets/XlsxWorkbook.h"

#include "../support/RecordingPrompter.h"
#include "../support/XlsxReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString Blue = QStringLiteral("FF0000FF");

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeText(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class XlsxWorkbookTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path(const QString &name = QStringLiteral("out.xlsx")) const { return dir.filePath(name); }
};

} // namespace

TEST_F(XlsxWorkbookTest, CellsAreWrittenAsTheirExactStrings)
{
    const QString greek = QString(QChar(0x03A7)) + "/" + QChar(0x039F);
    const QString angle = QStringLiteral("45.5") + QChar(0x00B0);
    const QStringList row{"Seq.", "", greek, angle, "=1+1", "1.500000E+003", "  padded  ", "<&>\"'"};
    XlsxWorkbook book(path());
    book.writeRow(1, row);
    book.writeRow(3, {"x"});
    ASSERT_TRUE(book.close()) << book.errorText().toStdString();

    const XlsxSheet sheet = XlsxSheet::read(path());
    ASSERT_TRUE(sheet.ok) << sheet.error.toStdString();
    EXPECT_EQ(sheet.rowTexts(1, row.size()), row);
    // Text that looks like a number or a formula stays text.
    for (int c : {3, 4, 5, 6})
        EXPECT_EQ(sheet.cell(1, c).type, "s") << c;
    EXPECT_FALSE(sheet.has(1, 2)) << "an empty string leaves its cell empty";
    EXPECT_EQ(sheet.rowTexts(2, 1), QStringList{""});
    EXPECT_EQ(sheet.text(3, 1), "x");
    EXPECT_EQ(sheet.maxRow, 3);
}

TEST_F(XlsxWorkbookTest, RowStylesCoverTheRowAndCombineWithTheCentredColumn)
{
    XlsxWorkbook book(path());
    book.centreColumn(1);
    book.writeRow(1, {"a", "b", "", "d"});
    book.blueRow(1);
    book.boldRow(1);
    book.boldRow(2); // style first, cells after
    book.writeRow(2, {"e", "f"});
    book.writeRow(3, {"g", "h", "i"});
    ASSERT_TRUE(book.close()) << book.errorText().toStdString();

    const XlsxSheet sheet = XlsxSheet::read(path());
    ASSERT_TRUE(sheet.ok) << sheet.error.toStdString();

    for (int c : {1, 2, 4}) {
        EXPECT_TRUE(sheet.cell(1, c).bold) << c;
        EXPECT_EQ(sheet.cell(1, c).colour, Blue) << c;
    }
    EXPECT_TRUE(sheet.rowStyle(1).set);
    EXPECT_TRUE(sheet.rowStyle(1).bold);
    EXPECT_EQ(sheet.rowStyle(1).colour, Blue);

    EXPECT_TRUE(sheet.cell(2, 1).bold);
    EXPECT_TRUE(sheet.cell(2, 2).bold);
    EXPECT_NE(sheet.cell(2, 1).colour, Blue);
    EXPECT_TRUE(sheet.rowStyle(2).bold);
    EXPECT_NE(sheet.rowStyle(2).colour, Blue);

    EXPECT_FALSE(sheet.cell(3, 1).bold);
    EXPECT_FALSE(sheet.rowStyle(3).set);

    // Column B is centred in every row, styled or not; no other column is.
    for (int r : {1, 2, 3}) {
        EXPECT_EQ(sheet.cell(r, 2).align, "center") << r;
        EXPECT_EQ(sheet.cell(r, 1).align, "") << r;
    }
    EXPECT_EQ(sheet.cell(3, 3).align, "");
    EXPECT_EQ(sheet.columnStyle(2).align, "center");
    EXPECT_FALSE(sheet.columnStyle(1).set);
}

TEST_F(XlsxWorkbookTest, WritingARowAgainOverwritesCellByCell)
{
    XlsxWorkbook book(path());
    book.writeRow(1, {"a", "b", "c"});
    book.writeRow(1, {"A", ""});
    ASSERT_TRUE(book.close());
    const XlsxSheet sheet = XlsxSheet::read(path());
    ASSERT_TRUE(sheet.ok) << sheet.error.toStdString();
    EXPECT_EQ(sheet.rowTexts(1, 3), (QStringList{"A", "", "c"}));
}

TEST_F(XlsxWorkbookTest, MisuseFailsTheWholeWorkbookWithAReason)
{
    {
        XlsxWorkbook book(path("order.xlsx"));
        book.writeRow(3, {"a"});
        book.writeRow(4, {"b"});
        book.writeRow(2, {"c"});
        EXPECT_FALSE(book.close());
        EXPECT_TRUE(book.errorText().contains("Row 2")) << book.errorText().toStdString();
    }
    {
        XlsxWorkbook book(path("late.xlsx"));
        book.writeRow(1, {"a"});
        book.centreColumn(1);
        EXPECT_FALSE(book.close());
        EXPECT_FALSE(book.errorText().isEmpty());
    }
    {
        XlsxWorkbook book(path("style.xlsx"));
        book.writeRow(5, {"a"});
        book.writeRow(6, {"b"});
        book.boldRow(5); // row 5 is already on disk
        EXPECT_FALSE(book.close());
    }
    {
        XlsxWorkbook book(path("range.xlsx"));
        book.writeRow(XlsxWorkbook::MaxRows, {"last"});
        EXPECT_TRUE(book.close()) << book.errorText().toStdString();
        XlsxWorkbook over(path("over.xlsx"));
        over.writeRow(XlsxWorkbook::MaxRows + 1, {"a"});
        EXPECT_FALSE(over.close());
        EXPECT_TRUE(over.errorText().contains("1048576")) << over.errorText().toStdString();
        XlsxWorkbook zero(path("zero.xlsx"));
        zero.writeRow(0, {"a"});
        EXPECT_FALSE(zero.close());
    }
    // A failed workbook writes nothing.
    EXPECT_FALSE(QFile::exists(path("order.xlsx")));
    EXPECT_FALSE(QFile::exists(path("late.xlsx")));
    EXPECT_FALSE(QFile::exists(path("over.xlsx")));
}

TEST_F(XlsxWorkbookTest, LongTextsAreWrittenWholeUpToTheCellLimit)
{
    const QString longest(XlsxWorkbook::MaxCellText, QLatin1Char('7'));
    {
        XlsxWorkbook book(path());
        book.writeRow(1, {"Start", longest});
        ASSERT_TRUE(book.close()) << book.errorText().toStdString();
        const XlsxSheet sheet = XlsxSheet::read(path());
        ASSERT_TRUE(sheet.ok) << sheet.error.toStdString();
        EXPECT_EQ(sheet.text(1, 2), longest);
    }
    XlsxWorkbook book(path("toolong.xlsx"));
    book.writeRow(1, {longest + "8"});
    EXPECT_FALSE(book.close());
    EXPECT_TRUE(book.errorText().contains("32767")) << book.errorText().toStdString();
}

TEST_F(XlsxWorkbookTest, WriteFileReplacesATargetOnlyWithACompleteWorkbook)
{
    const QString target = path("results.xlsx");
    writeText(target, "old contents");

    QString error;
    EXPECT_FALSE(XlsxWorkbook::writeFile(
        target,
        [](WorkbookWriter &out) {
            out.writeRow(2, {"a"});
            out.writeRow(1, {"b"});
        },
        &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readAll(target), QByteArray("old contents"));

    EXPECT_TRUE(XlsxWorkbook::writeFile(target, [](WorkbookWriter &out) { out.writeRow(1, {"new"}); }, &error))
        << error.toStdString();
    const XlsxSheet sheet = XlsxSheet::read(target);
    ASSERT_TRUE(sheet.ok) << sheet.error.toStdString();
    EXPECT_EQ(sheet.text(1, 1), "new");

    // No temporary file is left beside it, whatever happened.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"results.xlsx"});

    EXPECT_FALSE(XlsxWorkbook::writeFile(dir.filePath("missing/x.xlsx"),
                                         [](WorkbookWriter &out) { out.writeRow(1, {"a"}); }, &error));
    EXPECT_TRUE(error.contains("missing")) << error.toStdString();
}

TEST_F(XlsxWorkbookTest, ExportAndOpenWritesANewWorkbookAndTellsWhenItCannotBeShown)
{
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(dir.path()));
    auto fill = [](WorkbookWriter &out) { out.writeRow(1, {"Seq."}); };

    RecordingPrompter prompter;
    QStringList opened;
    const QString first = XlsxWorkbook::exportAndOpen("qel-test", fill, prompter, [&](const QString &p) {
        opened << p;
        return true;
    });
    EXPECT_TRUE(prompter.said.isEmpty());
    ASSERT_EQ(opened, QStringList{first});
    EXPECT_TRUE(first.startsWith(dir.path() + "/qel-test-")) << first.toStdString();
    EXPECT_TRUE(first.endsWith(".xlsx"));
    const XlsxSheet sheet = XlsxSheet::read(first);
    ASSERT_TRUE(sheet.ok) << sheet.error.toStdString();
    EXPECT_EQ(sheet.text(1, 1), "Seq.");

    // A second export in the same second does not overwrite the first.
    const QString second = XlsxWorkbook::exportAndOpen("qel-test", fill, prompter, [](const QString &) { return false; });
    EXPECT_NE(second, first);
    EXPECT_TRUE(QFile::exists(first));
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(prompter.said[0].caption, "Export to Excel");
    EXPECT_EQ(prompter.said[0].icon, Prompter::Icon::Information);
    EXPECT_TRUE(prompter.said[0].text.contains(second)) << prompter.said[0].text.toStdString();

    prompter.clear();
    opened.clear();
    const QString failed = XlsxWorkbook::exportAndOpen(
        "qel-test", [](WorkbookWriter &out) { out.writeRow(-1, {}); }, prompter,
        [&](const QString &p) {
            opened << p;
            return true;
        });
    EXPECT_TRUE(failed.isEmpty());
    EXPECT_TRUE(opened.isEmpty());
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(prompter.said[0].icon, Prompter::Icon::Error);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    if (oldTmp.isEmpty())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", oldTmp);
}

TEST_F(XlsxWorkbookTest, NothingIsLaunchedWithoutADisplay)
{
    // The tests run on the offscreen platform: no application may start.
    EXPECT_FALSE(XlsxWorkbook::openInDesktop(path()));
}
