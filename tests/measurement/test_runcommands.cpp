#include "../support/RunRig.h"

#include <gtest/gtest.h>

namespace {

const QString kNotConnected = QStringLiteral("Not connect yet. Please setup and modify the communication status.");
const QString kNoProcedure =
    QStringLiteral("No procedure in \"Procedure View\". Please edit your procedure in it.");

ProcedureStep oneStep()
{
    return stepWith({{ProcedureStep::Step, QStringLiteral("1")}, {ProcedureStep::FUnit, QStringLiteral("pF")},
        {ProcedureStep::Freq, QStringLiteral("20Hz")}, {ProcedureStep::Level, QStringLiteral("10mV")}});
}

class RunCommandsTest : public ::testing::Test, protected RunRig
{
protected:
    void connectMeter()
    {
        answer = [this](int) { return answerTriggers ? QByteArray("1.0E-10\n") : QByteArray(); };
        ASSERT_TRUE(RunRig::connectMeter());
    }

    bool answerTriggers = true;
};

} // namespace

TEST_F(RunCommandsTest, RunWithoutAConnectionIsRefusedFirstEvenWithoutSteps)
{
    EXPECT_FALSE(commands.run());
    EXPECT_EQ(commands.lastRefusal(), kNotConnected);
    EXPECT_FALSE(sequencer.isRunning());
    EXPECT_TRUE(exec.runEnabled());
    EXPECT_DOUBLE_EQ(exec.progress(), 100.0);
    EXPECT_TRUE(fake.writes.isEmpty());
    EXPECT_TRUE(prompter.said.isEmpty()) << "the front end shows the refusal";
}

TEST_F(RunCommandsTest, RunWithoutStepsIsRefusedOnceConnected)
{
    connectMeter();
    EXPECT_FALSE(commands.run());
    EXPECT_EQ(commands.lastRefusal(), kNoProcedure);
    EXPECT_FALSE(sequencer.isRunning());
    EXPECT_TRUE(fake.writes.isEmpty());
}

TEST_F(RunCommandsTest, RunWithStepsWhileNotConnectedSaysNotConnected)
{
    procedure.insertStep(0, oneStep());
    EXPECT_FALSE(commands.run());
    EXPECT_EQ(commands.lastRefusal(), kNotConnected);
}

TEST_F(RunCommandsTest, RunStartsTheSequencerAndEmergencyStopEndsIt)
{
    connectMeter();
    procedure.insertStep(0, oneStep());
    answerTriggers = false;
    exec.setLoopText("4");
    exec.setLoopCount(2);

    ASSERT_TRUE(commands.run());
    EXPECT_TRUE(sequencer.isRunning());
    EXPECT_FALSE(exec.runEnabled());
    EXPECT_FALSE(exec.finishedLamp());
    EXPECT_DOUBLE_EQ(exec.progress(), 0.0);
    ASSERT_TRUE(QTest::qWaitFor([this] { return fake.writes.contains("MEAS:TRIG\n"); }, 2000));
    const qsizetype sent = fake.writes.size();

    commands.emergencyStop();
    EXPECT_FALSE(sequencer.isRunning());
    EXPECT_TRUE(exec.runEnabled());
    EXPECT_TRUE(exec.finishedLamp());
    EXPECT_DOUBLE_EQ(exec.progress(), 100.0);
    EXPECT_EQ(exec.loopCount(), 4);
    EXPECT_EQ(fake.writes.size(), sent);
    EXPECT_TRUE(interruptions.isEmpty()) << "a stop the operator asked for needs no word";
    EXPECT_EQ(finishedCount, 0);
}

TEST_F(RunCommandsTest, EmergencyStopWhileIdleOnlyResetsTheIndicators)
{
    exec.setProgress(40.0);
    exec.setRunEnabled(false);
    commands.emergencyStop();
    EXPECT_DOUBLE_EQ(exec.progress(), 100.0);
    EXPECT_TRUE(exec.runEnabled());
    EXPECT_TRUE(exec.finishedLamp());
    EXPECT_TRUE(interruptions.isEmpty());
    EXPECT_TRUE(fake.writes.isEmpty());
}

TEST_F(RunCommandsTest, ALostMeterDuringARunIsReported)
{
    connectMeter();
    procedure.insertStep(0, oneStep());
    answerTriggers = false;
    ASSERT_TRUE(commands.run());
    ASSERT_TRUE(QTest::qWaitFor([this] { return fake.writes.contains("MEAS:TRIG\n"); }, 2000));
    fake.fail(SerialTransport::Fault::DeviceLost, QStringLiteral("The device was removed."));
    ASSERT_EQ(interruptions.size(), 1);
    EXPECT_TRUE(interruptions[0].contains("lost"));
    EXPECT_TRUE(interruptions[0].contains("The device was removed."));
    EXPECT_TRUE(exec.runEnabled());
    EXPECT_TRUE(prompter.said.isEmpty()) << "the loss is told once, by whoever shows how the run ended";
    // The link is gone, so the next Run is refused as not connected.
    EXPECT_FALSE(commands.run());
    EXPECT_EQ(commands.lastRefusal(), kNotConnected);
}
