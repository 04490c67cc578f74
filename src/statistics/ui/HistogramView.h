#pragma once

#include "common/AxisTicks.h"
#include "statistics/Histogram.h"

#include <QWidget>

#include <optional>

// A histogram of one result column with its limits (vermilion) and
// standard (green, dashed) drawn across it; ticks in engineering notation
// with the column's unit.
class HistogramView : public QWidget
{
    Q_OBJECT
public:
    explicit HistogramView(QWidget *parent = nullptr);

    struct Marks
    {
        std::optional<double> low, high, standard; // base units
    };
    // values in base units (sorted in place); unit is the column's unit
    // text ("nF"), whose base unit labels the ticks.
    void setData(std::vector<double> values, const Marks &marks, const QString &unit, const QString &title);
    void clear(const QString &message);

    const Histogram &histogram() const { return m_histogram; }
    // The value axis: its range and ticks, labelled with the unit.
    AxisTicks::Scale valueScale() const;
    // The base unit of a step's unit text ("nF" -> "F"); empty for Q and D.
    static QString baseUnit(const QString &unit);
    QSize sizeHint() const override { return {640, 300}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Histogram m_histogram;
    Marks m_marks;
    QString m_unit;
    QString m_title;
    QString m_message;
};
