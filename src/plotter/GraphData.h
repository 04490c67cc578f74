#pragma once

#include "plotter/GraphSink.h"

#include <QPointF>
#include <QVector>

#include <array>
#include <limits>

// The graph without a window: the points of the four plots, the five axes
// with their ranges, labels and colours. qel-cli and the tests draw into
// it; the Graph widget keeps one too, so both rescale by the same rule.
// Appending a point costs O(1): each axis keeps the extent of its data.
class GraphData : public GraphSink
{
public:
    GraphData();

    void clearPlots() override;
    void appendPoint(int plot, double x, double y) override;
    int pointCount(int plot) const override;

    double axisMinimum(int axis) const override;
    double axisMaximum(int axis) const override;
    void setAxisMinimum(int axis, double value) override;
    void setAxisMaximum(int axis, double value) override;
    void setAutoRescale(int axis, bool on) override;
    bool autoRescale(int axis) const override;

    void setAxisLabel(int axis, const QString &text) override;
    QString axisLabel(int axis) const override;
    void setAxisVisible(int axis, bool visible) override;
    bool axisVisible(int axis) const override;
    void setPlotVisible(int plot, bool visible) override;
    bool plotVisible(int plot) const override;

    void setPointStyle(int plot, int style) override;
    int pointStyle(int plot) const override;
    void setLineColor(int plot, const QColor &color) override;
    QColor lineColor(int plot) const override;
    void setPointColor(int plot, const QColor &color) override;
    QColor pointColor(int plot) const override;
    void setPlotAreaColor(const QColor &color) override;
    QColor plotAreaColor() const override;
    QColor axisTickColor(int axis) const override;

    const QVector<QPointF> &points(int plot) const;
    // Sets both ends at once (a zoom on screen); auto rescaling stays as it was.
    void setAxisRange(int axis, double minimum, double maximum);

    // The X axis's rescaling rule: when value lies outside [min, max] the
    // range grows to take it in, the moved end rounded outwards to a
    // readable step. Values that are not finite leave the range alone.
    static void widen(double &min, double &max, double value);
    // The Y axes' rule. A range shows its data well when the newest value
    // lies clear of the frame and the data, taken at least a tenth of their
    // size across, fill a quarter of it; one that does not is refitted.
    static bool showsWell(double min, double max, double value, double dataMin, double dataMax);
    // The range for data from dataMin to dataMax: a margin each side, ends
    // on half steps of the ticks, the data clear of the frame. Data of one
    // sign take zero as an end where they stay clear of it.
    static void fit(double dataMin, double dataMax, double &min, double &max);
    // 1, 2 or 5 times a power of ten, at least span.
    static double niceStep(double span);
    // The tick interval for a range: about six ticks.
    static double tickStep(double min, double max);

    // A logarithmic axis (drawn by GraphPainter only): decade ranges from
    // the positive data; values at or below 0 are left out and counted.
    void setAxisLog(int axis, bool on);
    bool axisLog(int axis) const;

    static QColor defaultLineColor(int plot);
    static QColor defaultTickColor(int axis);

private:
    struct Axis
    {
        double min = 0.0;
        double max = 10.0;
        bool autoRescale = true;
        bool visible = true;
        bool log = false;
        QString label;
        QColor tick;
        // Extent of the finite values plotted against the axis.
        double dataMin = std::numeric_limits<double>::infinity();
        double dataMax = -std::numeric_limits<double>::infinity();
    };
    struct Plot
    {
        QVector<QPointF> points;
        bool visible = true;
        int style = NoMarks;
        QColor line;
        QColor point;
    };

    static bool validAxis(int axis) { return axis >= 1 && axis <= AxisCount; }
    static bool validPlot(int plot) { return plot >= 1 && plot <= PlotCount; }

    std::array<Axis, AxisCount> m_axes;
    std::array<Plot, PlotCount> m_plots;
    QColor m_plotArea = Qt::black;
};
