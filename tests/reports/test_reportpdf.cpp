#include "reports/ReportLayout.h"
#include "reports/ReportPainter.h"

#include "PdfText.h"
#include "ReportFixtures.h"

#include <QDir>
#include <QFile>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTime>
#include <gtest/gtest.h>

using namespace ReportFixtures;

namespace {

constexpr double Tol = 1.2; // mm

// Where a word of the page is expected: x is its left edge or its centre,
// y its top edge, in millimetres (the report's own 0.1 mm units / 10).
void expectAt(const PdfText::Page &page, const QString &text, double x, double y, bool centred,
              double maxHeight = 8.0)
{
    const QVector<PdfText::Word> found = page.find(text);
    ASSERT_FALSE(found.isEmpty()) << "missing " << text.toStdString();
    bool matched = false;
    for (const PdfText::Word &w : found) {
        const double wx = centred ? w.centreX() : w.left;
        if (std::abs(wx - x) < Tol && std::abs(w.top - y) < Tol) {
            matched = true;
            // Upright text grows downward from its top edge.
            EXPECT_GT(w.bottom - w.top, 2.5) << text.toStdString();
            EXPECT_LT(w.bottom - w.top, maxHeight) << text.toStdString();
        }
    }
    EXPECT_TRUE(matched) << text.toStdString() << " not at (" << x << ", " << y << "); first at ("
                         << (centred ? found.first().centreX() : found.first().left) << ", " << found.first().top
                         << ")";
}

class ReportPdf : public ::testing::Test
{
protected:
    QString write(const ReportLayout &layout, const ReportDescription::Texts &header)
    {
        // QEL_REPORT_PDF_DIR keeps the files for looking at.
        const QByteArray keep = qgetenv("QEL_REPORT_PDF_DIR");
        const QString dir = keep.isEmpty() ? tmp.path() : QString::fromLocal8Bit(keep);
        const QString path = QDir(dir).filePath(
                QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".pdf");
        EXPECT_TRUE(printReportToPdf(layout, header, path));
        return path;
    }
    QTemporaryDir tmp;
    ReportDescription description{QDate(2026, 12, 6)};
};

} // namespace

TEST_F(ReportPdf, EmptyReportIsOnePageWithTheWholeFrame)
{
    const QString pdf = write(ReportLayout(), description.texts());
    EXPECT_EQ(PdfText::pageCount(pdf), 1);
    const QString text = PdfText::text(pdf);
    for (const char *s : {"Quality Inspection Report", "Co.: Tarvolis", "Cust.: Tarvolis", "Inst.: ZR-4410",
                          "Date: 2026/12/6", "Part No: 0", "Lot No: 0", "Quantity: 0", "Sampling: 0", "Remark:",
                          "Seq.", "Std.", "Low", "High", "Frq.", "Level", "SIGNATURE", "1/1"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(s))) << s;
    EXPECT_TRUE(text.contains(QString::fromUtf8("\u03A7/\u039F")));
    // The date line: the Date field, two spaces, the clock.
    EXPECT_TRUE(text.contains(QRegularExpression("2026/12/6 +\\d{1,2}:\\d{1,2}:\\d{1,2}"))) << text.toStdString();
}

TEST_F(ReportPdf, HeaderAndCaptionsSitAtTheirCoordinates)
{
    ReportDescription::Texts t = description.texts();
    t[ReportDescription::Title] = "Inspection";
    t[ReportDescription::Remark] = "batch";
    const QVector<PdfText::Page> pages = PdfText::pages(write(ReportLayout(), t));
    ASSERT_EQ(pages.size(), 1);
    const PdfText::Page &p = pages.first();
    EXPECT_NEAR(p.widthMm, 210, 0.5);
    EXPECT_NEAR(p.heightMm, 297, 0.5);
    expectAt(p, "Inspection", 105, 10, true, 14.0);
    expectAt(p, "Co.:", 12.5, 37, false);
    expectAt(p, "Cust.:", 12.5, 47, false);
    expectAt(p, "Inst.:", 57.5, 37, false);
    expectAt(p, "Part", 102.5, 37, false);
    expectAt(p, "Lot", 102.5, 47, false);
    expectAt(p, "Quantity:", 147.5, 37, false);
    expectAt(p, "Sampling:", 147.5, 47, false);
    expectAt(p, "Remark:", 12.5, 59.5, false);
    expectAt(p, "Seq.", 17.5, 74, true);
    expectAt(p, "Std.", 17.5, 81.5, true);
    expectAt(p, "Low", 17.5, 89, true);
    expectAt(p, "High", 17.5, 96.5, true);
    expectAt(p, "Frq.", 17.5, 104, true);
    expectAt(p, "Level", 17.5, 111.5, true);
    expectAt(p, QString::fromUtf8("\u03A7/\u039F"), 32.5, 74, true);
    expectAt(p, "SIGNATURE", 12.5, 260, false);
    expectAt(p, "1/1", 100, 280, true);
    // "Date: " in the grid and the date line at the top right.
    const QVector<PdfText::Word> dates = p.find("2026/12/6");
    ASSERT_EQ(dates.size(), 2);
    const PdfText::Word &line = dates.at(0).top < dates.at(1).top ? dates.at(0) : dates.at(1);
    EXPECT_NEAR(line.left, 145, Tol);
    EXPECT_NEAR(line.top, 27.5, Tol);
}

TEST_F(ReportPdf, FortyRowsOverSixPages)
{
    ProcedureModel procedure;
    fillProcedure(procedure, 7, {2, 4, 7});
    ResultTableModel results;
    fillResults(results, 40, 10);
    const ReportLayout layout = ReportLayout::prepare(procedure, results);
    fillResults(results, 5, 10); // added after preparation: not printed
    description.setSampling(40);
    const QString pdf = write(layout, description.texts());
    ASSERT_EQ(PdfText::pageCount(pdf), 6);
    const QVector<PdfText::Page> pages = PdfText::pages(pdf);
    ASSERT_EQ(pages.size(), 6);

    for (int i = 0; i < 6; ++i) {
        const PdfText::Page &p = pages.at(i);
        expectAt(p, QStringLiteral("%1/6").arg(i + 1), 100, 280, true);
        expectAt(p, "Sampling:", 147.5, 47, false);
    }
    // Page 1: row 1 on the first result line, items C1..C4 and D2 in the five columns.
    expectAt(pages[0], "1", 17.5, 119, true);
    expectAt(pages[0], "18", 17.5, 119 + 7.5 * 17, true);
    expectAt(pages[0], "C1", 55, 74, true);
    expectAt(pages[0], "D2", 115, 74, true);
    expectAt(pages[0], "C4", 175, 74, true);
    expectAt(pages[0], "11pF", 55, 81.5, true);
    expectAt(pages[0], "1KHz", 55, 104, true);
    expectAt(pages[0], "r1i1", 55, 119, true);
    expectAt(pages[0], "r18i5", 175, 119 + 7.5 * 17, true);
    expectAt(pages[0], QString(QChar(0x039F)), 32.5, 119, true);
    // Page 2: the second five items of the same rows.
    expectAt(pages[1], "D4", 55, 74, true);
    expectAt(pages[1], "r1i6", 55, 119, true);
    // Pages 5 and 6: rows 37 to 40, nothing below.
    for (int i : {4, 5}) {
        const PdfText::Page &p = pages.at(i);
        expectAt(p, "37", 17.5, 119, true);
        expectAt(p, "40", 17.5, 119 + 7.5 * 3, true);
        EXPECT_TRUE(p.find("41").isEmpty());
        EXPECT_TRUE(p.find("36").isEmpty());
        EXPECT_EQ(p.find(QString(QChar(0x039F))).size(), 4);
    }
    expectAt(pages[5], "r40i10", 175, 119 + 7.5 * 3, true);
    EXPECT_TRUE(pages[5].find("D7").size() == 1);
    EXPECT_TRUE(pages[5].find("C6").size() == 1);
}

TEST_F(ReportPdf, UnwritablePathIsReported)
{
    EXPECT_FALSE(printReportToPdf(ReportLayout(), description.texts(), tmp.filePath("no/such/dir/report.pdf")));
}

TEST_F(ReportPdf, EveryPageOfOnePrintCarriesTheSameTime)
{
    ProcedureModel procedure;
    fillProcedure(procedure, 7, {2, 4, 7});
    ResultTableModel results;
    fillResults(results, 40, 10);
    const ReportLayout layout = ReportLayout::prepare(procedure, results);
    const QString pdf = qEnvironmentVariableIsEmpty("QEL_REPORT_PDF_DIR") ? tmp.filePath("one-moment.pdf") : qEnvironmentVariable("QEL_REPORT_PDF_DIR") + "/one-moment.pdf";
    QPdfWriter writer(pdf);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(300);
    // A print long enough for the clock to tick between its pages: before
    // page 4 the painting waits for the next second.
    const QTime before = QTime::currentTime();
    QTime firstPage;
    ASSERT_TRUE(ReportPainter::paintDocument(writer, layout, description.texts(), 0, 0, {},
        [&](int done, int) {
            if (done == 0)
                firstPage = QTime::currentTime();
            if (done == 3)
                while (QTime::currentTime().second() == firstPage.second())
                    QThread::msleep(5);
            return true;
        }));
    ASSERT_EQ(PdfText::pageCount(pdf), 6);
    static const QRegularExpression dateLine(QStringLiteral("2026/12/6\\s+(\\d+):(\\d+):(\\d+)"));
    QStringList times;
    for (int page = 1; page <= 6; ++page) {
        const QRegularExpressionMatch m = dateLine.match(PdfText::text(pdf, page, page));
        ASSERT_TRUE(m.hasMatch()) << "page " << page;
        times << m.captured(0);
        if (page == 1 && before <= firstPage) { // not across midnight
            const QTime printed(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
            EXPECT_GE(printed.msecsSinceStartOfDay() / 1000, before.msecsSinceStartOfDay() / 1000);
            EXPECT_LE(printed.msecsSinceStartOfDay() / 1000, firstPage.msecsSinceStartOfDay() / 1000);
        }
    }
    EXPECT_EQ(times.count(times.first()), 6) << times.join(" | ").toStdString();
}
