// A misbehaving meter, simulated, seen through the real link.

#include "../support/LinkProbe.h"
#include "../support/MeterSim.h"
#include "../support/RecordingPrompter.h"

#include "meter/InstrumentLink.h"
#include "meter/MeterConnector.h"

#include <gtest/gtest.h>

namespace {

struct Rig
{
    MeterSim sim;
    RecordingPrompter prompter;
    InstrumentLink link {&prompter};
    MeterConnector connector {link};
    int events = 0;
    QStringList lost;

    explicit Rig(const QStringList &args) : sim(args)
    {
        link.settings().devicePath = sim.devicePath();
        QObject::connect(&link, &InstrumentLink::received, [this] { ++events; });
        QObject::connect(&link, &InstrumentLink::linkLost, [this](const QString &m) { lost << m; });
    }
    bool connect()
    {
        return sim.isRunning() && connector.connectToMeter()
            && MeterSim::waitUntil([&] { return !connector.isIdentifying(); }) && link.isConnected();
    }
    // Triggers once and waits for a whole line in the reply buffer.
    bool trigger(int timeoutMs = 3000)
    {
        LinkProbe::clearLatestChunk(link);
        link.writeLine("MEAS:TRIG\n");
        return MeterSim::waitUntil([&] { return LinkProbe::replyBuffer(link).contains('\n'); }, timeoutMs);
    }
};

} // namespace

TEST(LinkFaults, ReplyInPiecesArrivesWholeWithTheLastPieceAsLatestChunk)
{
    Rig rig({"--split", "3", "--split-pause", "40"});
    ASSERT_TRUE(rig.connect()) << qPrintable(rig.sim.errorText());
    rig.events = 0;
    ASSERT_TRUE(rig.trigger());

    EXPECT_EQ(LinkProbe::replyBuffer(rig.link), QByteArray("1.00000E-07,0.00000E+00\n"));
    EXPECT_GE(rig.events, 3) << "one receive event per piece";
    EXPECT_TRUE(LinkProbe::latestChunk(rig.link).endsWith('\n'));
    EXPECT_LT(LinkProbe::latestChunk(rig.link).size(), LinkProbe::replyBuffer(rig.link).size());
}

TEST(LinkFaults, NulInsideAReplyIsDroppedAndTheLineStillEnds)
{
    Rig rig({"--nul-every", "1"});
    ASSERT_TRUE(rig.connect()) << qPrintable(rig.sim.errorText());
    ASSERT_TRUE(rig.trigger());

    ASSERT_TRUE(rig.sim.sentBytes().contains('\0')) << "the simulator did send a NUL";
    EXPECT_FALSE(LinkProbe::replyBuffer(rig.link).contains('\0'));
    EXPECT_EQ(LinkProbe::replyBuffer(rig.link), QByteArray("1.00000E-07,0.00000E+00\n"));
}

TEST(LinkFaults, GarbageBytesAreKeptAsReceived)
{
    Rig rig({"--garbage-every", "1", "--garbage-bytes", "12", "--seed", "7"});
    ASSERT_TRUE(rig.connect()) << qPrintable(rig.sim.errorText());
    ASSERT_TRUE(rig.trigger());

    const QByteArray sent = rig.sim.sentBytes();
    const QByteArray reply = sent.mid(sent.indexOf('\n') + 1);
    EXPECT_EQ(reply.size(), 12 + 24);
    EXPECT_EQ(LinkProbe::replyBuffer(rig.link), reply);
}

TEST(LinkFaults, DroppedReplyLeavesTheBufferEmptyAndTheNextOneComes)
{
    Rig rig({"--drop-every", "2"});
    ASSERT_TRUE(rig.connect()) << qPrintable(rig.sim.errorText());
    ASSERT_TRUE(rig.trigger());
    LinkProbe::clearReplyBuffer(rig.link);

    EXPECT_FALSE(rig.trigger(400));
    EXPECT_TRUE(LinkProbe::replyBuffer(rig.link).isEmpty());
    ASSERT_TRUE(rig.trigger());
    EXPECT_EQ(rig.sim.commands().count("MEAS:TRIG"), 3);
}

TEST(LinkFaults, AcknowledgedSetCommandAddsALine)
{
    Rig rig({"--ack", "OK"});
    ASSERT_TRUE(rig.connect()) << qPrintable(rig.sim.errorText());
    rig.link.writeLine("MEAS:FREQ 1000.000000\n");
    ASSERT_TRUE(rig.trigger());
    ASSERT_TRUE(MeterSim::waitUntil([&] { return LinkProbe::replyBuffer(rig.link).count('\n') == 2; }));
    EXPECT_EQ(LinkProbe::takeFirstLine(rig.link), QByteArray("OK\n"));
    EXPECT_TRUE(LinkProbe::takeFirstLine(rig.link).startsWith("1.00000E-07"));
}

TEST(LinkFaults, HangUpClosesThePortAndReportsTheLossOnce)
{
    Rig rig({"--hangup-after", "1"});
    ASSERT_TRUE(rig.connect()) << qPrintable(rig.sim.errorText());
    QList<bool> changes;
    QObject::connect(&rig.link, &InstrumentLink::connectedChanged, [&](bool c) { changes << c; });

    ASSERT_TRUE(rig.trigger());
    EXPECT_TRUE(LinkProbe::replyBuffer(rig.link).startsWith("1.00000E-07")) << "the last reply is read before the loss";
    ASSERT_TRUE(MeterSim::waitUntil([&] { return !rig.lost.isEmpty(); }));
    MeterSim::waitUntil([] { return false; }, 100);

    EXPECT_EQ(rig.lost.size(), 1);
    EXPECT_TRUE(rig.lost.at(0).contains(rig.sim.devicePath())) << qPrintable(rig.lost.at(0));
    EXPECT_FALSE(rig.link.isOpen());
    EXPECT_FALSE(rig.link.isConnected());
    EXPECT_EQ(changes, QList<bool> {false});
    EXPECT_EQ(rig.link.lastError(), rig.lost.at(0));
    EXPECT_TRUE(rig.sim.waitForExit());
    // Writing to a lost link is harmless.
    rig.link.writeLine("MEAS:TRIG\n");
    EXPECT_EQ(rig.lost.size(), 1);
}

TEST(LinkFaults, FloodWithoutLineFeedIsCutOffAtTheReplyLimit)
{
    Rig rig({"--flood-after", "1"});
    ASSERT_TRUE(rig.connect()) << qPrintable(rig.sim.errorText());
    rig.link.setReplyLimit(64 * 1024);
    rig.link.writeLine("MEAS:TRIG\n");

    ASSERT_TRUE(MeterSim::waitUntil([&] { return !rig.lost.isEmpty(); }));
    EXPECT_FALSE(rig.link.isOpen());
    EXPECT_FALSE(LinkProbe::replyBuffer(rig.link).contains('\n'));
    EXPECT_LE(LinkProbe::replyBuffer(rig.link).size(), 64 * 1024);
    EXPECT_GT(LinkProbe::replyBuffer(rig.link).size(), 0);
    EXPECT_TRUE(rig.lost.at(0).contains("65536")) << qPrintable(rig.lost.at(0));
}
