// Procedure runs against the simulated meter over a real pseudo-terminal:
// what the meter received, and the rows that came out.

#include "../support/MeterSim.h"
#include "../support/RunRig.h"

#include <gtest/gtest.h>

namespace {

// A 100 nF step at freq, measured FAST, with the fields given changed.
ProcedureStep at(const QString &freq, StepFields fields = {})
{
    ProcedureStep s = capacitorStep(freq, fields);
    s[ProcedureStep::Speed] = QStringLiteral("FAST");
    return s;
}

// The run layer against the simulated meter.
struct Rig : RunRig
{
    explicit Rig(const QStringList &simArgs) : RunRig(Meter::OnDevice), sim(simArgs)
    {
        sequencer.setClock([] { return QDateTime(QDate(2012, 3, 7), QTime(9, 5, 3)); });
    }

    bool connectMeter() { return sim.isRunning() && RunRig::connectMeter(sim.devicePath()); }

    // What the meter received after the connect's "*IDN?" and "*LOC".
    QList<QByteArray> runCommands() const { return sim.commands().mid(2); }

    MeterSim sim;
};

#define REQUIRE_METER(rig) ASSERT_TRUE((rig).connectMeter()) << qPrintable((rig).sim.errorText())

} // namespace

TEST(RunE2E, ThreeStepsTwiceGiveTwoRowsAndOneLocalAfterTheLast)
{
    Rig rig({"--component", "C=100n"});
    REQUIRE_METER(rig);
    rig.setProcedure({at("1KHz"), at("2KHz"), at("3KHz")});
    rig.exec.setLoopText("2");
    QList<int> localsAtRow;
    QObject::connect(&rig.sequencer, &MeasurementSequencer::rowCompleted,
                     [&] { localsAtRow << int(rig.runCommands().count("*LOC")); });
    ASSERT_TRUE(rig.runToEnd());

    EXPECT_EQ(rig.results.resultCount(), 2);
    EXPECT_EQ(localsAtRow, (QList<int>{0, 0}));
    const QList<QByteArray> expected{
        "MEAS:FREQ 1000.000000", "MEAS:TEST:AC", "MEAS:LEV 1.000000", "MEAS:FUNC:C", "MEAS:EQU-CCT SER",
        "MEAS:SPEED FAST", "MEAS:TRIG", "MEAS:FREQ 2000.000000", "MEAS:TRIG", "MEAS:FREQ 3000.000000",
        "MEAS:TRIG",
        // second pass: the cache still holds 3 kHz
        "MEAS:FREQ 1000.000000", "MEAS:TRIG", "MEAS:FREQ 2000.000000", "MEAS:TRIG", "MEAS:FREQ 3000.000000",
        "MEAS:TRIG", "*LOC"};
    // The identification's two commands come first.
    ASSERT_TRUE(rig.sim.waitForCommands(2 + int(expected.size())));
    EXPECT_EQ(rig.runCommands(), expected);
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(rig.results.cells(row), (QStringList{"100nF", "pass", "100nF", "pass", "100nF", "pass"}));
        EXPECT_EQ(rig.results.image(row), ResultTableModel::Passed);
    }
    EXPECT_EQ(rig.results.cell(1, 0), "2");
    EXPECT_EQ(rig.results.reportDates(), (QStringList{"2012/3/7/", "2012/3/7/"}));
    EXPECT_EQ(rig.results.reportTimes(), (QStringList{"9:5:3", "9:5:3"}));
    EXPECT_TRUE(rig.cache.isEmpty());
    EXPECT_TRUE(rig.exec.runEnabled());
    EXPECT_TRUE(rig.exec.finishedLamp());
    EXPECT_NEAR(rig.exec.progress(), 100.0, 1e-9);
    EXPECT_EQ(rig.finishedCount, 1);
    EXPECT_TRUE(rig.interruptions.isEmpty());
    EXPECT_TRUE(rig.prompter.said.isEmpty());
}

TEST(RunE2E, IdenticalConsecutiveStepsSendOnlyTheTrigger)
{
    Rig rig({"--component", "C=100n"});
    REQUIRE_METER(rig);
    rig.setProcedure({at("1KHz"), at("1KHz"), at("1KHz")});
    ASSERT_TRUE(rig.runToEnd());
    ASSERT_TRUE(rig.sim.waitForCommands(2 + 6 + 3 + 1));
    const QList<QByteArray> cmds = rig.runCommands();
    ASSERT_EQ(cmds.size(), 10);
    EXPECT_EQ(cmds.mid(6), (QList<QByteArray>{"MEAS:TRIG", "MEAS:TRIG", "MEAS:TRIG", "*LOC"}));
    EXPECT_TRUE(rig.sim.receivedBytes().endsWith("MEAS:SPEED FAST\nMEAS:TRIG\nMEAS:TRIG\nMEAS:TRIG\n*LOC\n"));
}

TEST(RunE2E, AStepDelayIsWaitedBetweenItsReplyAndTheNextStep)
{
    Rig rig({"--component", "C=100n"});
    REQUIRE_METER(rig);
    rig.setProcedure({at("1KHz", {{ProcedureStep::Delay, "500"}}), at("2KHz")});
    ASSERT_TRUE(rig.runToEnd());
    ASSERT_TRUE(rig.sim.waitForCommands(2 + 6 + 1 + 2 + 1));

    double firstReply = -1, secondStep = -1;
    int triggers = 0;
    for (const MeterSim::Entry &e : rig.sim.entries()) {
        if (e.kind == '>' && e.bytes == "MEAS:TRIG")
            ++triggers;
        if (e.kind == '<' && triggers == 1 && e.bytes.endsWith('\n') && firstReply < 0)
            firstReply = e.time;
        if (e.kind == '>' && e.bytes == "MEAS:FREQ 2000.000000")
            secondStep = e.time;
    }
    ASSERT_GE(firstReply, 0.0);
    ASSERT_GE(secondStep, 0.0);
    EXPECT_GE(secondStep - firstReply, 0.5);
    EXPECT_EQ(rig.results.resultCount(), 1);
}

TEST(RunE2E, PercentLimitsFailAtTheLowLimitAndPassJustInside)
{
    // 95 nF reads 9.50000E-08, exactly 100 nF - 5 %.
    Rig rig({"--component", "C=95n"});
    REQUIRE_METER(rig);
    rig.setProcedure({at("1KHz"), at("1KHz", {{ProcedureStep::FStd, "99.9999"}}),
        at("1KHz", {{ProcedureStep::FStd, "100.1"}})});
    ASSERT_TRUE(rig.runToEnd());
    ASSERT_EQ(rig.results.resultCount(), 1);
    EXPECT_EQ(rig.results.cells(0), (QStringList{"95nF", "fail", "95nF", "pass", "95nF", "fail"}));
    EXPECT_EQ(rig.results.image(0), ResultTableModel::Failed);
}

TEST(RunE2E, PercentLimitsFailAtTheHighLimitAndPassJustInside)
{
    // 105 nF reads 1.05000E-07; a standard of 99.99999999999999 nF puts the
    // computed +5 % limit exactly there.
    Rig rig({"--component", "C=105n"});
    REQUIRE_METER(rig);
    rig.setProcedure(
        {at("1KHz", {{ProcedureStep::FStd, "99.99999999999999"}}), at("1KHz", {{ProcedureStep::FStd, "100.0001"}})});
    ASSERT_TRUE(rig.runToEnd());
    ASSERT_EQ(rig.results.resultCount(), 1);
    EXPECT_EQ(rig.results.cells(0), (QStringList{"105nF", "fail", "105nF", "pass"}));
}

TEST(RunE2E, AbsoluteLimitsOnOhmsAreStrict)
{
    Rig rig({"--component", "R=100"});
    REQUIRE_METER(rig);
    auto rdc = [](const QString &std) {
        return at(QString(), {{ProcedureStep::FItem, "Rdc"}, {ProcedureStep::FUnit, "O"}, {ProcedureStep::FStd, std},
            {ProcedureStep::FLow, "-5"}, {ProcedureStep::FHigh, "+5"}, {ProcedureStep::Type, "Absolute"},
            {ProcedureStep::Circuit, QString()}});
    };
    rig.setProcedure({rdc("100"), rdc("95"), rdc("105"), rdc("95.00001"), rdc("104.99999"), rdc("94")});
    ASSERT_TRUE(rig.runToEnd());
    ASSERT_EQ(rig.results.resultCount(), 1);
    EXPECT_EQ(rig.results.cells(0), (QStringList{"100O", "pass", "100O", "fail", "100O", "fail", "100O", "pass",
                                                 "100O", "pass", "100O", "fail"}));
    // A direct-current step has no frequency and no circuit to send.
    const QList<QByteArray> cmds = rig.runCommands();
    EXPECT_TRUE(cmds.contains("MEAS:TEST:RDC"));
    EXPECT_TRUE(cmds.contains("MEAS:FREQ 0.000000"));
    EXPECT_FALSE(cmds.contains("MEAS:EQU-CCT "));
}

TEST(RunE2E, AFailingSecondItemTurnsTheRowRed)
{
    // D of 100 nF with 0.05 ohm in series at 1 kHz is about 3.1e-5.
    Rig rig({"--component", "C=100n,esr=0.05"});
    REQUIRE_METER(rig);
    rig.setProcedure({at("1KHz", {{ProcedureStep::SItem, "D"}, {ProcedureStep::SStd, "0.01"}, {ProcedureStep::SLow, "-5%"},
        {ProcedureStep::SHigh, "+5%"}, {ProcedureStep::SUnit, "D"}})});
    ASSERT_TRUE(rig.runToEnd());
    ASSERT_EQ(rig.results.resultCount(), 1);
    const QStringList cells = rig.results.cells(0);
    ASSERT_EQ(cells.size(), 4);
    EXPECT_EQ(cells[0], "100nF");
    EXPECT_EQ(cells[1], "pass");
    EXPECT_TRUE(cells[2].startsWith("0.0000")) << qPrintable(cells[2]);
    EXPECT_TRUE(cells[2].endsWith("D"));
    EXPECT_EQ(cells[3], "fail");
    EXPECT_EQ(rig.results.image(0), ResultTableModel::Failed);
    EXPECT_TRUE(rig.runCommands().contains("MEAS:FUNC:C;D"));
}

TEST(RunE2E, AReplySentInPiecesWithPausesStillCompletesTheRun)
{
    Rig rig({"--component", "C=100n", "--split", "4", "--split-pause", "30"});
    REQUIRE_METER(rig);
    rig.setProcedure({at("1KHz"), at("2KHz")});
    rig.exec.setLoopText("2");
    ASSERT_TRUE(rig.runToEnd());
    ASSERT_EQ(rig.results.resultCount(), 2);
    EXPECT_EQ(rig.results.cells(1), (QStringList{"100nF", "pass", "100nF", "pass"}));
}

TEST(RunE2E, EmergencyStopMidPassAddsNoRowAndTheNextRunStartsAtStepZero)
{
    Rig rig({"--component", "C=100n"});
    REQUIRE_METER(rig);
    rig.setProcedure({at("1KHz", {{ProcedureStep::Delay, "400"}}), at("2KHz"), at("3KHz")});
    rig.exec.setLoopText("2");
    ASSERT_TRUE(rig.commands.run());
    // Stop while step 1's delay runs.
    ASSERT_TRUE(MeterSim::waitUntil([&] { return rig.sequencer.currentStep() == 1; }));
    rig.commands.emergencyStop();
    EXPECT_EQ(rig.sequencer.currentStep(), 1);
    EXPECT_EQ(rig.runCommands().count("MEAS:TRIG"), 1);
    const int sent = int(rig.sim.commands().size());
    MeterSim::waitUntil([] { return false; }, 600);
    EXPECT_EQ(int(rig.sim.commands().size()), sent);
    EXPECT_EQ(rig.results.resultCount(), 0);
    EXPECT_DOUBLE_EQ(rig.exec.progress(), 100.0);
    EXPECT_TRUE(rig.exec.finishedLamp());
    EXPECT_TRUE(rig.exec.runEnabled());
    EXPECT_EQ(rig.exec.loopCount(), 2);

    rig.exec.setLoopText("1");
    ASSERT_TRUE(rig.runToEnd());
    ASSERT_TRUE(rig.sim.waitForCommands(sent + 3 + 2 + 1));
    // Step 0's settings are still cached, so the new run opens with its trigger.
    const QList<QByteArray> again = rig.sim.commands().mid(sent);
    EXPECT_EQ(again, (QList<QByteArray>{"MEAS:TRIG", "MEAS:FREQ 2000.000000", "MEAS:TRIG", "MEAS:FREQ 3000.000000",
                                        "MEAS:TRIG", "*LOC"}));
    EXPECT_EQ(rig.results.resultCount(), 1);
}

TEST(RunE2E, RunningTwiceAppendsRowsOneAndTwo)
{
    Rig rig({"--component", "C=100n"});
    REQUIRE_METER(rig);
    rig.setProcedure({at("1KHz")});
    ASSERT_TRUE(rig.runToEnd());
    ASSERT_TRUE(rig.runToEnd());
    ASSERT_EQ(rig.results.resultCount(), 2);
    EXPECT_EQ(rig.results.cell(0, 0), "1");
    EXPECT_EQ(rig.results.cell(1, 0), "2");
    // The second run's closing *LOC may still be on its way to the simulator.
    EXPECT_TRUE(MeterSim::waitUntil([&] { return rig.runCommands().count("*LOC") == 2; }))
        << rig.runCommands().count("*LOC");
}

TEST(RunE2E, RunRefusalsComeInTheirOrderAndSendNothing)
{
    Rig rig({"--component", "C=100n"});
    ASSERT_TRUE(rig.sim.isRunning()) << qPrintable(rig.sim.errorText());
    EXPECT_FALSE(rig.commands.run());
    EXPECT_EQ(rig.commands.lastRefusal(), "Not connect yet. Please setup and modify the communication status.");
    REQUIRE_METER(rig);
    EXPECT_FALSE(rig.commands.run());
    EXPECT_EQ(rig.commands.lastRefusal(), "No procedure in \"Procedure View\". Please edit your procedure in it.");
    MeterSim::waitUntil([] { return false; }, 100);
    EXPECT_TRUE(rig.runCommands().isEmpty());
    rig.setProcedure({at("1KHz")});
    EXPECT_TRUE(rig.runToEnd());
    EXPECT_EQ(rig.results.resultCount(), 1);
    EXPECT_TRUE(rig.prompter.said.isEmpty());
}

TEST(RunE2E, AMeterThatHangsUpStopsTheRunAndKeepsItsRows)
{
    Rig rig({"--component", "C=100n", "--hangup-after", "3"});
    REQUIRE_METER(rig);
    rig.setProcedure({at("1KHz"), at("2KHz")});
    rig.exec.setLoopText("3");
    ASSERT_TRUE(rig.commands.run());
    ASSERT_TRUE(MeterSim::waitUntil([&] { return !rig.sequencer.isRunning(); }, 10000));
    EXPECT_EQ(rig.results.resultCount(), 1);
    ASSERT_EQ(rig.interruptions.size(), 1);
    EXPECT_TRUE(rig.interruptions[0].startsWith("The connection to the meter was lost during the run"))
        << qPrintable(rig.interruptions[0]);
    EXPECT_TRUE(rig.prompter.said.isEmpty()) << "told once, as the run's end";
    EXPECT_TRUE(rig.exec.runEnabled());
    EXPECT_FALSE(rig.link.isConnected());
}
