#include "execution/ui/ExecutiveView.h"

#include "components/ui/Lamp.h"
#include "components/ui/PictureButton.h"
#include "components/ui/ProgressSlide.h"
#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace {

QVector<QIcon> rowLampIcons()
{
    return {QIcon(QStringLiteral(":/qel/pictures/lamp-neutral.svg")),
        QIcon(QStringLiteral(":/qel/pictures/lamp-failed.svg")),
        QIcon(QStringLiteral(":/qel/pictures/lamp-passed.svg"))};
}

} // namespace

ExecutiveView::ExecutiveView(ResultTableModel *results, ExecutionState *state, QWidget *parent)
    : QWidget(parent), m_results(results), m_state(state)
{
    setObjectName(QStringLiteral("executiveView"));
    buildLayout();
    bindState();
}

PictureButton *ExecutiveView::makeButton(const QString &caption, const QString &picture, int id,
    void (ExecutiveView::*clicked)())
{
    auto *b = new PictureButton(caption, picture, this);
    b->setProperty("ctrlId", id);
    b->setFont(QFont(QStringLiteral("Tahoma")));
    b->setMinimumHeight(40);
    b->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(b, &QPushButton::clicked, this, clicked);
    return b;
}

void ExecutiveView::buildLayout()
{
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("resultTable"));
    m_table->setProperty("ctrlId", int(ResultTableId));
    m_table->setModel(m_results);
    m_results->setRowIcons(rowLampIcons());
    m_table->setIconSize(QSize(16, 16));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setShowGrid(true);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    // Fixed row heights keep a million rows cheap to lay out.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setDefaultSectionSize(ResultTableModel::ColumnWidth);
    m_table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_table->horizontalHeader()->setHighlightSections(false);
    // The selection stays visible when the table loses the focus.
    QPalette pal = m_table->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
    m_table->setPalette(pal);

    auto *loopGroup = new QGroupBox(QStringLiteral("Loop"), this);
    loopGroup->setObjectName(QStringLiteral("loopGroup"));
    m_loopEdit = new QLineEdit(loopGroup);
    m_loopEdit->setObjectName(QStringLiteral("loopEdit"));
    m_loopEdit->setProperty("ctrlId", int(LoopEditId));
    m_loopEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_loopEdit));
    m_loopEdit->setFixedWidth(80);
    m_lamp = new Lamp(QStringLiteral("finished"), loopGroup);
    m_lamp->setObjectName(QStringLiteral("finishedLamp"));
    m_lamp->setProperty("ctrlId", int(LampId));
    auto *loopLayout = new QVBoxLayout(loopGroup);
    loopLayout->addWidget(m_loopEdit, 0, Qt::AlignHCenter);
    loopLayout->addWidget(m_lamp, 0, Qt::AlignHCenter);

    m_export = makeButton(QStringLiteral("Export to Excel"), QStringLiteral("excel"), ExportId, &ExecutiveView::exportClicked);
    m_export->setObjectName(QStringLiteral("exportButton"));
    m_run = makeButton(QStringLiteral("Run"), QStringLiteral("run"), RunId, &ExecutiveView::runClicked);
    m_run->setObjectName(QStringLiteral("runButton"));
    m_removeAll = makeButton(QStringLiteral("Remove all"), QStringLiteral("del"), RemoveAllId, &ExecutiveView::removeAllClicked);
    m_removeAll->setObjectName(QStringLiteral("removeAllButton"));
    m_stop = makeButton(QStringLiteral("Emergency Stop"), QStringLiteral("stop"), StopId, &ExecutiveView::emergencyStopClicked);
    m_stop->setObjectName(QStringLiteral("stopButton"));

    m_progress = new ProgressSlide(QStringLiteral("Running Progress"), this);
    m_progress->setObjectName(QStringLiteral("progressSlide"));
    m_progress->setProperty("ctrlId", int(ProgressId));
    m_progress->setFont(QFont(QStringLiteral("Tahoma")));

    // Below the table, as on the legacy page: the Loop group at the left;
    // "Export to Excel", "Run" and the progress on the lower line; "Remove all"
    // above "Emergency Stop" at the right. The gaps keep their proportions.
    auto *bottom = new QGridLayout;
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->setVerticalSpacing(6);
    bottom->addWidget(loopGroup, 0, 0, 2, 1);
    bottom->addWidget(m_export, 1, 2, Qt::AlignBottom);
    bottom->addWidget(m_run, 1, 4, Qt::AlignBottom);
    bottom->addWidget(m_progress, 1, 6, Qt::AlignBottom);
    bottom->addWidget(m_removeAll, 0, 8);
    bottom->addWidget(m_stop, 1, 8, Qt::AlignBottom);
    const int gaps[] = {1, 50, 3, 35, 5, 30, 7, 30, 9, 30};
    for (int i = 0; i < 10; i += 2)
        bottom->setColumnStretch(gaps[i], gaps[i + 1]);
    for (int c : {2, 4, 8})
        bottom->setColumnMinimumWidth(c, 130);
    bottom->setColumnMinimumWidth(6, 180);
    m_progress->setMinimumWidth(180);

    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(12, 12, 12, 12);
    page->addWidget(m_table, 1);
    page->addLayout(bottom);
}

void ExecutiveView::bindState()
{
    m_loopEdit->setText(m_state->loopText());
    m_lamp->setValue(m_state->finishedLamp());
    m_progress->setValue(m_state->progress());
    m_run->setEnabled(m_state->runEnabled());

    connect(m_loopEdit, &QLineEdit::textChanged, m_state, &ExecutionState::setLoopText);
    connect(m_state, &ExecutionState::loopTextChanged, this, [this](const QString &text) {
        if (m_loopEdit->text() != text)
            m_loopEdit->setText(text);
    });
    connect(m_state, &ExecutionState::finishedLampChanged, m_lamp, &Lamp::setValue);
    connect(m_state, &ExecutionState::progressChanged, m_progress, &ProgressSlide::setValue);
    connect(m_state, &ExecutionState::runEnabledChanged, m_run, &QWidget::setEnabled);

    connect(m_results, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &, int first, int last) {
        // A row a run adds is shown at once; a whole table restored in one
        // go opens at its top. Only the vertical position moves.
        if (first == last)
            showRow(last);
        emit rowInserted(m_results->resultCount());
    });
}

void ExecutiveView::showRow(int row)
{
    // The scroll range follows the rows only at the next layout: laid out
    // now for the row to be in view at once, and scrolled again once the
    // window has settled, which may have resized the table meanwhile.
    m_table->doItemsLayout();
    scrollToRow(row);
    const bool pending = m_settleRow >= 0;
    m_settleRow = row;
    if (!pending) {
        QTimer::singleShot(0, this, [this] {
            const int r = std::exchange(m_settleRow, -1);
            if (r >= 0 && r < m_results->rowCount())
                scrollToRow(r);
        });
    }
}

void ExecutiveView::scrollToRow(int row)
{
    QScrollBar *h = m_table->horizontalScrollBar();
    const int across = h->value();
    m_table->scrollTo(m_results->index(row, 0), QAbstractItemView::EnsureVisible);
    h->setValue(across);
}

int ExecutiveView::loopCount() const
{
    return m_state->loopCount();
}

void ExecutiveView::reloadLoopCount()
{
    m_state->reloadLoopCount();
}
