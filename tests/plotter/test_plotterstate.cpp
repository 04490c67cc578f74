#include "plotter/PlotterState.h"

#include <gtest/gtest.h>

using S = PlotterState;

TEST(PlotterDefaults, ControlsAsTheyStart)
{
    PlotterState s;
    EXPECT_EQ(s.items(S::SweepKind), QStringList({"Freq.", "Volt."}));
    EXPECT_EQ(s.text(S::SweepKind), "Freq.");
    EXPECT_EQ(s.text(S::Start), "20");
    EXPECT_EQ(s.text(S::End), "100");
    EXPECT_EQ(s.text(S::Points), "10");
    EXPECT_EQ(s.text(S::SweepUnit), "Hz");
    EXPECT_EQ(s.text(S::FixedFrequency), "20");
    EXPECT_EQ(s.text(S::FixedLevel), "10");
    EXPECT_EQ(s.text(S::FixedLevelUnit), "mV");
    EXPECT_EQ(s.text(S::Circuit), "SER");
    EXPECT_EQ(s.text(S::Speed), "MED");
    EXPECT_EQ(s.text(S::FirstItem), "C");
    EXPECT_EQ(s.items(S::SecondItem), QStringList({"off", "Q", "D", "R"}));
    EXPECT_FALSE(s.isEnabled(S::FixedFrequency));
    EXPECT_FALSE(s.isEnabled(S::FixedFrequencyUnit));
    EXPECT_TRUE(s.isEnabled(S::FixedLevel));
    EXPECT_TRUE(s.drawEnabled());
    EXPECT_EQ(s.progressValue(), 100.0);
    for (int id : {S::Line1, S::Line2, S::Line3, S::Line4, S::YAxisLock})
        EXPECT_TRUE(s.isChecked(id)) << id;
    EXPECT_FALSE(s.isChecked(S::Pointer));
    EXPECT_FALSE(s.isChecked(S::PrintMode));
    EXPECT_EQ(s.setup().start, 20.0f);
    EXPECT_EQ(s.setup().end, 100);
    EXPECT_EQ(s.setup().points, 10);
    EXPECT_EQ(s.setup().nextLine, 1);
    EXPECT_EQ(s.ranges().autoMin[0], 20.0);
    EXPECT_EQ(s.ranges().lockedMax[0], 100.0);
    EXPECT_EQ(S::setupControls().size(), 12);
    EXPECT_FALSE(S::setupControls().contains(S::Speed));
}

TEST(PlotterSweepKind, VoltageSwapsTwentyAndTenAndTheControls)
{
    PlotterState s;
    s.select(S::SweepKind, 1);
    EXPECT_EQ(s.text(S::Start), "10");
    EXPECT_EQ(s.setup().start, 10.0f);
    EXPECT_EQ(s.ranges().autoMin[0], 10.0);
    EXPECT_EQ(s.items(S::SweepUnit), QStringList({"mV", "V"}));
    EXPECT_EQ(s.table().sweptTitle(), "Voltage");
    EXPECT_TRUE(s.isEnabled(S::FixedFrequency));
    EXPECT_TRUE(s.isEnabled(S::FixedFrequencyUnit));
    EXPECT_FALSE(s.isEnabled(S::FixedLevel));
    EXPECT_FALSE(s.isEnabled(S::FixedLevelUnit));
    EXPECT_TRUE(s.isVoltageSweep());
    s.select(S::SweepKind, 0);
    EXPECT_EQ(s.text(S::Start), "20");
    EXPECT_EQ(s.text(S::SweepUnit), "Hz");
    EXPECT_EQ(s.table().sweptTitle(), "Frequence");
    EXPECT_FALSE(s.isEnabled(S::FixedFrequency));
}

TEST(PlotterSweepKind, OtherStartTextsStay)
{
    PlotterState s;
    s.editText(S::Start, "20.0");
    s.select(S::SweepKind, 1);
    EXPECT_EQ(s.text(S::Start), "20.0");
    s.editText(S::Start, "10 ");
    s.select(S::SweepKind, 0);
    EXPECT_EQ(s.text(S::Start), "10 ");
    EXPECT_EQ(s.setup().start, 10.0f);
}

TEST(PlotterFirstItem, ListsFollowTheItem)
{
    PlotterState s;
    s.selectText(S::FirstItem, "X");
    EXPECT_EQ(s.items(S::Circuit), QStringList({"SER"}));
    EXPECT_EQ(s.items(S::SecondItem), QStringList({"off", "Q", "D", "R"}));
    s.selectText(S::FirstItem, "B");
    EXPECT_EQ(s.items(S::Circuit), QStringList({"PAR"}));
    EXPECT_EQ(s.items(S::SecondItem), QStringList({"off", "Q", "D", "R", "G"}));
    s.selectText(S::FirstItem, "Z");
    EXPECT_TRUE(s.items(S::Circuit).isEmpty());
    EXPECT_EQ(s.text(S::Circuit), QString());
    EXPECT_EQ(s.items(S::SecondItem), QStringList({"off", "Angle"}));
    EXPECT_EQ(s.text(S::SecondItem), "off");
}

TEST(PlotterFirstItem, RdcLeavesOnlyVoltageAndCBringsFrequencyBack)
{
    PlotterState s;
    s.selectText(S::FirstItem, "Rdc");
    EXPECT_EQ(s.items(S::SweepKind), QStringList({"Volt."}));
    EXPECT_TRUE(s.isVoltageSweep());
    EXPECT_EQ(s.text(S::Start), "10");
    EXPECT_EQ(s.items(S::SecondItem), QStringList({"off"}));
    for (int id : {S::FixedFrequency, S::FixedFrequencyUnit, S::FixedLevel, S::FixedLevelUnit})
        EXPECT_FALSE(s.isEnabled(id)) << id;
    s.selectText(S::FirstItem, "C");
    EXPECT_EQ(s.items(S::SweepKind), QStringList({"Freq.", "Volt."}));
    // The kind stays a voltage sweep until the operator changes it.
    EXPECT_EQ(s.text(S::SweepKind), "Volt.");
    EXPECT_TRUE(s.isEnabled(S::FixedFrequency));
    EXPECT_FALSE(s.isEnabled(S::FixedLevel));
    EXPECT_EQ(s.items(S::Circuit), QStringList({"SER", "PAR"}));
}

TEST(PlotterCircuit, ParallelOffersGForCLAndX)
{
    PlotterState s;
    s.select(S::SecondItem, 2);
    s.selectText(S::Circuit, "PAR");
    EXPECT_EQ(s.items(S::SecondItem), QStringList({"off", "Q", "D", "R", "G"}));
    EXPECT_EQ(s.text(S::SecondItem), "off");
    s.selectText(S::Circuit, "PAR"); // again: still one G
    EXPECT_EQ(s.items(S::SecondItem).size(), 5);
    s.select(S::SecondItem, 4);
    s.selectText(S::Circuit, "SER");
    EXPECT_EQ(s.items(S::SecondItem), QStringList({"off", "Q", "D", "R"}));
    EXPECT_EQ(s.text(S::SecondItem), "off");
    // B's G belongs to B and no circuit change takes it away.
    s.selectText(S::FirstItem, "B");
    s.select(S::Circuit, 0);
    EXPECT_EQ(s.items(S::SecondItem).size(), 5);
}

TEST(PlotterEdits, EveryEditReparses)
{
    PlotterState s;
    s.editText(S::End, "250kHz");
    s.editText(S::Points, "7");
    s.editText(S::FixedFrequency, "1KHz");
    s.editText(S::FixedLevel, "abc");
    EXPECT_EQ(s.setup().end, 250);
    EXPECT_EQ(s.ranges().autoMax[0], 250.0);
    EXPECT_EQ(s.setup().points, 7);
    EXPECT_EQ(s.setup().pointsRemaining, 7);
    EXPECT_EQ(s.setup().fixedFrequency, 1);
    EXPECT_EQ(s.setup().fixedLevel, 0);
    // Lists have no text of their own to set.
    s.editText(S::Circuit, "PAR");
    EXPECT_EQ(s.text(S::Circuit), "SER");
}

TEST(PlotterCheckBoxes, LineTwoHidesPlotTwoAndAxisThreeOnly)
{
    PlotterState s;
    s.setChecked(S::Line2, false);
    const GraphSink &g = s.graph();
    for (int p = 1; p <= 4; ++p)
        EXPECT_EQ(g.plotVisible(p), p != 2) << p;
    for (int a = 1; a <= 5; ++a)
        EXPECT_EQ(g.axisVisible(a), a != 3) << a;
    s.setChecked(S::Line2, true);
    EXPECT_TRUE(g.plotVisible(2));
    EXPECT_TRUE(g.axisVisible(3));
}

TEST(PlotterCheckBoxes, PointerAndPrintColours)
{
    PlotterState s;
    const GraphSink &g = s.graph();
    s.setChecked(S::Pointer, true);
    for (int p = 1; p <= 4; ++p)
        EXPECT_EQ(g.pointStyle(p), 9);
    s.setChecked(S::Pointer, false);
    EXPECT_EQ(g.pointStyle(3), 0);

    s.setChecked(S::PrintMode, true);
    EXPECT_EQ(g.plotAreaColor(), QColor(255, 255, 255));
    EXPECT_EQ(g.lineColor(1), g.axisTickColor(2));
    EXPECT_EQ(g.pointColor(1), g.axisTickColor(2));
    EXPECT_EQ(g.lineColor(3), g.axisTickColor(4));
    EXPECT_EQ(g.lineColor(2), QColor(255, 0, 0));
    EXPECT_EQ(g.lineColor(4), QColor(0, 0, 255));
    s.setChecked(S::PrintMode, false);
    EXPECT_EQ(g.plotAreaColor(), QColor(0, 0, 0));
    EXPECT_EQ(g.lineColor(1), QColor(0, 255, 0));
    EXPECT_EQ(g.pointColor(3), QColor(255, 255, 0));
}

TEST(PlotterAxisLock, AppliesOnlyWithRowsAndNoSweepRunning)
{
    PlotterState s;
    GraphSink &g = s.graph();
    s.setup().nextLine = 3;
    s.ranges().autoMin = {20, 0, 0, 0, 0};
    s.ranges().autoMax = {100, 50, 700, 0, 0};
    s.ranges().lockedMin = {20, 0, 0, 0, 0};
    s.ranges().lockedMax = {100, 700, 700, 0, 0};
    g.setAutoRescale(2, false);

    s.applyYAxisRanges(); // no rows yet
    EXPECT_EQ(g.axisMaximum(2), 10.0);
    s.table().insertRow(0, "1");
    s.setDrawEnabled(false);
    s.graphMouseReleased(2);
    EXPECT_EQ(g.axisMaximum(2), 10.0);
    s.setDrawEnabled(true);
    s.graphMouseReleased(1); // the left button does nothing
    EXPECT_EQ(g.axisMaximum(2), 10.0);
    s.graphMouseReleased(2);
    EXPECT_EQ(g.axisMaximum(2), 700.0);
    EXPECT_EQ(g.axisMaximum(3), 700.0);
    EXPECT_EQ(g.axisMinimum(1), 20.0);
    EXPECT_EQ(g.axisMaximum(4), 10.0); // line 3 is not in use
    EXPECT_TRUE(g.autoRescale(2));
    s.setChecked(S::YAxisLock, false);
    EXPECT_EQ(g.axisMaximum(2), 50.0);
    EXPECT_EQ(g.axisMaximum(3), 700.0);
}

TEST(PlotterDocument, RestoreOneItemFile)
{
    PlotterState s;
    int reset = 0;
    QObject::connect(&s, &PlotterState::pageReset, [&] { ++reset; });
    s.restoreFromDocument({"20.000000Hz\n1.000000nF\n2.000000nF\n\n\n", "100.000000Hz\n3.000000nF\n4.000000nF\n\n\n"},
                          3, "L", "off");
    EXPECT_EQ(reset, 1);
    EXPECT_EQ(s.table().columnTitles(), QStringList({"Step", "Frequence", "L1", "L2"}));
    EXPECT_EQ(s.text(S::FirstItem), "L");
    EXPECT_EQ(s.text(S::SecondItem), "off");
    EXPECT_EQ(s.table().tableRowCount(), 2);
    EXPECT_EQ(s.table().cell(1, 0), "2");
    EXPECT_EQ(s.table().picture(0), 1);
    EXPECT_EQ(s.graph().pointCount(1), 2);
    EXPECT_EQ(s.graph().pointCount(2), 2);
    EXPECT_EQ(s.graph().pointCount(3), 0);
    EXPECT_EQ(s.setup().nextLine, 5);
    EXPECT_EQ(s.columnCounter(), 5);
    // The ranges read back are what the graph shows, in both tables.
    for (int a = 1; a <= 5; ++a) {
        EXPECT_EQ(s.ranges().lockedMax[a - 1], s.graph().axisMaximum(a));
        EXPECT_EQ(s.ranges().autoMin[a - 1], s.graph().axisMinimum(a));
    }
    EXPECT_GE(s.graph().axisMaximum(1), 100.0);
    EXPECT_EQ(s.joinedRows().at(1), "100.000000Hz\n3.000000nF\n4.000000nF\n\n\n");
}

TEST(PlotterDocument, RestoreTwoItemFilesAndTheirPictures)
{
    PlotterState s;
    s.restoreFromDocument({"1.000000V\n5O\n0.1D\n\n\n"}, 3, "Z", "Angle");
    EXPECT_EQ(s.table().columnTitles(), QStringList({"Step", "Frequence", "Z1", "Angle2"}));
    EXPECT_EQ(s.text(S::SecondItem), "Angle");
    EXPECT_EQ(s.table().picture(0), 4);
    s.restoreFromDocument({"1\n1\n2\n3\n4\n"}, 5, "C", "G");
    EXPECT_EQ(s.table().columnTitles(), QStringList({"Step", "Frequence", "C1", "G2", "C3", "G4"}));
    // G needs the parallel circuit, which the selectors then show.
    EXPECT_EQ(s.text(S::SecondItem), "G");
    EXPECT_EQ(s.text(S::Circuit), "PAR");
    EXPECT_EQ(s.table().picture(0), 5);
    EXPECT_EQ(s.graph().pointCount(4), 1);
}

TEST(PlotterDocument, EmptyFileAndEmptyCells)
{
    PlotterState s;
    s.restoreFromDocument({}, 1, "C", "off");
    EXPECT_EQ(s.table().columnCount(), 2);
    // Nothing drawn (a procedure or report file read): the first Draw draws line 1.
    EXPECT_EQ(s.setup().nextLine, 1);
    s.restoreFromDocument({}, 0, "C", "off");
    EXPECT_EQ(s.setup().nextLine, 1);
    // A row a second line never reached gives that line no point at 0.
    s.restoreFromDocument({"20Hz\n1nF\n2nF\n\n\n", "30Hz\n1nF\n\n\n\n"}, 3, "C", "off");
    EXPECT_EQ(s.graph().pointCount(1), 2);
    EXPECT_EQ(s.graph().pointCount(2), 1);
    // Lines read from a plot file are offered for a reset at the next Draw.
    EXPECT_EQ(s.setup().nextLine, 5);
    // A counter beyond the four lines does not invent columns.
    s.restoreFromDocument({"20Hz\n1\n2\n3\n4\n"}, 99, "C", "off");
    EXPECT_EQ(s.table().columnCount(), 6);
}

TEST(PlotterDocument, SaveGettersOfAFreshPage)
{
    PlotterState s;
    EXPECT_EQ(s.firstItemText(), "C");
    EXPECT_EQ(s.secondItemText(), "off");
    EXPECT_EQ(s.columnCounter(), 1);
    EXPECT_TRUE(s.joinedRows().isEmpty());
}

TEST(PlotterGraphs, SwitchingToAnotherGraphAndBack)
{
    PlotterState s;
    GraphData other;
    s.setGraph(&other);
    s.setChecked(S::Line3, false);
    EXPECT_FALSE(other.plotVisible(3));
    EXPECT_TRUE(s.headlessGraph().plotVisible(3));
    s.setGraph(nullptr);
    EXPECT_EQ(&s.graph(), static_cast<GraphSink *>(&s.headlessGraph()));
}
