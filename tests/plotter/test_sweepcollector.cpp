#include "plotter/PlotterCommands.h"
#include "plotter/PlotterState.h"
#include "plotter/SweepCollector.h"
#include "../support/RecordingPrompter.h"
#include "../support/SweepRig.h"

#include <gtest/gtest.h>

using S = PlotterState;

namespace {

struct Recorder : ::testing::Test, PlotterBench
{
    SweepCollector rec{state};
};

} // namespace

TEST_F(Recorder, FirstLineMakesTheRowsWithTheSweptValue)
{
    state.editText(S::Start, "1");
    state.editText(S::Points, "3");
    sweep({"1.234E-9", "2.5E-10", "1.0E-9"});
    const PlotTableModel &t = state.table();
    ASSERT_EQ(t.tableRowCount(), 3);
    EXPECT_EQ(t.cell(0, 0), "1");
    EXPECT_EQ(t.cell(0, 1), "1.000000Hz");
    EXPECT_EQ(t.cell(1, 1), "50.500000Hz");
    EXPECT_EQ(t.cell(2, 1), "100.000000Hz");
    EXPECT_EQ(t.cell(0, 2), "1.234000nF");
    EXPECT_EQ(t.cell(1, 2), "0.250000nF");
    EXPECT_EQ(t.cell(2, 2), "1.000000nF");
    EXPECT_EQ(t.picture(2), 0);
    EXPECT_EQ(state.graph().axisLabel(2), "\"nF\"");
    const GraphData &g = state.headlessGraph();
    ASSERT_EQ(g.points(1).size(), 3);
    EXPECT_EQ(g.points(1).at(1), QPointF(50.5, 0.25));
    EXPECT_EQ(g.pointCount(2), 0); // second item off: only the primary line
    // The progress ends at End; Draw is back; the setup stays locked.
    EXPECT_NEAR(state.progressValue(), 100.0, 1e-4);
    EXPECT_TRUE(state.drawEnabled());
    EXPECT_FALSE(state.isEnabled(S::Start));
}

TEST_F(Recorder, LaterLinesWriteIntoTheRowsByIndex)
{
    state.editText(S::Points, "2");
    sweep({"123.45E-12", "1.2E-09"});
    sweep({"2E-10", "3E-10"});
    const PlotTableModel &t = state.table();
    ASSERT_EQ(t.tableRowCount(), 2);
    EXPECT_EQ(t.cell(0, 2), "123.450000pF");
    EXPECT_EQ(t.cell(1, 2), "1200.000000pF");
    EXPECT_EQ(t.cell(0, 3), "200.000000pF");
    EXPECT_EQ(t.cell(1, 3), "300.000000pF");
    EXPECT_EQ(t.picture(0), 1);
    EXPECT_EQ(state.headlessGraph().points(1).at(1).y(), 1200.0);
    EXPECT_EQ(state.graph().axisLabel(3), "\"pF\"");
}

TEST_F(Recorder, TwoItemsFillTwoLinesWithPairPictures)
{
    state.editText(S::Points, "2");
    state.selectText(S::SecondItem, "D");
    sweep({"1E-9", "2E-9"}, {"1.5E-3", "0.02"});
    const PlotTableModel &t = state.table();
    EXPECT_EQ(t.columnTitles(), QStringList({"Step", "Frequence", "C1", "D2"}));
    EXPECT_EQ(t.cell(0, 3), "1.5mD");
    EXPECT_EQ(t.cell(1, 3), "0.02D");
    EXPECT_EQ(t.picture(0), 4);
    EXPECT_EQ(state.graph().axisLabel(3), "\"D\"");
    EXPECT_EQ(state.headlessGraph().points(2).at(0), QPointF(20, 0.0015));
    sweep({"1E-9", "2E-9"}, {"0.1", "0.2"});
    EXPECT_EQ(t.picture(0), 5);
    EXPECT_EQ(t.cell(1, 5), "0.2D");
}

TEST_F(Recorder, YAxisLockSharesOneRangeAndReleasingGivesEachItsOwn)
{
    state.editText(S::Points, "3");
    sweep({"100E-9", "300E-9", "1000E-9"});
    sweep({"1E-9", "5E-9", "30E-9"});
    const GraphSink &g = state.graph();
    EXPECT_EQ(g.axisMinimum(2), g.axisMinimum(3));
    EXPECT_EQ(g.axisMaximum(2), g.axisMaximum(3));
    EXPECT_GE(g.axisMaximum(3), 1000.0);
    EXPECT_TRUE(state.isChecked(S::YAxisLock)); // the flag ends as it began
    state.setChecked(S::YAxisLock, false);
    EXPECT_GE(g.axisMaximum(2), 1000.0);
    EXPECT_GE(g.axisMaximum(3), 30.0);
    EXPECT_LT(g.axisMaximum(3), 100.0);
    state.setChecked(S::YAxisLock, true);
    EXPECT_EQ(g.axisMaximum(3), g.axisMaximum(2));
}

TEST_F(Recorder, WithoutTheLockEachSweepKeepsItsOwnRange)
{
    state.editText(S::Points, "2");
    state.setChecked(S::YAxisLock, false);
    sweep({"100E-9", "1000E-9"});
    sweep({"1E-9", "20E-9"});
    EXPECT_FALSE(state.isChecked(S::YAxisLock));
    EXPECT_GE(state.graph().axisMaximum(2), 1000.0);
    EXPECT_LT(state.graph().axisMaximum(3), 100.0);
}

TEST_F(Recorder, FinishReadsStartAndPointsAgain)
{
    state.editText(S::Points, "2");
    sweep({"1E-9", "1E-9"});
    EXPECT_EQ(state.setup().pointsRemaining, 2);
    EXPECT_FLOAT_EQ(state.setup().currentX, 20.0f);
}

TEST_F(Recorder, MeterUnitsForFrequencyVoltageAndRdcSweeps)
{
    state.editText(S::Start, "50");
    state.selectText(S::SweepUnit, "KHz");
    state.editText(S::FixedLevel, "300");
    EXPECT_DOUBLE_EQ(rec.frequencyHz(), 50000.0);
    EXPECT_DOUBLE_EQ(rec.levelVolts(), 0.3);
    state.selectText(S::SweepKind, "Volt.");
    state.editText(S::Start, "500");
    state.editText(S::FixedFrequency, "2");
    state.selectText(S::FixedFrequencyUnit, "MHz");
    EXPECT_DOUBLE_EQ(rec.levelVolts(), 0.5);
    EXPECT_DOUBLE_EQ(rec.frequencyHz(), 2000000.0);
    state.selectText(S::FirstItem, "Rdc");
    state.selectText(S::SweepUnit, "V");
    state.editText(S::Start, "2");
    EXPECT_DOUBLE_EQ(rec.levelVolts(), 2.0);
}

TEST_F(Recorder, ALineCutShortLeavesRowsALaterLineStillFills)
{
    state.editText(S::Points, "3");
    commands.draw();
    SweepRig cut(state, runner);
    cut.answer("1E-9");
    cut.breakOff(); // as if the meter went away after one point
    sweep({"1E-9", "2E-9", "3E-9"});
    const PlotTableModel &t = state.table();
    ASSERT_EQ(t.tableRowCount(), 3);
    EXPECT_EQ(t.cell(2, 1), "100.000000Hz");
    EXPECT_EQ(t.cell(2, 3), "3.000000nF");
    EXPECT_EQ(t.cell(2, 2), QString());
}
