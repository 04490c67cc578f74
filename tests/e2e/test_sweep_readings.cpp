// Sweeps through the real link and sequencer over a scripted transport, for
// replies the simulated meter does not write: exact readings, replies in
// pieces, stray bytes.

#include "../support/LinkProbe.h"
#include "../support/SweepSequencerRig.h"

#include <gtest/gtest.h>

using S = PlotterState;

TEST(SweepReadings, LaterReadingsJoinTheFirstReadingsPrefix)
{
    SweepSequencerRig rig;
    ASSERT_TRUE(rig.connectMeter());
    rig.plotter.editText(S::Points, "2");
    ASSERT_TRUE(rig.draw(wholeReplies({"1.234E-9\n", "2.5E-10\n"})));
    EXPECT_EQ(rig.plotter.table().cell(0, 2), "1.234000nF");
    EXPECT_EQ(rig.plotter.table().cell(1, 2), "0.250000nF");
    EXPECT_EQ(rig.plotter.graph().axisLabel(2), "\"nF\"");
    EXPECT_EQ(rig.plotter.headlessGraph().points(1).at(1).y(), 0.25);
}

TEST(SweepReadings, PicofaradsPlottedInPicofarads)
{
    SweepSequencerRig rig;
    ASSERT_TRUE(rig.connectMeter());
    rig.plotter.editText(S::Points, "2");
    ASSERT_TRUE(rig.draw(wholeReplies({"123.45E-12\n", "1.2E-09\n"})));
    EXPECT_EQ(rig.plotter.table().cell(0, 2), "123.450000pF");
    EXPECT_EQ(rig.plotter.table().cell(1, 2), "1200.000000pF");
    EXPECT_EQ(rig.plotter.graph().axisLabel(2), "\"pF\"");
    EXPECT_EQ(rig.plotter.headlessGraph().points(1).at(1), QPointF(100, 1200));
    EXPECT_GE(rig.plotter.graph().axisMaximum(2), 1200.0);
}

TEST(SweepReadings, AnExponentBetweenPrefixesAndAReadingWithoutE)
{
    SweepSequencerRig rig;
    ASSERT_TRUE(rig.connectMeter());
    rig.plotter.editText(S::Points, "2");
    ASSERT_TRUE(rig.draw(wholeReplies({"1.5E-10\n", "1.6E-10\n"})));
    // -10 names no prefix: the first cell takes the prefix below it, and
    // the next reading joins that prefix.
    EXPECT_EQ(rig.plotter.table().cell(0, 2), "150.000000pF");
    EXPECT_EQ(rig.plotter.table().cell(1, 2), "160.000000pF");
    EXPECT_EQ(rig.plotter.graph().axisLabel(2), "\"pF\"");
    EXPECT_EQ(rig.plotter.headlessGraph().points(1).at(0).y(), 150.0);

    SweepSequencerRig plain;
    ASSERT_TRUE(plain.connectMeter());
    plain.plotter.selectText(S::FirstItem, "Z");
    plain.plotter.editText(S::Points, "2");
    ASSERT_TRUE(plain.draw(wholeReplies({" 1591.5\n", "0.25\n"})));
    EXPECT_EQ(plain.plotter.table().cell(0, 2), "1591.5O");
    EXPECT_EQ(plain.plotter.table().cell(1, 2), "0.25O");
    EXPECT_EQ(plain.plotter.headlessGraph().points(1).at(0).y(), 1591.5);
    EXPECT_EQ(plain.plotter.graph().axisLabel(2), "\"O\"");
}

TEST(SweepReadings, SecondItemCellsAndTheirAxes)
{
    SweepSequencerRig rig;
    ASSERT_TRUE(rig.connectMeter());
    rig.plotter.selectText(S::FirstItem, "Z");
    rig.plotter.selectText(S::SecondItem, "Angle");
    rig.plotter.editText(S::Points, "2");
    ASSERT_TRUE(rig.draw(wholeReplies({"1.59155E+03,-89.98\n", "7.95E+02, -89.9 \n"})));
    EXPECT_EQ(rig.plotter.table().cell(0, 2), "1.591550KO");
    EXPECT_EQ(rig.plotter.table().cell(1, 2), "0.795000KO");
    EXPECT_EQ(rig.plotter.table().cell(0, 3), QString("-89.98") + QChar(0x00B0));
    EXPECT_EQ(rig.plotter.table().cell(1, 3), QString("-89.9") + QChar(0x00B0));
    EXPECT_EQ(rig.plotter.graph().axisLabel(3), QString("\"") + QChar(0x00B0) + "\"");
    EXPECT_EQ(rig.plotter.headlessGraph().points(2).at(1).y(), -89.9);
    EXPECT_EQ(rig.plotter.table().picture(0), 4);
    EXPECT_TRUE(rig.fake.written().contains("MEAS:FUNC:Z;Angle\n"));
}

TEST(SweepReadings, ARepliesPiecesAndALineFeedFollowedByMoreBytes)
{
    SweepSequencerRig rig;
    ASSERT_TRUE(rig.connectMeter());
    rig.plotter.editText(S::Points, "3");
    // The line feed and the next bytes come in one event, then the rest:
    // only looking at the latest chunk would wait for ever here.
    ASSERT_TRUE(rig.draw({{"1.0", "E-9", "\nxx", "yy"}, {"2.0E-9\n"}, {"3", ".0E-9", "\n"}}));
    EXPECT_EQ(rig.triggers, 3);
    EXPECT_EQ(rig.plotter.table().cell(0, 2), "1.000000nF");
    EXPECT_EQ(rig.plotter.table().cell(2, 2), "3.000000nF");
}

TEST(SweepReadings, BytesBeforeTheTriggerAreNotTheReply)
{
    SweepSequencerRig rig;
    ASSERT_TRUE(rig.connectMeter());
    rig.plotter.editText(S::Points, "2");
    // A late line lands between the reply and the next trigger.
    rig.replies = wholeReplies({"1.0E-9\n", "2.0E-9\n"});
    int points = 0;
    QObject::connect(&rig.sequencer, &SweepSequencer::pointTaken, [&](int) {
        if (points++ == 0)
            rig.fake.deliver("9.9E-9\n");
    });
    rig.commands.draw();
    ASSERT_TRUE(MeterSim::waitUntil([&] { return !rig.sequencer.isRunning(); }));
    EXPECT_EQ(rig.plotter.table().cell(1, 2), "2.000000nF");
}

TEST(SweepReadings, RepliesOutsideASweepAreLeftAlone)
{
    SweepSequencerRig rig;
    ASSERT_TRUE(rig.connectMeter());
    rig.fake.deliver("1.0E-9\n");
    MeterSim::waitUntil([] { return false; }, 30);
    EXPECT_EQ(rig.plotter.table().tableRowCount(), 0);
    EXPECT_EQ(LinkProbe::replyBuffer(rig.link), QByteArray("1.0E-9\n"));
    // A Draw empties the buffer, so the stale line is not taken for point 1.
    rig.plotter.editText(S::Points, "2");
    ASSERT_TRUE(rig.draw(wholeReplies({"5.0E-9\n", "6.0E-9\n"})));
    EXPECT_EQ(rig.plotter.table().cell(0, 2), "5.000000nF");
}

TEST(SweepReadings, NoReplyWaitsWithoutEndUntilStopReset)
{
    SweepSequencerRig rig;
    ASSERT_TRUE(rig.connectMeter());
    rig.replies = wholeReplies({"1.0E-9\n"});
    rig.commands.draw();
    MeterSim::waitUntil([] { return false; }, 100);
    EXPECT_TRUE(rig.sequencer.isRunning());
    EXPECT_EQ(rig.sequencer.state(), SweepSequencer::State::Waiting);
    EXPECT_EQ(rig.triggers, 2);
    const int writes = rig.fake.writes.size();
    rig.commands.stopReset();
    EXPECT_FALSE(rig.sequencer.isRunning());
    // The answer that comes too late changes nothing.
    rig.fake.deliver("2.0E-9\n");
    MeterSim::waitUntil([] { return false; }, 30);
    EXPECT_EQ(rig.fake.writes.size(), writes);
    EXPECT_EQ(rig.plotter.table().tableRowCount(), 0);
}

TEST(SweepReadings, LostLinkKeepsPointsEmptiesTheCacheAndSaysSo)
{
    SweepSequencerRig rig;
    ASSERT_TRUE(rig.connectMeter());
    rig.replies = wholeReplies({"1.0E-9\n", "2.0E-9\n"});
    rig.commands.draw();
    ASSERT_TRUE(MeterSim::waitUntil([&] { return rig.triggers == 3; }));
    rig.fake.fail(SerialTransport::Fault::DeviceLost, "The device went away.");
    EXPECT_FALSE(rig.sequencer.isRunning());
    EXPECT_EQ(rig.plotter.table().tableRowCount(), 2);
    EXPECT_TRUE(rig.cache.isEmpty());
    EXPECT_TRUE(rig.plotter.drawEnabled());
    ASSERT_EQ(rig.interruptions.size(), 1);
    EXPECT_TRUE(rig.interruptions[0].contains("The device went away.")) << qPrintable(rig.interruptions[0]);
    // A page reset (a file was loaded) also ends a sweep.
    SweepSequencerRig other;
    ASSERT_TRUE(other.connectMeter());
    other.commands.draw();
    ASSERT_TRUE(MeterSim::waitUntil([&] { return other.triggers == 1; }));
    other.plotter.restoreFromDocument({}, 1, "C", "off");
    EXPECT_FALSE(other.sequencer.isRunning());
}
