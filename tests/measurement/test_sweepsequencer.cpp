// The sweep over a scripted transport: a meter lost inside a settings write
// ends the sweep for good, and a reconnect afterwards is a reconnect.

#include "../support/SweepSequencerRig.h"

#include "procedure/FieldParsing.h"

#include <gtest/gtest.h>

TEST(SweepSequencerFaults, ALossInsideASettingsWriteEndsTheSweepAndTheReconnectIsNotTakenAsAPoint)
{
    SweepSequencerRig rig;
    ASSERT_TRUE(rig.connectMeter());
    rig.plotter.editText(PlotterState::Start, "1");
    rig.plotter.editText(PlotterState::Points, "3");
    // The device goes away while the first point's frequency is written.
    rig.lostAt = "MEAS:FREQ";
    ASSERT_TRUE(rig.draw());
    MeterSim::waitUntil([] { return false; }, 30);

    EXPECT_FALSE(rig.sequencer.isRunning());
    EXPECT_EQ(rig.sequencer.state(), SweepSequencer::State::Idle);
    EXPECT_EQ(rig.triggers, 0) << "nothing follows the failed write";
    EXPECT_EQ(rig.interruptions.size(), 1);
    EXPECT_TRUE(rig.plotter.drawEnabled());

    // Communication connects again: the identification reply is the link's.
    rig.lostAt.clear();
    ASSERT_TRUE(rig.connectMeter()) << "the reconnect succeeds";
    MeterSim::waitUntil([] { return false; }, 30);
    EXPECT_TRUE(rig.points.isEmpty()) << "no identification reply is taken as a sweep point";
    EXPECT_FALSE(rig.sequencer.isRunning());
    EXPECT_TRUE(rig.plotter.drawEnabled());
    EXPECT_EQ(rig.triggers, 0);
}

TEST(SweepSequencerFaults, ASweepAfterTheLossSendsEverySettingAgainAndFinishes)
{
    SweepSequencerRig rig;
    ASSERT_TRUE(rig.connectMeter());
    rig.plotter.editText(PlotterState::Start, "1");
    rig.plotter.editText(PlotterState::Points, "2");
    rig.lostAt = "MEAS:LEV";
    ASSERT_TRUE(rig.draw());
    ASSERT_EQ(rig.interruptions.size(), 1);

    rig.lostAt.clear();
    rig.everyReply = "1.00000E-07,1.00000E-03\n";
    ASSERT_TRUE(rig.connectMeter());
    const int before = rig.fake.writes.size();
    ASSERT_TRUE(rig.draw());
    EXPECT_EQ(rig.points, (QList<int> {0, 1}));
    const QList<QByteArray> sent = rig.sentSince(before);
    ASSERT_GE(sent.size(), 6);
    EXPECT_TRUE(sent.at(0).startsWith("MEAS:TEST:")) << "the cache was emptied by the loss";
    EXPECT_EQ(sent.last(), QByteArray("*LOC\n"));
}

TEST(SweepSequencerPlan, ALogSweepSendsAndListsExactlyThePlannedPoints)
{
    SweepSequencerRig rig;
    ASSERT_TRUE(rig.connectMeter());
    rig.plotter.setup().logSpacing = true;
    rig.plotter.editText(PlotterState::Start, "100");
    rig.plotter.editText(PlotterState::End, "10000");
    rig.plotter.editText(PlotterState::Points, "5");
    rig.everyReply = "1.00000E-07,1.00000E-03\n";
    const int before = rig.fake.writes.size();
    ASSERT_TRUE(rig.draw());

    const SweepPlan &plan = rig.sequencer.plan();
    EXPECT_TRUE(plan.logSpacing);
    ASSERT_EQ(plan.points.size(), 5);
    EXPECT_EQ(plan.points.last().x, 10000.0f) << "the last point lands on End";
    QList<QByteArray> frequencies;
    for (const QByteArray &line : rig.sentSince(before))
        if (line.startsWith("MEAS:FREQ"))
            frequencies << line;
    ASSERT_EQ(frequencies.size(), 5) << "every point changes the frequency";
    ASSERT_EQ(rig.plotter.table().tableRowCount(), 5);
    for (int i = 0; i < 5; ++i) {
        const SweepPlan::Point &p = plan.points.at(i);
        EXPECT_EQ(frequencies.at(i), MeterCommands::frequency(p.frequencyHz).text + "\n");
        EXPECT_EQ(rig.plotter.table().cell(i, 1), FieldParsing::formatFixed(p.x) + "Hz") << "row " << i;
    }
    EXPECT_NEAR(plan.points.at(2).x, 1000.0, 0.01) << "geometric, not linear";
}

TEST(SweepSequencerPlan, ASpeedChosenDuringTheSweepGoesOutFromTheNextPoint)
{
    SweepSequencerRig rig;
    ASSERT_TRUE(rig.connectMeter());
    rig.plotter.editText(PlotterState::Start, "1");
    rig.plotter.editText(PlotterState::Points, "3");
    rig.everyReply = "1.00000E-07,1.00000E-03\n";
    QObject::connect(&rig.sequencer, &SweepSequencer::pointTaken, [&](int i) {
        if (i == 0)
            rig.plotter.selectText(PlotterState::Speed, "FAST");
    });
    const int before = rig.fake.writes.size();
    ASSERT_TRUE(rig.draw());

    const QList<QByteArray> sent = rig.sentSince(before);
    const int firstTrigger = sent.indexOf("MEAS:TRIG\n");
    const int secondTrigger = sent.indexOf("MEAS:TRIG\n", firstTrigger + 1);
    ASSERT_GT(secondTrigger, firstTrigger);
    EXPECT_TRUE(sent.mid(0, firstTrigger).contains("MEAS:SPEED MED\n"));
    EXPECT_EQ(sent.mid(firstTrigger, secondTrigger - firstTrigger).count("MEAS:SPEED FAST\n"), 1);
    EXPECT_EQ(sent.count("MEAS:SPEED FAST\n"), 1) << "the cache sends it once";
    EXPECT_EQ(rig.points, (QList<int> {0, 1, 2}));
}
