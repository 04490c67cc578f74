#pragma once

#include "reports/ReportDescription.h"

#include <QFont>
#include <QPointF>
#include <QString>
#include <QTime>

#include <functional>

class QPagedPaintDevice;
class QPainter;
class ReportLayout;

// Draws the pages of a test report. The page is laid out in 0.1 mm units with
// y growing upward from the paper's top-left corner (so every y is negative);
// text is un-flipped locally so it reads the right way up.
class ReportPainter
{
public:
    // Sets the 0.1 mm, y-up world transform for the painter's device.
    // paperOrigin: where the paper's top-left corner lies, in device pixels,
    // relative to the painter's origin (non-zero when the device keeps margins).
    static void setPageTransform(QPainter &painter, const QPointF &paperOrigin = {});

    // Draws page (1-based) of the layout. The painter must be active; its
    // world transform is replaced and restored.
    static void paintPage(QPainter &painter, const ReportLayout &layout, const ReportDescription::Texts &header,
                          int page, const QTime &printTime, const QPointF &paperOrigin = {});

    // Pages first..last (1-based, inclusive; 0 for either means the whole
    // range) on a paged device, a new device page per report page. The
    // clock is read once, as painting starts: every page carries the same
    // time. Returns false when painting cannot start.
    static bool paintDocument(QPagedPaintDevice &device, const ReportLayout &layout,
                              const ReportDescription::Texts &header, int first = 0, int last = 0);

    // Pages that follow the report, unnumbered, each on a new device page:
    // `paint` draws page `index` (0-based) of `pages`, with the painter
    // active and its transform the device's own.
    struct Appendix
    {
        int pages = 0;
        std::function<void(QPainter &painter, int index, const QPointF &paperOrigin)> paint;
    };
    // As above, then the appendix when the range printed ends with the
    // report's last page. keepGoing is asked before each page with the pages
    // painted and the pages to paint; false ends the painting (returns false).
    using KeepGoing = std::function<bool(int done, int total)>;
    static bool paintDocument(QPagedPaintDevice &device, const ReportLayout &layout,
                              const ReportDescription::Texts &header, int first, int last, const Appendix &appendix,
                              const KeepGoing &keepGoing = {});

    // "13:5:9"; "-1:-1:-1" when the time is unknown.
    static QString clockText(const QTime &time);
    // The line above the header grid: the Date field, two spaces, the clock.
    static QString dateLineText(const QString &date, const QTime &time);
    static QString pageNumberText(int page, int pageCount);

    // Verdana, thin, 100 and 50 units high from the top of the ascent to the
    // bottom of the descent; the nearest sans face where Verdana is missing.
    static QFont largeFont();
    static QFont smallFont();

    // Pens, in 0.1 mm.
    static constexpr int ThickPen = 7;
    static constexpr int MediumPen = 5;
    static constexpr int ThinPen = 1;
};

// Writes the whole report as an A4 PDF; works with no printer installed.
// Returns false when the file cannot be written.
bool printReportToPdf(const ReportLayout &layout, const ReportDescription::Texts &header, const QString &path,
                      const ReportPainter::Appendix &appendix = {});
