#include "procedure/ui/ProcedureView.h"

#include "common/Prompter.h"
#include "components/ui/PictureButton.h"
#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "procedure/FieldParsing.h"
#include "procedure/ProcedureModel.h"
#include "procedure/Vocabulary.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTableView>
#include <QVBoxLayout>

namespace {

constexpr int ListColumnWidth = 70;

const QString WarningCaption = QStringLiteral("Warning");
const QString AddQuestion =
    QStringLiteral("Are you sure to modify the procedure list, it will delete all of data on execute report");
const QString OpenQuestion =
    QStringLiteral("Are you suring to modify the procedure list, it will delete all of data on execute report");
const QString ClearQuestion = QStringLiteral("Are you sure? All of the data will be lost on procedure and execute view");
const QString RemoveAllQuestion = QStringLiteral("Are you sure?");

// Selects the entry whose text equals text exactly, case included; with no
// such entry the selection stays.
void selectExact(QComboBox *box, const QString &text)
{
    for (int i = 0; i < box->count(); ++i) {
        if (box->itemText(i) == text) {
            box->setCurrentIndex(i);
            return;
        }
    }
}

void refill(QComboBox *box, const QStringList &entries, const QString &selected)
{
    box->clear();
    box->addItems(entries);
    box->setCurrentIndex(entries.isEmpty() ? -1 : qMax(0, int(entries.indexOf(selected))));
}

QVector<QIcon> rowPictures()
{
    QVector<QIcon> icons;
    for (const char *name : {"row-cser", "row-lser", "row-r", "row-cpar", "row-lpar", "row-editing"})
        icons << QIcon(QStringLiteral(":/qel/pictures/%1.svg").arg(QLatin1String(name)));
    return icons;
}

} // namespace

ProcedureView::ProcedureView(ProcedureModel &procedure, ResultTableModel &results, ExecutionState &state, Prompter *prompter,
                   QWidget *parent)
    : QWidget(parent), m_prompter(prompter), m_procedure(&procedure), m_results(&results), m_state(&state)
{
    setObjectName(QStringLiteral("procedureView"));
    if (!m_prompter) {
        m_ownPrompter = std::make_unique<SilentPrompter>(true);
        m_prompter = m_ownPrompter.get();
    }
    buildList();
    buildControls();
    setControlDefaults();
    connectNotifications();
}

ProcedureView::~ProcedureView() = default;

QComboBox *ProcedureView::makeCombo(const char *name, int id)
{
    auto *box = new QComboBox(this);
    box->setObjectName(QLatin1String(name));
    box->setProperty("ctrlId", id);
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    box->setMinimumContentsLength(6);
    return box;
}

QLineEdit *ProcedureView::makeEdit(const char *name, int id)
{
    auto *edit = new QLineEdit(this);
    edit->setObjectName(QLatin1String(name));
    edit->setProperty("ctrlId", id);
    edit->setMinimumWidth(80);
    return edit;
}

void ProcedureView::buildList()
{
    m_list = new QTableView(this);
    m_list->setObjectName(QStringLiteral("procedureList"));
    m_list->setProperty("ctrlId", int(ListId));
    m_list->setModel(m_procedure);
    m_procedure->setPictures(rowPictures());
    m_list->setIconSize(QSize(48, 16));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(true);
    m_list->setWordWrap(false);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->verticalHeader()->setDefaultSectionSize(qMax(20, m_list->fontMetrics().height() + 6));
    QHeaderView *header = m_list->horizontalHeader();
    header->setDefaultSectionSize(ListColumnWidth);
    header->setMinimumSectionSize(10);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setHighlightSections(false);
    for (int c = 0; c < ProcedureStep::ColumnCount; ++c)
        header->resizeSection(c, ListColumnWidth);
    QPalette pal = m_list->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
    m_list->setPalette(pal);
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
}

void ProcedureView::buildControls()
{
    m_freqEdit = makeEdit("freqEdit", FreqEditId);
    m_freqUnit = makeCombo("freqUnitCombo", FreqUnitId);
    m_levelEdit = makeEdit("levelEdit", LevelEditId);
    m_levelUnit = makeCombo("levelUnitCombo", LevelUnitId);
    m_circuit = makeCombo("circuitCombo", CircuitId);
    m_speed = makeCombo("speedCombo", SpeedId);
    m_type = makeCombo("typeCombo", TypeId);
    m_delayEdit = makeEdit("delayEdit", DelayEditId);
    m_firstItem = makeCombo("firstItemCombo", FirstItemId);
    m_firstStd = makeEdit("firstStdEdit", FirstStdId);
    m_firstLow = makeEdit("firstLowEdit", FirstLowId);
    m_firstHigh = makeEdit("firstHighEdit", FirstHighId);
    m_firstUnit = makeCombo("firstUnitCombo", FirstUnitId);
    m_secondItem = makeCombo("secondItemCombo", SecondItemId);
    m_secondStd = makeEdit("secondStdEdit", SecondStdId);
    m_secondLow = makeEdit("secondLowEdit", SecondLowId);
    m_secondHigh = makeEdit("secondHighEdit", SecondHighId);
    m_secondUnit = makeCombo("secondUnitCombo", SecondUnitId);

    m_freqUnit->addItems(Vocabulary::frequencyUnits());
    m_levelUnit->addItems(Vocabulary::levelUnits());
    m_speed->addItems(Vocabulary::speeds());
    m_type->addItems(Vocabulary::types());
    m_firstItem->addItems(Vocabulary::firstItems());

    m_addButton = new PictureButton(QStringLiteral("Add / Insert"), QStringLiteral("add"), this);
    m_addButton->setObjectName(QStringLiteral("addButton"));
    m_addButton->setProperty("ctrlId", int(AddId));
    m_clearButton = new PictureButton(QStringLiteral("Delete All"), QStringLiteral("del"), this);
    m_clearButton->setObjectName(QStringLiteral("clearButton"));
    m_clearButton->setProperty("ctrlId", int(ClearId));
    for (PictureButton *b : {m_addButton, m_clearButton}) {
        b->setFont(QFont(QStringLiteral("Tahoma")));
        b->setMinimumSize(140, 44);
    }

    auto label = [this](const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };

    // Test conditions.
    auto *conditions = new QGroupBox(this);
    conditions->setObjectName(QStringLiteral("conditionsGroup"));
    auto *cg = new QGridLayout(conditions);
    cg->addWidget(label(QStringLiteral("Freq."), m_freqEdit), 0, 0);
    cg->addWidget(m_freqEdit, 0, 1);
    cg->addWidget(m_freqUnit, 0, 2);
    cg->addWidget(label(QStringLiteral("Level\n(A/V)"), m_levelEdit), 1, 0);
    cg->addWidget(m_levelEdit, 1, 1);
    cg->addWidget(m_levelUnit, 1, 2);
    cg->addWidget(label(QStringLiteral("Circuit"), m_circuit), 2, 0);
    cg->addWidget(m_circuit, 2, 1);
    cg->addWidget(label(QStringLiteral("Speed"), m_speed), 3, 0);
    cg->addWidget(m_speed, 3, 1);
    cg->addWidget(label(QStringLiteral("Type"), m_type), 4, 0);
    cg->addWidget(m_type, 4, 1);
    cg->addWidget(label(QStringLiteral("Delay"), m_delayEdit), 5, 0);
    cg->addWidget(m_delayEdit, 5, 1);
    cg->addWidget(new QLabel(QStringLiteral("ms"), this), 5, 2);

    // First and second item, side by side.
    auto *items = new QGroupBox(this);
    items->setObjectName(QStringLiteral("itemsGroup"));
    auto *ig = new QGridLayout(items);
    ig->setHorizontalSpacing(10);
    const struct {
        const char *first;
        QWidget *firstWidget;
        const char *second;
        QWidget *secondWidget;
    } rows[] = {
        {"First item", m_firstItem, "Second item", m_secondItem},
        {"Standard", m_firstStd, "Standard", m_secondStd},
        {"Low limit", m_firstLow, "Low limit", m_secondLow},
        {"High limit", m_firstHigh, "High limit", m_secondHigh},
        {"Limit unit", m_firstUnit, "Limit unit", m_secondUnit},
    };
    int r = 0;
    for (const auto &row : rows) {
        ig->addWidget(label(QLatin1String(row.first), row.firstWidget), r, 0);
        ig->addWidget(row.firstWidget, r, 1);
        ig->addWidget(label(QLatin1String(row.second), row.secondWidget), r, 3);
        ig->addWidget(row.secondWidget, r, 4);
        ++r;
    }
    ig->setColumnMinimumWidth(2, 16);
    ig->setRowStretch(r, 1);

    auto *buttons = new QVBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_addButton);
    buttons->addSpacing(16);
    buttons->addWidget(m_clearButton);
    buttons->addStretch(1);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(conditions);
    bottom->addSpacing(8);
    bottom->addWidget(items);
    bottom->addSpacing(16);
    bottom->addLayout(buttons);
    bottom->addStretch(1);

    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(12, 12, 12, 12);
    page->addWidget(m_list, 1);
    page->addLayout(bottom);
}

void ProcedureView::connectNotifications()
{
    // Selection notices come from the operator only; text notices from every
    // change, the program's included (writing a standard resets its limits).
    connect(m_firstItem, &QComboBox::activated, this, &ProcedureView::firstItemChanged);
    connect(m_secondItem, &QComboBox::activated, this, &ProcedureView::secondItemChanged);
    connect(m_circuit, &QComboBox::activated, this, &ProcedureView::circuitChanged);
    connect(m_type, &QComboBox::activated, this, &ProcedureView::typeChanged);
    connect(m_firstStd, &QLineEdit::textChanged, this, &ProcedureView::firstStandardChanged);
    connect(m_secondStd, &QLineEdit::textChanged, this, &ProcedureView::secondStandardChanged);
    connect(m_addButton, &QPushButton::clicked, this, &ProcedureView::addStep);
    connect(m_clearButton, &QPushButton::clicked, this, &ProcedureView::clearProcedure);
}

bool ProcedureView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            m_skipRelease = false;
            break;
        case QEvent::MouseButtonDblClick: {
            auto *me = static_cast<QMouseEvent *>(event);
            if (me->button() == Qt::LeftButton) {
                // The release that ends a double click is not a click of its own.
                m_skipRelease = true;
                openRow(m_list->indexAt(me->position().toPoint()).row());
            }
            break;
        }
        case QEvent::MouseButtonRelease: {
            auto *me = static_cast<QMouseEvent *>(event);
            if (me->button() != Qt::LeftButton)
                break;
            if (m_skipRelease) {
                m_skipRelease = false;
                break;
            }
            commitRow(m_list->indexAt(me->position().toPoint()).row());
            break;
        }
        default:
            break;
        }
    } else if (watched == m_list && event->type() == QEvent::KeyPress) {
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
            deleteRow();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ProcedureView::removeAllResults()
{
    if (m_results->resultCount() == 0)
        return;
    if (m_prompter->ask(QCoreApplication::applicationName(), RemoveAllQuestion, Prompter::Icon::None))
        m_results->removeAllRows();
}

bool ProcedureView::isPercentType() const
{
    return m_type->currentText() == Vocabulary::percentType();
}

bool ProcedureView::isRdc() const
{
    return m_firstItem->currentText() == Vocabulary::rdcText();
}

void ProcedureView::firstItemChanged()
{
    const int item = m_firstItem->currentIndex();
    if (item < 0)
        return;
    refill(m_firstUnit, Vocabulary::firstUnits(item), Vocabulary::defaultFirstUnit(item));
    const QStringList circuits = Vocabulary::circuitsFor(item);
    refill(m_circuit, circuits, circuits.value(0));
    refill(m_secondItem, Vocabulary::secondItemsFor(item, m_circuit->currentText()), Vocabulary::offText());
    const bool frequency = !isRdc();
    m_freqEdit->setEnabled(frequency);
    m_freqUnit->setEnabled(frequency);
    m_levelUnit->setEnabled(frequency);
}

void ProcedureView::circuitChanged()
{
    const int item = m_firstItem->currentIndex();
    if (item != Vocabulary::C && item != Vocabulary::L && item != Vocabulary::X)
        return;
    const QString g = QStringLiteral("G");
    const int present = m_secondItem->findText(g, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (m_circuit->currentText() == QLatin1String("PAR")) {
        if (present < 0)
            m_secondItem->addItem(g);
    } else {
        if (present >= 0)
            m_secondItem->removeItem(present);
        m_secondItem->setCurrentIndex(0);
    }
}

void ProcedureView::secondItemChanged()
{
    const QString item = m_secondItem->currentText();
    if (m_secondItem->currentIndex() <= 0) {
        m_secondStd->clear();
        m_secondLow->clear();
        m_secondHigh->clear();
        m_secondUnit->clear();
        return;
    }
    refill(m_secondUnit, Vocabulary::secondUnits(item), Vocabulary::defaultSecondUnit(item));
    if (!m_secondStd->text().isEmpty())
        secondStandardChanged();
}

void ProcedureView::typeChanged()
{
    const bool percent = isPercentType();
    const std::pair<QLineEdit *, QLineEdit *> pairs[] = {{m_firstLow, m_firstHigh}, {m_secondLow, m_secondHigh}};
    for (const auto &[low, high] : pairs) {
        if (low->text().isEmpty() || high->text().isEmpty())
            continue;
        const QString l = Vocabulary::limitForType(low->text(), percent);
        const QString h = Vocabulary::limitForType(high->text(), percent);
        low->setText(l);
        high->setText(h);
    }
}

void ProcedureView::firstStandardChanged()
{
    if (m_firstStd->text().isEmpty()) {
        m_firstLow->clear();
        m_firstHigh->clear();
        return;
    }
    m_firstLow->setText(Vocabulary::defaultLowLimit(isPercentType()));
    m_firstHigh->setText(Vocabulary::defaultHighLimit(isPercentType()));
}

void ProcedureView::secondStandardChanged()
{
    if (m_secondStd->text().isEmpty() || m_secondItem->currentText() == Vocabulary::offText()) {
        m_secondLow->clear();
        m_secondHigh->clear();
        return;
    }
    m_secondLow->setText(Vocabulary::defaultLowLimit(isPercentType()));
    m_secondHigh->setText(Vocabulary::defaultHighLimit(isPercentType()));
}

ProcedureStep ProcedureView::stepFromControls() const
{
    ProcedureStep s;
    s[ProcedureStep::FItem] = m_firstItem->currentText();
    s[ProcedureStep::FStd] = m_firstStd->text();
    s[ProcedureStep::FLow] = m_firstLow->text();
    s[ProcedureStep::FHigh] = m_firstHigh->text();
    s[ProcedureStep::FUnit] = m_firstUnit->currentText();
    s[ProcedureStep::SItem] = m_secondItem->currentText();
    s[ProcedureStep::SStd] = m_secondStd->text();
    s[ProcedureStep::SLow] = m_secondLow->text();
    s[ProcedureStep::SHigh] = m_secondHigh->text();
    s[ProcedureStep::SUnit] = m_secondUnit->currentText();
    if (!isRdc())
        s[ProcedureStep::Freq] = m_freqEdit->text() + m_freqUnit->currentText();
    s[ProcedureStep::Level] = m_levelEdit->text() + m_levelUnit->currentText();
    s[ProcedureStep::Circuit] = m_circuit->currentText();
    s[ProcedureStep::Speed] = m_speed->currentText();
    s[ProcedureStep::Type] = m_type->currentText();
    s[ProcedureStep::Delay] = m_delayEdit->text();
    s.picture = ProcedureStep::pictureFor(s[ProcedureStep::FItem], s[ProcedureStep::Circuit]);
    return s;
}

void ProcedureView::writeStepFromControls(int row)
{
    ProcedureStep s = stepFromControls();
    s[ProcedureStep::Step] = m_procedure->text(row, ProcedureStep::Step);
    m_procedure->setStep(row, s);
}

void ProcedureView::addStep()
{
    if (m_results->resultCount() > 0) {
        if (!m_prompter->ask(WarningCaption, AddQuestion, Prompter::Icon::Warning))
            return;
        m_results->removeAllRows();
    }
    // With no current step (after a deletion or a click below the rows) the
    // step goes to the end, and the next one after it.
    int index = m_currentStep;
    if (index < 0 || index > m_procedure->stepCount())
        index = m_procedure->stepCount();
    m_currentStep = index + 1;

    ProcedureStep s = stepFromControls();
    s[ProcedureStep::Step] = QString::number(index + 1);
    // An open row below the insertion moves down, and stays the row written back.
    if (m_editedRow >= index)
        ++m_editedRow;
    m_procedure->insertStep(index, s);
    m_list->scrollTo(m_procedure->index(index, 0));
    m_procedure->renumber(index);
    rebuildResultColumns();
}

void ProcedureView::openRow(int row)
{
    if (m_results->resultCount() > 0) {
        if (m_prompter->ask(WarningCaption, OpenQuestion, Prompter::Icon::Warning))
            m_results->removeAllRows();
        return;
    }
    if (row < 0 || row >= m_procedure->stepCount())
        return;
    const ProcedureStep s = m_procedure->step(row);
    m_procedure->setPicture(row, ProcedureStep::Editing);

    selectExact(m_firstItem, s[ProcedureStep::FItem]);
    firstItemChanged();
    m_firstStd->setText(s[ProcedureStep::FStd]);
    m_firstLow->setText(s[ProcedureStep::FLow]);
    m_firstHigh->setText(s[ProcedureStep::FHigh]);
    selectExact(m_firstUnit, s[ProcedureStep::FUnit]);
    selectExact(m_circuit, s[ProcedureStep::Circuit]);
    circuitChanged();
    selectExact(m_secondItem, s[ProcedureStep::SItem]);
    secondItemChanged();
    m_secondStd->setText(s[ProcedureStep::SStd]);
    m_secondLow->setText(s[ProcedureStep::SLow]);
    m_secondHigh->setText(s[ProcedureStep::SHigh]);
    selectExact(m_secondUnit, s[ProcedureStep::SUnit]);

    const FieldParsing::EditValue freq = FieldParsing::readBackFrequency(s[ProcedureStep::Freq]);
    m_freqEdit->setText(freq.number);
    selectExact(m_freqUnit, freq.unit);
    const FieldParsing::EditValue level = FieldParsing::readBackLevel(s[ProcedureStep::Level]);
    m_levelEdit->setText(level.number);
    selectExact(m_levelUnit, level.unit);

    selectExact(m_speed, s[ProcedureStep::Speed]);
    selectExact(m_type, s[ProcedureStep::Type]);
    typeChanged();
    m_delayEdit->setText(s[ProcedureStep::Delay]);
    m_editedRow = row;
}

void ProcedureView::commitRow(int row)
{
    m_currentStep = (row >= 0 && row < m_procedure->stepCount()) ? row : -1;
    if (m_editedRow == -1)
        return;
    if (m_editedRow < m_procedure->stepCount()) {
        writeStepFromControls(m_editedRow);
        rebuildResultColumns();
    }
    m_editedRow = -1;
}

void ProcedureView::deleteRow()
{
    const int index = m_currentStep;
    if (m_procedure->removeStep(index)) {
        // The open row keeps pointing at its own text, or at nothing once gone.
        if (m_editedRow == index)
            m_editedRow = -1;
        else if (m_editedRow > index)
            --m_editedRow;
        m_procedure->renumber(index);
    }
    rebuildResultColumns();
    m_currentStep = -1;
}

void ProcedureView::clearProcedure()
{
    if (m_procedure->stepCount() == 0)
        return;
    if (!m_prompter->ask(QCoreApplication::applicationName(), ClearQuestion, Prompter::Icon::Question))
        return;
    emit clearingProcedure();
    setControlDefaults();
    m_results->removeStepColumns();
    m_procedure->clear();
    m_results->removeAllRows();
    m_currentStep = 0;
    m_editedRow = -1;
}

void ProcedureView::resetEditor()
{
    setControlDefaults();
    m_currentStep = 0;
    m_editedRow = -1;
}

void ProcedureView::rebuildResultColumns()
{
    m_results->rebuildColumns(*m_procedure);
}

void ProcedureView::setControlDefaults()
{
    const Vocabulary::EditorDefaults &d = Vocabulary::editorDefaults();
    selectExact(m_firstItem, d.firstItem);
    firstItemChanged();
    m_secondItem->setCurrentIndex(0);
    secondItemChanged();
    m_firstStd->clear();
    firstStandardChanged();
    m_secondStd->clear();
    secondStandardChanged();
    m_freqEdit->setText(d.frequency);
    selectExact(m_freqUnit, d.frequencyUnit);
    m_levelEdit->setText(d.level);
    selectExact(m_levelUnit, d.levelUnit);
    selectExact(m_speed, d.speed);
    selectExact(m_type, d.type);
    m_delayEdit->setText(d.delay);
}
