#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVector>

#include <cstdint>
#include <optional>
#include <vector>

class TableStatistics;

// Center line and control limits of a chart pair: the X (or X-bar) chart
// and its range chart (moving ranges for individuals).
struct ControlLimits
{
    double center = 0, ucl = 0, lcl = 0;
    std::optional<double> rangeCenter, rangeUcl, rangeLcl;
    double sigma() const { return (ucl - center) / 3; }
};

struct RuleViolation
{
    int point = 0; // 0-based subgroup index
    int rule = 0;  // 1..4
    bool operator==(const RuleViolation &o) const { return point == o.point && rule == o.rule; }
};

// A Shewhart control chart of one column's readings in the order taken:
// individuals and moving ranges (I-MR) for subgroups of 1, X-bar and R for
// subgroups of 2 to 10 consecutive readings (a short last subgroup waits
// and counts for nothing). Formulas and rules: docs/bins.md. Adding a
// reading and asking for the limits cost the same whatever came before;
// checking every point for the four rules costs one pass.
class ControlChart
{
public:
    static constexpr int MaxSubgroup = 10;

    // subgroup 1..10; baseline 0 = limits from all points, else from the
    // first `baseline` subgroups (or as many as there are).
    explicit ControlChart(int subgroup = 1, int baseline = 0);
    void setFixedLimits(const std::optional<ControlLimits> &limits) { m_fixed = limits; }
    bool fixed() const { return m_fixed.has_value(); }

    int subgroup() const { return m_n; }
    int baseline() const { return m_baseline; }
    QString kind() const { return m_n == 1 ? QStringLiteral("I-MR") : QStringLiteral("Xbar-R"); }

    void add(double x);
    void clear();

    // Complete subgroups so far, their X or X-bar, and their range (the
    // moving range from the point before for I-MR: none for point 0).
    int points() const { return int(m_points.size()); }
    double point(int i) const { return m_points[size_t(i)]; }
    std::optional<double> range(int i) const;

    // None until enough points: two for I-MR, one subgroup for X-bar R.
    std::optional<ControlLimits> limits() const;
    // Every rule broken, by point then rule, against limits().
    QVector<RuleViolation> violations() const;
    // The rules point i completes against the given limits.
    QVector<int> rulesAt(int i, const ControlLimits &limits) const;

    // {"chart", "subgroup", "center", "ucl", "lcl", "rangeCenter",
    //  "rangeUcl", "rangeLcl", "violations": [{"point", "rule"}]}
    QByteArray toJson() const;

    // The usual constants of X-bar R charts, n = 2..10.
    static double a2(int n);
    static double d3(int n);
    static double d4(int n);

private:
    unsigned rulesMask(int i, const ControlLimits &limits) const; // bit r for rule r

    int m_n = 1;
    int m_baseline = 0;
    std::optional<ControlLimits> m_fixed;
    std::vector<double> m_points;
    std::vector<double> m_ranges; // I-MR: moving range ending at point i+1
    // The subgroup being filled.
    int m_pending = 0;
    double m_sum = 0, m_min = 0, m_max = 0;
    // Sums of all points and ranges, and of those in the baseline.
    double m_sumX = 0, m_sumR = 0, m_baseX = 0, m_baseR = 0;
    int m_baseCount = 0, m_baseRanges = 0;
};

// Fixed limits from a file, per result column (docs/bins.md):
//   {"columns": [{"step": 1, "item": "C", "center": C, "ucl": U, "lcl": L,
//                 "rangeCenter": R, "rangeUcl": RU, "rangeLcl": RL}, ...]}
// (the range keys may be left out).
namespace ControlLimitsFile {

using Table = QHash<QString, ControlLimits>; // by column title, "C1"
std::optional<Table> parse(const QByteArray &json, QString *error);
std::optional<Table> load(const QString &path, QString *error);

} // namespace ControlLimitsFile

// Control charts of every column of a table's statistics, from the
// readings it kept (TableStatistics::setKeepReadings).
struct ControlSettings
{
    int subgroup = 1;
    int baseline = 0;
    ControlLimitsFile::Table fixed;
};
QVector<ControlChart> controlCharts(const TableStatistics &statistics, const ControlSettings &settings);
