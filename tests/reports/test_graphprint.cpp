#include "reports/GraphPrint.h"

#include "PdfText.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QLocale us(QLocale::English, QLocale::UnitedStates);

// A wide picture like a graph: black plot area with a yellow diagonal.
QImage graphPicture()
{
    QImage img(800, 500, QImage::Format_RGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    p.setPen(QPen(Qt::yellow, 6));
    p.drawLine(0, 500, 800, 0);
    return img;
}

} // namespace

TEST(GraphPrintText, DefaultDescriptionBreaksOnlyAtMarkers)
{
    const QString d = GraphPrint::defaultDescription();
    EXPECT_EQ(d, "Tarvolis Instrument Co., Ltd.<newline>\r\n1000 Ridezadiva Vozodeve.<newline>\r\nVelmora<newline>\r\n");
    EXPECT_EQ(GraphPrint::printableDescription(d),
              "Tarvolis Instrument Co., Ltd.<newline>1000 Ridezadiva Vozodeve.<newline>Velmora<newline>");
    EXPECT_EQ(GraphPrint::descriptionLines(d, QDate(2026, 12, 6), us),
              (QStringList{"Tarvolis Instrument Co., Ltd.", "1000 Ridezadiva Vozodeve.", "Velmora"}));
    // Typed on several lines without markers: one run of text.
    EXPECT_EQ(GraphPrint::descriptionLines("Line one\r\nLine two\nthree\r", QDate(2026, 12, 6), us),
              QStringList{"Line oneLine twothree"});
    // Empty lines between markers stay; an empty description is one empty line.
    EXPECT_EQ(GraphPrint::descriptionLines("a<newline><newline>b", QDate(2026, 12, 6), us),
              (QStringList{"a", "", "b"}));
    EXPECT_EQ(GraphPrint::descriptionLines("", QDate(2026, 12, 6), us), QStringList{""});
}

TEST(GraphPrintText, LongDateReplacesItsMarker)
{
    EXPECT_EQ(GraphPrint::captionText(QDate(2026, 12, 6), us),
              "Automated Widget test results logged Sunday, December 6, 2026");
    EXPECT_EQ(GraphPrint::descriptionLines("Made <longdate><newline>x", QDate(2024, 2, 29), us),
              (QStringList{"Made Thursday, February 29, 2024", "x"}));
}

TEST(GraphPrintPlacement, TopToBottomWithinTheMargins)
{
    const double dpi = 300;
    const QRectF a4(0, 0, 210 / 25.4 * dpi, 297 / 25.4 * dpi);
    const GraphPrint::Placement pl = GraphPrint::place(a4, dpi, 3, QSize(800, 500));
    ASSERT_EQ(pl.descriptionLines.size(), 3);
    const double margin = GraphPrint::MarginMm / 25.4 * dpi;
    EXPECT_NEAR(pl.descriptionLines.first().top(), margin, 0.5);
    EXPECT_NEAR(pl.descriptionLines.first().left(), margin, 0.5);
    // Each block follows the one above it.
    EXPECT_LE(pl.descriptionLines.last().bottom(), pl.spacer.top() + 0.5);
    EXPECT_LT(pl.spacer.bottom(), pl.caption.top());
    EXPECT_LT(pl.caption.bottom(), pl.picture.top());
    // The picture keeps its shape, fills the width and stays on the page.
    EXPECT_NEAR(pl.picture.width() / pl.picture.height(), 800.0 / 500.0, 0.01);
    EXPECT_NEAR(pl.picture.width(), a4.width() - 2 * margin, 1);
    EXPECT_LE(pl.picture.bottom(), a4.height() - margin + 0.5);

    // A tall picture on a landscape page is limited by the height instead.
    const QRectF land(0, 0, a4.height(), a4.width());
    const GraphPrint::Placement tall = GraphPrint::place(land, dpi, 3, QSize(500, 800));
    EXPECT_NEAR(tall.picture.bottom(), land.height() - margin, 1);
    EXPECT_LT(tall.picture.width(), land.width() - 2 * margin);
    EXPECT_NEAR(tall.picture.center().x(), land.center().x(), 1);
    // No picture, no place for it.
    EXPECT_TRUE(GraphPrint::place(a4, dpi, 3, QSize()).picture.isEmpty());
}

class GraphPdf : public ::testing::TestWithParam<bool>
{
protected:
    QString path(const char *name)
    {
        const QByteArray keep = qgetenv("QEL_REPORT_PDF_DIR");
        return QDir(keep.isEmpty() ? tmp.path() : QString::fromLocal8Bit(keep)).filePath(QString::fromLatin1(name));
    }
    QTemporaryDir tmp;
};

TEST_P(GraphPdf, OnePageUprightOrSideways)
{
    const bool landscape = GetParam();
    const QString pdf = path(landscape ? "graph-level.pdf" : "graph-vertical.pdf");
    ASSERT_TRUE(printGraphToPdf(graphPicture(), GraphPrint::defaultDescription(), landscape, pdf));
    EXPECT_EQ(PdfText::pageCount(pdf), 1);
    const QVector<PdfText::Page> pages = PdfText::pages(pdf);
    ASSERT_EQ(pages.size(), 1);
    const PdfText::Page &p = pages.first();
    if (landscape) {
        EXPECT_NEAR(p.widthMm, 297, 0.5);
        EXPECT_NEAR(p.heightMm, 210, 0.5);
    } else {
        EXPECT_NEAR(p.widthMm, 210, 0.5);
        EXPECT_NEAR(p.heightMm, 297, 0.5);
    }
    // Description lines in order from the top-left margin, then the caption.
    const QVector<PdfText::Word> first = p.find("Tarvolis");
    const QVector<PdfText::Word> second = p.find("Ridezadiva");
    const QVector<PdfText::Word> third = p.find("Velmora");
    const QVector<PdfText::Word> caption = p.find("Automated");
    ASSERT_EQ(first.size(), 1);
    ASSERT_EQ(second.size(), 1);
    ASSERT_EQ(third.size(), 1);
    ASSERT_EQ(caption.size(), 1);
    EXPECT_NEAR(first[0].left, GraphPrint::MarginMm, 1.0);
    EXPECT_NEAR(first[0].top, GraphPrint::MarginMm, 1.5);
    EXPECT_LT(first[0].top, second[0].top);
    EXPECT_LT(second[0].top, third[0].top);
    EXPECT_GT(caption[0].top - third[0].bottom, 15.0); // spacer and blank lines
    // 14 point against 10 point text.
    EXPECT_GT(first[0].bottom - first[0].top, caption[0].bottom - caption[0].top);
    const QString text = PdfText::text(pdf);
    EXPECT_TRUE(text.contains("Automated Widget test results logged "
                              + QLocale().toString(QDate::currentDate(), QLocale::LongFormat).split(' ').first()));
    EXPECT_FALSE(text.contains("<newline>"));
    EXPECT_FALSE(text.contains("<longdate>"));
    // The picture is there once, keeping its pixels.
    const QString images = PdfText::run("pdfimages", {"-list", pdf});
    EXPECT_TRUE(images.contains(QRegularExpression("\\s800\\s+500\\s"))) << images.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Directions, GraphPdf, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &i) { return i.param ? "Level" : "Vertical"; });

TEST(GraphPdfFile, UnwritablePathIsReported)
{
    QTemporaryDir tmp;
    EXPECT_FALSE(printGraphToPdf(graphPicture(), "x", false, tmp.filePath("missing/dir/g.pdf")));
}
