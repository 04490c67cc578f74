#include "plotter/PlotterState.h"

#include "plotter/GraphStyle.h"
#include "procedure/FieldParsing.h"
#include "procedure/Vocabulary.h"

#include <algorithm>

namespace {

const QString freqKind = SweepSetup::kindText(SweepSetup::Frequency);
const QString voltKind = SweepSetup::kindText(SweepSetup::Voltage);

} // namespace

const QList<int> &PlotterState::setupControls()
{
    static const QList<int> ids{SweepKind, Start,      End,       Points,    SweepUnit, FixedFrequency,
                                FixedFrequencyUnit, FixedLevel, FixedLevelUnit, FirstItem, SecondItem, Circuit};
    return ids;
}

bool PlotterState::isList(int id)
{
    switch (id) {
    case SweepKind:
    case SweepUnit:
    case FixedFrequencyUnit:
    case FixedLevelUnit:
    case Circuit:
    case Speed:
    case FirstItem:
    case SecondItem:
        return true;
    default:
        return false;
    }
}

bool PlotterState::isEdit(int id)
{
    return id == Start || id == End || id == Points || id == FixedFrequency || id == FixedLevel;
}

PlotterState::PlotterState(QObject *parent) : QObject(parent)
{
    setDefaults();
}

void PlotterState::setDefaults()
{
    m_controls.clear();
    setItems(SweepKind, {freqKind, voltKind}, 0);
    setItems(SweepUnit, Vocabulary::frequencyUnits(), 0);
    setItems(FixedFrequencyUnit, Vocabulary::frequencyUnits(), 0);
    setItems(FixedLevelUnit, Vocabulary::levelUnits(), 0);
    setItems(Circuit, Vocabulary::circuits(), 0);
    setItems(Speed, Vocabulary::speeds(), Vocabulary::editorDefaults().speedIndex);
    setItems(FirstItem, Vocabulary::firstItems(), 0);
    setItems(SecondItem, Vocabulary::secondItemsFor(Vocabulary::C, Vocabulary::circuits().at(0)), 0);
    // Log spacing is chosen outside the page and outlives its resets.
    const bool logSpacing = m_setup.logSpacing;
    m_setup = SweepSetup();
    m_setup.logSpacing = logSpacing;
    m_ranges = AxisRanges();
    editText(Start, QStringLiteral("20"));
    editText(End, QStringLiteral("100"));
    editText(Points, QStringLiteral("10"));
    editText(FixedFrequency, QStringLiteral("20"));
    editText(FixedLevel, QStringLiteral("10"));
    setEnabled(FixedFrequency, false);
    setEnabled(FixedFrequencyUnit, false);
    for (int id = Line1; id <= YAxisLock; ++id)
        m_controls[id].checked = id <= Line4 || id == YAxisLock;
    m_controls[Progress];
    m_controls[StopReset];
    m_controls[ExportButton];
}

void PlotterState::resetToStartup()
{
    emit pageReset();
    setDefaults();
    m_table.removeAllRows();
    m_table.removeLineColumns();
    m_table.setSweptTitle(QStringLiteral("Frequence"));
    GraphStyle::resetToStored(*m_graph);
    m_progress = 100.0;
    m_progressMin = 0.0;
    m_progressMax = 100.0;
    emit progressChanged();
    setDrawEnabled(true);
    for (auto it = m_controls.cbegin(); it != m_controls.cend(); ++it)
        emit controlChanged(it.key());
}

QString PlotterState::text(int id) const
{
    const auto it = m_controls.constFind(id);
    if (it == m_controls.cend())
        return {};
    if (isList(id))
        return it->selection >= 0 && it->selection < it->items.size() ? it->items.at(it->selection) : QString();
    return it->text;
}

QStringList PlotterState::items(int id) const
{
    return m_controls.value(id).items;
}

int PlotterState::selection(int id) const
{
    const auto it = m_controls.constFind(id);
    return it == m_controls.cend() ? -1 : it->selection;
}

bool PlotterState::isEnabled(int id) const
{
    if (id == Draw)
        return m_drawEnabled;
    const auto it = m_controls.constFind(id);
    return it == m_controls.cend() || it->enabled;
}

void PlotterState::setEnabled(int id, bool enabled)
{
    if (id == Draw) {
        setDrawEnabled(enabled);
        return;
    }
    ControlState &c = m_controls[id];
    if (c.enabled == enabled)
        return;
    c.enabled = enabled;
    emit controlChanged(id);
}

void PlotterState::setItems(int id, const QStringList &items, int selection)
{
    ControlState &c = m_controls[id];
    c.items = items;
    c.selection = items.isEmpty() ? -1 : std::clamp(selection, 0, int(items.size()) - 1);
    emit controlChanged(id);
}

void PlotterState::setSelection(int id, int index)
{
    ControlState &c = m_controls[id];
    if (index < -1 || index >= c.items.size())
        return;
    c.selection = index;
    emit controlChanged(id);
}

void PlotterState::setText(int id, const QString &text)
{
    m_controls[id].text = text;
    emit controlChanged(id);
}

void PlotterState::editText(int id, const QString &text)
{
    if (!isEdit(id))
        return;
    setText(id, text);
    parseEdit(id);
}

void PlotterState::parseEdit(int id)
{
    const QString t = text(id);
    switch (id) {
    case Start:
        m_setup.parseStart(t);
        m_ranges.setXMinimum(m_setup.start);
        break;
    case End:
        m_setup.parseEnd(t);
        m_ranges.setXMaximum(m_setup.end);
        break;
    case Points:
        m_setup.parsePoints(t);
        break;
    case FixedFrequency:
        m_setup.fixedFrequency = FieldParsing::leadingInt(t);
        break;
    case FixedLevel:
        m_setup.fixedLevel = FieldParsing::leadingInt(t);
        break;
    default:
        break;
    }
}

void PlotterState::select(int id, int index)
{
    if (!isList(id) || index < 0 || index >= items(id).size())
        return;
    setSelection(id, index);
    if (id == SweepKind)
        sweepKindChanged();
    else if (id == FirstItem)
        firstItemChanged();
    else if (id == Circuit)
        circuitChanged();
}

bool PlotterState::selectText(int id, const QString &itemText)
{
    const int index = items(id).indexOf(itemText);
    if (index < 0)
        return false;
    select(id, index);
    return true;
}

bool PlotterState::isRdc() const
{
    return firstItemIndex() == Vocabulary::Rdc;
}

bool PlotterState::isVoltageSweep() const
{
    // By the text: with "Rdc" the list holds "Volt." alone, at index 0.
    return text(SweepKind) == voltKind;
}

double PlotterState::pointFrequencyHz(float x) const
{
    if (isVoltageSweep())
        return SweepSetup::frequencyHz(m_setup.fixedFrequency, text(FixedFrequencyUnit));
    return SweepSetup::frequencyHz(x, text(SweepUnit));
}

double PlotterState::pointLevelVolts(float x) const
{
    if (isRdc() || isVoltageSweep())
        return SweepSetup::levelVolts(x, text(SweepUnit));
    return SweepSetup::levelVolts(m_setup.fixedLevel, text(FixedLevelUnit));
}

SweepPlan PlotterState::sweepPlan() const
{
    SweepPlan plan;
    plan.kind = isVoltageSweep() ? SweepPlan::Voltage : SweepPlan::Frequency;
    plan.logSpacing = m_setup.logRun;
    plan.firstItem = text(FirstItem);
    plan.secondItem = text(SecondItem);
    plan.circuit = text(Circuit);
    plan.speed = text(Speed);
    plan.step = SweepSetup::stepFor(m_setup.end, text(Start), text(Points));
    // Walked with the same arithmetic the recorder advances by, so each x
    // is bit for bit the one the list and graph get.
    SweepSetup walk = m_setup;
    for (;;) {
        plan.points.append({walk.currentX, pointFrequencyHz(walk.currentX), pointLevelVolts(walk.currentX)});
        if (walk.pointsRemaining <= 1)
            break;
        walk.advance(plan.step);
    }
    return plan;
}

void PlotterState::sweepKindChanged()
{
    const bool voltage = isVoltageSweep();
    m_setup.kind = voltage ? SweepSetup::Voltage : SweepSetup::Frequency;
    m_table.setSweptTitle(voltage ? QStringLiteral("Voltage") : QStringLiteral("Frequence"));
    setEnabled(FixedFrequency, voltage);
    setEnabled(FixedFrequencyUnit, voltage);
    setEnabled(FixedLevel, !voltage);
    setEnabled(FixedLevelUnit, !voltage);
    setItems(SweepUnit, voltage ? Vocabulary::levelUnits() : Vocabulary::frequencyUnits(), 0);
    const QString from = voltage ? QStringLiteral("20") : QStringLiteral("10");
    if (text(Start) == from)
        editText(Start, voltage ? QStringLiteral("10") : QStringLiteral("20"));
}

void PlotterState::firstItemChanged()
{
    // The same lists the procedure editor offers for the item.
    const QStringList circuits = Vocabulary::circuitsFor(firstItemIndex());
    setItems(Circuit, circuits, 0);
    setItems(SecondItem, Vocabulary::secondItemsFor(firstItemIndex(), circuits.value(0)), 0);

    if (isRdc()) {
        // An Rdc sweep always steps the voltage.
        selectText(SweepKind, voltKind);
        setItems(SweepKind, {voltKind}, 0);
        setEnabled(FixedFrequency, false);
        setEnabled(FixedFrequencyUnit, false);
        return;
    }
    if (items(SweepKind).size() < 2) {
        const QString current = text(SweepKind);
        QStringList kinds = items(SweepKind);
        kinds.prepend(freqKind);
        setItems(SweepKind, kinds, kinds.indexOf(current));
    }
    reapplySetupEnabling();
}

void PlotterState::circuitChanged()
{
    const int item = firstItemIndex();
    if (item != Vocabulary::C && item != Vocabulary::L && item != Vocabulary::X)
        return;
    setItems(SecondItem, Vocabulary::secondItemsFor(item, text(Circuit)), 0);
}

void PlotterState::reapplySetupEnabling()
{
    if (isRdc()) {
        for (int id : {FixedFrequency, FixedFrequencyUnit, FixedLevel, FixedLevelUnit})
            setEnabled(id, false);
        return;
    }
    const bool voltage = isVoltageSweep();
    setEnabled(FixedFrequency, voltage);
    setEnabled(FixedFrequencyUnit, voltage);
    setEnabled(FixedLevel, !voltage);
    setEnabled(FixedLevelUnit, !voltage);
    for (int id : {SweepKind, Start, End, SweepUnit})
        setEnabled(id, true);
}

bool PlotterState::isChecked(int id) const
{
    return m_controls.value(id).checked;
}

void PlotterState::setChecked(int id, bool checked)
{
    if (!isCheckBox(id))
        return;
    ControlState &c = m_controls[id];
    if (c.checked == checked)
        return;
    c.checked = checked;
    emit controlChanged(id);
    checkBoxChanged(id);
}

void PlotterState::checkBoxChanged(int id)
{
    const bool on = isChecked(id);
    if (id >= Line1 && id <= Line4)
        GraphStyle::showLine(*m_graph, id - Line1 + 1, on);
    else if (id == Pointer)
        GraphStyle::markPoints(*m_graph, on);
    else if (id == PrintMode)
        GraphStyle::setPrintMode(*m_graph, on);
    else if (id == YAxisLock)
        applyYAxisRanges();
}

void PlotterState::applyYAxisRanges()
{
    if (!m_drawEnabled || m_table.tableRowCount() == 0)
        return;
    GraphStyle::applyRanges(*m_graph, m_ranges, isChecked(YAxisLock),
                            std::min(m_setup.nextLine, GraphSink::AxisCount));
}

void PlotterState::graphMouseReleased(int button)
{
    if (button == 2)
        applyYAxisRanges();
}

void PlotterState::setGraph(GraphSink *graph)
{
    m_graph = graph ? graph : &m_headless;
}

void PlotterState::setProgressValue(double value)
{
    m_progress = value;
    emit progressChanged();
}

void PlotterState::setProgressScale(double minimum, double maximum)
{
    m_progressMin = minimum;
    m_progressMax = maximum;
    emit progressChanged();
}

void PlotterState::setDrawEnabled(bool enabled)
{
    if (m_drawEnabled == enabled)
        return;
    m_drawEnabled = enabled;
    emit drawEnabledChanged(enabled);
}

bool PlotterState::listHoldsPointsOf(const SweepPlan &plan) const
{
    const QString unit = text(SweepUnit);
    const int rows = std::min(m_table.tableRowCount(), int(plan.points.size()));
    for (int r = 0; r < rows; ++r)
        if (m_table.cell(r, 1) != FieldParsing::formatFixed(plan.points.at(r).x) + unit)
            return false;
    return true;
}

QStringList PlotterState::joinedRows() const
{
    QStringList rows;
    rows.reserve(m_table.tableRowCount());
    for (int r = 0; r < m_table.tableRowCount(); ++r)
        rows << m_table.joinedRow(r);
    return rows;
}

void PlotterState::restoreFromDocument(const QStringList &plotRows, int plotColumnCount, const QString &firstItem,
                                       const QString &secondItem)
{
    resetToStartup();

    // The selectors show the file's items with the lists that go with them.
    selectText(FirstItem, firstItem);
    if (!items(SecondItem).contains(secondItem) && items(Circuit).contains(QStringLiteral("PAR")))
        selectText(Circuit, QStringLiteral("PAR"));
    selectText(SecondItem, secondItem);

    const bool oneItem = secondItem == QLatin1String("off");
    const int lastColumn = std::clamp(plotColumnCount, 1, GraphSink::PlotCount + 1);
    for (int k = 2; k <= lastColumn; ++k) {
        const QString &item = oneItem || k % 2 == 0 ? firstItem : secondItem;
        m_table.insertLineColumn(k, item + QString::number(k - 1));
    }
    int picture = plotColumnCount;
    if (oneItem)
        picture = plotColumnCount - 2;
    else if (plotColumnCount == 3)
        picture = 4;
    for (int r = 0; r < plotRows.size(); ++r)
        m_table.appendJoinedRow(QString::number(r + 1), plotRows.at(r), picture);

    for (int k = lastColumn; k >= 2; --k) {
        for (int r = 0; r < m_table.tableRowCount(); ++r) {
            const QString y = m_table.cell(r, k);
            // A line a sweep never reached in this row has no point there.
            if (y.isEmpty())
                continue;
            m_graph->appendPoint(k - 1, FieldParsing::leadingDouble(m_table.cell(r, 1)),
                                 FieldParsing::leadingDouble(y));
        }
    }
    for (int axis = 1; axis <= GraphSink::AxisCount; ++axis) {
        const int i = axis - 1;
        m_ranges.lockedMin[i] = m_ranges.autoMin[i] = m_graph->axisMinimum(axis);
        m_ranges.lockedMax[i] = m_ranges.autoMax[i] = m_graph->axisMaximum(axis);
    }
    // Drawn lines are kept until the operator agrees to reset them; with
    // none (a procedure or report file was read) the first Draw draws line 1.
    m_setup.nextLine = plotRows.isEmpty() || lastColumn < 2 ? 1 : 5;
}
