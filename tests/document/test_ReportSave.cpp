// A report saved straight from the result table, row by row: the bytes are
// those an independent encoder makes of the rows cut or filled to the
// procedure's cells, for a table of every row shape, saved at once and in
// the background, and the example files come back byte for byte.

#include "DocTestSupport.h"

#include "../support/RecordingPrompter.h"
#include "../support/TestPaths.h"

#include "document/Document.h"

#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The report layout written by hand: little-endian, counts and
// length-prefixed code page 950 strings.
namespace Archive {

QByteArray int32(quint32 v)
{
    QByteArray b;
    for (int i = 0; i < 4; ++i)
        b += char((v >> (8 * i)) & 0xff);
    return b;
}

QByteArray count(int n)
{
    if (n < 0xffff)
        return QByteArray(1, char(n & 0xff)) + char((n >> 8) & 0xff);
    return QByteArray("\xff\xff", 2) + int32(quint32(n));
}

QByteArray string(const QString &text)
{
    QStringEncoder cp950("CP950");
    const QByteArray bytes = cp950.encode(text);
    const int n = int(bytes.size());
    if (n < 255)
        return char(n) + bytes;
    return QByteArray("\xff", 1) + char(n & 0xff) + char((n >> 8) & 0xff) + bytes;
}

QByteArray stringArray(const QStringList &list)
{
    QByteArray b = count(int(list.size()));
    for (const QString &s : list)
        b += string(s);
    return b;
}

QString joined(const QStringList &cells)
{
    QString s;
    for (const QString &c : cells)
        s += c + QLatin1Char('\n');
    return s;
}

QByteArray report(const QList<QStringList> &rows, const QStringList &dates, const QStringList &times)
{
    QStringList joinedRows;
    for (const QStringList &r : rows)
        joinedRows << joined(r);
    return int32(quint32(rows.size())) + stringArray(joinedRows) + stringArray(dates) + stringArray(times);
}

} // namespace Archive

// Past 0xFFFF rows the array count takes its long form.
constexpr int Rows = 70000;

// Cells of a row of varied shape; the procedure below gives rows 10 cells.
QStringList cellsOf(int r)
{
    QStringList cells;
    for (int c = 0; c < 10; ++c)
        cells << (c % 2 ? (r % 13 == 0 ? QStringLiteral("fail") : QStringLiteral("pass"))
                        : QString::number(100 + (r * 7 + c) % 1000 / 1000.0, 'f', 4) + QStringLiteral("nF"));
    switch (r % 7) {
    case 1: // more cells than the columns: cut
        cells << QStringLiteral("extra") << QStringLiteral("cells");
        break;
    case 2: // fewer: the missing ones written empty
        cells = cells.mid(0, 3);
        break;
    case 3: // not ASCII
        cells[0] = QString::fromUtf8("50.2\xce\xa9"); // ohm sign
        cells[4] = QString::fromUtf8("-44.8\xc2\xb0"); // degree sign
        cells[6] = QString::fromUtf8("\xe9\x9b\xbb\xe5\xae\xb9"); // Big5 text
        break;
    case 4: // a cell long enough for the three-byte length prefix
        cells[2] = QString(300, QLatin1Char('7'));
        break;
    case 5:
        cells.clear();
        break;
    default:
        break;
    }
    return cells;
}

QStringList cutOrFilled(QStringList cells, int count)
{
    cells = cells.mid(0, count);
    while (cells.size() < count)
        cells << QString();
    return cells;
}

struct ReportSave : ::testing::Test
{
    QTemporaryDir dir;
    ProcedureModel procedure;
    ResultTableModel results;
    RecordingPrompter prompter;
    Document doc{&procedure, &results, &prompter};
    QStringList dates, times;

    QString path(const QString &name) const { return dir.filePath(name); }

    void fill()
    {
        fillProcedure(procedure, {makeStep("C", "nF", "D", "D"), makeStep("L", "uH", "off", ""),
                                     makeStep("Z", "O", "Angle", QString(QChar(0x00B0)))});
        results.rebuildColumns(procedure);
        for (int r = 0; r < Rows; ++r) {
            const QStringList cells = cellsOf(r);
            // The table's own joined form: a row may also end without a line feed.
            QString joined = Archive::joined(cells);
            if (r % 7 == 6)
                joined.chop(1);
            results.appendJoinedRow(joined, joined.contains(QLatin1String("fail")) ? 1 : 2);
            dates << QStringLiteral("2026/12/%1/").arg(6 + r / 50000);
            times << QStringLiteral("9:%1:%2").arg(r / 60 % 60).arg(r % 60);
        }
        results.setReportDates(dates);
        results.setReportTimes(times);
    }

    QByteArray expected() const
    {
        QList<QStringList> rows;
        for (int r = 0; r < Rows; ++r)
            rows << cutOrFilled(cellsOf(r), 10);
        return Archive::report(rows, dates, times);
    }
};

} // namespace

TEST_F(ReportSave, RowsAreWrittenCutOrFilledToTheProcedureCellsAsAnyEncoderWouldWriteThem)
{
    fill();
    ASSERT_EQ(results.resultCount(), Rows);
    const QByteArray want = expected();

    ASSERT_TRUE(doc.saveDocument(path("abc_1.rpt")));
    EXPECT_TRUE(fileBytes(path("abc_1.rpt")) == want);
    EXPECT_EQ(doc.data().reportRowCount, Rows);
    EXPECT_EQ(doc.data().reportEntry(2), Archive::joined(cutOrFilled(cellsOf(2), 10)));

    // The background save: the same bytes, and it hears of the rows as they go.
    const std::shared_ptr<Document::SaveJob> job = doc.prepareSave(path("abc_2.rpt"));
    ASSERT_TRUE(job);
    qint64 lastDone = -1, total = 0;
    Document::writeSave(*job, [&](qint64 done, qint64 of) {
        lastDone = done;
        total = of;
        return true;
    });
    ASSERT_TRUE(doc.finishSave(*job));
    EXPECT_TRUE(fileBytes(path("abc_2.rpt")) == want);
    EXPECT_EQ(total, Rows);
    EXPECT_GT(lastDone, Rows / 2);

    // Stopped halfway: no file, and the document keeps its name.
    const std::shared_ptr<Document::SaveJob> stopped = doc.prepareSave(path("abc_3.rpt"));
    ASSERT_TRUE(stopped);
    Document::writeSave(*stopped, [](qint64 done, qint64 of) { return done < of / 2; });
    EXPECT_TRUE(Document::wasStopped(*stopped));
    EXPECT_FALSE(doc.finishSave(*stopped));
    EXPECT_FALSE(QFile::exists(path("abc_3.rpt")));
    EXPECT_EQ(QFileInfo(doc.pathName()).fileName(), QStringLiteral("abc_2.rpt"));

    // What was saved opens to the rows the table showed.
    results.removeAllRows();
    ASSERT_TRUE(doc.openDocument(path("abc_1.rpt")));
    ASSERT_EQ(results.resultCount(), Rows);
    for (int r : {0, 1, 2, 3, 4, 5, 6, Rows - 1})
        EXPECT_EQ(results.cells(r), cutOrFilled(cellsOf(r), 10)) << r;
}

TEST_F(ReportSave, TheExamplesComeBackByteForByte)
{
    const QString examples = qelSourceDir() + QStringLiteral("/examples/");
    ASSERT_TRUE(doc.openDocument(examples + QStringLiteral("capacitor.pro")));
    ASSERT_TRUE(doc.openDocument(examples + QStringLiteral("capacitor_202612695.rpt")));
    ASSERT_GT(results.resultCount(), 0);
    ASSERT_TRUE(doc.saveDocument(path("capacitor_202612695.rpt")));
    EXPECT_EQ(fileBytes(path("capacitor_202612695.rpt")).toHex(' '),
        fileBytes(examples + QStringLiteral("capacitor_202612695.rpt")).toHex(' '));
    ASSERT_TRUE(doc.saveDocument(path("capacitor.pro")));
    EXPECT_EQ(fileBytes(path("capacitor.pro")).toHex(' '), fileBytes(examples + QStringLiteral("capacitor.pro")).toHex(' '));
}
