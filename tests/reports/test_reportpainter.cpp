#include "reports/ReportLayout.h"
#include "reports/ReportPainter.h"

#include "ReportFixtures.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace ReportFixtures;

namespace {

// A page rendered at 10 dots per millimetre: one pixel is one report unit.
// Coordinates below are report units with y measured downward (the page's
// y values negated).
class RenderedPage
{
public:
    RenderedPage(const ReportLayout &layout, const ReportDescription::Texts &header, int page)
        : m_image(2100, 2970, QImage::Format_RGB32)
    {
        m_image.setDotsPerMeterX(10000);
        m_image.setDotsPerMeterY(10000);
        m_image.fill(Qt::white);
        QPainter p(&m_image);
        ReportPainter::paintPage(p, layout, header, page, QTime(12, 34, 56));
    }

    bool dark(int x, int y) const { return qGray(m_image.pixel(x, y)) < 128; }
    // Ink at or next to (x, y): a one-unit line may land on either pixel.
    bool ink(int x, int y) const
    {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (dark(x + dx, y + dy))
                    return true;
        return false;
    }

    // Length in units of the inked run crossing (x, y) vertically.
    int verticalRun(int x, int y) const
    {
        int start = y - 1;
        while (start <= y + 1 && !dark(x, start))
            ++start;
        if (start > y + 1)
            return 0;
        int top = start, bottom = start;
        while (top > 0 && dark(x, top - 1))
            --top;
        while (bottom < m_image.height() - 1 && dark(x, bottom + 1))
            ++bottom;
        return bottom - top + 1;
    }

    // Bounding box of the ink inside the region, in units; empty if none.
    QRect inkBox(int x1, int y1, int x2, int y2) const
    {
        QRect box;
        for (int py = y1; py <= y2; ++py)
            for (int px = x1; px <= x2; ++px)
                if (dark(px, py))
                    box |= QRect(px, py, 1, 1);
        return box;
    }

    // Inked pixels per row of the region, top row first.
    QVector<int> rowInk(int x1, int y1, int x2, int y2) const
    {
        QVector<int> out;
        for (int py = y1; py <= y2; ++py) {
            int n = 0;
            for (int px = x1; px <= x2; ++px)
                n += dark(px, py);
            out << n;
        }
        return out;
    }

private:
    QImage m_image;
};

ReportDescription::Texts header(const QString &title = QStringLiteral("Quality Inspection Report"))
{
    ReportDescription::Texts t = ReportDescription::defaults(QDate(2026, 12, 6));
    t[ReportDescription::Title] = title;
    return t;
}

} // namespace

TEST(ReportPainterTexts, ClockDateLineAndPageNumber)
{
    EXPECT_EQ(ReportPainter::clockText(QTime(9, 5, 3)), "9:5:3");
    EXPECT_EQ(ReportPainter::clockText(QTime(23, 59, 0)), "23:59:0");
    EXPECT_EQ(ReportPainter::clockText(QTime()), "-1:-1:-1");
    EXPECT_EQ(ReportPainter::dateLineText("2026/12/6", QTime(8, 0, 10)), "2026/12/6  8:0:10");
    EXPECT_EQ(ReportPainter::pageNumberText(5, 6), "5/6");
}

TEST(ReportPainterTexts, FontsAreVerdanaOrTheNearestSansFace)
{
    EXPECT_EQ(ReportPainter::smallFont().family(), "Verdana");
    EXPECT_EQ(ReportPainter::smallFont().styleHint(), QFont::SansSerif);
    // The height asked for is the whole character cell, not the em.
    const QFontMetricsF large(ReportPainter::largeFont());
    const QFontMetricsF small(ReportPainter::smallFont());
    EXPECT_NEAR(large.ascent() + large.descent(), 100.0, 1.0);
    EXPECT_NEAR(small.ascent() + small.descent(), 50.0, 1.0);
    EXPECT_LT(ReportPainter::largeFont().pixelSize(), 100);
}

TEST(ReportPainterLines, FrameAndGridLinesAreWhereTheyBelong)
{
    const RenderedPage page(ReportLayout(), header(), 1);
    // Thick frame and its inner lines.
    for (int y : {725, 800, 1175, 2525})
        for (int x : {120, 1020, 1880})
            EXPECT_TRUE(page.ink(x, y)) << x << "," << y;
    // Vertical lines in the middle of an empty result row.
    for (int x : {100, 250, 400, 700, 1000, 1300, 1600, 1900})
        EXPECT_TRUE(page.ink(x, 1512)) << x;
    for (int x : {60, 175, 325, 550, 850, 1150, 1450, 1750, 1950})
        EXPECT_FALSE(page.ink(x, 1512)) << x;
    // Thin row lines, every 75 from 1250 to 2450, and none in between.
    for (int y = 1250; y <= 2450; y += 75) {
        EXPECT_TRUE(page.ink(550, y)) << y;
        EXPECT_FALSE(page.ink(550, y + 36)) << y + 36;
    }
    for (int y : {875, 950, 1025, 1100})
        EXPECT_TRUE(page.ink(550, y)) << y;
    // Header grid, remark and signature boxes (medium pen).
    for (int y : {350, 450, 550, 575, 675, 2575, 2750})
        EXPECT_TRUE(page.ink(1020, y)) << y;
    for (int x : {550, 1000, 1450})
        EXPECT_TRUE(page.ink(x, 400)) << x;
    EXPECT_FALSE(page.ink(550, 625)); // no column lines in the remark box
    EXPECT_FALSE(page.ink(1020, 2660)); // nor anything inside the signature box
}

TEST(ReportPainterLines, ThreePenWidths)
{
    const RenderedPage page(ReportLayout(), header(), 1);
    const int thick = page.verticalRun(1020, 725);
    const int medium = page.verticalRun(1020, 450);
    const int thin = page.verticalRun(1020, 875);
    EXPECT_NEAR(thick, 7, 1);
    EXPECT_NEAR(medium, 5, 1);
    EXPECT_NEAR(thin, 1, 1);
    EXPECT_GT(thick, medium);
    EXPECT_GT(medium, thin);
}

TEST(ReportPainterText, TitleIsCentredUprightAndLarge)
{
    // A lone "T": its bar marks the top of an upright letter.
    const RenderedPage page(ReportLayout(), header("T"), 1);
    const QRect box = page.inkBox(0, 0, 2099, 260); // above the date line
    ASSERT_FALSE(box.isEmpty());
    EXPECT_NEAR(box.center().x(), 1050, 12);
    EXPECT_GE(box.top(), 100);
    EXPECT_LE(box.top(), 130);
    EXPECT_NEAR(box.height(), 61, 8); // cap height of a font whose cell is 100 units
    const QVector<int> rows = page.rowInk(box.left(), box.top(), box.right(), box.bottom());
    EXPECT_GT(rows.first(), 3 * rows.last()) << "the bar of the T is not at the top";
}

TEST(ReportPainterText, PageNumberAndRowsSitInTheirCells)
{
    ProcedureModel procedure;
    fillProcedure(procedure, 7, {2, 4, 7});
    ResultTableModel results;
    fillResults(results, 40, 10);
    const ReportLayout layout = ReportLayout::prepare(procedure, results);
    const RenderedPage page(layout, header(), 5);

    const QRect number = page.inkBox(700, 2780, 1300, 2900);
    ASSERT_FALSE(number.isEmpty());
    EXPECT_NEAR(number.center().x(), 1000, 10);
    EXPECT_GE(number.top(), 2800);

    // Row 37 and its readings on the first result line, each inside its cell.
    const struct { int x1, x2; } cells[] = {{100, 250}, {250, 400}, {400, 700}, {700, 1000}, {1600, 1900}};
    for (const auto &c : cells) {
        const QRect ink = page.inkBox(c.x1 + 6, 1181, c.x2 - 6, 1244);
        ASSERT_FALSE(ink.isEmpty()) << c.x1;
        EXPECT_GT(ink.left(), c.x1 + 8) << c.x1;
        EXPECT_LT(ink.right(), c.x2 - 8) << c.x1;
        EXPECT_NEAR(ink.center().x(), (c.x1 + c.x2) / 2, 12) << c.x1;
    }
    // Lines five onward of the last block are empty.
    for (int row = 4; row < 18; ++row) {
        const int top = 1175 + 75 * row;
        EXPECT_TRUE(page.inkBox(410, top + 6, 690, top + 69).isEmpty()) << "row " << row;
        EXPECT_TRUE(page.inkBox(110, top + 6, 240, top + 69).isEmpty()) << "row " << row;
    }
}

TEST(ReportPainterText, NoTextTouchesARule)
{
    // Descenders everywhere: captions, a title and header texts with g, p, q
    // and y, and readings ending in "pF" on every result line.
    ProcedureModel procedure;
    fillProcedure(procedure, 5, {1, 3});
    ResultTableModel results;
    for (int r = 0; r < 18; ++r) {
        QStringList cells;
        for (int k = 0; k < 7; ++k)
            cells << QStringLiteral("99.7%1qpF").arg(r) << QStringLiteral("pass");
        results.appendRow(cells, ResultTableModel::Passed);
    }
    ReportDescription::Texts h = header(QStringLiteral("Quality typography pgjy"));
    for (auto f : {ReportDescription::Company, ReportDescription::Customer, ReportDescription::Instrument,
                   ReportDescription::PartNo, ReportDescription::LotNo, ReportDescription::Quantity,
                   ReportDescription::Remark})
        h[f] = QStringLiteral("gypq");
    const RenderedPage page(ReportLayout::prepare(procedure, results), h, 1);

    // Rules with text on the line above them: no ink in the strip between
    // the text line's cell and the rule's own pen, away from the column lines.
    struct Rule { int y; int halfPen; };
    QList<Rule> rules{{450, 3}, {550, 3}, {675, 3}, {800, 4}, {1175, 4}, {2525, 4}, {2750, 3}};
    for (int y : {875, 950, 1025, 1100})
        rules.append({y, 1});
    for (int y = 1250; y <= 2450; y += 75)
        rules.append({y, 1});
    const QList<int> columns{100, 250, 400, 550, 700, 1000, 1300, 1450, 1600, 1900};
    for (const Rule &r : rules) {
        for (int x = 100; x < 1900; ++x) {
            bool nearColumn = false;
            for (int c : columns)
                nearColumn = nearColumn || std::abs(x - c) <= 6;
            if (nearColumn)
                continue;
            for (int y = r.y - r.halfPen - 5; y <= r.y - r.halfPen - 2; ++y)
                ASSERT_FALSE(page.dark(x, y)) << "ink at " << x << "," << y << " just above the rule at " << r.y;
        }
    }
}
