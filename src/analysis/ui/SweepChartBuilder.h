#pragma once

#include "analysis/CircuitFit.h"

#include <QColor>
#include <QPointF>
#include <QString>

class QAbstractAxis;
class QChart;
class QXYSeries;
class SweepAnalysis;

// How the sweep's chart dresses its parts, colour-blind safe (the
// Okabe-Ito colours): the lines in blue, green, orange and purple; the fit
// black and dashed; mask limits vermilion and dash-dotted; failing points
// yellow triangles edged in black.
namespace SweepChartStyle {
QColor lineColor(int line);
extern const QColor Fit;
extern const QColor Mask;
extern const QColor Failing;
extern const QColor Marker;
extern const QColor Axis;
}

// Fills a chart with what the Sweep Analysis window shows: the axes (log
// axes drawn as decades of a linear scale, so every tick label carries the
// unit in engineering notation), the lines, the fit curves, the mask
// limits and the failing points. The screen and the print both build
// their chart through it.
class SweepChartBuilder
{
public:
    struct Options
    {
        bool logY[2] = {false, false};
        bool showMask = true;
        const CircuitFit::Result *fit = nullptr; // drawn when set and ok
        int fitDraw = 1;                         // the draw the fit was made on
        bool parallel = false;
    };

    SweepChartBuilder(QChart *chart, const SweepAnalysis &analysis, const Options &options);

    // Empties the chart and builds it again; returns how many values at or
    // below 0 were left out of log axes.
    int build();

    // The X axis title: "Frequency (Hz)" or "Voltage (V)".
    static QString xTitle(const SweepAnalysis &analysis);

private:
    void addAxes();
    void addLines();
    void addFit();
    void addMask();
    void addFailures();

    // A point in the chart's own coordinates (log axes hold log10 values).
    QPointF toChart(const QPointF &p, bool secondItem) const;
    bool usable(const QPointF &p, bool secondItem) const;
    QXYSeries *add(QXYSeries *series, bool secondItem);
    QAbstractAxis *makeAxis(bool log, double lo, double hi, const QString &unit, const QString &title,
                            Qt::Alignment side, const QColor &color);

    QChart *m_chart;
    const SweepAnalysis &m_analysis;
    Options m_options;
    double m_xlo = 0, m_xhi = 0; // the data's X span
    int m_leftOut = 0;
};
