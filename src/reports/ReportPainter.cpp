#include "reports/ReportPainter.h"

#include "reports/ReportLayout.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>

namespace {

// height is the character cell, ascent plus descent, as a font asked for
// by its height gets it; the em is smaller by the face's own proportion.
QFont reportFont(int height)
{
    QFont f(QStringLiteral("Verdana"));
    f.setStyleHint(QFont::SansSerif);
    // Verdana has no thin face, so asking for thin prints it regular. A
    // substitute may have one (DejaVu Sans ExtraLight) that would come out
    // faint, so substitutes are asked for their regular face.
    static const bool haveVerdana = QFontDatabase::hasFamily(QStringLiteral("Verdana"));
    f.setWeight(haveVerdana ? QFont::Thin : QFont::Normal);
    constexpr int Probe = 1000;
    f.setPixelSize(Probe);
    const QFontMetricsF fm(f);
    const double cell = fm.ascent() + fm.descent();
    f.setPixelSize(cell > 0.0 ? qMax(1, qRound(height * Probe / cell)) : height);
    return f;
}

// Text with its top edge at y; x is the left edge or, when centred, the middle.
void drawText(QPainter &p, double x, double y, const QString &text, bool centred)
{
    if (text.isEmpty())
        return;
    p.save();
    p.translate(x, y);
    p.scale(1, -1);
    const QRectF box = centred ? QRectF(-2000, 0, 4000, 400) : QRectF(0, 0, 4000, 400);
    const int align = (centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop | Qt::TextDontClip
            | Qt::TextSingleLine;
    p.drawText(box, align, text);
    p.restore();
}

// One line per row, top of the first at y, each 75 units lower.
void drawColumn(QPainter &p, double x, double y, const QString &text, int maxLines)
{
    const QStringList lines = ReportLayout::lines(text);
    const int n = std::min<int>(int(lines.size()), maxLines);
    for (int i = 0; i < n; ++i)
        drawText(p, x, y - 75.0 * i, lines.at(i), true);
}

void drawRect(QPainter &p, double x1, double y1, double x2, double y2)
{
    p.drawRect(QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized());
}

void hLine(QPainter &p, double y, double x1 = 100, double x2 = 1900)
{
    p.drawLine(QPointF(x1, y), QPointF(x2, y));
}

void vLine(QPainter &p, double x, double y1, double y2)
{
    p.drawLine(QPointF(x, y1), QPointF(x, y2));
}

QPen pen(int width)
{
    QPen pen(Qt::black, width, Qt::SolidLine);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

} // namespace

QFont ReportPainter::largeFont()
{
    return reportFont(100);
}

QFont ReportPainter::smallFont()
{
    return reportFont(50);
}

QString ReportPainter::clockText(const QTime &time)
{
    if (!time.isValid())
        return QStringLiteral("-1:-1:-1");
    return QStringLiteral("%1:%2:%3").arg(time.hour()).arg(time.minute()).arg(time.second());
}

QString ReportPainter::dateLineText(const QString &date, const QTime &time)
{
    return date + QLatin1String("  ") + clockText(time);
}

QString ReportPainter::pageNumberText(int page, int pageCount)
{
    return QStringLiteral("%1/%2").arg(page).arg(pageCount);
}

void ReportPainter::setPageTransform(QPainter &painter, const QPointF &paperOrigin)
{
    const QPaintDevice *d = painter.device();
    const double sx = d ? d->logicalDpiX() / 254.0 : 1.0;
    const double sy = d ? d->logicalDpiY() / 254.0 : 1.0;
    QTransform t;
    t.translate(paperOrigin.x(), paperOrigin.y());
    t.scale(sx, -sy);
    painter.setWorldTransform(t);
}

void ReportPainter::paintPage(QPainter &p, const ReportLayout &layout, const ReportDescription::Texts &header,
                              int page, const QTime &printTime, const QPointF &paperOrigin)
{
    using RD = ReportDescription;
    p.save();
    setPageTransform(p, paperOrigin);
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(ThinPen));

    const QFont large = largeFont();
    const QFont small = smallFont();

    p.setFont(large);
    drawText(p, 1050, -100, header[RD::Title], true);

    p.setFont(small);
    drawText(p, 1450, -275, dateLineText(header[RD::Date], printTime), false);

    // Header grid.
    p.setPen(pen(MediumPen));
    drawRect(p, 100, -350, 1900, -550);
    hLine(p, -450);
    for (int x : {550, 1000, 1450})
        vLine(p, x, -350, -550);
    drawText(p, 125, -370, QLatin1String("Co.: ") + header[RD::Company], false);
    drawText(p, 125, -470, QLatin1String("Cust.: ") + header[RD::Customer], false);
    drawText(p, 575, -370, QLatin1String("Inst.: ") + header[RD::Instrument], false);
    drawText(p, 575, -470, QLatin1String("Date: ") + header[RD::Date], false);
    drawText(p, 1025, -370, QLatin1String("Part No: ") + header[RD::PartNo], false);
    drawText(p, 1025, -470, QLatin1String("Lot No: ") + header[RD::LotNo], false);
    drawText(p, 1475, -370, QLatin1String("Quantity: ") + header[RD::Quantity], false);
    drawText(p, 1475, -470, QLatin1String("Sampling: ") + header[RD::Sampling], false);

    drawRect(p, 100, -575, 1900, -675);
    drawText(p, 125, -595, QLatin1String("Remark: ") + header[RD::Remark], false);

    // Results grid: thin lines first so the thick frame stays on top.
    p.setPen(pen(ThinPen));
    for (int y : {-875, -950, -1025, -1100})
        hLine(p, y);
    for (int y = -1250; y >= -2450; y -= 75)
        hLine(p, y);
    for (int x : {400, 700, 1000, 1300, 1600})
        vLine(p, x, -725, -2525);

    p.setPen(pen(ThickPen));
    drawRect(p, 100, -725, 1900, -2525);
    hLine(p, -800);
    hLine(p, -1175);
    vLine(p, 250, -725, -2525);

    static const char *const captions[] = {"Seq.", "Std.", "Low", "High", "Frq.", "Level"};
    for (int i = 0; i < 6; ++i)
        drawText(p, 175, -740 - 75 * i, QLatin1String(captions[i]), true);
    drawText(p, 325, -740, ReportLayout::verdictHeading(), true);

    p.setPen(pen(MediumPen));
    drawRect(p, 100, -2575, 1900, -2750);
    drawText(p, 125, -2600, QStringLiteral("SIGNATURE"), false);

    drawText(p, 1000, -2800, pageNumberText(page, layout.pageCount()), true);

    const int index = page - 1;
    drawColumn(p, 175, -1190, layout.rowNumbers(index), ReportLayout::RowsPerBlock);
    drawColumn(p, 325, -1190, layout.verdicts(index), ReportLayout::RowsPerBlock);
    for (int a = 0; a < ReportLayout::ItemsPerPage; ++a)
        drawColumn(p, 550 + 300 * a, -740, layout.itemColumn(index, a),
                   ReportLayout::HeadingLines + ReportLayout::RowsPerBlock);

    p.restore();
}

bool ReportPainter::paintDocument(QPagedPaintDevice &device, const ReportLayout &layout,
                                  const ReportDescription::Texts &header, int first, int last)
{
    return paintDocument(device, layout, header, first, last, Appendix());
}

bool ReportPainter::paintDocument(QPagedPaintDevice &device, const ReportLayout &layout,
                                  const ReportDescription::Texts &header, int first, int last, const Appendix &appendix,
                                  const KeepGoing &keepGoing)
{
    const int total = layout.pageCount();
    if (first <= 0)
        first = 1;
    if (last <= 0 || last > total)
        last = total;
    if (first > last)
        return false;

    // Devices that keep margins put the painter's origin inside them; the page
    // is measured from the paper's corner.
    const QPageLayout pl = device.pageLayout();
    const int dpi = device.logicalDpiX();
    const QPointF origin = pl.fullRectPixels(dpi).topLeft() - pl.paintRectPixels(dpi).topLeft();

    const int extra = last == total && appendix.paint ? appendix.pages : 0;
    const int pages = last - first + 1 + extra;
    int done = 0;
    auto stop = [&] { return keepGoing && !keepGoing(done++, pages); };

    // One print is one moment: a long print does not tick from page to page.
    const QTime printTime = QTime::currentTime();
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    for (int page = first; page <= last; ++page) {
        if (stop())
            return false;
        if (page > first && !device.newPage())
            return false;
        paintPage(painter, layout, header, page, printTime, origin);
    }
    if (extra > 0) {
        for (int i = 0; i < appendix.pages; ++i) {
            if (stop() || !device.newPage())
                return false;
            painter.save();
            appendix.paint(painter, i, origin);
            painter.restore();
        }
    }
    return painter.end();
}

bool printReportToPdf(const ReportLayout &layout, const ReportDescription::Texts &header, const QString &path,
                      const ReportPainter::Appendix &appendix)
{
    {
        // QPdfWriter does not tell us when the file cannot be created.
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly))
            return false;
    }
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(1200);
    writer.setTitle(header[ReportDescription::Title]);
    writer.setCreator(QStringLiteral("Qel"));
    return ReportPainter::paintDocument(writer, layout, header, 0, 0, appendix);
}
