// The history's rows as CSV and as a workbook keep each cell as stored: CSV
// quotes only a cell holding a comma, a quote or a line break (space at
// either end stays bare), the same in a file and on stdout; the workbook
// holds seq and the values as numbers and every text as text, even a text
// that reads as a number. Runs of one lot with different columns share one
// header.
#include "history/HistoryDatabase.h"

#include "../cli/CliHarness.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

bool fill(const QString &path)
{
    HistoryTarget target;
    target.kind = HistoryTarget::Kind::SQLite;
    target.path = path;
    HistoryDatabase db;
    QString error;
    if (!db.open(target, HistoryDatabase::Mode::ReadWrite, &error))
        return false;
    const QDateTime t0(QDate(2026, 3, 1), QTime(8, 0), Qt::UTC);
    History::RunRecord a;
    a.id = QStringLiteral("run-a");
    a.started = t0;
    a.lotNo = QStringLiteral("L1");
    a.columns = {{1, QStringLiteral("C"), QStringLiteral("F")}, {1, QStringLiteral("D"), QString()}};
    History::RunRecord b = a;
    b.id = QStringLiteral("run-b");
    b.started = t0.addSecs(60);
    b.columns = {{1, QStringLiteral("C"), QStringLiteral("F")}, {2, QStringLiteral("R"), QStringLiteral("O")}};
    if (!db.insertRun(a, &error) || !db.insertRun(b, &error))
        return false;
    History::RowRecord r;
    r.runId = a.id;
    r.seq = 1;
    r.measuredAt = t0.addSecs(1);
    r.verdict = QStringLiteral("pass");
    r.cells = {{QStringLiteral(" 99.5 nF "), 9.95e-8, QStringLiteral("pass")}, {QStringLiteral("1.5"), std::nullopt, QString()}};
    if (!db.insertRow(r, &error))
        return false;
    r.seq = 2;
    r.verdict = QStringLiteral("fail");
    r.cells = {{QStringLiteral("a,b \"q\""), 1e-7, QStringLiteral("fail")},
               {QStringLiteral("tab\there\nnext\\"), 0.5, QStringLiteral("pass")}};
    if (!db.insertRow(r, &error))
        return false;
    r.runId = b.id;
    r.seq = 1;
    r.measuredAt = t0.addSecs(61);
    r.verdict = QStringLiteral("pass");
    r.cells = {{QStringLiteral("100 nF"), 1e-7, QStringLiteral("pass")}, {QStringLiteral("12 O"), 12.0, QString()}};
    return db.insertRow(r, &error);
}

} // namespace

TEST(HistorySheets, CsvAndWorkbookKeepTheStoredCells)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString db = dir.filePath(QStringLiteral("h.sqlite"));
    ASSERT_TRUE(fill(db));

    const QByteArray expected =
        "run,seq,measuredAt,verdict,C1,C1 value,C1 P/F,D1,D1 value,D1 P/F,R2,R2 value,R2 P/F\r\n"
        "run-a,1,2026-03-01T08:00:01.000Z,pass, 99.5 nF ,9.95e-08,pass,1.5,,,,,\r\n"
        "run-a,2,2026-03-01T08:00:01.000Z,fail,\"a,b \"\"q\"\"\",1e-07,fail,\"tab\there\nnext\\\",0.5,pass,,,\r\n"
        "run-b,1,2026-03-01T08:01:01.000Z,pass,100 nF,1e-07,pass,,,,12 O,12,\r\n";
    const QString csv = dir.filePath(QStringLiteral("lot.csv"));
    const CliResult file = runCli({QStringLiteral("history"), QStringLiteral("rows"), QStringLiteral("--lot"),
        QStringLiteral("L1"), QStringLiteral("--db"), db, QStringLiteral("--csv"), csv});
    ASSERT_EQ(file.exitCode, 0) << file.describe();
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()), QString::fromUtf8(expected));
    const CliResult out = runCli({QStringLiteral("history"), QStringLiteral("rows"), QStringLiteral("--lot"),
        QStringLiteral("L1"), QStringLiteral("--db"), db, QStringLiteral("--csv"), QStringLiteral("-")});
    ASSERT_EQ(out.exitCode, 0) << out.describe();
    EXPECT_EQ(QString::fromUtf8(out.out), QString::fromUtf8(expected));

    const QString xlsx = dir.filePath(QStringLiteral("lot.xlsx"));
    const CliResult book = runCli({QStringLiteral("history"), QStringLiteral("rows"), QStringLiteral("--lot"),
        QStringLiteral("L1"), QStringLiteral("--db"), db, QStringLiteral("--xlsx"), xlsx});
    ASSERT_EQ(book.exitCode, 0) << book.describe();
    // Each cell as its type and value, empty cells left out; the sheet's name.
    QProcess py;
    py.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"),
        QStringLiteral("import openpyxl,sys\n"
                       "wb=openpyxl.load_workbook(sys.argv[1]); ws=wb.active\n"
                       "print(wb.sheetnames)\n"
                       "for row in ws.iter_rows(min_row=2):\n"
                       "    print([(c.column, type(c.value).__name__, c.value) for c in row if c.value is not None])\n"),
        xlsx});
    ASSERT_TRUE(py.waitForFinished(30000));
    const QStringList lines = QString::fromUtf8(py.readAllStandardOutput()).trimmed().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 4) << qPrintable(QString::fromUtf8(py.readAllStandardError()));
    EXPECT_EQ(lines[0], QStringLiteral("['Rows']"));
    EXPECT_EQ(lines[1], QStringLiteral("[(1, 'str', 'run-a'), (2, 'int', 1), (3, 'str', '2026-03-01T08:00:01.000Z'), "
                                       "(4, 'str', 'pass'), (5, 'str', ' 99.5 nF '), (6, 'float', 9.95e-08), "
                                       "(7, 'str', 'pass'), (8, 'str', '1.5')]"));
    EXPECT_EQ(lines[2], QStringLiteral("[(1, 'str', 'run-a'), (2, 'int', 2), (3, 'str', '2026-03-01T08:00:01.000Z'), "
                                       "(4, 'str', 'fail'), (5, 'str', 'a,b \"q\"'), (6, 'float', 1e-07), "
                                       "(7, 'str', 'fail'), (8, 'str', 'tab\\there\\nnext\\\\'), (9, 'float', 0.5), "
                                       "(10, 'str', 'pass')]"));
    EXPECT_EQ(lines[3], QStringLiteral("[(1, 'str', 'run-b'), (2, 'int', 1), (3, 'str', '2026-03-01T08:01:01.000Z'), "
                                       "(4, 'str', 'pass'), (5, 'str', '100 nF'), (6, 'float', 1e-07), "
                                       "(7, 'str', 'pass'), (11, 'str', '12 O'), (12, 'int', 12)]"));
}
