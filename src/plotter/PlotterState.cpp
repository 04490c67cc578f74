#include "plotter/PlotterState.h"

#include "procedure/FieldParsing.h"

#include <algorithm>

namespace {

const QString freqKind = QStringLiteral("Freq.");
const QString voltKind = QStringLiteral("Volt.");
const QStringList frequencyUnits{QStringLiteral("Hz"), QStringLiteral("KHz"), QStringLiteral("MHz")};
const QStringList levelUnits{QStringLiteral("mV"), QStringLiteral("V")};
const QStringList firstItems{QStringLiteral("C"), QStringLiteral("L"), QStringLiteral("X"), QStringLiteral("B"),
                             QStringLiteral("Z"), QStringLiteral("Y"), QStringLiteral("Rdc")};
const QStringList speeds{QStringLiteral("SLOW"), QStringLiteral("MED"), QStringLiteral("FAST"),
                         QStringLiteral("MAX")};
const QStringList serPar{QStringLiteral("SER"), QStringLiteral("PAR")};
const QStringList offQdr{QStringLiteral("off"), QStringLiteral("Q"), QStringLiteral("D"), QStringLiteral("R")};

// The graph's stored configuration: ranges 0 to 10 rescaling on, no labels,
// everything shown, no marks, the on-screen colours.
void resetGraph(GraphSink &g)
{
    g.clearPlots();
    for (int a = 1; a <= GraphSink::AxisCount; ++a) {
        g.setAxisMinimum(a, 0.0);
        g.setAxisMaximum(a, 10.0);
        g.setAutoRescale(a, true);
        g.setAxisLabel(a, QString());
        g.setAxisVisible(a, true);
    }
    for (int p = 1; p <= GraphSink::PlotCount; ++p) {
        g.setPlotVisible(p, true);
        g.setPointStyle(p, GraphSink::NoMarks);
        g.setLineColor(p, GraphData::defaultLineColor(p));
        g.setPointColor(p, GraphData::defaultLineColor(p));
    }
    g.setPlotAreaColor(Qt::black);
}

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
    setItems(SweepUnit, frequencyUnits, 0);
    setItems(FixedFrequencyUnit, frequencyUnits, 0);
    setItems(FixedLevelUnit, levelUnits, 0);
    setItems(Circuit, serPar, 0);
    setItems(Speed, speeds, 1);
    setItems(FirstItem, firstItems, 0);
    setItems(SecondItem, offQdr, 0);
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
    resetGraph(*m_graph);
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
    plan.logSpacing = m_setup.usesLogSpacing();
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
    setItems(SweepUnit, voltage ? levelUnits : frequencyUnits, 0);
    const QString from = voltage ? QStringLiteral("20") : QStringLiteral("10");
    if (text(Start) == from)
        editText(Start, voltage ? QStringLiteral("10") : QStringLiteral("20"));
}

void PlotterState::firstItemChanged()
{
    const QString item = text(FirstItem);
    QStringList circuits;
    QStringList seconds{QStringLiteral("off")};
    if (item == QLatin1String("C") || item == QLatin1String("L")) {
        circuits = serPar;
        seconds = offQdr;
    } else if (item == QLatin1String("X")) {
        circuits = {QStringLiteral("SER")};
        seconds = offQdr;
    } else if (item == QLatin1String("B")) {
        circuits = {QStringLiteral("PAR")};
        seconds = offQdr + QStringList{QStringLiteral("G")};
    } else if (item == QLatin1String("Z") || item == QLatin1String("Y")) {
        seconds << QStringLiteral("Angle");
    }
    setItems(Circuit, circuits, 0);
    setItems(SecondItem, seconds, 0);

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
    const QString item = text(FirstItem);
    if (item != QLatin1String("C") && item != QLatin1String("L") && item != QLatin1String("X"))
        return;
    QStringList seconds = items(SecondItem);
    if (text(Circuit) == QLatin1String("PAR")) {
        if (seconds.size() < 5)
            seconds << QStringLiteral("G");
    } else {
        while (seconds.size() > 4)
            seconds.removeLast();
    }
    setItems(SecondItem, seconds, 0);
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
    GraphSink &g = *m_graph;
    if (id >= Line1 && id <= Line4) {
        const int line = id - Line1 + 1;
        g.setPlotVisible(line, on);
        g.setAxisVisible(line + 1, on);
    } else if (id == Pointer) {
        for (int p = 1; p <= GraphSink::PlotCount; ++p)
            g.setPointStyle(p, on ? GraphSink::MarkedPoints : GraphSink::NoMarks);
    } else if (id == PrintMode) {
        QColor line1(0, 255, 0), line3(255, 255, 0);
        if (on) {
            line1 = g.axisTickColor(2);
            line3 = g.axisTickColor(4);
        }
        g.setPlotAreaColor(on ? QColor(255, 255, 255) : QColor(0, 0, 0));
        g.setLineColor(1, line1);
        g.setPointColor(1, line1);
        g.setLineColor(3, line3);
        g.setPointColor(3, line3);
    } else if (id == YAxisLock) {
        applyYAxisRanges();
    }
}

void PlotterState::applyYAxisRanges()
{
    if (!m_drawEnabled || m_table.tableRowCount() == 0)
        return;
    const bool locked = isChecked(YAxisLock);
    const int last = std::min(m_setup.nextLine, GraphSink::AxisCount);
    for (int axis = 1; axis <= last; ++axis) {
        const int i = axis - 1;
        m_graph->setAxisMaximum(axis, locked ? m_ranges.lockedMax[i] : m_ranges.autoMax[i]);
        m_graph->setAxisMinimum(axis, locked ? m_ranges.lockedMin[i] : m_ranges.autoMin[i]);
        m_graph->setAutoRescale(axis, true);
    }
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
    m_setup.nextLine = 5;
}
