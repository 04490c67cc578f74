#include "analysis/ui/SweepAnalysisWindow.h"

#include "analysis/FitReport.h"
#include "analysis/SweepCsv.h"
#include "analysis/ui/SweepChartView.h"
#include "plotter/PlotterState.h"
#include "reports/GraphPrint.h"
#include "reports/ui/ReportPrinting.h"

#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPagedPaintDevice>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

// The printed graph's own size in pixels, as qel-cli print-graph draws it.
const QSize SweepAnalysisWindow::PrintedGraphSize(900, 560);

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
    connect(m_view, &SweepChartView::addRequested, this, &SweepAnalysisWindow::addMarkerAt);
    connect(m_view, &SweepChartView::dragged, this, &SweepAnalysisWindow::dragMarker);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(makeAxesRow());
    layout->addLayout(makeMarkerRow());
    layout->addLayout(makeFitRow());
    layout->addWidget(m_view, 1);
    m_noteLabel = new QLabel(this);
    m_noteLabel->setWordWrap(true);
    m_noteLabel->setStyleSheet(QStringLiteral("color: #a00000"));
    layout->addWidget(m_noteLabel);
    layout->addLayout(makeResultsPanel());

    followPlotter();
    refresh();
}

QLayout *SweepAnalysisWindow::makeAxesRow()
{
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

    auto *row = new QHBoxLayout;
    for (QWidget *w : {static_cast<QWidget *>(m_logXBox), static_cast<QWidget *>(m_logYBox[0]),
             static_cast<QWidget *>(m_logYBox[1]), static_cast<QWidget *>(m_logSteps)})
        row->addWidget(w);
    row->addStretch();
    auto *csv = new QPushButton(QStringLiteral("Export CSV..."), this);
    connect(csv, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"), QString(),
            QStringLiteral("CSV files (*.csv)"));
        if (!path.isEmpty())
            exportCsv(path);
    });
    row->addWidget(csv);
    auto *print = new QPushButton(QStringLiteral("Print Graph..."), this);
    connect(print, &QPushButton::clicked, this, &SweepAnalysisWindow::printGraph);
    row->addWidget(print);
    auto *preview = new QPushButton(QStringLiteral("Print Preview..."), this);
    connect(preview, &QPushButton::clicked, this, &SweepAnalysisWindow::previewGraph);
    row->addWidget(preview);
    return row;
}

QLayout *SweepAnalysisWindow::makeMarkerRow()
{
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Marker at X:"), this));
    m_markerEdit = new QLineEdit(this);
    m_markerEdit->setPlaceholderText(QStringLiteral("e.g. 1000 or 5.03e6"));
    m_markerEdit->setMaximumWidth(140);
    row->addWidget(m_markerEdit);
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
    row->addWidget(add);
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
        row->addWidget(b);
    }
    auto *clear = new QPushButton(QStringLiteral("Clear markers"), this);
    connect(clear, &QPushButton::clicked, this, [this] {
        m_analysis.clearMarkers();
        updateMarkers();
    });
    row->addWidget(clear);
    row->addStretch();
    return row;
}

QLayout *SweepAnalysisWindow::makeFitRow()
{
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Fit model:"), this));
    m_model = new QComboBox(this);
    m_model->addItems({QStringLiteral("capacitor"), QStringLiteral("inductor"), QStringLiteral("resistor")});
    row->addWidget(m_model);
    row->addWidget(new QLabel(QStringLiteral("Draw:"), this));
    m_draw = new QSpinBox(this);
    m_draw->setRange(0, 4);
    m_draw->setSpecialValueText(QStringLiteral("first"));
    row->addWidget(m_draw);
    auto *fitButton = new QPushButton(QStringLiteral("Fit"), this);
    connect(fitButton, &QPushButton::clicked, this, [this] {
        CircuitFit::Model model;
        CircuitFit::modelFromName(m_model->currentText(), &model);
        runFit(model, m_draw->value());
    });
    row->addWidget(fitButton);
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
    row->addSpacing(20);
    row->addWidget(mask);
    row->addWidget(saveMask);
    row->addWidget(m_showMask);
    row->addStretch();
    return row;
}

QLayout *SweepAnalysisWindow::makeResultsPanel()
{
    m_fitLabel = new QLabel(this);
    m_fitLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_fitLabel->setWordWrap(true);
    m_maskLabel = new QLabel(this);
    m_maskLabel->setWordWrap(true);
    m_markerTable = new QTableWidget(this);
    m_markerTable->verticalHeader()->setVisible(false);
    m_markerTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_markerTable->setMaximumHeight(190);

    auto *panel = new QHBoxLayout;
    panel->addWidget(m_markerTable, 3);
    auto *text = new QVBoxLayout;
    text->addWidget(m_fitLabel);
    text->addWidget(m_maskLabel);
    text->addStretch();
    panel->addLayout(text, 2);
    return panel;
}

void SweepAnalysisWindow::followPlotter()
{
    // Follows the result list while a sweep fills it, at most every 100 ms.
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(100);
    connect(&m_refreshTimer, &QTimer::timeout, this, &SweepAnalysisWindow::refresh);
    if (!m_plotter)
        return;
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

void SweepAnalysisWindow::paintPrintedGraph(QPainter &painter, const QRectF &bounds) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    QGraphicsScene scene;
    auto *chart = new QChart;
    scene.addItem(chart);
    chart->setBackgroundRoundness(0);
    chart->legend()->setAlignment(Qt::AlignBottom);
    const int leftOut = SweepChartBuilder(chart, m_analysis, chartOptions()).build();
    // The note in the picture's own pixels, whatever the device's resolution.
    QFont font = chart->font();
    font.setPixelSize(13);
    const double noteHeight = leftOut > 0 ? 2 * QFontMetricsF(font).height() : 0;
    const QRectF area(0, 0, bounds.width(), bounds.height() - noteHeight);
    chart->setGeometry(area);
    chart->layout()->activate();
    scene.setSceneRect(area);
    scene.render(&painter, QRectF(bounds.topLeft(), area.size()), area);
    if (leftOut > 0) {
        painter.save();
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(bounds.left(), bounds.bottom() - noteHeight, bounds.width(), noteHeight),
            Qt::AlignCenter, QStringLiteral("%1 point(s) at or below 0 left out of the log axes").arg(leftOut));
        painter.restore();
    }
}

bool SweepAnalysisWindow::printGraph()
{
    return printing()->printGraphPage([this](QPagedPaintDevice &device, const QString &description, bool landscape) {
        return GraphPrint::print(device, [this](QPainter &p, const QRectF &bounds) { paintPrintedGraph(p, bounds); },
            PrintedGraphSize, description, landscape);
    });
}

bool SweepAnalysisWindow::previewGraph()
{
    return printing()->previewGraphPage([this](QPagedPaintDevice &device, const QString &description, bool landscape) {
        return GraphPrint::print(device, [this](QPainter &p, const QRectF &bounds) { paintPrintedGraph(p, bounds); },
            PrintedGraphSize, description, landscape);
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

SweepChartBuilder::Options SweepAnalysisWindow::chartOptions() const
{
    SweepChartBuilder::Options o;
    o.logY[0] = m_logY[0];
    o.logY[1] = m_logY[1];
    o.showMask = m_showMask->isChecked();
    o.fit = m_fitShown ? &m_fit : nullptr;
    o.fitDraw = m_draw->value();
    o.parallel = m_plotter && m_plotter->text(PlotterState::Circuit) == QLatin1String("PAR");
    return o;
}

void SweepAnalysisWindow::rebuildChart()
{
    m_leftOutOfLog = SweepChartBuilder(m_chart, m_analysis, chartOptions()).build();
    m_view->setLogX(m_analysis.logX);
    showMaskVerdict();
    m_noteLabel->setText(note());
    updateMarkers();
}

void SweepAnalysisWindow::showMaskVerdict()
{
    if (!m_analysis.hasMask()) {
        m_maskLabel->clear();
        return;
    }
    const LimitMask::Verdict &v = m_analysis.verdict;
    QString text = v.judged == 0 ? QStringLiteral("Mask: no point judged; no reading shown lies within its limits.")
        : v.passed()             ? QStringLiteral("Mask: pass (%1 points judged).").arg(v.judged)
                                 : QStringLiteral("Mask: FAIL at %1 of %2 judged points:").arg(v.failures.size()).arg(v.judged);
    for (int i = 0; i < v.failures.size() && i < 6; ++i)
        text += QStringLiteral("\n  ") + m_analysis.describe(v.failures[i]);
    if (v.failures.size() > 6)
        text += QStringLiteral("\n  and %1 more").arg(v.failures.size() - 6);
    m_maskLabel->setText(text);
    m_maskLabel->setStyleSheet(v.judged == 0 ? QString()
            : v.passed()                    ? QStringLiteral("color: #006000")
                                            : QStringLiteral("color: #c00000"));
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
    m_fitLabel->setText(QStringLiteral("Draw %1\n").arg(in.draw) + FitReport::shownText(m_fit).trimmed());
    return true;
}
