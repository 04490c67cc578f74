#include "plotter/PlotterCommands.h"
#include "plotter/PlotterState.h"
#include "plotter/SweepCollector.h"
#include "../support/SweepRig.h"

#include <gtest/gtest.h>

using S = PlotterState;

namespace {

struct Fixture : ::testing::Test, PlotterBench
{
};

using DrawCommand = Fixture;
using StopResetCommand = Fixture;
using PointsCheck = Fixture;

} // namespace

TEST_F(PointsCheck, BelowTwoAndAboveTwoHundredAreCorrected)
{
    state.editText(S::Points, "1");
    EXPECT_FALSE(commands.checkPoints());
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(prompter.said[0].caption, "Exception");
    EXPECT_EQ(prompter.said[0].text, "The value must over or equal 2 points");
    EXPECT_EQ(prompter.said[0].icon, Prompter::Icon::Warning);
    EXPECT_EQ(state.text(S::Points), "2");
    EXPECT_EQ(state.setup().points, 2);
    EXPECT_TRUE(commands.checkPoints());

    state.editText(S::Points, "201");
    EXPECT_FALSE(commands.checkPoints());
    EXPECT_EQ(prompter.said.last().text, "The value can't over 200 points");
    EXPECT_EQ(state.text(S::Points), "200");
    EXPECT_TRUE(commands.checkPoints());
    EXPECT_EQ(runner.starts, 0);
}

TEST_F(DrawCommand, NotConnectedTouchesNothing)
{
    runner.connected = false;
    state.setup().pointIndex = 7;
    commands.draw();
    ASSERT_EQ(prompter.texts(), QStringList({"Not connect yet. Please setup and modify the communication status."}));
    EXPECT_EQ(prompter.said[0].caption, "Exception");
    EXPECT_EQ(state.setup().pointIndex, 7);
    for (int id : S::setupControls())
        EXPECT_EQ(state.isEnabled(id), id != S::FixedFrequency && id != S::FixedFrequencyUnit) << id;
    EXPECT_EQ(runner.starts, 0);
    // No runner at all counts as no connection.
    PlotterCommands bare(state, prompter);
    bare.draw();
    EXPECT_EQ(prompter.said.size(), 2);
}

TEST_F(DrawCommand, StartsASweepOnTheNextLine)
{
    state.editText(S::Points, "5");
    commands.draw();
    EXPECT_EQ(runner.starts, 1);
    for (int id : S::setupControls())
        EXPECT_FALSE(state.isEnabled(id)) << id;
    EXPECT_TRUE(state.isEnabled(S::Speed));
    EXPECT_FALSE(state.drawEnabled());
    EXPECT_EQ(state.graph().axisMinimum(1), 20.0);
    EXPECT_EQ(state.graph().axisMaximum(1), 100.0);
    // (100 - 20) / 4 = 20: the scale runs 0 to 100 and starts at 0.
    EXPECT_EQ(state.progressValue(), 0.0);
    EXPECT_EQ(state.progressMinimum(), 0.0);
    EXPECT_EQ(state.progressMaximum(), 100.0);
    EXPECT_EQ(state.setup().firstItemLine, 1);
    EXPECT_EQ(state.setup().nextLine, 2);
    EXPECT_EQ(state.table().columnTitles(), QStringList({"Step", "Frequence", "C1"}));
    EXPECT_TRUE(prompter.said.isEmpty());
}

TEST_F(DrawCommand, FiveOneItemDrawsFillTheLinesThenAsk)
{
    state.editText(S::Points, "3");
    for (int i = 1; i <= 4; ++i) {
        commands.draw();
        EXPECT_EQ(state.setup().firstItemLine, i);
        finishSweep("1.0E-9");
        EXPECT_TRUE(state.drawEnabled());
    }
    EXPECT_EQ(state.table().columnTitles(), QStringList({"Step", "Frequence", "C1", "C2", "C3", "C4"}));
    EXPECT_EQ(state.table().picture(0), 3);
    prompter.answers = {false};
    commands.draw();
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(prompter.said[0].caption, "Filled exception");
    EXPECT_EQ(prompter.said[0].text, "All the lines have be used, refresh the all the points and data?");
    EXPECT_EQ(prompter.said[0].icon, Prompter::Icon::None);
    // Cancel: the graph stays, the setup stays locked, Draw stays enabled.
    EXPECT_EQ(runner.starts, 4);
    EXPECT_EQ(state.graph().pointCount(4), 3);
    EXPECT_TRUE(state.drawEnabled());
    EXPECT_FALSE(state.isEnabled(S::FirstItem));
}

TEST_F(DrawCommand, ThreeTwoItemDrawsAskAndOkStartsOverOnLineOne)
{
    state.editText(S::Points, "2");
    state.select(S::SecondItem, 2);
    commands.draw();
    EXPECT_EQ(state.setup().firstItemLine, 1);
    EXPECT_EQ(state.setup().secondItemLine, 2);
    finishSweep("1.0E-9", "0.01");
    commands.draw();
    EXPECT_EQ(state.setup().firstItemLine, 3);
    EXPECT_EQ(state.setup().secondItemLine, 4);
    EXPECT_EQ(state.table().columnTitles(), QStringList({"Step", "Frequence", "C1", "D2", "C3", "D4"}));
    finishSweep("1.0E-9", "0.01");
    EXPECT_EQ(state.table().picture(0), 5);
    prompter.answers = {true};
    commands.draw();
    EXPECT_EQ(prompter.texts(), QStringList({"All the lines have be used, refresh the all the points and data?"}));
    EXPECT_EQ(runner.stops, 1);
    EXPECT_EQ(runner.starts, 3);
    EXPECT_EQ(state.table().tableRowCount(), 0);
    EXPECT_EQ(state.graph().pointCount(1), 0);
    EXPECT_EQ(state.table().columnTitles(), QStringList({"Step", "Frequence", "C1", "D2"}));
    EXPECT_EQ(state.setup().firstItemLine, 1);
    EXPECT_EQ(state.setup().nextLine, 3);
    EXPECT_FALSE(state.drawEnabled());
}

TEST_F(DrawCommand, ADrawWhosePointsDifferFromTheListsOffersAFreshStart)
{
    state.editText(S::Start, "1000");
    state.editText(S::End, "100000");
    state.editText(S::Points, "5");
    commands.draw();
    finishSweep("1.0E-9");
    const QStringList linear{"1000.000000Hz", "25750.000000Hz", "50500.000000Hz", "75250.000000Hz", "100000.000000Hz"};
    auto swept = [&] {
        QStringList out;
        for (int r = 0; r < state.table().tableRowCount(); ++r)
            out << state.table().cell(r, 1);
        return out;
    };
    ASSERT_EQ(swept(), linear);

    // Log steps chosen after a linear Draw: its readings would land beside
    // the linear values. Cancel keeps everything as it is.
    state.setup().logSpacing = true;
    prompter.answers = {false};
    commands.draw();
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(prompter.said[0].caption, "Sweep points changed");
    EXPECT_TRUE(prompter.said[0].question);
    EXPECT_EQ(runner.starts, 1);
    EXPECT_EQ(state.setup().nextLine, 2);
    EXPECT_EQ(state.table().columnTitles(), QStringList({"Step", "Frequence", "C1"}));
    EXPECT_TRUE(state.drawEnabled());

    // OK: the lines are cleared and the log Draw takes line 1, its own
    // values in the list.
    prompter.answers = {true};
    commands.draw();
    EXPECT_EQ(prompter.said.size(), 2);
    EXPECT_EQ(runner.stops, 1);
    EXPECT_EQ(runner.starts, 2);
    EXPECT_EQ(state.setup().firstItemLine, 1);
    finishSweep("2.0E-9");
    EXPECT_EQ(swept(), QStringList({"1000.000000Hz", "3162.277588Hz", "10000.000000Hz", "31622.777344Hz", "100000.000000Hz"}));
    EXPECT_EQ(state.graph().pointCount(1), 5);
    EXPECT_EQ(state.graph().pointCount(2), 0);

    // The same points again: drawn beside them without a question.
    commands.draw();
    EXPECT_EQ(prompter.said.size(), 2);
    EXPECT_EQ(state.setup().firstItemLine, 2);
}

TEST_F(DrawCommand, LogStepsChosenDuringASweepAreForTheNextOne)
{
    state.editText(S::Start, "1000");
    state.editText(S::End, "100000");
    state.editText(S::Points, "5");
    commands.draw();
    SweepRig rig(state, runner);
    rig.answer("1E-9");
    state.setup().logSpacing = true;
    rig.answerRest("1E-9");
    EXPECT_EQ(state.table().cell(1, 1), "25750.000000Hz");
    EXPECT_EQ(state.table().cell(3, 1), "75250.000000Hz");
    EXPECT_EQ(state.graph().pointCount(1), 5);
}

TEST_F(DrawCommand, ADrawAfterAStopMidwayStartsAtTheFirstPoint)
{
    commands.draw();
    SweepRig rig(state, runner);
    rig.answer("1E-9");
    rig.answer("1E-9");
    commands.stopReset();
    commands.draw();
    EXPECT_EQ(state.setup().pointsRemaining, 10);
    EXPECT_EQ(state.setup().pointIndex, 0);
    EXPECT_FLOAT_EQ(state.setup().currentX, 20.0f);
}

TEST_F(StopResetCommand, ReturnsThePageToItsSetupState)
{
    state.editText(S::Points, "2");
    commands.draw();
    finishSweep("1.5E-9");
    state.editText(S::End, "200"); // what the edits hold is read again
    commands.stopReset();
    EXPECT_EQ(runner.stops, 1);
    for (int id : {S::SweepKind, S::Start, S::End, S::Points, S::SweepUnit, S::FixedLevel, S::FixedLevelUnit,
                   S::FirstItem, S::SecondItem, S::Circuit})
        EXPECT_TRUE(state.isEnabled(id)) << id;
    EXPECT_FALSE(state.isEnabled(S::FixedFrequency));
    EXPECT_FALSE(state.isEnabled(S::FixedFrequencyUnit));
    EXPECT_EQ(state.table().columnCount(), 2);
    EXPECT_EQ(state.table().tableRowCount(), 0);
    for (int a = 1; a <= 5; ++a) {
        EXPECT_EQ(state.graph().axisMinimum(a), 0.0);
        EXPECT_EQ(state.graph().axisMaximum(a), 10.0);
        EXPECT_TRUE(state.graph().autoRescale(a));
        EXPECT_EQ(state.graph().axisLabel(a), QString());
    }
    EXPECT_EQ(state.graph().pointCount(1), 0);
    EXPECT_EQ(state.setup().end, 200);
    EXPECT_EQ(state.progressValue(), 200.0);
    EXPECT_TRUE(state.drawEnabled());
    EXPECT_EQ(state.setup().nextLine, 1);
}

TEST_F(StopResetCommand, EnablingForRdcAndForAVoltageSweep)
{
    state.selectText(S::FirstItem, "Rdc");
    commands.draw();
    commands.stopReset();
    for (int id : {S::FixedFrequency, S::FixedFrequencyUnit, S::FixedLevel, S::FixedLevelUnit})
        EXPECT_FALSE(state.isEnabled(id)) << id;
    EXPECT_TRUE(state.isEnabled(S::FirstItem));

    state.selectText(S::FirstItem, "L");
    state.selectText(S::SweepKind, "Volt.");
    commands.draw();
    commands.stopReset();
    EXPECT_TRUE(state.isEnabled(S::FixedFrequency));
    EXPECT_TRUE(state.isEnabled(S::FixedFrequencyUnit));
    EXPECT_FALSE(state.isEnabled(S::FixedLevel));
    EXPECT_FALSE(state.isEnabled(S::FixedLevelUnit));
    EXPECT_TRUE(state.isEnabled(S::SweepKind));
}
