#pragma once

#include "analysis/SweepColumns.h"

#include <QPointF>
#include <QString>
#include <QVector>

// Upper and lower limit lines per plotted line, straight segments between
// points (straight on a log X or Y axis when the mask says "x" or "y":
// "log"), read
// from a JSON file of their own (docs/sweep-mask.md). X in hertz or volts,
// Y in the line's base unit (ohm, farad, henry, siemens, degrees, or the
// plain number of Q and D).
class LimitMask
{
public:
    struct Limit
    {
        int line = 0;
        QVector<QPointF> upper; // sorted by x; empty: none
        QVector<QPointF> lower;
    };

    struct Failure
    {
        int line = 0;
        int row = 0; // 0-based; the Step shown is row + 1
        double x = 0;
        double value = 0;
        double limit = 0;
        bool above = false; // above the upper limit, else below the lower
    };

    struct Verdict
    {
        int judged = 0;
        QVector<Failure> failures;
        bool passed() const { return failures.isEmpty(); }
    };

    // Reads a mask file; false with one sentence naming the file and the
    // problem (not JSON, bad points, limits crossing).
    bool load(const QString &path, QString *error);
    bool fromJson(const QByteArray &json, const QString &name, QString *error);
    QByteArray toJson() const;
    bool save(const QString &path, QString *error) const;

    bool logX() const { return m_logX; }
    void setLogX(bool on) { m_logX = on; }
    // "y": "log": between two points of a limit the value runs straight on
    // a log Y axis (both values above 0).
    bool logY() const { return m_logY; }
    void setLogY(bool on) { m_logY = on; }
    const QVector<Limit> &limits() const { return m_limits; }
    void setLimits(const QVector<Limit> &limits) { m_limits = limits; }
    bool isEmpty() const { return m_limits.isEmpty(); }

    // A limit line at x (interpolated); false outside its span.
    bool valueAt(const QVector<QPointF> &segment, double x, double *y) const;

    // False with a sentence naming the file when the mask names a line
    // the sweep has no data for.
    bool checkAgainst(const SweepColumns &columns, const QString &name, QString *error) const;
    // Every readable point of every masked line judged against the limits
    // whose span holds its x.
    Verdict judge(const SweepColumns &columns) const;
    // "Z1 step 37 at 5030000 Hz: 0.0501 above the upper limit 0.04".
    static QString describe(const SweepColumns &columns, const Failure &failure);

private:
    QVector<Limit> m_limits;
    bool m_logX = false;
    bool m_logY = false;
};
