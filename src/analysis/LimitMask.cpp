#include "analysis/LimitMask.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace {

bool readSegment(const QJsonValue &value, const QString &what, QVector<QPointF> *out, QString *problem)
{
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isArray()) {
        *problem = QStringLiteral("%1 is not a list of [x, y] points").arg(what);
        return false;
    }
    for (const QJsonValue &p : value.toArray()) {
        const QJsonArray xy = p.toArray();
        if (!p.isArray() || xy.size() != 2 || !xy[0].isDouble() || !xy[1].isDouble()) {
            *problem = QStringLiteral("%1 has a point that is not [x, y] with two numbers").arg(what);
            return false;
        }
        *out << QPointF(xy[0].toDouble(), xy[1].toDouble());
    }
    if (out->size() == 1) {
        *problem = QStringLiteral("%1 needs at least two points").arg(what);
        return false;
    }
    for (int i = 1; i < out->size(); ++i)
        if (!((*out)[i].x() > (*out)[i - 1].x())) {
            *problem = QStringLiteral("%1 must have rising x values").arg(what);
            return false;
        }
    return true;
}

QJsonArray writeSegment(const QVector<QPointF> &points)
{
    QJsonArray a;
    for (const QPointF &p : points)
        a.append(QJsonArray{p.x(), p.y()});
    return a;
}

QString number(double v)
{
    return QString::number(v, 'g', 6);
}

} // namespace

bool LimitMask::load(const QString &path, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("The mask file %1 cannot be read: %2.").arg(path, f.errorString());
        return false;
    }
    // A mask is a few points; anything this large is not one.
    if (f.size() > 4 * 1024 * 1024) {
        *error = QStringLiteral("The mask file %1 is too large to be a mask.").arg(path);
        return false;
    }
    return fromJson(f.readAll(), path, error);
}

bool LimitMask::fromJson(const QByteArray &json, const QString &name, QString *error)
{
    QJsonParseError perr;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &perr);
    if (doc.isNull() || !doc.isObject()) {
        *error = QStringLiteral("The mask file %1 is not valid JSON: %2.")
                     .arg(name, doc.isNull() ? perr.errorString() : QStringLiteral("it is not an object"));
        return false;
    }
    const QJsonObject o = doc.object();
    const QString xScale = o.value(QStringLiteral("x")).toString(QStringLiteral("linear"));
    if (xScale != QLatin1String("linear") && xScale != QLatin1String("log")) {
        *error = QStringLiteral("The mask file %1 has \"x\": \"%2\"; it must be \"linear\" or \"log\".").arg(name, xScale);
        return false;
    }
    const QString yScale = o.value(QStringLiteral("y")).toString(QStringLiteral("linear"));
    if (yScale != QLatin1String("linear") && yScale != QLatin1String("log")) {
        *error = QStringLiteral("The mask file %1 has \"y\": \"%2\"; it must be \"linear\" or \"log\".").arg(name, yScale);
        return false;
    }
    if (!o.value(QStringLiteral("lines")).isArray() || o.value(QStringLiteral("lines")).toArray().isEmpty()) {
        *error = QStringLiteral("The mask file %1 has no \"lines\" list of limits.").arg(name);
        return false;
    }
    QVector<Limit> limits;
    for (const QJsonValue &v : o.value(QStringLiteral("lines")).toArray()) {
        const QJsonObject l = v.toObject();
        Limit limit;
        limit.line = l.value(QStringLiteral("line")).toInt(0);
        if (!v.isObject() || limit.line < 1 || limit.line > 4) {
            *error = QStringLiteral("The mask file %1 has an entry without a \"line\" number from 1 to 4.").arg(name);
            return false;
        }
        for (const Limit &other : limits)
            if (other.line == limit.line) {
                *error = QStringLiteral("The mask file %1 gives line %2 twice.").arg(name).arg(limit.line);
                return false;
            }
        QString problem;
        const QString where = QStringLiteral("line %1's ").arg(limit.line);
        if (!readSegment(l.value(QStringLiteral("upper")), where + QStringLiteral("upper limit"), &limit.upper, &problem)
            || !readSegment(l.value(QStringLiteral("lower")), where + QStringLiteral("lower limit"), &limit.lower, &problem)) {
            *error = QStringLiteral("The mask file %1 is not a mask: %2.").arg(name, problem);
            return false;
        }
        if (limit.upper.isEmpty() && limit.lower.isEmpty()) {
            *error = QStringLiteral("The mask file %1 gives line %2 neither an upper nor a lower limit.").arg(name).arg(limit.line);
            return false;
        }
        for (const QVector<QPointF> *seg : {&limit.upper, &limit.lower})
            for (const QPointF &p : *seg)
                if ((xScale == QLatin1String("log") && !(p.x() > 0)) || (yScale == QLatin1String("log") && !(p.y() > 0))) {
                    *error = QStringLiteral("The mask file %1 has a log %2 scale but line %3 has a value of 0 or below.")
                                 .arg(name, p.x() > 0 ? QStringLiteral("y") : QStringLiteral("x"))
                                 .arg(limit.line);
                    return false;
                }
        limits << limit;
    }
    LimitMask candidate;
    candidate.m_logX = xScale == QLatin1String("log");
    candidate.m_logY = yScale == QLatin1String("log");
    candidate.m_limits = limits;
    // Limits cross when, where both apply, the upper one is below the lower
    // one: at a corner of either, or between them (straight pieces meet
    // only at corners or not at all).
    for (const Limit &l : limits) {
        if (l.upper.isEmpty() || l.lower.isEmpty())
            continue;
        QVector<double> xs;
        for (const QPointF &p : l.upper + l.lower)
            xs << p.x();
        std::sort(xs.begin(), xs.end());
        for (double x : xs) {
            double up = 0, low = 0;
            if (candidate.valueAt(l.upper, x, &up) && candidate.valueAt(l.lower, x, &low) && up < low) {
                *error = QStringLiteral("The mask file %1 has crossing limits: line %2's upper limit %3 is below its "
                                        "lower limit %4 at x = %5.")
                             .arg(name)
                             .arg(l.line)
                             .arg(number(up), number(low), number(x));
                return false;
            }
        }
    }
    *this = candidate;
    return true;
}

QByteArray LimitMask::toJson() const
{
    QJsonArray lines;
    for (const Limit &l : m_limits) {
        QJsonObject o{{QStringLiteral("line"), l.line}};
        if (!l.upper.isEmpty())
            o.insert(QStringLiteral("upper"), writeSegment(l.upper));
        if (!l.lower.isEmpty())
            o.insert(QStringLiteral("lower"), writeSegment(l.lower));
        lines.append(o);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("x"), m_logX ? QStringLiteral("log") : QStringLiteral("linear")},
                             {QStringLiteral("y"), m_logY ? QStringLiteral("log") : QStringLiteral("linear")},
                             {QStringLiteral("lines"), lines}})
        .toJson(QJsonDocument::Indented);
}

bool LimitMask::save(const QString &path, QString *error) const
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(toJson()) < 0 || !f.commit()) {
        *error = QStringLiteral("The mask file %1 cannot be written: %2.").arg(path, f.errorString());
        return false;
    }
    return true;
}

bool LimitMask::valueAt(const QVector<QPointF> &s, double x, double *y) const
{
    if (s.size() < 2 || x < s.first().x() || x > s.last().x())
        return false;
    const auto it = std::lower_bound(s.begin(), s.end(), x, [](const QPointF &p, double v) { return p.x() < v; });
    if (it == s.begin()) {
        *y = it->y();
        return true;
    }
    const QPointF b = *it, a = *(it - 1);
    double t = (x - a.x()) / (b.x() - a.x());
    if (m_logX && a.x() > 0 && x > 0)
        t = std::log(x / a.x()) / std::log(b.x() / a.x());
    if (m_logY && a.y() > 0 && b.y() > 0)
        *y = a.y() * std::pow(b.y() / a.y(), t);
    else
        *y = a.y() + t * (b.y() - a.y());
    return true;
}

bool LimitMask::checkAgainst(const SweepColumns &columns, const QString &name, QString *error) const
{
    for (const Limit &l : m_limits) {
        bool any = false;
        for (int r = 0; r < columns.rows.size() && !any; ++r) {
            double v = 0;
            any = columns.lineValue(r, l.line, &v);
        }
        if (!any) {
            *error = QStringLiteral("The mask file %1 refers to line %2, which has no data in this sweep.").arg(name).arg(l.line);
            return false;
        }
    }
    return true;
}

LimitMask::Verdict LimitMask::judge(const SweepColumns &columns) const
{
    Verdict v;
    for (const Limit &l : m_limits)
        for (int r = 0; r < columns.rows.size(); ++r) {
            double x = 0, y = 0;
            if (!columns.sweptValue(r, &x) || !columns.lineValue(r, l.line, &y))
                continue;
            double up = 0, low = 0;
            const bool hasUp = valueAt(l.upper, x, &up);
            const bool hasLow = valueAt(l.lower, x, &low);
            if (!hasUp && !hasLow)
                continue;
            ++v.judged;
            if (hasUp && y > up)
                v.failures << Failure{l.line, r, x, y, up, true};
            else if (hasLow && y < low)
                v.failures << Failure{l.line, r, x, y, low, false};
        }
    std::sort(v.failures.begin(), v.failures.end(),
        [](const Failure &a, const Failure &b) { return a.row != b.row ? a.row < b.row : a.line < b.line; });
    return v;
}

QString LimitMask::describe(const SweepColumns &columns, const Failure &f)
{
    return QStringLiteral("%1 step %2 at %3 %4: %5 %6 the %7 limit %8")
        .arg(columns.lineTitles.value(f.line - 1, QStringLiteral("line %1").arg(f.line)))
        .arg(f.row + 1)
        .arg(number(f.x), columns.isFrequencySweep() ? QStringLiteral("Hz") : QStringLiteral("V"), number(f.value),
            f.above ? QStringLiteral("above") : QStringLiteral("below"), f.above ? QStringLiteral("upper") : QStringLiteral("lower"),
            number(f.limit));
}
