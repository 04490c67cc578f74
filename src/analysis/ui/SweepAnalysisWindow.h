#pragma once

#include "analysis/CircuitFit.h"
#include "analysis/SweepAnalysis.h"
#include "analysis/ui/SweepChartBuilder.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

class PlotterState;
class ReportPrinting;
class QCheckBox;
class QChart;
class QComboBox;
class QLabel;
class QLayout;
class QPainter;
class QLineEdit;
class QSpinBox;
class QTableWidget;
class SweepChartView;

// The "Sweep Analysis" window: the Plotter View's sweep on its own chart
// with log axes, up to four markers (clicked, typed or dragged; minimum,
// maximum and resonance found), a marker table with differences, the
// equivalent-circuit fit with its curve, limit masks and the CSV export.
// It reads the page's result list and follows it while a sweep runs.
class SweepAnalysisWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SweepAnalysisWindow(PlotterState *plotter, QWidget *parent = nullptr);
    // The one window of this plotter, made on first use as a window of its
    // own over parent, shown and raised.
    static SweepAnalysisWindow *showFor(PlotterState *plotter, QWidget *parent);

    SweepAnalysis &analysis() { return m_analysis; }
    const CircuitFit::Result &fitResult() const { return m_fit; }
    bool hasFit() const { return m_fitShown; }
    SweepChartView *chartView() const { return m_view; }

    // What the buttons do, callable with a path or a model for tests.
    void setLogX(bool on);
    void setLogY(bool secondItem, bool on);
    bool loadMask(const QString &path);
    bool exportCsv(const QString &path);
    bool runFit(CircuitFit::Model model, int draw = 0);
    void placeAutomatic(SweepAnalysis::Automatic kind);
    bool addMarkerAt(double x);
    // Print Graph and Print Preview of the chart's lines with the chosen log
    // axes, through the session's print commands (its printer and graph
    // options) once attached, else through commands of the window's own.
    void attachPrinting(ReportPrinting *printing);
    ReportPrinting *printing();
    bool printGraph();
    bool previewGraph();
    // The graph as the print draws it, into bounds (pixels of a picture of
    // PrintedGraphSize): the chart with a legend below it and the note of
    // values left out of log axes.
    void paintPrintedGraph(QPainter &painter, const QRectF &bounds) const;
    static const QSize PrintedGraphSize;
    // Re-reads the result list (done by itself when it changes).
    void refresh();
    // The note under the chart (left-out points, mask and fit messages).
    QString note() const;
    // Moves a marker and redraws only what a marker changes.
    void dragMarker(int index, double x);

private:
    // The rows of controls above the chart, and the results below it.
    QLayout *makeAxesRow();
    QLayout *makeMarkerRow();
    QLayout *makeFitRow();
    QLayout *makeResultsPanel();
    // Follows the result list and the page's resets.
    void followPlotter();

    SweepChartBuilder::Options chartOptions() const;
    void rebuildChart();
    void showMaskVerdict();
    // The fit asked for, on the data shown; its text or refusal in the panel.
    bool showFit();
    void updateMarkers(bool repaintChart = true);
    void say(const QString &text);

    QPointer<PlotterState> m_plotter;
    QPointer<ReportPrinting> m_printing;
    SweepAnalysis m_analysis;
    CircuitFit::Result m_fit;
    bool m_fitShown = false;
    // The fit last asked for (draw 0: the first that fits), done again
    // whenever the data shown change.
    bool m_fitAsked = false;
    CircuitFit::Model m_fitModel = CircuitFit::Model::Capacitor;
    int m_fitDraw = 0;
    bool m_logY[2] = {false, false};
    int m_leftOutOfLog = 0;
    QString m_message;
    QTimer m_refreshTimer;

    QChart *m_chart = nullptr;
    SweepChartView *m_view = nullptr;
    QCheckBox *m_logXBox = nullptr;
    QCheckBox *m_logYBox[2] = {nullptr, nullptr};
    QCheckBox *m_logSteps = nullptr;
    QCheckBox *m_showMask = nullptr;
    QLineEdit *m_markerEdit = nullptr;
    QComboBox *m_model = nullptr;
    QSpinBox *m_draw = nullptr;
    QLabel *m_fitLabel = nullptr;
    QLabel *m_maskLabel = nullptr;
    QLabel *m_noteLabel = nullptr;
    QTableWidget *m_markerTable = nullptr;
};
