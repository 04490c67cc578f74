// qel-cli export, print and print-graph: the files they make, read back the
// way an operator's spreadsheet program and PDF viewer would.

#include "CliHarness.h"
#include "../support/ToolOutput.h"

#include <QFileInfo>
#include <QSizeF>

#include <gtest/gtest.h>

namespace {

const QString Chi(QChar(0x03A7));
const QString Omicron(QChar(0x039F));

int pageCount(const QString &pdf)
{
    const QString info = QString::fromUtf8(toolOutput(QStringLiteral("/usr/bin/pdfinfo"), {pdf}));
    const QRegularExpression re(QStringLiteral("Pages:\\s+(\\d+)"));
    const QRegularExpressionMatch m = re.match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Width and height in points.
QSizeF pageSize(const QString &pdf)
{
    const QString info = QString::fromUtf8(toolOutput(QStringLiteral("/usr/bin/pdfinfo"), {pdf}));
    const QRegularExpressionMatch m
        = QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+) pts")).match(info);
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}

QString pdfText(const QString &pdf, int page = 0)
{
    QStringList args{QStringLiteral("-layout")};
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    return QString::fromUtf8(toolOutput(QStringLiteral("/usr/bin/pdftotext"), args << pdf << QStringLiteral("-")));
}

struct OutputsFixture : ::testing::Test
{
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }

    QString pro, rpt;
    QList<QStringList> rows;
    QStringList dates, times;

    // Two steps: C with Q, then L alone; rows alternate pass and fail.
    void makeLot(int rowCount)
    {
        TestStep withQ;
        withQ.sItem = QStringLiteral("Q");
        withQ.sStd = QStringLiteral("20");
        withQ.sLow = QStringLiteral("-5%");
        withQ.sHigh = QStringLiteral("+5%");
        withQ.sUnit = QStringLiteral("Q");
        TestStep inductor;
        inductor.fItem = QStringLiteral("L");
        inductor.fUnit = QStringLiteral("uH");
        inductor.freq = QStringLiteral("100KHz");
        pro = path(QStringLiteral("lot.pro"));
        ASSERT_TRUE(writeBytes(pro, procedureOf({withQ, inductor})));
        rows.clear();
        dates.clear();
        times.clear();
        for (int i = 0; i < rowCount; ++i) {
            const bool fails = i % 2 == 1;
            rows << QStringList{QStringLiteral("%1nF").arg(100 + i), QStringLiteral("pass"), QStringLiteral("20.5Q"),
                fails ? QStringLiteral("fail") : QStringLiteral("pass"), QStringLiteral("99.%1uH").arg(i), QStringLiteral("pass")};
            dates << QStringLiteral("2012/3/7/");
            times << QStringLiteral("9:5:%1").arg(i);
        }
        rpt = path(QStringLiteral("lot_20123795.rpt"));
        ASSERT_TRUE(writeBytes(rpt, Archive::report(rows, dates, times)));
    }
};

TEST_F(OutputsFixture, ExportWritesLimitsAndEveryRowWithItsMark)
{
    makeLot(3);
    const QString xlsx = path(QStringLiteral("lot.xlsx"));
    const CliResult r = runCli({QStringLiteral("export"), rpt, QStringLiteral("--procedure"), pro, QStringLiteral("--xlsx"), xlsx});
    ASSERT_TRUE(r.finished) << r.describe();
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_TRUE(r.err.isEmpty()) << r.describe();

    const XlsxSheet sheet = XlsxSheet::read(xlsx);
    ASSERT_TRUE(sheet.ok) << qPrintable(sheet.error);
    EXPECT_EQ(sheet.maxRow, 9);
    EXPECT_EQ(sheet.rowTexts(1, 10), (QStringList{QStringLiteral("Seq."), Chi + QLatin1Char('/') + Omicron,
                                         QStringLiteral("Date"), QStringLiteral("Time"), QStringLiteral("C1"),
                                         QStringLiteral("P/F"), QStringLiteral("Q1"), QStringLiteral("P/F"),
                                         QStringLiteral("L2"), QStringLiteral("P/F")}));
    EXPECT_EQ(sheet.rowTexts(2, 10), (QStringList{QStringLiteral("Std."), QString(), QString(), QString(),
                                         QStringLiteral("100nF"), QString(), QStringLiteral("20Q"), QString(),
                                         QStringLiteral("100uH"), QString()}));
    EXPECT_EQ(sheet.rowTexts(5, 10), (QStringList{QStringLiteral("Freq."), QString(), QString(), QString(),
                                         QStringLiteral("1KHz"), QString(), QStringLiteral("1KHz"), QString(),
                                         QStringLiteral("100KHz"), QString()}));
    for (int i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        const QString mark = rows[i].contains(QStringLiteral("fail")) ? Chi : Omicron;
        EXPECT_EQ(sheet.rowTexts(7 + i, 10), QStringList({QString::number(i + 1), mark, dates[i], times[i]}) + rows[i]);
    }
    EXPECT_TRUE(sheet.cell(1, 1).bold);
    EXPECT_EQ(sheet.cell(1, 1).colour, QStringLiteral("FF0000FF"));
    EXPECT_FALSE(sheet.cell(7, 1).bold);
}

TEST_F(OutputsFixture, PrintMakesTheReportWithHeaderTextsAndEveryRow)
{
    makeLot(20); // three items and twenty rows: two blocks of eighteen rows, one page each
    const QString pdf = path(QStringLiteral("lot.pdf"));
    const CliResult r = runCli({QStringLiteral("print"), rpt, QStringLiteral("--procedure"), pro, QStringLiteral("--pdf"), pdf,
        QStringLiteral("--title"), QStringLiteral("Incoming check"), QStringLiteral("--company"), QStringLiteral("Acme Parts"),
        QStringLiteral("--lot-no"), QStringLiteral("L-42"), QStringLiteral("--remark"), QStringLiteral("second shift")});
    ASSERT_TRUE(r.finished) << r.describe();
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_TRUE(r.err.isEmpty()) << r.describe();
    ASSERT_EQ(pageCount(pdf), 2);

    const QString first = pdfText(pdf, 1);
    for (const QString &s : {QStringLiteral("Incoming check"), QStringLiteral("Acme Parts"), QStringLiteral("L-42"),
             QStringLiteral("second shift"), QStringLiteral("Sampling: 20"), QStringLiteral("C1"), QStringLiteral("Q1"),
             QStringLiteral("L2"), QStringLiteral("100KHz"), QStringLiteral("117nF"), QStringLiteral("99.17uH"),
             QStringLiteral("1/2")})
        EXPECT_TRUE(first.contains(s)) << s.toStdString() << "\n" << first.toStdString();
    EXPECT_FALSE(first.contains(QStringLiteral("118nF"))) << "row 19 belongs on page 2";
    const QString second = pdfText(pdf, 2);
    for (const QString &s : {QStringLiteral("118nF"), QStringLiteral("119nF"), QStringLiteral("99.19uH"), QStringLiteral("2/2")})
        EXPECT_TRUE(second.contains(s)) << s.toStdString() << "\n" << second.toStdString();
    // Row 19 passes, row 20 fails.
    EXPECT_TRUE(second.contains(Omicron));
    EXPECT_TRUE(second.contains(Chi));
}

TEST_F(OutputsFixture, PrintGraphMakesOnePageInEitherOrientation)
{
    const QString examplePic = qelSourceDir() + QStringLiteral("/examples/sweep.pic");
    const QString portrait = path(QStringLiteral("graph.pdf"));
    const CliResult r = runCli({QStringLiteral("print-graph"), examplePic, QStringLiteral("--pdf"), portrait,
        QStringLiteral("--description"), QStringLiteral("Cap sweep<newline>second line")});
    ASSERT_TRUE(r.finished) << r.describe();
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_EQ(pageCount(portrait), 1);
    const QSizeF upright = pageSize(portrait);
    EXPECT_LT(upright.width(), upright.height());
    const QString text = pdfText(portrait);
    EXPECT_TRUE(text.contains(QStringLiteral("Cap sweep"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("second line"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("<newline>"))) << text.toStdString();

    const QString landscape = path(QStringLiteral("graph-wide.pdf"));
    const CliResult wide = runCli({QStringLiteral("print-graph"), examplePic, QStringLiteral("--pdf"), landscape,
        QStringLiteral("--landscape")});
    ASSERT_TRUE(wide.finished) << wide.describe();
    EXPECT_EQ(wide.exitCode, 0) << wide.describe();
    EXPECT_EQ(pageCount(landscape), 1);
    const QSizeF across = pageSize(landscape);
    EXPECT_GT(across.width(), across.height());
}

TEST_F(OutputsFixture, RefusalsWriteNoOutput)
{
    makeLot(2);
    const QString pic = qelSourceDir() + QStringLiteral("/examples/sweep.pic");
    const QString missing = path(QStringLiteral("missing/out"));
    struct Case
    {
        QStringList args;
        QString named;
    };
    const QList<Case> cases{
        {{QStringLiteral("export"), rpt, QStringLiteral("--procedure"), pro, QStringLiteral("--xlsx"), missing + ".xlsx"},
            missing + ".xlsx"},
        {{QStringLiteral("print"), rpt, QStringLiteral("--procedure"), pro, QStringLiteral("--pdf"), missing + ".pdf"},
            missing + ".pdf"},
        {{QStringLiteral("print-graph"), pic, QStringLiteral("--pdf"), missing + ".pdf"}, missing + ".pdf"},
        // The files must be of the kinds named.
        {{QStringLiteral("export"), pro, QStringLiteral("--procedure"), pro, QStringLiteral("--xlsx"), path("a.xlsx")}, pro},
        {{QStringLiteral("print"), rpt, QStringLiteral("--procedure"), rpt, QStringLiteral("--pdf"), path("a.pdf")}, rpt},
        {{QStringLiteral("print-graph"), rpt, QStringLiteral("--pdf"), path("a.pdf")}, rpt},
        {{QStringLiteral("export"), rpt, QStringLiteral("--procedure"), path("absent.pro"), QStringLiteral("--xlsx"),
             path("a.xlsx")},
            path("absent.pro")},
    };
    const QStringList before = folderEntries(dir.path());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        const CliResult r = runCli(c.args);
        ASSERT_TRUE(r.finished) << r.describe();
        EXPECT_EQ(r.exitCode, 2) << r.describe();
        EXPECT_TRUE(isOneSentenceNaming(r, c.named)) << r.describe();
    }
    EXPECT_EQ(folderEntries(dir.path()), before);
}

} // namespace
