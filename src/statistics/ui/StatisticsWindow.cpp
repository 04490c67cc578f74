#include "statistics/ui/StatisticsWindow.h"

#include "execution/ResultTableModel.h"
#include "procedure/FieldParsing.h"
#include "procedure/ProcedureModel.h"
#include "reports/ui/ReportPrinting.h"
#include "statistics/BinOutputs.h"
#include "statistics/StatisticsOutputs.h"
#include "statistics/ui/ControlChartView.h"
#include "statistics/ui/HistogramView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace SO = StatisticsOutputs;

namespace {

// The earliest day offered stands for "no bound".
const QDate NoDate(2000, 1, 1);

QDateEdit *openDateEdit()
{
    auto *edit = new QDateEdit;
    edit->setCalendarPopup(true);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    edit->setMinimumDate(NoDate);
    edit->setSpecialValueText(QStringLiteral("any"));
    edit->setDate(NoDate);
    return edit;
}

} // namespace

StatisticsWindow::StatisticsWindow(const ProcedureModel *procedure, const ResultTableModel *results, QWidget *parent)
    : QWidget(parent, Qt::Window), m_procedure(procedure), m_results(results)
{
    setWindowTitle(QStringLiteral("Statistics"));
    m_model = new StatisticsTableModel(&m_statistics, this);
    m_summary = new QLabel;
    m_table = new QTableView;
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setWordWrap(false);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(StatisticsTableModel::Title, QHeaderView::Stretch);
    m_table->verticalHeader()->hide();
    m_histogram = new HistogramView;
    m_chart = new ControlChartView;
    m_subgroup = new QSpinBox;
    m_subgroup->setRange(1, ControlChart::MaxSubgroup);
    m_subgroup->setToolTip(QStringLiteral("1: individuals and moving ranges; 2 to 10: X-bar and R of that many consecutive readings"));
    m_print = new QCheckBox(QStringLiteral("Print a statistics page after the report"));

    m_choice = new QWidget;
    m_source = new QComboBox;
    m_source->addItems({QStringLiteral("Executive View"), QStringLiteral("Results history")});
    m_lot = new QLineEdit;
    m_lot->setPlaceholderText(QStringLiteral("any"));
    m_from = openDateEdit();
    m_to = openDateEdit();
    m_show = new QPushButton(QStringLiteral("Show"));
    auto *choice = new QHBoxLayout(m_choice);
    choice->setContentsMargins(0, 0, 0, 0);
    choice->addWidget(new QLabel(QStringLiteral("Source:")));
    choice->addWidget(m_source);
    choice->addSpacing(12);
    choice->addWidget(new QLabel(QStringLiteral("Lot:")));
    choice->addWidget(m_lot, 1);
    choice->addWidget(new QLabel(QStringLiteral("From:")));
    choice->addWidget(m_from);
    choice->addWidget(new QLabel(QStringLiteral("To:")));
    choice->addWidget(m_to);
    choice->addWidget(m_show);
    m_choice->hide();
    connect(m_source, &QComboBox::currentIndexChanged, this, &StatisticsWindow::sourceChanged);
    connect(m_show, &QPushButton::clicked, this, &StatisticsWindow::showHistory);
    connect(m_lot, &QLineEdit::returnPressed, this, &StatisticsWindow::showHistory);
    sourceChanged();

    auto *chartPane = new QWidget;
    auto *chartLayout = new QVBoxLayout(chartPane);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    auto *subgroupRow = new QHBoxLayout;
    subgroupRow->addWidget(new QLabel(QStringLiteral("Control chart subgroup size:")));
    subgroupRow->addWidget(m_subgroup);
    subgroupRow->addStretch(1);
    chartLayout->addLayout(subgroupRow);
    chartLayout->addWidget(m_chart, 1);
    connect(m_subgroup, &QSpinBox::valueChanged, this, &StatisticsWindow::updateHistogram);
    auto *charts = new QSplitter(Qt::Horizontal);
    charts->addWidget(m_histogram);
    charts->addWidget(chartPane);
    auto *split = new QSplitter(Qt::Vertical);
    split->addWidget(m_table);
    split->addWidget(charts);
    split->setStretchFactor(1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_choice);
    layout->addWidget(m_summary);
    layout->addWidget(split, 1);
    layout->addWidget(m_print);
    resize(1200, 660);

    // Rows arrive in bursts during a fast run: they are taken a little later,
    // together.
    m_timer.setSingleShot(true);
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &StatisticsWindow::refreshNow);
    connect(results, &QAbstractItemModel::rowsInserted, this, &StatisticsWindow::schedule);
    connect(results, &QAbstractItemModel::modelReset, this, &StatisticsWindow::restart);
    connect(results, &QAbstractItemModel::rowsRemoved, this, &StatisticsWindow::restart);
    // Any change of the procedure changes the columns or their limits.
    connect(procedure, &QAbstractItemModel::modelReset, this, &StatisticsWindow::restart);
    connect(procedure, &QAbstractItemModel::rowsRemoved, this, &StatisticsWindow::restart);
    connect(procedure, &QAbstractItemModel::rowsInserted, this, &StatisticsWindow::restart);
    connect(procedure, &QAbstractItemModel::dataChanged, this, &StatisticsWindow::restart);
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { selectColumn(current.row()); });
    refreshNow();
}

void StatisticsWindow::attachPrinting(ReportPrinting *printing)
{
    // Pages another window added come after the statistics page.
    printing->setAppendix([this, guard = QPointer<StatisticsWindow>(this), after = printing->appendix()]() {
        const ReportPainter::Appendix others = after ? after() : ReportPainter::Appendix();
        if (!guard || !m_print->isChecked())
            return others;
        refreshNow();
        return BinOutputs::chain(SO::appendix(m_statistics), others);
    });
}

std::function<void()> StatisticsWindow::opener(const ProcedureModel *procedure, const ResultTableModel *results,
                                               ReportPrinting *printing,
                                               QWidget *owner, HistorySource history)
{
    auto window = std::make_shared<QPointer<StatisticsWindow>>();
    return [=] {
        if (!*window) {
            *window = new StatisticsWindow(procedure, results, owner);
            if (printing)
                (*window)->attachPrinting(printing);
            if (history)
                (*window)->setHistorySource(history);
        }
        (*window)->show();
        (*window)->raise();
        (*window)->activateWindow();
    };
}

void StatisticsWindow::restart()
{
    m_restart = true;
    schedule();
}

void StatisticsWindow::schedule()
{
    if (!m_timer.isActive())
        m_timer.start();
}

void StatisticsWindow::refreshNow()
{
    m_timer.stop();
    const int rows = m_results->resultCount();
    if (m_restart || rows < m_taken) {
        m_restart = false;
        m_statistics.setKeepReadings(true);
        m_statistics.setSteps(m_procedure->steps());
        m_taken = 0;
        if (!historyShown() && m_selected >= m_statistics.columns().size())
            m_selected = -1;
    }
    // Rows judged in this session bring their readings as judged.
    for (; m_taken < rows; ++m_taken)
        m_statistics.addTableRow(*m_results, m_taken);
    if (historyShown())
        return;
    m_model->refresh();
    showSummary();
    if (m_selected < 0 && !m_statistics.columns().isEmpty())
        selectColumn(0);
    else
        updateHistogram();
}

void StatisticsWindow::selectColumn(int column)
{
    if (column == m_selected)
        return;
    m_selected = column >= 0 && column < shown().columns().size() ? column : -1;
    if (m_selected >= 0 && m_table->currentIndex().row() != m_selected)
        m_table->selectRow(m_selected);
    updateHistogram();
}

void StatisticsWindow::updateHistogram()
{
    // Sorting every reading, and checking every point for the rules, are
    // the steps here that grow with the table: done only where someone can
    // see them.
    if (!isVisible())
        return;
    const TableStatistics &statistics = shown();
    if (m_selected < 0) {
        if (historyShown() && statistics.columns().isEmpty()) {
            m_histogram->clear(m_historyMessage);
            m_chart->clear(m_historyMessage);
        } else {
            m_histogram->clear(statistics.columns().isEmpty() ? QStringLiteral("The procedure has no steps.")
                                                              : QStringLiteral("Choose a column for its histogram."));
            m_chart->clear(statistics.columns().isEmpty() ? QStringLiteral("The procedure has no steps.")
                                                          : QStringLiteral("Choose a column for its control chart."));
        }
        return;
    }
    const ColumnStatistics &c = statistics.columns().at(m_selected);
    HistogramView::Marks marks;
    marks.low = c.low;
    marks.high = c.high;
    marks.standard = c.standard;
    m_histogram->setData(statistics.readings(m_selected), marks, c.unit, c.title());
    const double toUnit = FieldParsing::baseToUnit(c.unit, c.secondItem);
    ControlChart chart(m_subgroup->value());
    for (double v : statistics.readings(m_selected))
        chart.add(v);
    m_chart->setChart(chart, c.low, c.high, toUnit, c.unit, c.title());
}

void StatisticsWindow::showSummary()
{
    const TableStatistics &statistics = shown();
    if (historyShown() && statistics.rows() == 0) {
        m_summary->setText(m_historyMessage);
        return;
    }
    const Figure fpy = statistics.firstPassYield();
    m_summary->setText(QStringLiteral("Rows: %1    Passed: %2    First-pass yield: %3")
                           .arg(statistics.rows())
                           .arg(statistics.passedRows())
                           .arg(fpy.defined() ? SO::displayYield(fpy) : QStringLiteral("none yet")));
}

void StatisticsWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updateHistogram();
}

void StatisticsWindow::setHistorySource(HistorySource source)
{
    m_historySource = std::move(source);
    m_choice->setVisible(bool(m_historySource));
    if (!m_historySource)
        m_source->setCurrentIndex(0);
}

bool StatisticsWindow::historyShown() const
{
    return m_historySource && m_source->currentIndex() == 1;
}

QDate StatisticsWindow::chosenDate(const QDateEdit *edit) const
{
    return edit->date() == NoDate ? QDate() : edit->date();
}

void StatisticsWindow::sourceChanged()
{
    const bool history = historyShown();
    for (QWidget *w : {static_cast<QWidget *>(m_lot), static_cast<QWidget *>(m_from), static_cast<QWidget *>(m_to),
                       static_cast<QWidget *>(m_show)})
        w->setEnabled(history);
    // The live figures keep being taken; printing always uses them.
    if (history && m_history.columns().isEmpty() && m_historyMessage.isEmpty())
        m_historyMessage = QStringLiteral("Choose a lot and days, then Show.");
    m_model->setStatistics(&shown());
    m_selected = -1;
    if (!history) {
        refreshNow();
        return;
    }
    showSummary();
    if (!m_history.columns().isEmpty())
        selectColumn(0);
    else
        updateHistogram();
}

void StatisticsWindow::showHistory()
{
    if (!historyShown())
        return;
    const QString lot = m_lot->text().trimmed();
    const QDate from = chosenDate(m_from), to = chosenDate(m_to);
    m_history.setKeepReadings(true);
    QString error;
    if (from.isValid() && to.isValid() && from > to) {
        m_history.setSteps({});
        m_historyMessage = QStringLiteral("The first day comes after the last: choose From on or before To.");
    } else if (!m_historySource(lot, from, to, m_history, &error)) {
        m_history.setSteps({});
        m_historyMessage = error.isEmpty() ? QStringLiteral("The results history cannot be read.") : error;
    } else if (m_history.rows() == 0) {
        const QString days = from.isValid() || to.isValid()
            ? QStringLiteral(" from %1 to %2")
                  .arg(from.isValid() ? from.toString(Qt::ISODate) : QStringLiteral("the first"),
                       to.isValid() ? to.toString(Qt::ISODate) : QStringLiteral("today"))
            : QString();
        m_historyMessage = QStringLiteral("No recorded rows of %1%2.")
                               .arg(lot.isEmpty() ? QStringLiteral("any lot") : QStringLiteral("lot \"%1\"").arg(lot), days);
    } else {
        m_historyMessage.clear();
    }
    m_model->setStatistics(&m_history);
    m_selected = -1;
    showSummary();
    if (!m_history.columns().isEmpty())
        selectColumn(0);
    else
        updateHistogram();
}
