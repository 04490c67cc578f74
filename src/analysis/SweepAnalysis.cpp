#include "analysis/SweepAnalysis.h"

#include "analysis/FitReport.h"
#include "analysis/SweepMarkers.h"
#include "common/AxisTicks.h"

#include <cmath>

QString SweepAnalysis::unitFor(const QString &item)
{
    if (item == QLatin1String("Z") || item == QLatin1String("X") || item == QLatin1String("R") || item == QLatin1String("Rdc"))
        return QStringLiteral("\u03a9");
    if (item == QLatin1String("Y") || item == QLatin1String("B") || item == QLatin1String("G"))
        return QStringLiteral("S");
    if (item == QLatin1String("C"))
        return QStringLiteral("F");
    if (item == QLatin1String("L"))
        return QStringLiteral("H");
    if (item == QLatin1String("Angle"))
        return QStringLiteral("\u00b0");
    return QString();
}

QString SweepAnalysis::format(double value, const QString &unit)
{
    return AxisTicks::format(value, unit, 6);
}

QString SweepAnalysis::describe(const LimitMask::Failure &f) const
{
    const QString unit = unitFor(m_columns.lineItem(f.line));
    const QString xUnit = isFrequencySweep() ? QStringLiteral("Hz") : QStringLiteral("V");
    return QStringLiteral("%1 step %2 at %3: %4 %5 the %6 limit %7")
        .arg(m_columns.lineTitles.value(f.line - 1, QStringLiteral("line %1").arg(f.line)))
        .arg(f.row + 1)
        .arg(AxisTicks::format(f.x, xUnit), AxisTicks::format(f.value, unit),
            f.above ? QStringLiteral("above") : QStringLiteral("below"), f.above ? QStringLiteral("upper") : QStringLiteral("lower"),
            AxisTicks::format(f.limit, unit));
}

bool SweepAnalysis::setData(const SweepColumns &columns, bool withSecondItem)
{
    const bool changed = !(columns == m_columns) || withSecondItem != m_withSecondItem;
    m_columns = columns;
    m_withSecondItem = withSecondItem;
    m_lines.clear();
    for (int l = 1; l <= columns.lineCount(); ++l) {
        Line line;
        line.line = l;
        line.title = columns.lineTitles.value(l - 1);
        line.item = columns.lineItem(l);
        line.unit = unitFor(line.item);
        line.secondItem = withSecondItem && l % 2 == 0;
        for (int r = 0; r < columns.rows.size(); ++r) {
            double x = 0, y = 0;
            if (columns.sweptValue(r, &x) && columns.lineValue(r, l, &y))
                line.points << QPointF(x, y);
            else if (!columns.cell(r, l).isEmpty())
                ++line.unreadable;
        }
        m_lines << line;
    }
    double lo = 0, hi = 0;
    if (xSpan(&lo, &hi))
        for (Marker &m : m_markers)
            m.x = std::clamp(m.x, lo, hi);
    if (changed) {
        for (Automatic kind : m_automatic) {
            const QString name = nameOf(kind);
            int at = -1;
            for (int i = 0; i < m_markers.size(); ++i)
                if (m_markers[i].name == name)
                    at = i;
            double x = 0;
            QString why;
            if (!locate(kind, &x, &why)) {
                if (at >= 0)
                    m_markers.removeAt(at);
            } else if (at >= 0) {
                moveMarker(at, x);
            } else {
                addMarker(x, name);
            }
        }
    }
    judgeMask();
    return changed;
}

bool SweepAnalysis::xSpan(double *lo, double *hi) const
{
    bool any = false;
    for (const Line &l : m_lines)
        for (const QPointF &p : l.points) {
            if (!any) {
                *lo = *hi = p.x();
                any = true;
            }
            *lo = std::min(*lo, p.x());
            *hi = std::max(*hi, p.x());
        }
    return any;
}

bool SweepAnalysis::addMarker(double x, const QString &name)
{
    if (m_markers.size() >= MaxMarkers)
        return false;
    Marker m;
    m.name = name;
    if (m.name.isEmpty()) {
        for (int n = 1; n <= MaxMarkers && m.name.isEmpty(); ++n) {
            const QString candidate = QStringLiteral("M%1").arg(n);
            bool used = false;
            for (const Marker &o : m_markers)
                used = used || o.name == candidate;
            if (!used)
                m.name = candidate;
        }
    }
    m_markers << m;
    moveMarker(int(m_markers.size()) - 1, x);
    return true;
}

void SweepAnalysis::moveMarker(int index, double x)
{
    if (index < 0 || index >= m_markers.size())
        return;
    double lo = 0, hi = 0;
    m_markers[index].x = xSpan(&lo, &hi) ? std::clamp(x, lo, hi) : x;
}

void SweepAnalysis::removeMarker(int index)
{
    if (index < 0 || index >= m_markers.size())
        return;
    for (Automatic kind : {Automatic::Minimum, Automatic::Maximum, Automatic::Resonance})
        if (m_markers[index].name == nameOf(kind))
            m_automatic.removeAll(kind);
    m_markers.removeAt(index);
}

QString SweepAnalysis::nameOf(Automatic kind)
{
    switch (kind) {
    case Automatic::Minimum: return QStringLiteral("min");
    case Automatic::Maximum: return QStringLiteral("max");
    case Automatic::Resonance: return QStringLiteral("resonance");
    }
    return {};
}

bool SweepAnalysis::locate(Automatic kind, double *x, QString *why) const
{
    if (m_lines.isEmpty() || m_lines[0].points.isEmpty()) {
        *why = QStringLiteral("There is no sweep to read.");
        return false;
    }
    if (kind == Automatic::Minimum)
        return SweepMarkers::minimumX(m_lines[0].points, x);
    if (kind == Automatic::Maximum)
        return SweepMarkers::maximumX(m_lines[0].points, x);
    QVector<QPointF> angle, magnitude;
    for (const Line &l : m_lines) {
        if (l.item == QLatin1String("Angle") && angle.isEmpty())
            angle = l.points;
        if ((l.item == QLatin1String("Z")) && magnitude.isEmpty())
            magnitude = l.points;
    }
    if (angle.isEmpty() && magnitude.isEmpty()) {
        *why = QStringLiteral("A resonance needs a sweep of Z or of the phase angle.");
        return false;
    }
    if (!SweepMarkers::resonanceX(angle, magnitude, logX, x)) {
        *why = QStringLiteral("The sweep shows no resonance.");
        return false;
    }
    return true;
}

bool SweepAnalysis::placeAutomatic(Automatic kind, QString *why)
{
    double x = 0;
    if (!locate(kind, &x, why))
        return false;
    const QString name = nameOf(kind);
    bool placed = false;
    for (int i = 0; i < m_markers.size() && !placed; ++i)
        if (m_markers[i].name == name) {
            moveMarker(i, x);
            placed = true;
        }
    if (!placed && !addMarker(x, name)) {
        *why = QStringLiteral("Four markers are placed already; remove one first.");
        return false;
    }
    if (!m_automatic.contains(kind))
        m_automatic << kind;
    return true;
}

double SweepAnalysis::reading(int marker, int lineIndex) const
{
    double y = std::nan("");
    if (marker < 0 || marker >= m_markers.size() || lineIndex < 0 || lineIndex >= m_lines.size())
        return y;
    if (!SweepMarkers::valueAt(m_lines[lineIndex].points, m_markers[marker].x, logX, &y))
        return std::nan("");
    return y;
}

bool SweepAnalysis::loadMask(const QString &path, QString *error)
{
    LimitMask candidate;
    if (!candidate.load(path, error) || !candidate.checkAgainst(m_columns, path, error))
        return false;
    mask = candidate;
    judgeMask();
    return true;
}

void SweepAnalysis::judgeMask()
{
    verdict = hasMask() ? mask.judge(m_columns) : LimitMask::Verdict();
}
