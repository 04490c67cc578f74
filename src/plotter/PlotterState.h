#pragma once

#include "common/LegacyIds.h"

#include "plotter/AxisRanges.h"
#include "plotter/GraphData.h"
#include "plotter/PlotTableModel.h"
#include "plotter/SweepPlan.h"
#include "plotter/SweepSetup.h"

#include <QHash>
#include <QObject>
#include <QStringList>

// Everything the Plotter View's controls hold, without the widgets: the
// setup edits and lists with their enabled states, the progress scale, the
// Draw button, the seven check boxes, the result list and the graph. The
// page's own handlers (sweep kind, first item, circuit, the edits, the
// check boxes, the axis lock) run here, so a sweep runs the same with or
// without a window. The dialog mirrors this state and forwards the
// operator's actions to select(), editText() and setChecked().
class PlotterState : public QObject
{
    Q_OBJECT
public:
    // The controls, by the ids the rest of the program knows them by.
    enum Control {
        SweepKind = LegacyId::Plotter::SweepKind,
        Start = LegacyId::Plotter::Start,
        End = LegacyId::Plotter::End,
        Points = LegacyId::Plotter::Points,
        SweepUnit = LegacyId::Plotter::SweepUnit,
        FixedFrequency = LegacyId::Plotter::FixedFrequency,
        FixedFrequencyUnit = LegacyId::Plotter::FixedFrequencyUnit,
        FixedLevel = LegacyId::Plotter::FixedLevel,
        FixedLevelUnit = LegacyId::Plotter::FixedLevelUnit,
        Circuit = LegacyId::Plotter::Circuit,
        Speed = LegacyId::Plotter::Speed,
        FirstItem = LegacyId::Plotter::FirstItem,
        SecondItem = LegacyId::Plotter::SecondItem,
        Progress = LegacyId::Plotter::Progress,
        Draw = LegacyId::Plotter::Draw,
        StopReset = LegacyId::Plotter::StopReset,
        ExportButton = LegacyId::Plotter::ExportSweep,
        Line1 = LegacyId::Plotter::Line1,
        Line2 = LegacyId::Plotter::Line2,
        Line3 = LegacyId::Plotter::Line3,
        Line4 = LegacyId::Plotter::Line4,
        Pointer = LegacyId::Plotter::Pointer,
        PrintMode = LegacyId::Plotter::PrintMode,
        YAxisLock = LegacyId::Plotter::YAxisLock,
    };

    // The twelve setup controls a sweep locks, in the order they are locked.
    static const QList<int> &setupControls();
    static bool isList(int id);
    static bool isEdit(int id);
    static bool isCheckBox(int id) { return id >= Line1 && id <= YAxisLock; }

    explicit PlotterState(QObject *parent = nullptr);

    // Edits have a text; lists have items and a selection (-1: none), and
    // text() of a list is its selected item's text.
    QString text(int id) const;
    QStringList items(int id) const;
    int selection(int id) const;
    bool isEnabled(int id) const;
    void setEnabled(int id, bool enabled);

    // What the operator does. Setting an edit's text re-parses it, whoever
    // sets it; selecting in a list runs that list's change handler.
    void editText(int id, const QString &text);
    void select(int id, int index);
    // Selects the item with this text; false when the list has none.
    bool selectText(int id, const QString &itemText);
    bool isChecked(int id) const;
    void setChecked(int id, bool checked);

    // Readings of the setup the sweep uses.
    bool isVoltageSweep() const;
    bool hasSecondItem() const { return selection(SecondItem) > 0; }
    int firstItemIndex() const { return selection(FirstItem); }
    int secondItemIndex() const { return selection(SecondItem); }
    bool isRdc() const;

    // The sweep Draw starts, from the settings as they stand and the run
    // state just restarted: its points are where advance() puts them.
    SweepPlan sweepPlan() const;
    // What the meter is sent at swept value x: frequency in hertz (the
    // fixed one in a voltage sweep) and level in volts (the fixed one in a
    // frequency sweep, except for Rdc).
    // Whether the result list's swept values are those of the plan, as far
    // as both go: a Draw whose points differ must not write its readings
    // beside another Draw's values.
    bool listHoldsPointsOf(const SweepPlan &plan) const;
    double pointFrequencyHz(float x) const;
    double pointLevelVolts(float x) const;

    SweepSetup &setup() { return m_setup; }
    const SweepSetup &setup() const { return m_setup; }
    AxisRanges &ranges() { return m_ranges; }
    const AxisRanges &ranges() const { return m_ranges; }
    PlotTableModel &table() { return m_table; }
    const PlotTableModel &table() const { return m_table; }

    // The graph drawn into: the on-screen one once the page exists,
    // otherwise one kept here. setGraph(nullptr) returns to the kept one.
    GraphSink &graph() { return *m_graph; }
    const GraphSink &graph() const { return *m_graph; }
    void setGraph(GraphSink *graph);
    GraphData &headlessGraph() { return m_headless; }

    // "Running Progress".
    double progressValue() const { return m_progress; }
    double progressMinimum() const { return m_progressMin; }
    double progressMaximum() const { return m_progressMax; }
    void setProgressValue(double value);
    void setProgressScale(double minimum, double maximum);

    bool drawEnabled() const { return m_drawEnabled; }
    void setDrawEnabled(bool enabled);

    // Sets the Y axes (and the X axis) to the locked or the auto ranges and
    // lets them rescale for later points; only while no sweep runs and the
    // result list has rows.
    void applyYAxisRanges();
    // The graph reports a released mouse button; 2 is the right button.
    void graphMouseReleased(int button);
    // The enabling of the fixed frequency and level controls (and the sweep
    // kind, Start, End and unit) that follows the selections.
    void reapplySetupEnabling();
    // Asks the pages to bring a result row into view.
    void showRow(int row) { emit rowShown(row); }

    // The page as it is when created: defaults, empty list and graph.
    void resetToStartup();

    // For the document: the two selector texts, the used-line counter, and
    // the rows (cells 1 to 5 joined); and the page rebuilt from a file.
    QString firstItemText() const { return text(FirstItem); }
    QString secondItemText() const { return text(SecondItem); }
    int columnCounter() const { return m_setup.nextLine; }
    QStringList joinedRows() const;
    void restoreFromDocument(const QStringList &plotRows, int plotColumnCount, const QString &firstItem,
                             const QString &secondItem);

signals:
    // Text, items, selection, enabled state or check state of a control.
    void controlChanged(int id);
    void progressChanged();
    void drawEnabledChanged(bool enabled);
    void rowShown(int row);
    // The page went back to its start-up state; a sweep must not go on.
    void pageReset();

private:
    struct ControlState
    {
        QStringList items;
        int selection = -1;
        QString text;
        bool enabled = true;
        bool checked = false;
    };

    void setItems(int id, const QStringList &items, int selection);
    void setSelection(int id, int index);
    void setText(int id, const QString &text);
    void parseEdit(int id);
    void sweepKindChanged();
    void firstItemChanged();
    void circuitChanged();
    void checkBoxChanged(int id);
    void setDefaults();

    QHash<int, ControlState> m_controls;
    SweepSetup m_setup;
    AxisRanges m_ranges;
    PlotTableModel m_table;
    GraphData m_headless;
    GraphSink *m_graph = &m_headless;
    double m_progress = 100.0;
    double m_progressMin = 0.0;
    double m_progressMax = 100.0;
    bool m_drawEnabled = true;
};
