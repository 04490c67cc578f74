#pragma once

#include <QColor>
#include <QImage>
#include <QString>

// What the Plotter View asks of its graph: four plots drawn against the X
// axis (axis 1) and axes 2 to 5 (plot n against axis n + 1). Plots and axes
// are numbered from 1; a number out of range is ignored (reads give 0).
// The Graph widget implements it on screen, GraphData without a window.
class GraphSink
{
public:
    static constexpr int PlotCount = 4;
    static constexpr int AxisCount = 5;
    // Point styles: a mark on every point, or none.
    static constexpr int MarkedPoints = 9;
    static constexpr int NoMarks = 0;

    virtual ~GraphSink() = default;

    virtual void clearPlots() = 0;
    virtual void appendPoint(int plot, double x, double y) = 0;
    virtual int pointCount(int plot) const = 0;

    // The range the axis shows now, including one it chose while rescaling.
    virtual double axisMinimum(int axis) const = 0;
    virtual double axisMaximum(int axis) const = 0;
    virtual void setAxisMinimum(int axis, double value) = 0;
    virtual void setAxisMaximum(int axis, double value) = 0;
    // When on, the axis widens its range to the data as points arrive.
    virtual void setAutoRescale(int axis, bool on) = 0;
    virtual bool autoRescale(int axis) const = 0;

    virtual void setAxisLabel(int axis, const QString &text) = 0;
    virtual QString axisLabel(int axis) const = 0;
    virtual void setAxisVisible(int axis, bool visible) = 0;
    virtual bool axisVisible(int axis) const = 0;
    virtual void setPlotVisible(int plot, bool visible) = 0;
    virtual bool plotVisible(int plot) const = 0;

    virtual void setPointStyle(int plot, int style) = 0;
    virtual int pointStyle(int plot) const = 0;
    virtual void setLineColor(int plot, const QColor &color) = 0;
    virtual QColor lineColor(int plot) const = 0;
    virtual void setPointColor(int plot, const QColor &color) = 0;
    virtual QColor pointColor(int plot) const = 0;
    virtual void setPlotAreaColor(const QColor &color) = 0;
    virtual QColor plotAreaColor() const = 0;
    virtual QColor axisTickColor(int axis) const = 0;
};
