#pragma once

#include "plotter/GraphData.h"

#include <QTimer>
#include <QWidget>

#include <array>

class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;
class GraphChartView;

// The Plotter View's graph on screen: four line series "Plot-1" to "Plot-4"
// and five value axes "XAxis" and "YAxis-1" to "YAxis-4" (Y axes left,
// right, left, right), line n against the X axis and axis n + 1.
// The numbers (points, ranges, labels, colours) live in a GraphData, so the
// screen rescales exactly as the headless graph does and reading a range
// costs nothing. Appended points reach the chart a few times a second, all
// at once: a point costs O(1), never a redraw of the whole chart.
// A left-button drag zooms; every button release is reported.
class Graph : public QWidget, public GraphSink
{
    Q_OBJECT
public:
    explicit Graph(QWidget *parent = nullptr);
    ~Graph() override;

    void clearPlots() override;
    void appendPoint(int plot, double x, double y) override;
    int pointCount(int plot) const override { return m_data.pointCount(plot); }

    double axisMinimum(int axis) const override { return m_data.axisMinimum(axis); }
    double axisMaximum(int axis) const override { return m_data.axisMaximum(axis); }
    void setAxisMinimum(int axis, double value) override;
    void setAxisMaximum(int axis, double value) override;
    void setAutoRescale(int axis, bool on) override { m_data.setAutoRescale(axis, on); }
    bool autoRescale(int axis) const override { return m_data.autoRescale(axis); }

    void setAxisLabel(int axis, const QString &text) override;
    QString axisLabel(int axis) const override { return m_data.axisLabel(axis); }
    void setAxisVisible(int axis, bool visible) override;
    bool axisVisible(int axis) const override { return m_data.axisVisible(axis); }
    void setPlotVisible(int plot, bool visible) override;
    bool plotVisible(int plot) const override { return m_data.plotVisible(plot); }

    void setPointStyle(int plot, int style) override;
    int pointStyle(int plot) const override { return m_data.pointStyle(plot); }
    void setLineColor(int plot, const QColor &color) override;
    QColor lineColor(int plot) const override { return m_data.lineColor(plot); }
    void setPointColor(int plot, const QColor &color) override;
    QColor pointColor(int plot) const override { return m_data.pointColor(plot); }
    void setPlotAreaColor(const QColor &color) override;
    QColor plotAreaColor() const override { return m_data.plotAreaColor(); }
    QColor axisTickColor(int axis) const override { return m_data.axisTickColor(axis); }

    // The graph as shown, with every point appended so far.
    QImage picture() const;

    // Shows what a headless graph holds (points, ranges, labels, colours).
    void loadFrom(const GraphData &data);
    const GraphData &data() const { return m_data; }
    // Hands the points still waiting to the chart and sets the axes now.
    void flush();

    QChart *chart() const { return m_chart; }
    QChartView *chartView() const;
    QLineSeries *series(int plot) const;
    QValueAxis *axis(int axis) const;

    QSize sizeHint() const override { return {640, 400}; }

signals:
    // button: 1 left, 2 right, 4 middle; shift: 1 Shift, 2 Ctrl, 4 Alt;
    // x and y in pixels of the graph.
    void mouseReleased(int button, int shift, int x, int y);

private:
    void applyAxis(int axis);
    void applyPlotLook(int plot);
    void scheduleFlush();
    void axisRangeChanged(int axis, double min, double max);

    GraphData m_data;
    QChart *m_chart = nullptr;
    GraphChartView *m_view = nullptr;
    std::array<QLineSeries *, PlotCount> m_series{};
    std::array<QValueAxis *, AxisCount> m_axes{};
    // The drawable points of each plot; the chart gets them whole, since
    // its append takes a list point by point, redrawing for each.
    std::array<QList<QPointF>, PlotCount> m_shown;
    std::array<bool, PlotCount> m_plotDirty{};
    std::array<bool, AxisCount> m_axisDirty{};
    QTimer m_flushTimer;
    bool m_settingRange = false;
};
