#pragma once

#include <QDate>
#include <QImage>
#include <QLocale>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <functional>

class GraphData;
class QPagedPaintDevice;
class QPainter;

// The one-page graph print: the description block, a spacer, the dated
// caption and the picture of the graph, on an upright or sideways page.
// "<newline>" in the description breaks the line and "<longdate>" becomes
// the date in long form; the description's own line ends are dropped.
class GraphPrint
{
public:
    static const QString &defaultDescription();
    static const QString &captionTemplate();

    // The description with every carriage return and line feed removed.
    static QString printableDescription(const QString &description);
    // The printed lines of the description block.
    static QStringList descriptionLines(const QString &description, const QDate &date,
                                        const QLocale &locale = QLocale());
    static QString expandDate(const QString &text, const QDate &date, const QLocale &locale = QLocale());
    static QString captionText(const QDate &date, const QLocale &locale = QLocale());

    // Where each part of the page goes, in device pixels of the paint area.
    struct Placement
    {
        QVector<QRectF> descriptionLines;
        QRectF spacer;
        QRectF caption;
        QRectF picture;
    };
    // Margin around the page content, in millimetres.
    static constexpr double MarginMm = 15.0;
    static Placement place(const QRectF &area, double dpi, int descriptionLineCount, const QSize &pictureSize);

    // Draws the page onto an active painter whose device area is area.
    static void paint(QPainter &painter, const QRectF &area, const QImage &picture, const QString &description,
                      const QDate &date);
    // Sets the orientation, then paints one page. False when painting cannot start.
    static bool print(QPagedPaintDevice &device, const QImage &picture, const QString &description, bool landscape,
                      const QDate &date = QDate::currentDate());

    // The same page with the graph drawn in lines and text by GraphPainter
    // where a picture of pictureSize would go: sharp at any size, its words
    // readable from the file.
    static void paint(QPainter &painter, const QRectF &area, const GraphData &graph, const QSize &pictureSize,
                      const QString &description, const QDate &date);
    static bool print(QPagedPaintDevice &device, const GraphData &graph, const QSize &pictureSize,
                      const QString &description, bool landscape, const QDate &date = QDate::currentDate());

    // The same page with the graph drawn by drawGraph into bounds, in the
    // pixels of a picture of pictureSize.
    using GraphDrawer = std::function<void(QPainter &painter, const QRectF &bounds)>;
    static void paint(QPainter &painter, const QRectF &area, const GraphDrawer &drawGraph, const QSize &pictureSize,
                      const QString &description, const QDate &date);
    static bool print(QPagedPaintDevice &device, const GraphDrawer &drawGraph, const QSize &pictureSize,
                      const QString &description, bool landscape, const QDate &date = QDate::currentDate());
};

// Writes the graph page as an A4 PDF, sideways when landscape.
bool printGraphToPdf(const QImage &picture, const QString &description, bool landscape, const QString &path);
bool printGraphToPdf(const GraphData &graph, const QSize &pictureSize, const QString &description, bool landscape,
                     const QString &path);
