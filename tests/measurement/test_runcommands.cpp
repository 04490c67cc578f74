#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "meter/InstrumentLink.h"
#include "meter/MeterConnector.h"
#include "measurement/MeasurementSequencer.h"
#include "measurement/RunCommands.h"
#include "meter/SettingsCache.h"
#include "procedure/ProcedureModel.h"

#include "../support/RunRig.h"

#include <gtest/gtest.h>

#include <QtCore/qtestsupport_core.h>

namespace {

const QString kNotConnected = QStringLiteral("Not connect yet. Please setup and modify the communication status.");
const QString kNoProcedure =
    QStringLiteral("No procedure in \"Procedure View\". Please edit your procedure in it.");

ProcedureStep oneStep()
{
    ProcedureStep s = runStep(QStringLiteral("C"), QStringLiteral("pF"));
    s[ProcedureStep::Step] = QStringLiteral("1");
    s[ProcedureStep::Freq] = QStringLiteral("20Hz");
    s[ProcedureStep::Level] = QStringLiteral("10mV");
    return s;
}

class RunCommandsTest : public ::testing::Test, protected RunRig
{
protected:
    void connectMeter()
    {
        answer = [this](int) { return answerTriggers ? QByteArray("1.0E-10\n") : QByteArray(); };
        ASSERT_TRUE(RunRig::connectMeter());
    }

    RunCommands commands{link, procedure, sequencer, &prompter};
    bool answerTriggers = true;
};

} // namespace

TEST_F(RunCommandsTest, RunWithoutAConnectionIsRefusedFirstEvenWithoutSteps)
{
    EXPECT_FALSE(commands.run());
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(prompter.said[0].caption, "Exception");
    EXPECT_EQ(prompter.said[0].text, kNotConnected);
    EXPECT_EQ(prompter.said[0].icon, Prompter::Icon::Warning);
    EXPECT_FALSE(prompter.said[0].question);
    EXPECT_FALSE(sequencer.isRunning());
    EXPECT_TRUE(exec.runEnabled());
    EXPECT_DOUBLE_EQ(exec.progress(), 100.0);
    EXPECT_TRUE(fake.writes.isEmpty());
}

TEST_F(RunCommandsTest, RunWithoutStepsIsRefusedOnceConnected)
{
    connectMeter();
    prompter.clear();
    EXPECT_FALSE(commands.run());
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(prompter.said[0].caption, "Exception");
    EXPECT_EQ(prompter.said[0].text, kNoProcedure);
    EXPECT_EQ(prompter.said[0].icon, Prompter::Icon::Warning);
    EXPECT_FALSE(sequencer.isRunning());
    EXPECT_TRUE(fake.writes.isEmpty());
}

TEST_F(RunCommandsTest, RunWithStepsWhileNotConnectedSaysNotConnected)
{
    procedure.insertStep(0, oneStep());
    EXPECT_FALSE(commands.run());
    EXPECT_EQ(prompter.texts(), QStringList{kNotConnected});
}

TEST_F(RunCommandsTest, RunStartsTheSequencerAndEmergencyStopEndsIt)
{
    connectMeter();
    procedure.insertStep(0, oneStep());
    answerTriggers = false;
    exec.setLoopText("4");
    exec.setLoopCount(2);
    prompter.clear();

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
    EXPECT_TRUE(prompter.said.isEmpty());
}

TEST_F(RunCommandsTest, EmergencyStopWhileIdleOnlyResetsTheIndicators)
{
    exec.setProgress(40.0);
    exec.setRunEnabled(false);
    commands.emergencyStop();
    EXPECT_DOUBLE_EQ(exec.progress(), 100.0);
    EXPECT_TRUE(exec.runEnabled());
    EXPECT_TRUE(exec.finishedLamp());
    EXPECT_TRUE(prompter.said.isEmpty());
    EXPECT_TRUE(fake.writes.isEmpty());
}

TEST_F(RunCommandsTest, ALostMeterDuringARunIsReported)
{
    connectMeter();
    procedure.insertStep(0, oneStep());
    answerTriggers = false;
    prompter.clear();
    ASSERT_TRUE(commands.run());
    ASSERT_TRUE(QTest::qWaitFor([this] { return fake.writes.contains("MEAS:TRIG\n"); }, 2000));
    fake.fail(SerialTransport::Fault::DeviceLost, QStringLiteral("The device was removed."));
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(prompter.said[0].caption, "Exception");
    EXPECT_TRUE(prompter.said[0].text.contains("lost"));
    EXPECT_TRUE(prompter.said[0].text.contains("The device was removed."));
    EXPECT_TRUE(exec.runEnabled());
    // The link is gone, so the next Run is refused as not connected.
    EXPECT_FALSE(commands.run());
    EXPECT_EQ(prompter.said.last().text, kNotConnected);
}
