#include "analysis/SweepMarkers.h"

#include <algorithm>
#include <cmath>

namespace SweepMarkers {

namespace {

const double Pi = 3.14159265358979323846;

QVector<QPointF> sorted(const QVector<QPointF> &line)
{
    QVector<QPointF> s;
    s.reserve(line.size());
    for (const QPointF &p : line)
        if (std::isfinite(p.x()) && std::isfinite(p.y()))
            s << p;
    if (!std::is_sorted(s.begin(), s.end(), [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); }))
        std::stable_sort(s.begin(), s.end(), [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
    return s;
}

double position(double x, double a, double b, bool logX)
{
    if (b == a)
        return 0.0;
    if (logX && a > 0 && b > 0 && x > 0)
        return std::log(x / a) / std::log(b / a);
    return (x - a) / (b - a);
}

double between(double a, double b, double t, bool logX)
{
    if (logX && a > 0 && b > 0)
        return a * std::pow(b / a, t);
    return a + t * (b - a);
}

} // namespace

bool valueAt(const QVector<QPointF> &line, double x, bool logX, double *y)
{
    const QVector<QPointF> s = sorted(line);
    if (s.size() < 2 || !(x >= s.first().x()) || !(x <= s.last().x()))
        return false;
    auto it = std::lower_bound(s.begin(), s.end(), x, [](const QPointF &p, double v) { return p.x() < v; });
    if (it == s.begin()) {
        *y = it->y();
        return true;
    }
    const QPointF a = *(it - 1), b = *it;
    *y = a.y() + position(x, a.x(), b.x(), logX) * (b.y() - a.y());
    return true;
}

bool minimumX(const QVector<QPointF> &line, double *x)
{
    const QVector<QPointF> s = sorted(line);
    if (s.isEmpty())
        return false;
    *x = std::min_element(s.begin(), s.end(), [](const QPointF &a, const QPointF &b) { return a.y() < b.y(); })->x();
    return true;
}

bool maximumX(const QVector<QPointF> &line, double *x)
{
    const QVector<QPointF> s = sorted(line);
    if (s.isEmpty())
        return false;
    *x = std::max_element(s.begin(), s.end(), [](const QPointF &a, const QPointF &b) { return a.y() < b.y(); })->x();
    return true;
}

bool resonanceX(const QVector<QPointF> &angle, const QVector<QPointF> &magnitude, bool logX, double *x)
{
    const QVector<QPointF> a = sorted(angle);
    for (int i = 1; i < a.size(); ++i) {
        const double y0 = a[i - 1].y(), y1 = a[i].y();
        if (y0 == 0) {
            *x = a[i - 1].x();
            return true;
        }
        // A jump across +-180 degrees is a wrap, not a crossing of 0.
        if ((y0 < 0) == (y1 < 0) || std::fabs(y0) >= 90 || std::fabs(y1) >= 90)
            continue;
        const double t0 = std::tan(y0 * Pi / 180), t1 = std::tan(y1 * Pi / 180);
        *x = between(a[i - 1].x(), a[i].x(), t0 / (t0 - t1), logX);
        return true;
    }
    if (!a.isEmpty() && a.last().y() == 0) {
        *x = a.last().x();
        return true;
    }
    const QVector<QPointF> m = sorted(magnitude);
    if (m.isEmpty())
        return false;
    const int i = int(std::min_element(m.begin(), m.end(), [](const QPointF &p, const QPointF &q) { return p.y() < q.y(); })
        - m.begin());
    *x = m[i].x();
    if (i > 0 && i + 1 < m.size()) {
        // Vertex of the parabola through the three points (in log x when asked).
        auto u = [&](double v) { return logX && v > 0 ? std::log(v) : v; };
        const double x0 = u(m[i - 1].x()), x1 = u(m[i].x()), x2 = u(m[i + 1].x());
        const double y0 = m[i - 1].y(), y1 = m[i].y(), y2 = m[i + 1].y();
        const double d = (x0 - x1) * (x0 - x2) * (x1 - x2);
        if (d != 0) {
            const double A = (x2 * (y1 - y0) + x1 * (y0 - y2) + x0 * (y2 - y1)) / d;
            const double B = (x2 * x2 * (y0 - y1) + x1 * x1 * (y2 - y0) + x0 * x0 * (y1 - y2)) / d;
            if (A > 0) {
                const double v = std::clamp(-B / (2 * A), std::min(x0, x2), std::max(x0, x2));
                *x = logX && m[i].x() > 0 ? std::exp(v) : v;
            }
        }
    }
    return true;
}

double clampToLine(const QVector<QPointF> &line, double x)
{
    const QVector<QPointF> s = sorted(line);
    if (s.isEmpty())
        return x;
    return std::clamp(x, s.first().x(), s.last().x());
}

} // namespace SweepMarkers
