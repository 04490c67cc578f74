#include "analysis/ui/SweepAnalysisWindow.h"

#include "analysis/FitReport.h"
#include "analysis/ImpedanceItems.h"
#include "analysis/SweepCsv.h"
#include "analysis/ui/SweepChartView.h"
#include "plotter/GraphData.h"
#include "plotter/PlotterState.h"
#include "reports/GraphPrint.h"
#include "reports/ui/ReportPrinting.h"

#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QMessageBox>
#include <QPagedPaintDevice>
#include <QPushButton>
#include <QScatterSeries>
#include <QSpinBox>
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>

#include <cmath>

namespace {

const double Pi = 3.14159265358979323846;
const QColor LineColors[4] = {QColor(0, 160, 0), QColor(0, 90, 220), QColor(200, 160, 0), QColor(170, 0, 170)};
// The printed graph's own size in pixels, as qel-cli print-graph draws it.
const QSize PrintedGraphSize(900, 560);

// side: where the axis goes. The chart puts a Y axis's tick marks right
// against its labels; a space between them keeps "50" on the right-hand
// axis from reading as "-50" (the labels are HTML: only this space stays).
QAbstractAxis *makeAxis(bool log, double lo, double hi, const QString &title, Qt::Alignment side = Qt::AlignBottom)
{
    const QString format = side == Qt::AlignLeft ? QStringLiteral("%g&#160;")
        : side == Qt::AlignRight                 ? QStringLiteral("&#160;%g")
                                                 : QStringLiteral("%g");
    if (log) {
        auto *a = new QLogValueAxis;
        a->setBase(10);
        a->setLabelFormat(format);
        // Whole decades around the data.
        const double l = lo > 0 ? std::pow(10.0, std::floor(std::log10(lo))) : 1;
        double h = hi > 0 ? std::pow(10.0, std::ceil(std::log10(hi))) : 10;
        if (h <= l)
            h = l * 10;
        a->setRange(l, h);
        a->setMinorTickCount(8);
        a->setTitleText(title);
        return a;
    }
    auto *a = new QValueAxis;
    if (!(hi > lo)) {
        lo -= 1;
        hi += 1;
    }
    a->setRange(lo, hi);
    a->applyNiceNumbers();
    a->setLabelFormat(format);
    a->setTitleText(title);
    return a;
}

} // namespace

SweepAnalysisWindow *SweepAnalysisWindow::showFor(PlotterState *plotter, QWidget *parent)
{
    static QPointer<SweepAnalysisWindow> window;
    if (!window || window->m_plotter != plotter)
        window = new SweepAnalysisWindow(plotter, parent);
    window->refresh();
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

SweepAnalysisWindow::SweepAnalysisWindow(PlotterState *plotter, QWidget *parent)
    : QWidget(parent, Qt::Window), m_plotter(plotter)
{
    setWindowTitle(QStringLiteral("Sweep Analysis"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    resize(1100, 760);

    m_chart = new QChart;
    m_chart->legend()->setAlignment(Qt::AlignTop);
    m_view = new SweepChartView(m_chart, m_analysis, this);

    m_logXBox = new QCheckBox(QStringLiteral("Log X"), this);
    m_logYBox[0] = new QCheckBox(QStringLiteral("Log Y (left)"), this);
    m_logYBox[1] = new QCheckBox(QStringLiteral("Log Y (right)"), this);
    m_logSteps = new QCheckBox(QStringLiteral("Log steps for the next sweep"), this);
    m_logSteps->setToolTip(QStringLiteral("The Plotter View's next Draw steps geometrically from Start to End (both above 0)."));
    connect(m_logXBox, &QCheckBox::toggled, this, &SweepAnalysisWindow::setLogX);
    connect(m_logYBox[0], &QCheckBox::toggled, this, [this](bool on) { setLogY(false, on); });
    connect(m_logYBox[1], &QCheckBox::toggled, this, [this](bool on) { setLogY(true, on); });
    connect(m_logSteps, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_plotter)
            return;
        m_plotter->setup().logSpacing = on;
        const SweepSetup &s = m_plotter->setup();
        say(on && !(s.start > 0 && s.end > 0)
                ? QStringLiteral("Log steps need Start and End above 0; until they are, the sweep steps linearly.")
                : QString());
    });
    if (m_plotter)
        m_logSteps->setChecked(m_plotter->setup().logSpacing);

    auto *axes = new QHBoxLayout;
    for (QWidget *w : {static_cast<QWidget *>(m_logXBox), static_cast<QWidget *>(m_logYBox[0]),
             static_cast<QWidget *>(m_logYBox[1]), static_cast<QWidget *>(m_logSteps)})
        axes->addWidget(w);
    axes->addStretch();
    auto *csv = new QPushButton(QStringLiteral("Export CSV..."), this);
    connect(csv, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"), QString(),
            QStringLiteral("CSV files (*.csv)"));
        if (!path.isEmpty())
            exportCsv(path);
    });
    axes->addWidget(csv);
    auto *print = new QPushButton(QStringLiteral("Print Graph..."), this);
    connect(print, &QPushButton::clicked, this, &SweepAnalysisWindow::printGraph);
    axes->addWidget(print);
    auto *preview = new QPushButton(QStringLiteral("Print Preview..."), this);
    connect(preview, &QPushButton::clicked, this, &SweepAnalysisWindow::previewGraph);
    axes->addWidget(preview);

    auto *markers = new QHBoxLayout;
    markers->addWidget(new QLabel(QStringLiteral("Marker at X:"), this));
    m_markerEdit = new QLineEdit(this);
    m_markerEdit->setPlaceholderText(QStringLiteral("e.g. 1000 or 5.03e6"));
    m_markerEdit->setMaximumWidth(140);
    markers->addWidget(m_markerEdit);
    auto *add = new QPushButton(QStringLiteral("Add"), this);
    connect(add, &QPushButton::clicked, this, [this] {
        bool ok = false;
        const double x = m_markerEdit->text().trimmed().toDouble(&ok);
        if (!ok)
            say(QStringLiteral("\"%1\" is not a number for a marker's X.").arg(m_markerEdit->text()));
        else
            addMarkerAt(x);
    });
    connect(m_markerEdit, &QLineEdit::returnPressed, add, &QPushButton::click);
    markers->addWidget(add);
    const struct
    {
        const char *text;
        SweepAnalysis::Automatic kind;
    } automatic[] = {{"Minimum", SweepAnalysis::Automatic::Minimum}, {"Maximum", SweepAnalysis::Automatic::Maximum},
        {"Resonance", SweepAnalysis::Automatic::Resonance}};
    for (const auto &a : automatic) {
        auto *b = new QPushButton(QString::fromLatin1(a.text), this);
        const SweepAnalysis::Automatic kind = a.kind;
        connect(b, &QPushButton::clicked, this, [this, kind] { placeAutomatic(kind); });
        markers->addWidget(b);
    }
    auto *clear = new QPushButton(QStringLiteral("Clear markers"), this);
    connect(clear, &QPushButton::clicked, this, [this] {
        m_analysis.clearMarkers();
        updateMarkers();
    });
    markers->addWidget(clear);
    markers->addStretch();

    auto *fit = new QHBoxLayout;
    fit->addWidget(new QLabel(QStringLiteral("Fit model:"), this));
    m_model = new QComboBox(this);
    m_model->addItems({QStringLiteral("capacitor"), QStringLiteral("inductor"), QStringLiteral("resistor")});
    fit->addWidget(m_model);
    fit->addWidget(new QLabel(QStringLiteral("Draw:"), this));
    m_draw = new QSpinBox(this);
    m_draw->setRange(0, 4);
    m_draw->setSpecialValueText(QStringLiteral("first"));
    fit->addWidget(m_draw);
    auto *fitButton = new QPushButton(QStringLiteral("Fit"), this);
    connect(fitButton, &QPushButton::clicked, this, [this] {
        CircuitFit::Model model;
        CircuitFit::modelFromName(m_model->currentText(), &model);
        runFit(model, m_draw->value());
    });
    fit->addWidget(fitButton);
    auto *mask = new QPushButton(QStringLiteral("Load mask..."), this);
    connect(mask, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Load mask"), QString(),
            QStringLiteral("Mask files (*.json)"));
        if (!path.isEmpty())
            loadMask(path);
    });
    auto *saveMask = new QPushButton(QStringLiteral("Save mask..."), this);
    connect(saveMask, &QPushButton::clicked, this, [this] {
        if (!m_analysis.hasMask()) {
            say(QStringLiteral("There is no mask to save; load one first."));
            return;
        }
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save mask"), QString(),
            QStringLiteral("Mask files (*.json)"));
        QString error;
        if (!path.isEmpty() && !m_analysis.mask.save(path, &error))
            say(error);
    });
    m_showMask = new QCheckBox(QStringLiteral("Show mask"), this);
    m_showMask->setChecked(true);
    connect(m_showMask, &QCheckBox::toggled, this, &SweepAnalysisWindow::rebuildChart);
    fit->addSpacing(20);
    fit->addWidget(mask);
    fit->addWidget(saveMask);
    fit->addWidget(m_showMask);
    fit->addStretch();

    m_fitLabel = new QLabel(this);
    m_fitLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_fitLabel->setWordWrap(true);
    m_maskLabel = new QLabel(this);
    m_maskLabel->setWordWrap(true);
    m_noteLabel = new QLabel(this);
    m_noteLabel->setWordWrap(true);
    m_noteLabel->setStyleSheet(QStringLiteral("color: #a00000"));
    m_markerTable = new QTableWidget(this);
    m_markerTable->verticalHeader()->setVisible(false);
    m_markerTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_markerTable->setMaximumHeight(190);

    auto *results = new QHBoxLayout;
    results->addWidget(m_markerTable, 3);
    auto *text = new QVBoxLayout;
    text->addWidget(m_fitLabel);
    text->addWidget(m_maskLabel);
    text->addStretch();
    results->addLayout(text, 2);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(axes);
    layout->addLayout(markers);
    layout->addLayout(fit);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_noteLabel);
    layout->addLayout(results);

    connect(m_view, &SweepChartView::addRequested, this, &SweepAnalysisWindow::addMarkerAt);
    connect(m_view, &SweepChartView::dragged, this, &SweepAnalysisWindow::dragMarker);

    // Follows the result list while a sweep fills it, at most every 100 ms.
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(100);
    connect(&m_refreshTimer, &QTimer::timeout, this, &SweepAnalysisWindow::refresh);
    if (m_plotter) {
        const PlotTableModel *t = &m_plotter->table();
        auto later = [this] { m_refreshTimer.start(); };
        connect(t, &QAbstractItemModel::modelReset, this, later);
        connect(t, &QAbstractItemModel::rowsInserted, this, later);
        connect(t, &QAbstractItemModel::rowsRemoved, this, later);
        connect(t, &QAbstractItemModel::columnsInserted, this, later);
        connect(t, &QAbstractItemModel::columnsRemoved, this, later);
        connect(t, &QAbstractItemModel::dataChanged, this, later);
        connect(m_plotter, &PlotterState::pageReset, this, later);
    }
    refresh();
}

void SweepAnalysisWindow::say(const QString &text)
{
    m_message = text;
    m_noteLabel->setText(note());
}

QString SweepAnalysisWindow::note() const
{
    QStringList parts;
    if (!m_message.isEmpty())
        parts << m_message;
    int unreadable = 0;
    for (const SweepAnalysis::Line &l : m_analysis.lines())
        unreadable += l.unreadable;
    if (unreadable > 0)
        parts << QStringLiteral("%1 unreadable reading(s) left out.").arg(unreadable);
    if (m_leftOutOfLog > 0)
        parts << QStringLiteral("%1 value(s) at or below 0 left out of the log axes.").arg(m_leftOutOfLog);
    return parts.join(QLatin1Char(' '));
}

void SweepAnalysisWindow::refresh()
{
    const bool changed = m_plotter && m_analysis.setData(SweepColumns::fromTable(m_plotter->table()), m_plotter->hasSecondItem());
    // A fit of other data must not stay beside these.
    if (changed && m_fitAsked)
        showFit();
    rebuildChart();
}

void SweepAnalysisWindow::attachPrinting(ReportPrinting *printing)
{
    m_printing = printing;
}

ReportPrinting *SweepAnalysisWindow::printing()
{
    if (!m_printing)
        m_printing = new ReportPrinting(nullptr, nullptr, nullptr, this);
    return m_printing;
}

GraphData SweepAnalysisWindow::printableGraph() const
{
    GraphData g;
    g.setPlotAreaColor(Qt::white);
    const QString xUnit = m_analysis.isFrequencySweep() ? QStringLiteral("Hz") : QStringLiteral("V");
    g.setAxisLabel(1, QStringLiteral("%1 (%2)").arg(m_analysis.columns().sweptTitle, xUnit));
    g.setAxisLog(1, m_analysis.logX);
    bool drawn[GraphSink::PlotCount + 1] = {};
    for (const SweepAnalysis::Line &l : m_analysis.lines()) {
        const int plot = l.line;
        if (plot < 1 || plot > GraphSink::PlotCount)
            continue;
        drawn[plot] = true;
        for (const QPointF &p : l.points)
            g.appendPoint(plot, p.x(), p.y());
        g.setAxisLabel(plot + 1, l.unit.isEmpty() ? l.title : QStringLiteral("%1 (%2)").arg(l.title, l.unit));
        g.setAxisLog(plot + 1, m_logY[l.secondItem ? 1 : 0]);
        g.setLineColor(plot, LineColors[(plot - 1) % 4]);
        g.setPointColor(plot, LineColors[(plot - 1) % 4]);
        g.setPointStyle(plot, GraphSink::MarkedPoints);
    }
    for (int plot = 1; plot <= GraphSink::PlotCount; ++plot) {
        g.setPlotVisible(plot, drawn[plot]);
        g.setAxisVisible(plot + 1, drawn[plot]);
    }
    return g;
}

bool SweepAnalysisWindow::printGraph()
{
    return printing()->printGraphPage([this](QPagedPaintDevice &device, const QString &description, bool landscape) {
        return GraphPrint::print(device, printableGraph(), PrintedGraphSize, description, landscape);
    });
}

bool SweepAnalysisWindow::previewGraph()
{
    return printing()->previewGraphPage([this](QPagedPaintDevice &device, const QString &description, bool landscape) {
        return GraphPrint::print(device, printableGraph(), PrintedGraphSize, description, landscape);
    });
}

void SweepAnalysisWindow::setLogX(bool on)
{
    m_analysis.logX = on;
    if (m_logXBox->isChecked() != on)
        m_logXBox->setChecked(on);
    rebuildChart();
}

void SweepAnalysisWindow::setLogY(bool secondItem, bool on)
{
    m_logY[secondItem ? 1 : 0] = on;
    if (m_logYBox[secondItem ? 1 : 0]->isChecked() != on)
        m_logYBox[secondItem ? 1 : 0]->setChecked(on);
    rebuildChart();
}

QXYSeries *SweepAnalysisWindow::addSeries(QXYSeries *series, bool secondItem)
{
    m_chart->addSeries(series);
    for (QAbstractAxis *a : m_chart->axes(Qt::Horizontal))
        series->attachAxis(a);
    const QList<QAbstractAxis *> ys = m_chart->axes(Qt::Vertical);
    for (QAbstractAxis *a : ys)
        if ((a->alignment() == Qt::AlignRight) == secondItem)
            series->attachAxis(a);
    return series;
}

void SweepAnalysisWindow::rebuildChart()
{
    m_chart->removeAllSeries();
    for (QAbstractAxis *a : m_chart->axes())
        m_chart->removeAxis(a), delete a;
    m_leftOutOfLog = 0;
    const QVector<SweepAnalysis::Line> &lines = m_analysis.lines();
    const QString xUnit = m_analysis.isFrequencySweep() ? QStringLiteral("Hz") : QStringLiteral("V");

    // Ranges from the data (the model curve and mask lie within it).
    double xlo = INFINITY, xhi = -INFINITY, ylo[2] = {INFINITY, INFINITY}, yhi[2] = {-INFINITY, -INFINITY};
    bool has[2] = {false, false};
    QString yTitle[2];
    for (const SweepAnalysis::Line &l : lines) {
        const int s = l.secondItem ? 1 : 0;
        has[s] = true;
        if (yTitle[s].isEmpty())
            yTitle[s] = l.item + (l.unit.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(l.unit));
        for (const QPointF &p : l.points) {
            if (!m_analysis.logX || p.x() > 0) {
                xlo = std::min(xlo, p.x());
                xhi = std::max(xhi, p.x());
            }
            if (!m_logY[s] || p.y() > 0) {
                ylo[s] = std::min(ylo[s], p.y());
                yhi[s] = std::max(yhi[s], p.y());
            }
        }
    }
    if (!(xlo <= xhi))
        xlo = m_analysis.logX ? 1 : 0, xhi = 10;
    QAbstractAxis *x = makeAxis(m_analysis.logX, xlo, xhi, QStringLiteral("%1 (%2)").arg(m_analysis.columns().sweptTitle, xUnit));
    m_chart->addAxis(x, Qt::AlignBottom);
    for (int s = 0; s < 2; ++s) {
        if (!has[s])
            continue;
        if (!(ylo[s] <= yhi[s]))
            ylo[s] = m_logY[s] ? 1 : 0, yhi[s] = 10;
        QAbstractAxis *y = makeAxis(m_logY[s], ylo[s], yhi[s], yTitle[s], s == 0 ? Qt::AlignLeft : Qt::AlignRight);
        if (s == 1)
            y->setGridLineVisible(false);
        m_chart->addAxis(y, s == 0 ? Qt::AlignLeft : Qt::AlignRight);
    }

    auto usable = [&](const QPointF &p, bool second) {
        return (!m_analysis.logX || p.x() > 0) && (!m_logY[second ? 1 : 0] || p.y() > 0) && std::isfinite(p.y());
    };
    for (const SweepAnalysis::Line &l : lines) {
        auto *series = new QLineSeries;
        series->setName(l.title);
        series->setPen(QPen(LineColors[(l.line - 1) % 4], 1));
        series->setPointsVisible(true);
        series->setMarkerSize(5);
        QList<QPointF> pts;
        for (const QPointF &p : l.points) {
            if (usable(p, l.secondItem))
                pts << p;
            else
                ++m_leftOutOfLog;
        }
        series->replace(pts);
        addSeries(series, l.secondItem);
    }

    if (m_fitShown && m_fit.ok && m_analysis.isFrequencySweep()) {
        // The model drawn as the lines of the draw it was fitted to.
        const QVector<SweepColumns::Draw> draws = m_analysis.columns().draws(m_analysis.withSecondItem());
        const int d = std::clamp(m_draw->value(), 1, int(std::max<qsizetype>(1, draws.size()))) - 1;
        if (d < draws.size() && xlo > 0) {
            const bool parallel = m_plotter && m_plotter->text(PlotterState::Circuit) == QLatin1String("PAR");
            for (int which = 0; which < 2; ++which) {
                const QString item = which == 0 ? draws[d].firstItem : draws[d].secondItem;
                auto *curve = new QLineSeries;
                curve->setName(QStringLiteral("%1 fit (%2)").arg(item, CircuitFit::modelName(m_fit.model)));
                // Over the points, so a model that follows them shows between them.
                curve->setPen(QPen(which == 0 ? QColor(230, 0, 0) : QColor(255, 110, 110), 1.5));
                QList<QPointF> pts;
                for (int i = 0; i <= 400; ++i) {
                    const double f = xlo * std::pow(xhi / xlo, i / 400.0);
                    const QPointF p(f, ImpedanceItems::reading(item, draws[d].firstItem, parallel, 2 * Pi * f, m_fit.impedance(f)));
                    if (usable(p, which == 1))
                        pts << p;
                }
                curve->replace(pts);
                addSeries(curve, which == 1);
            }
        }
    }

    if (m_analysis.hasMask() && m_showMask->isChecked()) {
        for (const LimitMask::Limit &limit : m_analysis.mask.limits()) {
            const bool second = m_analysis.withSecondItem() && limit.line % 2 == 0;
            for (const QVector<QPointF> *segment : {&limit.upper, &limit.lower}) {
                if (segment->isEmpty())
                    continue;
                auto *s = new QLineSeries;
                s->setName(QStringLiteral("%1 %2 limit").arg(m_analysis.columns().lineTitles.value(limit.line - 1),
                    segment == &limit.upper ? QStringLiteral("upper") : QStringLiteral("lower")));
                s->setPen(QPen(QColor(230, 0, 0), 2));
                QList<QPointF> pts;
                // Straight on the mask's own X scale, whatever the axis shows.
                for (int i = 0; i + 1 < segment->size(); ++i)
                    for (int k = 0; k < 32; ++k) {
                        const double t = k / 32.0;
                        const QPointF a = (*segment)[i], b = (*segment)[i + 1];
                        double xv = a.x() + t * (b.x() - a.x());
                        if (m_analysis.mask.logX())
                            xv = a.x() * std::pow(b.x() / a.x(), t);
                        double yv = 0;
                        if (m_analysis.mask.valueAt(*segment, xv, &yv) && usable(QPointF(xv, yv), second))
                            pts << QPointF(xv, yv);
                    }
                if (usable(segment->last(), second))
                    pts << segment->last();
                s->replace(pts);
                addSeries(s, second);
            }
        }
        auto *fails = new QScatterSeries;
        fails->setName(QStringLiteral("failing points"));
        fails->setMarkerSize(12);
        fails->setColor(QColor(255, 0, 0));
        fails->setBorderColor(Qt::white);
        QList<QPointF> bad[2];
        for (const LimitMask::Failure &f : m_analysis.verdict.failures) {
            const bool second = m_analysis.withSecondItem() && f.line % 2 == 0;
            if (usable(QPointF(f.x, f.value), second))
                bad[second ? 1 : 0] << QPointF(f.x, f.value);
        }
        fails->replace(bad[0]);
        addSeries(fails, false);
        if (!bad[1].isEmpty()) {
            auto *fails2 = new QScatterSeries;
            fails2->setName(QStringLiteral("failing points (right)"));
            fails2->setMarkerSize(12);
            fails2->setColor(QColor(255, 0, 0));
            fails2->replace(bad[1]);
            addSeries(fails2, true);
        }
    }

    if (m_analysis.hasMask()) {
        const LimitMask::Verdict &v = m_analysis.verdict;
        QString text = v.judged == 0 ? QStringLiteral("Mask: no point judged; no reading shown lies within its limits.")
            : v.passed()
            ? QStringLiteral("Mask: pass (%1 points judged).").arg(v.judged)
            : QStringLiteral("Mask: FAIL at %1 of %2 judged points:").arg(v.failures.size()).arg(v.judged);
        for (int i = 0; i < v.failures.size() && i < 6; ++i)
            text += QStringLiteral("\n  ") + LimitMask::describe(m_analysis.columns(), v.failures[i]);
        if (v.failures.size() > 6)
            text += QStringLiteral("\n  and %1 more").arg(v.failures.size() - 6);
        m_maskLabel->setText(text);
        m_maskLabel->setStyleSheet(v.judged == 0 ? QString()
                : v.passed()                    ? QStringLiteral("color: #006000")
                                                : QStringLiteral("color: #c00000"));
    } else {
        m_maskLabel->clear();
    }
    m_noteLabel->setText(note());
    updateMarkers();
}

void SweepAnalysisWindow::updateMarkers(bool repaintChart)
{
    const QVector<SweepAnalysis::Line> &lines = m_analysis.lines();
    const QVector<SweepAnalysis::Marker> &markers = m_analysis.markers();
    const QString xUnit = m_analysis.isFrequencySweep() ? QStringLiteral("Hz") : QStringLiteral("V");
    QStringList headers{QStringLiteral("Marker"), QStringLiteral("X")};
    for (const SweepAnalysis::Line &l : lines)
        headers << l.title;
    const int diffs = markers.size() > 1 ? int(markers.size()) - 1 : 0;
    m_markerTable->setColumnCount(int(headers.size()));
    m_markerTable->setHorizontalHeaderLabels(headers);
    m_markerTable->setRowCount(int(markers.size()) + diffs);
    auto set = [&](int r, int c, const QString &t) {
        QTableWidgetItem *item = m_markerTable->item(r, c);
        if (!item)
            m_markerTable->setItem(r, c, item = new QTableWidgetItem);
        item->setText(t);
    };
    for (int m = 0; m < markers.size(); ++m) {
        set(m, 0, markers[m].name);
        set(m, 1, SweepAnalysis::format(markers[m].x, xUnit));
        for (int l = 0; l < lines.size(); ++l)
            set(m, l + 2, SweepAnalysis::format(m_analysis.reading(m, l), lines[l].unit));
    }
    // Differences of each marker from the first.
    for (int m = 1; m < markers.size(); ++m) {
        const int r = int(markers.size()) + m - 1;
        set(r, 0, QStringLiteral("%1 - %2").arg(markers[m].name, markers[0].name));
        set(r, 1, SweepAnalysis::format(markers[m].x - markers[0].x, xUnit));
        for (int l = 0; l < lines.size(); ++l)
            set(r, l + 2, SweepAnalysis::format(m_analysis.reading(m, l) - m_analysis.reading(0, l), lines[l].unit));
    }
    m_markerTable->resizeColumnsToContents();
    if (repaintChart)
        m_view->viewport()->update();
}

void SweepAnalysisWindow::dragMarker(int index, double x)
{
    if (index < 0 || index >= m_analysis.markers().size())
        return;
    // Only where the marker was and where it is now is drawn again.
    m_view->updateMarkerStrip(m_analysis.markers()[index].x);
    m_analysis.moveMarker(index, x);
    m_view->updateMarkerStrip(m_analysis.markers()[index].x);
    updateMarkers(false);
}

bool SweepAnalysisWindow::addMarkerAt(double x)
{
    if (!m_analysis.addMarker(x)) {
        say(QStringLiteral("Four markers are placed already; drag one or clear them."));
        return false;
    }
    say(QString());
    updateMarkers();
    return true;
}

void SweepAnalysisWindow::placeAutomatic(SweepAnalysis::Automatic kind)
{
    QString why;
    if (!m_analysis.placeAutomatic(kind, &why))
        say(why);
    else
        say(QString());
    updateMarkers();
}

bool SweepAnalysisWindow::loadMask(const QString &path)
{
    QString error;
    if (!m_analysis.loadMask(path, &error)) {
        say(error);
        QMessageBox::warning(this, QStringLiteral("Sweep Analysis"), error);
        return false;
    }
    say(QString());
    rebuildChart();
    return true;
}

bool SweepAnalysisWindow::exportCsv(const QString &path)
{
    if (!m_plotter)
        return false;
    QString error;
    if (!SweepCsv::write(m_plotter->table(), path, &error)) {
        say(QStringLiteral("%1 cannot be written: %2.").arg(path, error));
        return false;
    }
    say(QStringLiteral("The result list was written to %1.").arg(path));
    return true;
}

bool SweepAnalysisWindow::runFit(CircuitFit::Model model, int draw)
{
    m_fitAsked = true;
    m_fitModel = model;
    m_fitDraw = draw;
    const bool ok = showFit();
    rebuildChart();
    return ok;
}

bool SweepAnalysisWindow::showFit()
{
    m_fitShown = false;
    m_fit = CircuitFit::Result();
    const bool parallel = m_plotter && m_plotter->text(PlotterState::Circuit) == QLatin1String("PAR");
    const CircuitFit::Input in = CircuitFit::fromColumns(m_analysis.columns(), m_analysis.withSecondItem(), parallel, m_fitDraw);
    if (!in.refusal.isEmpty()) {
        m_fitLabel->setText(in.refusal);
        return false;
    }
    m_fit = CircuitFit::fit(m_fitModel, in);
    if (!m_fit.ok) {
        m_fitLabel->setText(m_fit.refusal);
        return false;
    }
    m_draw->setValue(in.draw);
    m_fitShown = true;
    m_fitLabel->setText(QStringLiteral("Draw %1\n").arg(in.draw) + FitReport::text(m_fit).trimmed());
    return true;
}
