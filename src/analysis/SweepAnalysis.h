#pragma once

#include "analysis/CircuitFit.h"
#include "analysis/LimitMask.h"
#include "analysis/SweepColumns.h"

#include <QPointF>
#include <QString>
#include <QVector>

// What the Sweep Analysis window shows, without the window: the sweep's
// lines in base units, up to four markers reading every line, the fit and
// the mask with its verdict.
class SweepAnalysis
{
public:
    static constexpr int MaxMarkers = 4;

    struct Line
    {
        int line = 0;      // 1..4, as plotted
        QString title;     // "Z1"
        QString item;      // "Z"
        QString unit;      // base unit: "Ohm" shown as the ohm sign, "F", "deg"...
        bool secondItem = false; // drawn against the right-hand axis
        QVector<QPointF> points; // (x in Hz or V, value in base units)
        int unreadable = 0;
    };

    struct Marker
    {
        QString name; // "M1", or "min", "max", "resonance"
        double x = 0;
    };

    enum class Automatic { Minimum, Maximum, Resonance };

    // Takes the lines to show; true when they differ from those shown. The
    // markers placed automatically are found again in new data, and are
    // left out while it shows none (a sweep under way); markers placed by
    // hand stay at their X, within the data's span.
    bool setData(const SweepColumns &columns, bool withSecondItem);
    const SweepColumns &columns() const { return m_columns; }
    bool withSecondItem() const { return m_withSecondItem; }
    const QVector<Line> &lines() const { return m_lines; }
    bool isFrequencySweep() const { return m_columns.isFrequencySweep(); }

    bool logX = false;

    // Markers. add: false when four are there already. x is kept within the
    // data's X span.
    const QVector<Marker> &markers() const { return m_markers; }
    bool addMarker(double x, const QString &name = {});
    void moveMarker(int index, double x);
    void removeMarker(int index);
    void clearMarkers()
    {
        m_markers.clear();
        m_automatic.clear();
    }
    // Adds (or moves, when one of that name exists) an automatic marker on
    // the first line (resonance: the angle line of the first draw, or the
    // smallest |Z|); false with the reason when there is none.
    bool placeAutomatic(Automatic kind, QString *why);
    // Every line's value at a marker; NaN where the line has none.
    double reading(int marker, int lineIndex) const;
    // The X span of the data; false without data.
    bool xSpan(double *lo, double *hi) const;

    // A failing point as the window says it, in engineering notation with
    // the unit signs: "Z1 step 70 at 5.124 MHz: 51.28 mΩ below the lower limit 60 mΩ".
    QString describe(const LimitMask::Failure &failure) const;
    // "15.9155 kΩ" style: engineering notation with the unit sign.
    static QString format(double value, const QString &unit);
    static QString unitFor(const QString &item);

    // Mask.
    LimitMask mask;
    LimitMask::Verdict verdict;
    bool hasMask() const { return !mask.isEmpty(); }
    // Loads and checks a mask; on failure the mask shown stays as it was.
    bool loadMask(const QString &path, QString *error);
    void judgeMask();

private:
    static QString nameOf(Automatic kind);
    bool locate(Automatic kind, double *x, QString *why) const;

    SweepColumns m_columns;
    bool m_withSecondItem = false;
    QVector<Line> m_lines;
    QVector<Marker> m_markers;
    // The automatic markers asked for, found again whenever the data change.
    QVector<Automatic> m_automatic;
};
