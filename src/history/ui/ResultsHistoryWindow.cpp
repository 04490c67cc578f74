#include "history/ui/ResultsHistoryWindow.h"

#include "common/Prompter.h"
#include "components/ui/BackgroundTask.h"
#include "history/HistoryDatabase.h"
#include "history/HistoryExport.h"
#include "history/HistoryModels.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

ResultsHistoryWindow::ResultsHistoryWindow(Prompter *prompter, QWidget *parent)
    : QWidget(parent, Qt::Window), m_prompter(prompter), m_runs(new RunListModel(this)), m_rows(new RunRowsModel(this))
{
    setWindowTitle(tr("Results History"));
    setObjectName(QStringLiteral("resultsHistoryWindow"));
    resize(1000, 640);

    auto *filters = new QHBoxLayout;
    m_useDates = new QCheckBox(tr("From"), this);
    m_from = new QDateEdit(QDate::currentDate().addDays(-30), this);
    m_to = new QDateEdit(QDate::currentDate(), this);
    for (QDateEdit *d : {m_from, m_to}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        d->setEnabled(false);
    }
    connect(m_useDates, &QCheckBox::toggled, m_from, &QWidget::setEnabled);
    connect(m_useDates, &QCheckBox::toggled, m_to, &QWidget::setEnabled);
    m_procedure = new QLineEdit(this);
    m_procedure->setPlaceholderText(tr("any procedure"));
    m_lot = new QLineEdit(this);
    m_lot->setPlaceholderText(tr("any lot"));
    m_verdict = new QComboBox(this);
    m_verdict->addItem(tr("Any verdict"), QString());
    m_verdict->addItem(tr("All passed"), QStringLiteral("pass"));
    m_verdict->addItem(tr("Some failed"), QStringLiteral("fail"));
    m_refresh = new QPushButton(tr("&Refresh"), this);
    filters->addWidget(m_useDates);
    filters->addWidget(m_from);
    filters->addWidget(new QLabel(tr("to"), this));
    filters->addWidget(m_to);
    filters->addWidget(new QLabel(tr("Procedure"), this));
    filters->addWidget(m_procedure, 1);
    filters->addWidget(new QLabel(tr("Lot"), this));
    filters->addWidget(m_lot, 1);
    filters->addWidget(m_verdict);
    filters->addWidget(m_refresh);

    m_runsView = new QTableView(this);
    m_runsView->setObjectName(QStringLiteral("runsView"));
    m_runsView->setModel(m_runs);
    m_runsView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_runsView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_runsView->verticalHeader()->hide();
    m_runsView->setWordWrap(false);
    // Too long a text loses its middle, where identities and paths differ
    // least; the whole text is the cell's tooltip.
    m_runsView->setTextElideMode(Qt::ElideMiddle);
    m_runsView->horizontalHeader()->setStretchLastSection(true);
    m_runsView->viewport()->installEventFilter(this);
    m_rowsView = new QTableView(this);
    m_rowsView->setObjectName(QStringLiteral("rowsView"));
    m_rowsView->setModel(m_rows);
    m_rowsView->verticalHeader()->hide();
    m_rowsView->horizontalHeader()->setDefaultSectionSize(110);
    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_runsView);
    split->addWidget(m_rowsView);

    auto *bottom = new QHBoxLayout;
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("statusLabel"));
    auto *xlsx = new QPushButton(tr("Export to &Workbook..."), this);
    auto *csv = new QPushButton(tr("Export to &CSV..."), this);
    // What the history holds back into the pages: a run with its procedure,
    // a sweep into the Plotter View.
    m_openReport = new QPushButton(tr("Open as &Report"), this);
    m_openReport->setObjectName(QStringLiteral("openReportButton"));
    m_openReport->setToolTip(tr("The selected run and its procedure into the Executive View, as files of their own"));
    m_openReport->setEnabled(false);
    m_openSweep = new QPushButton(tr("Open &Sweep..."), this);
    m_openSweep->setObjectName(QStringLiteral("openSweepButton"));
    m_openSweep->setToolTip(tr("A recorded sweep into the Plotter View"));
    bottom->addWidget(m_status, 1);
    bottom->addWidget(m_openReport);
    bottom->addWidget(m_openSweep);
    bottom->addWidget(xlsx);
    bottom->addWidget(csv);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(split, 1);
    layout->addLayout(bottom);

    m_live = new QTimer(this);
    m_live->setInterval(1000);
    connect(m_live, &QTimer::timeout, this, &ResultsHistoryWindow::catchUp);

    connect(m_runs, &QAbstractItemModel::modelReset, this, &ResultsHistoryWindow::fitRunColumns);
    connect(m_runs, &QAbstractItemModel::rowsInserted, this, &ResultsHistoryWindow::fitRunColumns);

    connect(m_refresh, &QPushButton::clicked, this, &ResultsHistoryWindow::refresh);
    connect(m_lot, &QLineEdit::returnPressed, this, &ResultsHistoryWindow::refresh);
    connect(m_procedure, &QLineEdit::returnPressed, this, &ResultsHistoryWindow::refresh);
    connect(m_verdict, &QComboBox::currentIndexChanged, this, &ResultsHistoryWindow::refresh);
    connect(m_runsView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &ResultsHistoryWindow::showSelectedRun);
    connect(m_runsView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        [this] { m_openReport->setEnabled(selectedRunIds().size() == 1); });
    connect(m_openReport, &QPushButton::clicked, this, [this] {
        const QStringList ids = selectedRunIds();
        if (ids.size() == 1)
            emit openRunRequested(ids.first());
    });
    connect(m_openSweep, &QPushButton::clicked, this, &ResultsHistoryWindow::openSweepRequested);
    connect(xlsx, &QPushButton::clicked, this, [this] { exportAs(tr("Workbook (*.xlsx)"), QStringLiteral(".xlsx")); });
    connect(csv, &QPushButton::clicked, this, [this] { exportAs(tr("CSV (*.csv)"), QStringLiteral(".csv")); });
}

ResultsHistoryWindow::~ResultsHistoryWindow()
{
    m_rows->setRun(nullptr, {});
    m_runs->setSource(nullptr, {});
}

void ResultsHistoryWindow::setTarget(const HistoryTarget &target)
{
    m_target = target;
    refresh();
}

void ResultsHistoryWindow::refresh()
{
    m_rows->setRun(nullptr, {});
    m_runs->setSource(nullptr, {});
    m_db = std::make_unique<HistoryDatabase>();
    QString error;
    if (!m_db->open(m_target, HistoryDatabase::Mode::ReadOnly, &error)) {
        m_db.reset();
        m_status->setText(error);
        return;
    }
    HistoryDatabase::Filter f;
    if (m_useDates->isChecked()) {
        f.since = History::boundText(m_from->date().toString(Qt::ISODate), false);
        f.until = History::boundText(m_to->date().toString(Qt::ISODate), true);
    }
    f.procedure = m_procedure->text().trimmed();
    f.lot = m_lot->text();
    f.verdict = m_verdict->currentData().toString();
    m_runs->setSource(m_db.get(), f);
    m_status->setText(m_runs->lastError().isEmpty() ? tr("From %1").arg(m_target.display()) : m_runs->lastError());
    if (m_runs->rowCount() > 0)
        m_runsView->selectRow(0);
}

void ResultsHistoryWindow::catchUp()
{
    if (!m_db) {
        // A file that came to be since; a server that was away waits for
        // Refresh (reaching it may take seconds).
        if (!m_target.isServer() && QFileInfo::exists(m_target.path))
            refresh();
        return;
    }
    const QStringList selected = selectedRunIds();
    const QString shown = m_rows->runId();
    QScrollBar *bar = m_runsView->verticalScrollBar();
    const int scroll = bar->value();
    const int before = m_runs->rowCount();
    if (m_runs->update()) {
        // New runs went in on top: the rows in view stay in view.
        if (scroll > 0)
            bar->setValue(scroll + m_runs->rowCount() - before);
    } else {
        // Read afresh: the same runs selected again where they still are.
        QItemSelection again;
        for (int i = 0; i < m_runs->rowCount(); ++i)
            if (selected.contains(m_runs->run(i).id))
                again.select(m_runs->index(i, 0), m_runs->index(i, RunListModel::ColumnCount - 1));
        m_runsView->selectionModel()->select(again, QItemSelectionModel::ClearAndSelect);
        bar->setValue(scroll);
    }
    if (m_rows->runId() == shown)
        m_rows->update();
}

void ResultsHistoryWindow::fitRunColumns()
{
    QHeaderView *header = m_runsView->horizontalHeader();
    const int count = RunListModel::ColumnCount;
    QVector<int> wanted(count);
    int total = 0;
    for (int c = 0; c < count; ++c) {
        // Through the base class, where the hint is public.
        wanted[c] = std::max(static_cast<QAbstractItemView *>(m_runsView)->sizeHintForColumn(c),
                             header->sectionSizeHint(c));
        total += wanted[c];
    }
    // Where all cannot fit, the widest give way first, down to a common
    // width, so no short column is squeezed for a long one.
    const int room = m_runsView->viewport()->width();
    int cap = total;
    if (total > room && room > 0) {
        QVector<int> sorted = wanted;
        std::sort(sorted.begin(), sorted.end());
        int below = 0; // widths of the columns under the cap
        for (int i = 0; i < count; ++i) {
            const int left = count - i; // columns at or above sorted[i]
            const int level = (room - below) / left;
            if (level <= sorted[i]) {
                cap = std::max(level, m_runsView->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 6);
                break;
            }
            below += sorted[i];
        }
    }
    for (int c = 0; c < count; ++c)
        header->resizeSection(c, std::min(wanted[c], cap));
}

bool ResultsHistoryWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_runsView->viewport() && event->type() == QEvent::Resize)
        fitRunColumns();
    return QWidget::eventFilter(watched, event);
}

void ResultsHistoryWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_live->start();
}

void ResultsHistoryWindow::hideEvent(QHideEvent *event)
{
    m_live->stop();
    QWidget::hideEvent(event);
}

QStringList ResultsHistoryWindow::selectedRunIds() const
{
    QStringList ids;
    for (const QModelIndex &i : m_runsView->selectionModel()->selectedRows())
        ids << m_runs->run(i.row()).id;
    return ids;
}

void ResultsHistoryWindow::showSelectedRun()
{
    const QModelIndexList rows = m_runsView->selectionModel()->selectedRows();
    m_rows->setRun(m_db.get(), rows.isEmpty() ? QString() : m_runs->run(rows.first().row()).id);
}

BackgroundTask *ResultsHistoryWindow::currentExport() const
{
    return m_export;
}

bool ResultsHistoryWindow::exportSelection(const QString &path)
{
    const QStringList ids = selectedRunIds();
    const QString caption = tr("Results History");
    if (!m_db || ids.isEmpty()) {
        if (m_prompter)
            m_prompter->inform(caption, tr("Select one or more runs to export their rows."), Prompter::Icon::Error);
        return false;
    }
    HistoryDatabase::Filter f;
    f.runIds = ids;
    const auto format = path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) ? HistoryExport::Format::Csv
                                                                                   : HistoryExport::Format::Xlsx;
    qint64 total = 0;
    for (const QModelIndex &i : m_runsView->selectionModel()->selectedRows())
        total += m_runs->run(i.row()).rows;
    // A connection belongs to its thread: the export reads through one of its own.
    const HistoryTarget target = m_target;
    auto work = [target, f, format, path, total](TaskProgress &progress, QString *error) {
        progress.setTotal(qMax<qint64>(total, 1));
        HistoryDatabase db;
        if (!db.open(target, HistoryDatabase::Mode::ReadOnly, error))
            return false;
        const bool ok = HistoryExport::writeRows(db, f, format, path, nullptr, error, [&progress](qint64 rows) {
            progress.report(rows);
            return !progress.cancelRequested();
        });
        if (!ok && progress.cancelRequested())
            throw TaskProgress::Cancelled{};
        return ok;
    };
    Prompter *prompter = m_prompter;
    m_export = BackgroundTask::start(this, tr("Exporting the rows to %1...").arg(QFileInfo(path).fileName()), true,
        work, [prompter, caption](BackgroundTask::Outcome outcome, const QString &error) {
            if (outcome == BackgroundTask::Outcome::Failed && prompter)
                prompter->inform(caption, error, Prompter::Icon::Error);
        });
    return true;
}

void ResultsHistoryWindow::exportAs(const QString &filter, const QString &suffix)
{
    QString path = QFileDialog::getSaveFileName(this, tr("Export Rows"), QString(), filter);
    if (path.isEmpty())
        return;
    if (!path.endsWith(suffix, Qt::CaseInsensitive))
        path += suffix;
    exportSelection(path);
}
