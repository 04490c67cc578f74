#pragma once

#include "statistics/ControlChart.h"

#include <QWidget>

#include <optional>

// The X (or X-bar) chart of one result column: its points joined in order,
// center line and control limits (blue), the step's limits (red), and the
// points that complete a rule circled in red with the rule's number. Only
// the last MaxShown points are drawn, so a long run stays readable.
class ControlChartView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int MaxShown = 500;

    explicit ControlChartView(QWidget *parent = nullptr);

    // The step's own low and high limits (base units).
    void setChart(const ControlChart &chart, std::optional<double> specLow, std::optional<double> specHigh,
                  double toUnit, const QString &unit, const QString &title);
    void clear(const QString &message);

    const ControlChart &chart() const { return m_chart; }
    const QVector<RuleViolation> &violations() const { return m_violations; }
    QSize sizeHint() const override { return {640, 300}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ControlChart m_chart;
    std::optional<ControlLimits> m_limits;
    QVector<RuleViolation> m_violations;
    std::optional<double> m_specLow, m_specHigh;
    double m_toUnit = 1;
    QString m_unit, m_title, m_message;
};
