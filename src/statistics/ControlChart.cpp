#include "statistics/ControlChart.h"

#include "statistics/Statistics.h"
#include "statistics/StatisticsJson.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace {

// Index n - 2 for n = 2..10.
constexpr double A2[] = {1.880, 1.023, 0.729, 0.577, 0.483, 0.419, 0.373, 0.337, 0.308};
constexpr double D3[] = {0, 0, 0, 0, 0, 0.076, 0.136, 0.184, 0.223};
constexpr double D4[] = {3.267, 2.574, 2.282, 2.114, 2.004, 1.924, 1.864, 1.816, 1.777};
// Individuals: 3 / d2(2) rounded as usual, and D4(2).
constexpr double E2 = 2.66;
constexpr double MrD4 = 3.267;

QByteArray num(double v)
{
    return std::isfinite(v) ? StatisticsJson::number(v).toUtf8() : QByteArrayLiteral("null");
}

QByteArray num(const std::optional<double> &v)
{
    return v ? num(*v) : QByteArrayLiteral("null");
}

} // namespace

double ControlChart::a2(int n)
{
    return n >= 2 && n <= MaxSubgroup ? A2[n - 2] : std::nan("");
}

double ControlChart::d3(int n)
{
    return n >= 2 && n <= MaxSubgroup ? D3[n - 2] : std::nan("");
}

double ControlChart::d4(int n)
{
    return n >= 2 && n <= MaxSubgroup ? D4[n - 2] : std::nan("");
}

ControlChart::ControlChart(int subgroup, int baseline)
    : m_n(std::clamp(subgroup, 1, MaxSubgroup)), m_baseline(std::max(0, baseline))
{
}

void ControlChart::clear()
{
    m_points.clear();
    m_ranges.clear();
    m_pending = 0;
    m_sum = m_min = m_max = 0;
    m_sumX = m_sumR = m_baseX = m_baseR = 0;
    m_baseCount = m_baseRanges = 0;
}

void ControlChart::add(double x)
{
    if (m_pending == 0) {
        m_sum = 0;
        m_min = m_max = x;
    }
    m_sum += x;
    m_min = std::min(m_min, x);
    m_max = std::max(m_max, x);
    if (++m_pending < m_n)
        return;
    m_pending = 0;
    const double p = m_n == 1 ? x : m_sum / m_n;
    std::optional<double> r;
    if (m_n > 1)
        r = m_max - m_min;
    else if (!m_points.empty())
        r = std::fabs(p - m_points.back());
    m_points.push_back(p);
    if (r)
        m_ranges.push_back(*r);
    m_sumX += p;
    if (r)
        m_sumR += *r;
    const bool inBaseline = m_baseline == 0 || int(m_points.size()) <= m_baseline;
    if (inBaseline) {
        m_baseX += p;
        ++m_baseCount;
        if (r) {
            m_baseR += *r;
            ++m_baseRanges;
        }
    }
}

std::optional<double> ControlChart::range(int i) const
{
    if (m_n > 1)
        return m_ranges[size_t(i)];
    if (i == 0)
        return std::nullopt;
    return m_ranges[size_t(i - 1)];
}

std::optional<ControlLimits> ControlChart::limits() const
{
    if (m_fixed)
        return m_fixed;
    if (m_baseCount == 0 || m_baseRanges == 0)
        return std::nullopt;
    const double center = m_baseX / m_baseCount;
    const double rbar = m_baseR / m_baseRanges;
    ControlLimits l;
    l.center = center;
    l.rangeCenter = rbar;
    if (m_n == 1) {
        l.ucl = center + E2 * rbar;
        l.lcl = center - E2 * rbar;
        l.rangeUcl = MrD4 * rbar;
        l.rangeLcl = 0.0;
    } else {
        l.ucl = center + a2(m_n) * rbar;
        l.lcl = center - a2(m_n) * rbar;
        l.rangeUcl = d4(m_n) * rbar;
        l.rangeLcl = d3(m_n) * rbar;
    }
    return l;
}

unsigned ControlChart::rulesMask(int i, const ControlLimits &l) const
{
    const double c = l.center;
    const double s = l.sigma();
    const double *x = m_points.data();
    // Equal readings averaged may land a rounding hair off their own value:
    // a point that close to a line is on it (far below any meter's digits).
    const double hair = 1e-9 * std::max(std::fabs(c), std::fabs(s));
    unsigned mask = 0;
    // side +1 above, -1 below: points beyond center + side * k sigma.
    for (int side : {1, -1}) {
        const double one = c + side * s, two = c + side * 2 * s, three = c + side * 3 * s;
        auto beyond = [side, hair](double v, double bound) { return side > 0 ? v > bound + hair : v < bound - hair; };
        if (beyond(x[i], three))
            mask |= 1u << 1;
        if (i >= 2 && beyond(x[i], two) && beyond(x[i - 1], two) + beyond(x[i - 2], two) >= 1)
            mask |= 1u << 2;
        if (i >= 4 && beyond(x[i], one)) {
            int n = 0;
            for (int j = i - 4; j < i; ++j)
                n += beyond(x[j], one);
            if (n >= 3)
                mask |= 1u << 3;
        }
        if (i >= 7) {
            bool all = true;
            for (int j = i - 7; j <= i && all; ++j)
                all = beyond(x[j], c);
            if (all)
                mask |= 1u << 4;
        }
    }
    return mask;
}

QVector<int> ControlChart::rulesAt(int i, const ControlLimits &l) const
{
    QVector<int> rules;
    const unsigned mask = rulesMask(i, l);
    for (int r = 1; r <= 4; ++r)
        if (mask & (1u << r))
            rules << r;
    return rules;
}

QVector<RuleViolation> ControlChart::violations() const
{
    QVector<RuleViolation> out;
    const std::optional<ControlLimits> l = limits();
    if (!l)
        return out;
    const int n = points();
    for (int i = 0; i < n; ++i) {
        const unsigned mask = rulesMask(i, *l);
        if (!mask)
            continue;
        for (int r = 1; r <= 4; ++r)
            if (mask & (1u << r))
                out.append({i, r});
    }
    return out;
}

QByteArray ControlChart::toJson() const
{
    const std::optional<ControlLimits> l = limits();
    QByteArray out = "{\"chart\": \"" + kind().toLatin1() + "\", \"subgroup\": " + QByteArray::number(m_n);
    if (l) {
        out += ", \"center\": " + num(l->center) + ", \"ucl\": " + num(l->ucl) + ", \"lcl\": " + num(l->lcl)
               + ", \"rangeCenter\": " + num(l->rangeCenter) + ", \"rangeUcl\": " + num(l->rangeUcl)
               + ", \"rangeLcl\": " + num(l->rangeLcl);
    } else {
        out += ", \"center\": null, \"ucl\": null, \"lcl\": null, \"rangeCenter\": null, \"rangeUcl\": null, "
               "\"rangeLcl\": null";
    }
    out += ", \"violations\": [";
    bool first = true;
    for (const RuleViolation &v : violations()) {
        out += (first ? "" : ", ") + QByteArray("{\"point\": ") + QByteArray::number(v.point) + ", \"rule\": "
               + QByteArray::number(v.rule) + "}";
        first = false;
    }
    out += "]}";
    return out;
}

namespace ControlLimitsFile {

std::optional<Table> parse(const QByteArray &json, QString *error)
{
    auto refuse = [&](const QString &s) {
        if (error)
            *error = s;
        return std::nullopt;
    };
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (pe.error != QJsonParseError::NoError)
        return refuse(QStringLiteral("The limits file is not JSON (%1 at byte %2).").arg(pe.errorString()).arg(pe.offset));
    const QJsonValue columns = doc.object().value(QStringLiteral("columns"));
    if (!doc.isObject() || !columns.isArray())
        return refuse(QStringLiteral("The limits file needs \"columns\": a list of {\"step\", \"item\", \"center\", \"ucl\", \"lcl\"}."));
    Table t;
    const QJsonArray list = columns.toArray();
    for (int i = 0; i < list.size(); ++i) {
        const QJsonObject o = list.at(i).toObject();
        const QJsonValue step = o.value(QStringLiteral("step"));
        const QString item = o.value(QStringLiteral("item")).toString();
        if (!step.isDouble() || step.toDouble() < 1 || item.isEmpty())
            return refuse(QStringLiteral("The limits file's \"columns\" entry %1 needs \"step\" and \"item\".").arg(i + 1));
        ControlLimits l;
        for (const char *key : {"center", "ucl", "lcl"}) {
            const QJsonValue v = o.value(QLatin1String(key));
            if (!v.isDouble() || !std::isfinite(v.toDouble()))
                return refuse(QStringLiteral("The limits file's \"columns\" entry %1 needs \"%2\" as a number.").arg(i + 1).arg(QLatin1String(key)));
        }
        l.center = o.value(QStringLiteral("center")).toDouble();
        l.ucl = o.value(QStringLiteral("ucl")).toDouble();
        l.lcl = o.value(QStringLiteral("lcl")).toDouble();
        if (!(l.lcl <= l.center && l.center <= l.ucl))
            return refuse(QStringLiteral("The limits file's \"columns\" entry %1 needs lcl <= center <= ucl.").arg(i + 1));
        for (auto [key, field] : {std::pair{"rangeCenter", &ControlLimits::rangeCenter},
                                  std::pair{"rangeUcl", &ControlLimits::rangeUcl},
                                  std::pair{"rangeLcl", &ControlLimits::rangeLcl}}) {
            const QJsonValue v = o.value(QLatin1String(key));
            if (v.isUndefined() || v.isNull())
                continue;
            if (!v.isDouble())
                return refuse(QStringLiteral("The limits file's \"columns\" entry %1: \"%2\" must be a number.").arg(i + 1).arg(QLatin1String(key)));
            l.*field = v.toDouble();
        }
        t.insert(item + QString::number(int(step.toDouble())), l);
    }
    return t;
}

std::optional<Table> load(const QString &path, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot read the limits file %1: %2.").arg(path, f.errorString());
        return std::nullopt;
    }
    QString why;
    std::optional<Table> t = parse(f.readAll(), &why);
    if (!t && error)
        *error = QStringLiteral("%1: %2").arg(path, why);
    return t;
}

} // namespace ControlLimitsFile

QVector<ControlChart> controlCharts(const TableStatistics &statistics, const ControlSettings &settings)
{
    QVector<ControlChart> charts;
    const QVector<ColumnStatistics> &columns = statistics.columns();
    for (int k = 0; k < columns.size(); ++k) {
        ControlChart chart(settings.subgroup, settings.baseline);
        const auto fixed = settings.fixed.constFind(columns[k].title());
        if (fixed != settings.fixed.constEnd())
            chart.setFixedLimits(*fixed);
        for (double v : statistics.readings(k))
            chart.add(v);
        charts.append(chart);
    }
    return charts;
}
