// qel-cli export --csv: the CSV file read back by Python's csv module and
// compared, cell for cell, with the workbook the same command writes.

#include "CliHarness.h"
#include "../support/XlsxReader.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

namespace {

// The rows of a CSV file as Python's csv module reads them (UTF-8, strict).
QList<QStringList> readCsv(const QString &path, QString *error)
{
    QProcess py;
    py.start(QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"),
            QStringLiteral("import csv, json, sys\n"
                           "with open(sys.argv[1], newline='', encoding='utf-8', errors='strict') as f:\n"
                           "    json.dump(list(csv.reader(f, strict=True)), sys.stdout)\n"),
            path});
    QList<QStringList> rows;
    if (!py.waitForFinished(30000) || py.exitCode() != 0) {
        *error = QString::fromUtf8(py.readAllStandardError());
        return rows;
    }
    for (const QJsonValue &r : QJsonDocument::fromJson(py.readAllStandardOutput()).array()) {
        QStringList cells;
        for (const QJsonValue &c : r.toArray())
            cells << c.toString();
        rows << cells;
    }
    return rows;
}

struct CsvExport : ::testing::Test
{
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }
};

TEST_F(CsvExport, HoldsTheTitleAndDataRowsOfTheWorkbookCellForCell)
{
    TestStep withD;
    withD.sItem = QStringLiteral("D");
    withD.sStd = QStringLiteral("0.01");
    withD.sLow = QStringLiteral("0");
    withD.sHigh = QStringLiteral("0.02");
    TestStep inductor;
    inductor.fItem = QStringLiteral("L");
    inductor.fUnit = QStringLiteral("uH");
    const QString pro = path(QStringLiteral("lot.pro"));
    ASSERT_TRUE(writeBytes(pro, procedureOf({withD, inductor})));
    // Cells a file from elsewhere may hold: separators, quotes, a degree
    // sign, spaces at the ends, an empty cell.
    const QList<QStringList> rows{
        {QStringLiteral("100.1nF"), QStringLiteral("pass"), QStringLiteral("0.011"), QStringLiteral("pass"),
            QStringLiteral("9.9uH"), QStringLiteral("pass")},
        {QStringLiteral("1,5nF"), QStringLiteral("fail"), QStringLiteral("say \"x\""), QStringLiteral("pass"),
            QString(QChar(0x00B0)) + QStringLiteral("C"), QStringLiteral("pass")},
        {QStringLiteral(" 7nF "), QStringLiteral("pass"), QString(), QStringLiteral("pass"), QStringLiteral("1uH"),
            QStringLiteral("fail")},
    };
    const QString rpt = path(QStringLiteral("lot_1.rpt"));
    ASSERT_TRUE(writeBytes(rpt, Archive::report(rows, {"2012/3/7/", "2012/3/7/", "2012/3/8/"}, {"9:5:3", "9:5:4", "10:0:0"})));

    const QString xlsx = path(QStringLiteral("lot.xlsx"));
    const QString csv = path(QStringLiteral("lot.csv"));
    const CliResult r = runCli({QStringLiteral("export"), rpt, QStringLiteral("--procedure"), pro,
        QStringLiteral("--xlsx"), xlsx, QStringLiteral("--csv"), csv});
    ASSERT_TRUE(r.finished) << r.describe();
    ASSERT_EQ(r.exitCode, 0) << r.describe();

    const XlsxSheet sheet = XlsxSheet::read(xlsx);
    ASSERT_TRUE(sheet.ok) << qPrintable(sheet.error);
    QString error;
    const QList<QStringList> lines = readCsv(csv, &error);
    ASSERT_EQ(lines.size(), 1 + rows.size()) << qPrintable(error);
    const int width = 4 + 6;
    EXPECT_EQ(lines[0], sheet.rowTexts(1, width));
    for (int i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(lines[1 + i], sheet.rowTexts(7 + i, width));
    }
    EXPECT_EQ(lines[2][4], QStringLiteral("1,5nF"));
    EXPECT_EQ(lines[3][4], QStringLiteral(" 7nF "));

    // The bytes a spreadsheet program or a script meets: UTF-8, CR LF,
    // quotes only where needed.
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith(QByteArray("Seq.,") + QString(QChar(0x03A7)).toUtf8()));
    EXPECT_TRUE(bytes.contains("\r\n2,\xce\xa7,2012/3/7/,9:5:4,\"1,5nF\",fail,\"say \"\"x\"\"\",pass,\xc2\xb0" "C,pass\r\n"));
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_EQ(bytes.count('\n'), 1 + rows.size());
}

TEST_F(CsvExport, NeedsAnOutputAndWritesNothingOnARefusal)
{
    const QString pro = path(QStringLiteral("lot.pro"));
    ASSERT_TRUE(writeBytes(pro, procedureOf({TestStep()})));
    const CliResult none = runCli({QStringLiteral("export"), pro, QStringLiteral("--procedure"), pro});
    EXPECT_EQ(none.exitCode, 2) << none.describe();
    const QString csv = path(QStringLiteral("out.csv"));
    const CliResult wrong = runCli({QStringLiteral("export"), pro, QStringLiteral("--procedure"), pro,
        QStringLiteral("--csv"), csv});
    EXPECT_EQ(wrong.exitCode, 2) << wrong.describe();
    EXPECT_FALSE(QFileInfo::exists(csv));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

} // namespace
