#include "plotter/ui/PlotterView.h"

#include "components/ui/Graph.h"
#include "components/ui/PictureButton.h"
#include "components/ui/ProgressSlide.h"
#include "plotter/PlotterCommands.h"
#include "plotter/PlotterState.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

using S = PlotterState;

PlotterView::PlotterView(PlotterState *state, PlotterCommands *commands, QWidget *parent)
    : QWidget(parent), m_state(state), m_commands(commands)
{
    m_tabs = new QTabBar(this);
    m_tabs->addTab(tr("Graph"));
    m_tabs->addTab(tr("Result"));
    registerControl(TabsId, m_tabs, "tabs");

    m_graph = new Graph(this);
    m_graph->loadFrom(m_state->headlessGraph());
    registerControl(GraphId, m_graph, "graph");

    m_list = new QTableView(this);
    m_list->setModel(&m_state->table());
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setShowGrid(true);
    m_list->setIconSize(QSize(108, 16));
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setDefaultSectionSize(PlotTableModel::ColumnWidth);
    m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The step number must fit beside its 108-pixel picture in this font too.
    const int stepWidth = 108 + m_list->fontMetrics().horizontalAdvance(QStringLiteral("2000")) + 16;
    m_list->setColumnWidth(0, std::max(PlotTableModel::ColumnWidth, stepWidth));
    connect(&m_state->table(), &QAbstractItemModel::modelReset, this,
            [this, stepWidth] { m_list->setColumnWidth(0, std::max(PlotTableModel::ColumnWidth, stepWidth)); });
    m_list->hide();
    registerControl(ResultListId, m_list, "resultList");
    QVector<QIcon> pictures;
    for (int i = 0; i < PlotTableModel::PictureCount; ++i)
        pictures << QIcon(QStringLiteral(":/qel/pictures/curve%1.svg").arg(i));
    m_state->table().setPictures(pictures);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(buildXGroup());
    bottom->addWidget(buildYGroup());
    bottom->addWidget(buildRunColumn(), 1);
    bottom->addWidget(buildVisibleGroup());

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(m_graph, 1);
    layout->addWidget(m_list, 1);
    layout->addLayout(bottom);

    connect(m_tabs, &QTabBar::currentChanged, this, &PlotterView::showTab);
    connect(m_graph, &Graph::mouseReleased, this, [this](int button) { m_state->graphMouseReleased(button); });
    connect(m_state, &PlotterState::controlChanged, this, &PlotterView::syncControl);
    connect(m_state, &PlotterState::progressChanged, this, &PlotterView::syncProgress);
    connect(m_state, &PlotterState::drawEnabledChanged, m_draw, &QWidget::setEnabled);
    connect(m_state, &PlotterState::rowShown, this,
            [this](int row) { m_list->scrollTo(m_state->table().index(row, 0)); });

    for (auto it = m_controls.cbegin(); it != m_controls.cend(); ++it)
        syncControl(it.key());
    syncProgress();
    m_draw->setEnabled(m_state->drawEnabled());

    // From now on the sweep draws here.
    m_state->setGraph(m_graph);
}

PlotterView::~PlotterView()
{
    // The curves outlive the page.
    m_state->headlessGraph() = m_graph->data();
    m_state->setGraph(nullptr);
}

void PlotterView::registerControl(int id, QWidget *w, const char *name)
{
    w->setObjectName(QLatin1String(name));
    w->setProperty("ctrlId", id);
    m_controls.insert(id, w);
}

QComboBox *PlotterView::makeCombo(int id, const char *name)
{
    auto *c = new QComboBox(this);
    c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    registerControl(id, c, name);
    connect(c, &QComboBox::activated, this, [this, id](int index) { m_state->select(id, index); });
    return c;
}

QLineEdit *PlotterView::makeEdit(int id, const char *name)
{
    auto *e = new QLineEdit(this);
    e->setMaximumWidth(90);
    registerControl(id, e, name);
    connect(e, &QLineEdit::textEdited, this, [this, id](const QString &text) { m_state->editText(id, text); });
    return e;
}

QCheckBox *PlotterView::makeCheck(int id, const char *name, const QString &caption, const QColor &colour)
{
    auto *c = new QCheckBox(caption, this);
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSizeF(c->font().pointSizeF());
    c->setFont(f);
    if (colour.isValid()) {
        QPalette p = c->palette();
        p.setColor(QPalette::WindowText, colour);
        p.setColor(QPalette::ButtonText, colour);
        c->setPalette(p);
    }
    registerControl(id, c, name);
    connect(c, &QCheckBox::toggled, this, [this, id](bool on) { m_state->setChecked(id, on); });
    return c;
}

PictureButton *PlotterView::makeButton(int id, const char *name, const QString &caption, const QString &picture)
{
    auto *b = new PictureButton(caption, picture, this);
    registerControl(id, b, name);
    return b;
}

QWidget *PlotterView::buildXGroup()
{
    auto *box = new QGroupBox(tr("X Coordinate"), this);
    auto *g = new QGridLayout(box);
    g->addWidget(new QLabel(tr("Type"), box), 0, 0);
    g->addWidget(makeCombo(S::SweepKind, "sweepKindCombo"), 0, 1);
    g->addWidget(new QLabel(tr("Start"), box), 1, 0);
    g->addWidget(makeEdit(S::Start, "startEdit"), 1, 1);
    g->addWidget(new QLabel(tr("End"), box), 2, 0);
    g->addWidget(makeEdit(S::End, "endEdit"), 2, 1);
    g->addWidget(new QLabel(tr("Points"), box), 3, 0);
    g->addWidget(makeEdit(S::Points, "pointsEdit"), 3, 1);
    g->addWidget(new QLabel(tr("Unit"), box), 4, 0);
    g->addWidget(makeCombo(S::SweepUnit, "sweepUnitCombo"), 4, 1);
    return box;
}

QWidget *PlotterView::buildYGroup()
{
    auto *box = new QGroupBox(tr("Y Coordinate"), this);
    auto *g = new QGridLayout(box);
    g->addWidget(new QLabel(tr("Freq."), box), 0, 0);
    g->addWidget(makeEdit(S::FixedFrequency, "fixedFrequencyEdit"), 0, 1);
    g->addWidget(makeCombo(S::FixedFrequencyUnit, "fixedFrequencyUnitCombo"), 0, 2);
    g->addWidget(new QLabel(tr("Level"), box), 1, 0);
    g->addWidget(makeEdit(S::FixedLevel, "fixedLevelEdit"), 1, 1);
    g->addWidget(makeCombo(S::FixedLevelUnit, "fixedLevelUnitCombo"), 1, 2);
    g->addWidget(new QLabel(tr("1st item"), box), 2, 0);
    g->addWidget(makeCombo(S::FirstItem, "firstItemCombo"), 2, 1);
    g->addWidget(new QLabel(tr("2nd item"), box), 3, 0);
    g->addWidget(makeCombo(S::SecondItem, "secondItemCombo"), 3, 1);
    g->addWidget(new QLabel(tr("Circuit"), box), 2, 2);
    g->addWidget(makeCombo(S::Circuit, "circuitCombo"), 2, 3);
    g->addWidget(new QLabel(tr("Speed"), box), 3, 2);
    g->addWidget(makeCombo(S::Speed, "speedCombo"), 3, 3);
    return box;
}

QWidget *PlotterView::buildRunColumn()
{
    auto *w = new QWidget(this);
    auto *v = new QVBoxLayout(w);
    v->setContentsMargins(0, 0, 0, 0);
    m_progress = new ProgressSlide(tr("Running Progress"), w);
    m_progress->setMinimumWidth(260);
    registerControl(S::Progress, m_progress, "progressSlide");
    m_draw = makeButton(S::Draw, "drawButton", tr("Draw"), QStringLiteral("run"));
    m_stopReset = makeButton(S::StopReset, "stopResetButton", tr("Stop / Reset"), QStringLiteral("stop"));
    m_export = makeButton(S::ExportButton, "exportButton", tr("Export to Excel"), QStringLiteral("excel"));
    connect(m_draw, &QPushButton::clicked, this, &PlotterView::draw);
    connect(m_stopReset, &QPushButton::clicked, this, &PlotterView::stopResetClicked);
    connect(m_export, &QPushButton::clicked, this, &PlotterView::exportClicked);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_draw);
    buttons->addWidget(m_stopReset);
    v->addWidget(m_progress);
    v->addLayout(buttons);
    v->addWidget(m_export);
    v->addStretch(1);
    return w;
}

QWidget *PlotterView::buildVisibleGroup()
{
    auto *box = new QGroupBox(tr("Visible"), this);
    auto *g = new QGridLayout(box);
    g->addWidget(makeCheck(S::Line1, "line1Check", tr("Line 1"), QColor(0, 128, 0)), 0, 0);
    g->addWidget(makeCheck(S::Line2, "line2Check", tr("Line 2"), QColor(255, 0, 0)), 1, 0);
    g->addWidget(makeCheck(S::Line3, "line3Check", tr("Line 3"), QColor(128, 128, 0)), 2, 0);
    g->addWidget(makeCheck(S::Line4, "line4Check", tr("Line 4"), QColor(0, 0, 255)), 3, 0);
    g->addWidget(makeCheck(S::Pointer, "pointerCheck", tr("Pointer"), QColor()), 0, 1);
    g->addWidget(makeCheck(S::PrintMode, "printModeCheck", tr("Print mode"), QColor()), 1, 1);
    g->addWidget(makeCheck(S::YAxisLock, "yAxisLockCheck", tr("Y axis lock"), QColor()), 2, 1);
    return box;
}

void PlotterView::syncControl(int id)
{
    QWidget *w = m_controls.value(id);
    if (!w || id == S::Draw)
        return;
    const QSignalBlocker block(w);
    w->setEnabled(m_state->isEnabled(id));
    if (auto *combo = qobject_cast<QComboBox *>(w)) {
        const QStringList items = m_state->items(id);
        QStringList shown;
        for (int i = 0; i < combo->count(); ++i)
            shown << combo->itemText(i);
        if (shown != items) {
            combo->clear();
            combo->addItems(items);
        }
        combo->setCurrentIndex(m_state->selection(id));
    } else if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        if (edit->text() != m_state->text(id))
            edit->setText(m_state->text(id));
    } else if (auto *check = qobject_cast<QCheckBox *>(w)) {
        check->setChecked(m_state->isChecked(id));
    }
}

void PlotterView::syncProgress()
{
    m_progress->setScale(m_state->progressMinimum(), m_state->progressMaximum());
    m_progress->setValue(m_state->progressValue());
}

void PlotterView::showTab(int index)
{
    m_list->setVisible(index == 1);
    m_graph->setVisible(index != 1);
}

void PlotterView::draw()
{
    if (!m_commands->checkPoints()) {
        if (QWidget *points = control(S::Points))
            points->setFocus();
        return;
    }
    emit drawClicked();
}
