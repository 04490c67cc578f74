#include "reports/GraphPrint.h"

#include "plotter/GraphData.h"
#include "plotter/GraphPainter.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

namespace {

const QLatin1String newlineMarker("<newline>");
const QLatin1String longdateMarker("<longdate>");

QFont printFont(double points)
{
    QFont f(QStringLiteral("Verdana"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    return f;
}

constexpr double DescriptionPoints = 14.0;
constexpr double CaptionPoints = 10.0;

// Line height of a font on a device of the given resolution; fonts in points
// scale with the device, so it is worked out rather than measured on screen.
double lineHeight(double points, double dpi)
{
    QFont f = printFont(points);
    // Measure at a fixed pixel size and scale: independent of the screen.
    f.setPixelSize(100);
    const QFontMetricsF fm(f);
    return fm.lineSpacing() / 100.0 * points * dpi / 72.0;
}

} // namespace

const QString &GraphPrint::defaultDescription()
{
    static const QString d = QStringLiteral("Tarvolis Instrument Co., Ltd.<newline>\r\n"
                                            "1000 Ridezadiva Vozodeve.<newline>\r\n"
                                            "Velmora<newline>\r\n");
    return d;
}

const QString &GraphPrint::captionTemplate()
{
    static const QString c = QStringLiteral("Automated Widget test results logged <longdate>");
    return c;
}

QString GraphPrint::printableDescription(const QString &description)
{
    QString out = description;
    out.remove(QChar(13));
    out.remove(QChar(10));
    return out;
}

QString GraphPrint::expandDate(const QString &text, const QDate &date, const QLocale &locale)
{
    QString out = text;
    return out.replace(longdateMarker, locale.toString(date, QLocale::LongFormat));
}

QStringList GraphPrint::descriptionLines(const QString &description, const QDate &date, const QLocale &locale)
{
    QStringList lines = expandDate(printableDescription(description), date, locale).split(newlineMarker);
    // A marker at the very end closes the last line rather than opening one.
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString GraphPrint::captionText(const QDate &date, const QLocale &locale)
{
    return expandDate(captionTemplate(), date, locale);
}

GraphPrint::Placement GraphPrint::place(const QRectF &area, double dpi, int descriptionLineCount,
                                        const QSize &pictureSize)
{
    Placement pl;
    const double margin = MarginMm / 25.4 * dpi;
    const QRectF content = area.adjusted(margin, margin, -margin, -margin);
    const double big = lineHeight(DescriptionPoints, dpi);
    const double small = lineHeight(CaptionPoints, dpi);

    double y = content.top();
    for (int i = 0; i < descriptionLineCount; ++i) {
        pl.descriptionLines.append(QRectF(content.left(), y, content.width(), big));
        y += big;
    }
    // Two empty table rows, then two blank lines, all in the description's font.
    pl.spacer = QRectF(content.left(), y, content.width(), 2 * big);
    y += 4 * big;
    pl.caption = QRectF(content.left(), y, content.width(), small);
    y += 2 * small; // the caption and one blank line

    const QRectF room(content.left(), y, content.width(), std::max(0.0, content.bottom() - y));
    if (pictureSize.isEmpty() || room.isEmpty())
        return pl;
    QSizeF fitted = QSizeF(pictureSize).scaled(room.size(), Qt::KeepAspectRatio);
    pl.picture = QRectF(room.left() + (room.width() - fitted.width()) / 2, room.top(), fitted.width(),
                        fitted.height());
    return pl;
}

void GraphPrint::paint(QPainter &painter, const QRectF &area, const QImage &picture, const QString &description,
                       const QDate &date)
{
    const double dpi = painter.device() ? painter.device()->logicalDpiY() : 96.0;
    const QStringList lines = descriptionLines(description, date);
    const Placement pl = place(area, dpi, int(lines.size()), picture.size());

    painter.save();
    painter.setPen(Qt::black);
    painter.setFont(printFont(DescriptionPoints));
    const int align = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(pl.descriptionLines.at(i), align, lines.at(i));
    painter.setFont(printFont(CaptionPoints));
    painter.drawText(pl.caption, align, captionText(date));
    if (!pl.picture.isEmpty()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(pl.picture, picture);
    }
    painter.restore();
}

void GraphPrint::paint(QPainter &painter, const QRectF &area, const GraphDrawer &drawGraph,
                       const QSize &pictureSize, const QString &description, const QDate &date)
{
    // The page with an empty picture of the right size, then the graph
    // drawn in the picture's own pixels, scaled to where it goes.
    paint(painter, area, QImage(), description, date);
    const double dpi = painter.device() ? painter.device()->logicalDpiY() : 96.0;
    const Placement pl = place(area, dpi, int(descriptionLines(description, date).size()), pictureSize);
    if (pl.picture.isEmpty())
        return;
    painter.save();
    painter.translate(pl.picture.topLeft());
    painter.scale(pl.picture.width() / pictureSize.width(), pl.picture.height() / pictureSize.height());
    const QRectF bounds(QPointF(0, 0), QSizeF(pictureSize));
    painter.setClipRect(bounds);
    drawGraph(painter, bounds);
    painter.restore();
}

void GraphPrint::paint(QPainter &painter, const QRectF &area, const GraphData &graph, const QSize &pictureSize,
                       const QString &description, const QDate &date)
{
    paint(painter, area, [&graph](QPainter &p, const QRectF &bounds) {
        p.fillRect(bounds, QColor(240, 240, 240));
        p.setRenderHint(QPainter::Antialiasing);
        GraphPainter::paint(p, graph, bounds);
    }, pictureSize, description, date);
}

bool GraphPrint::print(QPagedPaintDevice &device, const GraphDrawer &drawGraph, const QSize &pictureSize,
                       const QString &description, bool landscape, const QDate &date)
{
    device.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const QRectF area(QPointF(0, 0), QSizeF(device.width(), device.height()));
    paint(painter, area, drawGraph, pictureSize, description, date);
    return painter.end();
}

bool GraphPrint::print(QPagedPaintDevice &device, const GraphData &graph, const QSize &pictureSize,
                       const QString &description, bool landscape, const QDate &date)
{
    device.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const QRectF area(QPointF(0, 0), QSizeF(device.width(), device.height()));
    paint(painter, area, graph, pictureSize, description, date);
    return painter.end();
}

bool GraphPrint::print(QPagedPaintDevice &device, const QImage &picture, const QString &description, bool landscape,
                       const QDate &date)
{
    device.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const QRectF area(QPointF(0, 0), QSizeF(device.width(), device.height()));
    paint(painter, area, picture, description, date);
    return painter.end();
}

namespace {

// An A4 PDF at 600 dpi without margins, one page drawn by page.
template<class Page>
bool writeGraphPdf(const QString &path, Page page)
{
    {
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly))
            return false;
    }
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(600);
    writer.setCreator(QStringLiteral("Qel"));
    return page(writer);
}

} // namespace

bool printGraphToPdf(const QImage &picture, const QString &description, bool landscape, const QString &path)
{
    return writeGraphPdf(path, [&](QPdfWriter &w) { return GraphPrint::print(w, picture, description, landscape); });
}

bool printGraphToPdf(const GraphData &graph, const QSize &pictureSize, const QString &description, bool landscape,
                     const QString &path)
{
    return writeGraphPdf(
        path, [&](QPdfWriter &w) { return GraphPrint::print(w, graph, pictureSize, description, landscape); });
}
