// Procedure runs against a simulated meter that misbehaves: dropped, cut,
// dirty or acknowledged replies, a hang-up and a flood. A run may stop, but
// it never hangs beyond Emergency Stop, never loses a completed row, and the
// next run (after a reconnect where the line went away) works.

#include "../support/LinkProbe.h"
#include "../support/MeterSim.h"
#include "../support/RunRig.h"

#include "measurement/PassEvaluator.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QStringList cleanRow{"100nF", "pass", "100nF", "pass", "100nF", "pass"};

// The run layer and a simulated meter behind a fixed device name, so a
// meter that went away can be replaced and the link reconnected with the
// same settings. Three steps of 100 nF (±5 %) at 1, 2 and 3 kHz.
struct Bench : RunRig
{
    explicit Bench(const QStringList &faults) : RunRig(Meter::OnDevice)
    {
        startMeter(faults);
        StepFields fast{{ProcedureStep::Speed, "FAST"}};
        setProcedure({capacitorStep("1KHz", fast), capacitorStep("2KHz", fast), capacitorStep("3KHz", fast)});
        link.setReplyLimit(64 * 1024);
    }

    void startMeter(const QStringList &faults)
    {
        sim.reset(); // the old simulator must be gone before the link name moves
        sim = std::make_unique<MeterSim>(QStringList{"--component", "C=100n", "--link", device()} + faults);
    }

    QString device() const { return dir.filePath(QStringLiteral("meter")); }
    bool connectMeter() { return sim->isRunning() && RunRig::connectMeter(device()); }

    // Lets the event loop run for ms, whatever happens.
    static void idle(int ms)
    {
        MeterSim::waitUntil([] { return false; }, ms);
    }

    QTemporaryDir dir;
    std::unique_ptr<MeterSim> sim;
};

#define REQUIRE_METER(bench) ASSERT_TRUE((bench).connectMeter()) << qPrintable((bench).sim->errorText())

} // namespace

TEST(RunFaults, ADroppedReplyWaitsUntilEmergencyStopAndTheNextRunWorks)
{
    // The fifth trigger gets no answer: the second step of the second pass.
    Bench bench({"--drop-every", "5"});
    REQUIRE_METER(bench);
    ASSERT_TRUE(bench.runToEnd());
    ASSERT_EQ(bench.rows(), QList<QStringList>{cleanRow});

    ASSERT_TRUE(bench.commands.run());
    ASSERT_TRUE(bench.sim->waitForLog([](const QList<MeterSim::Entry> &log) {
        int triggers = 0;
        for (const MeterSim::Entry &e : log)
            triggers += e.kind == '>' && e.bytes == "MEAS:TRIG";
        return triggers == 5;
    }));
    Bench::idle(500);
    // Still waiting for step 1, quietly, and nothing more was sent.
    EXPECT_EQ(bench.sequencer.state(), MeasurementSequencer::State::Waiting);
    EXPECT_EQ(bench.sequencer.currentStep(), 1);
    EXPECT_FALSE(bench.exec.runEnabled());
    EXPECT_EQ(bench.sim->commands().last(), "MEAS:TRIG");
    EXPECT_EQ(bench.results.resultCount(), 1);
    EXPECT_TRUE(bench.prompter.said.isEmpty());

    bench.commands.emergencyStop();
    EXPECT_FALSE(bench.sequencer.isRunning());
    EXPECT_TRUE(bench.exec.runEnabled());
    EXPECT_TRUE(bench.exec.finishedLamp());
    EXPECT_DOUBLE_EQ(bench.exec.progress(), 100.0);

    ASSERT_TRUE(bench.runToEnd());
    EXPECT_EQ(bench.rows(), (QList<QStringList>{cleanRow, cleanRow}));
    EXPECT_EQ(bench.results.image(1), ResultTableModel::Passed);
    EXPECT_TRUE(bench.interruptions.isEmpty());
    EXPECT_TRUE(bench.prompter.said.isEmpty());
}

TEST(RunFaults, RepliesInOneBytePiecesWithNulBytesGiveTheCleanRows)
{
    // "1.00000E-07\n" plus a NUL: 13 pieces, one byte each.
    Bench bench({"--split", "13", "--split-pause", "1", "--nul-every", "1"});
    REQUIRE_METER(bench);
    bench.exec.setLoopText("2");
    ASSERT_TRUE(bench.runToEnd(20000));
    EXPECT_TRUE(bench.sim->sentBytes().contains('\0'));
    EXPECT_EQ(bench.rows(), (QList<QStringList>{cleanRow, cleanRow}));
    EXPECT_TRUE(bench.interruptions.isEmpty());
}

TEST(RunFaults, GarbageBeforeRepliesIsJudgedAsTheLinesSentAndNoLineIsLost)
{
    Bench bench({"--garbage-every", "2", "--garbage-bytes", "12", "--seed", "11"});
    REQUIRE_METER(bench);
    bench.exec.setLoopText("2");
    ASSERT_TRUE(bench.runToEnd());
    ASSERT_EQ(bench.results.resultCount(), 2);

    // Each pass is judged from exactly the three lines the meter sent for it.
    const QList<QByteArray> lines = bench.sim->replyLines(6);
    ASSERT_EQ(lines.size(), 6);
    const QByteArray clean = "1.00000E-07\n";
    EXPECT_EQ(lines[0], clean);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(lines[i].size(), clean.size() + (i % 2 ? 12 : 0)) << "reply " << i;
    for (int pass = 0; pass < 2; ++pass) {
        const PassEvaluator::Row expected = PassEvaluator::evaluate(bench.procedure.steps(), lines.mid(3 * pass, 3));
        EXPECT_EQ(bench.results.cells(pass), expected.cells) << "pass " << pass;
        EXPECT_EQ(bench.results.image(pass), expected.image) << "pass " << pass;
    }
    // The clean replies (the first, third and fifth) still read 100 nF.
    EXPECT_EQ(bench.results.cells(0).mid(0, 2), (QStringList{"100nF", "pass"}));
    EXPECT_EQ(bench.results.cells(0).mid(4, 2), (QStringList{"100nF", "pass"}));
    EXPECT_EQ(bench.results.cells(1).mid(2, 2), (QStringList{"100nF", "pass"}));
}

TEST(RunFaults, AMeterThatAcknowledgesSetCommandsShiftsTheReadingsAsTheRulesSay)
{
    Bench bench({"--ack", "OK"});
    REQUIRE_METER(bench);
    ASSERT_TRUE(bench.runToEnd());
    // Every step reads the first line left in the buffer: the first six are
    // the acknowledgements of step 0's settings, read as 0.
    ASSERT_EQ(bench.results.resultCount(), 1);
    EXPECT_EQ(bench.results.cells(0), (QStringList{"0nF", "fail", "0nF", "fail", "0nF", "fail"}));
    EXPECT_EQ(bench.results.image(0), ResultTableModel::Failed);
    EXPECT_TRUE(bench.exec.runEnabled());
    ASSERT_TRUE(bench.sim->waitForCommands(2 + 6 + 1 + 2 + 2 + 1));
    EXPECT_EQ(bench.sim->commands().last(), "*LOC");

    // Six acknowledgements, then a reading, an acknowledgement and a reading
    // twice: eleven lines, three of them read. Once the late ones are in,
    // the next run starts from an emptied buffer and ends the same way.
    ASSERT_TRUE(MeterSim::waitUntil([&] { return LinkProbe::replyBuffer(bench.link).count('\n') == 8; }));
    EXPECT_TRUE(LinkProbe::replyBuffer(bench.link).startsWith("OK\nOK\nOK\n1.00000E-07\nOK\n"));
    ASSERT_TRUE(bench.runToEnd());
    EXPECT_EQ(bench.results.resultCount(), 2);
    EXPECT_EQ(bench.results.cells(1), bench.results.cells(0));
    EXPECT_TRUE(bench.interruptions.isEmpty());
}

TEST(RunFaults, AHangUpMidRunStopsItKeepsTheRowsAndAReconnectRunsAgain)
{
    // Replies 1-3 make the first row; the line closes after reply 5.
    Bench bench({"--hangup-after", "5"});
    REQUIRE_METER(bench);
    bench.exec.setLoopText("3");
    ASSERT_TRUE(bench.commands.run());
    ASSERT_TRUE(MeterSim::waitUntil([&] { return !bench.sequencer.isRunning(); }, 10000));

    EXPECT_EQ(bench.rows(), QList<QStringList>{cleanRow});
    EXPECT_EQ(bench.results.reportDates().size(), 1);
    ASSERT_EQ(bench.interruptions.size(), 1);
    EXPECT_TRUE(bench.interruptions[0].startsWith("The connection to the meter was lost during the run; the run was "
                                                  "stopped. The rows already measured are kept.\n"))
        << qPrintable(bench.interruptions[0]);
    EXPECT_TRUE(bench.prompter.said.isEmpty()) << "told once, as the run's end";
    EXPECT_TRUE(bench.exec.runEnabled());
    EXPECT_FALSE(bench.link.isOpen());
    EXPECT_FALSE(bench.link.isConnected());

    // Run now says why it cannot start; nothing is lost by trying.
    EXPECT_FALSE(bench.commands.run());
    EXPECT_EQ(bench.commands.lastRefusal(), "Not connect yet. Please setup and modify the communication status.");

    // The meter comes back under the same name: connect and run again.
    ASSERT_TRUE(bench.sim->waitForExit());
    bench.startMeter({});
    REQUIRE_METER(bench);
    bench.exec.setLoopText("1");
    ASSERT_TRUE(bench.runToEnd());
    EXPECT_EQ(bench.rows(), (QList<QStringList>{cleanRow, cleanRow}));
    EXPECT_EQ(bench.results.cell(1, 0), "2");
    EXPECT_EQ(bench.interruptions.size(), 1);
}

TEST(RunFaults, AMeterUnpluggedWhileARunWaitsForItStopsTheRunWithItsRows)
{
    // No answer to the fifth trigger, and the line goes down instead.
    Bench bench({"--drop-every", "5", "--hangup-after", "5"});
    REQUIRE_METER(bench);
    bench.exec.setLoopText("2");
    ASSERT_TRUE(bench.commands.run());
    ASSERT_TRUE(MeterSim::waitUntil([&] { return !bench.sequencer.isRunning(); }, 10000));
    EXPECT_EQ(bench.rows(), QList<QStringList>{cleanRow});
    ASSERT_EQ(bench.interruptions.size(), 1);
    EXPECT_TRUE(bench.prompter.said.isEmpty());
    EXPECT_TRUE(bench.exec.runEnabled());
    EXPECT_FALSE(bench.link.isOpen());
    EXPECT_EQ(bench.sim->commands().count("MEAS:TRIG"), 5);
}

TEST(RunFaults, AFloodWithoutLineFeedIsCutAtTheReplyLimitAndReported)
{
    // The fourth trigger's answer never ends: the first pass is complete.
    Bench bench({"--flood-after", "4"});
    REQUIRE_METER(bench);
    bench.exec.setLoopText("2");
    ASSERT_TRUE(bench.commands.run());
    ASSERT_TRUE(MeterSim::waitUntil([&] { return !bench.sequencer.isRunning(); }, 10000));

    EXPECT_EQ(bench.rows(), QList<QStringList>{cleanRow});
    EXPECT_LE(LinkProbe::replyBuffer(bench.link).size(), bench.link.replyLimit());
    EXPECT_GT(LinkProbe::replyBuffer(bench.link).size(), 0);
    EXPECT_LE(LinkProbe::latestChunk(bench.link).size(), bench.link.replyLimit());
    EXPECT_FALSE(bench.link.isOpen());
    ASSERT_EQ(bench.interruptions.size(), 1);
    EXPECT_TRUE(bench.interruptions[0].contains("65536")) << qPrintable(bench.interruptions[0]);
    EXPECT_TRUE(bench.exec.runEnabled());
    // The port is closed: the flood no longer reaches the program.
    const qsizetype held = LinkProbe::replyBuffer(bench.link).size();
    Bench::idle(300);
    EXPECT_EQ(LinkProbe::replyBuffer(bench.link).size(), held);
}
