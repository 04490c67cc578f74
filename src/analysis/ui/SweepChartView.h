#pragma once

#include <QChartView>

#include <functional>

class SweepAnalysis;

// The chart with the markers drawn over it: a click adds a marker at its
// X, pressing near a marker and moving drags it along the curves.
class SweepChartView : public QChartView
{
    Q_OBJECT
public:
    SweepChartView(QChart *chart, SweepAnalysis &analysis, QWidget *parent = nullptr);

    // A log X axis holds log10 of the values: pixelOf and valueAt see through it.
    void setLogX(bool on) { m_logX = on; }
    // Pixel X of a value and back, on the chart's X axis.
    double pixelOf(double x) const;
    double valueAt(double pixelX) const;
    // Repaints only the strip a marker at this X covers (line and name).
    void updateMarkerStrip(double x);

signals:
    void addRequested(double x);
    void dragged(int marker, double x);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void drawForeground(QPainter *painter, const QRectF &rect) override;

private:
    SweepAnalysis &m_analysis;
    int m_dragging = -1;
    bool m_logX = false;
};
