// The session against the simulated meter: the signals recorders attach to,
// and one structured reason for every way a run or sweep ends.

#include "../support/SessionRig.h"

#include "plotter/PlotterState.h"

#include <gtest/gtest.h>

namespace {

// A simulated 100 nF capacitor that misbehaves as told.
QStringList capacitorWith(const QStringList &faults)
{
    return QStringList {QStringLiteral("--component"), QStringLiteral("C=100n")} + faults;
}

} // namespace

TEST(Session, ARunThatTheMeterHangsUpOnEndsOnceWithTheLossAndKeepsItsRows)
{
    SessionRig rig(capacitorWith({QStringLiteral("--hangup-after"), QStringLiteral("2")}));
    ASSERT_TRUE(rig.connectMeter()) << qPrintable(rig.sim->errorText());
    rig.setProcedure({judgedStep("C", "100", "-5%", "+5%", "nF")}, 5);
    ASSERT_TRUE(rig.session.run());
    ASSERT_TRUE(rig.waitForEnds(1));
    MeterSim::waitUntil([] { return false; }, 100);

    EXPECT_EQ(rig.events, (QStringList {"runStarted", "row0", "row1", "runEnded"}));
    ASSERT_EQ(rig.ends.size(), 1);
    const EndReason &end = rig.ends.first();
    EXPECT_EQ(end.cause, EndReason::Cause::MeterLost);
    EXPECT_EQ(end.device, rig.sim->devicePath());
    EXPECT_FALSE(end.detail.isEmpty());
    EXPECT_TRUE(end.text.contains(QStringLiteral("rows already measured are kept"))) << qPrintable(end.text);
    EXPECT_TRUE(end.text.endsWith(end.detail));
    EXPECT_EQ(rig.session.results().rowCount(), 2);
    EXPECT_TRUE(rig.prompter.said.isEmpty()) << "the session tells nothing itself";
    EXPECT_TRUE(rig.session.cache().isEmpty()) << "the next run sends every setting";
}

TEST(Session, ASilentMeterTimesTheSweepOutAndALaterLossIsToldAsIdle)
{
    SessionRig rig(capacitorWith({QStringLiteral("--drop-every"), QStringLiteral("1")}));
    ASSERT_TRUE(rig.connectMeter()) << qPrintable(rig.sim->errorText());
    rig.session.setReplyTimeout(200);
    rig.session.plotter().editText(PlotterState::Points, QStringLiteral("3"));
    rig.session.draw();
    ASSERT_TRUE(rig.waitForEnds(1, 5000));
    ASSERT_EQ(rig.ends.size(), 1);
    EXPECT_EQ(rig.ends.first().cause, EndReason::Cause::ReplyTimeout);
    EXPECT_EQ(rig.ends.first().detail, QStringLiteral("200"));
    EXPECT_FALSE(rig.session.isSweeping());

    rig.sim->stop();
    ASSERT_TRUE(rig.waitForEnds(2, 5000));
    EXPECT_EQ(rig.events, (QStringList {"sweepStarted", "sweepEnded", "idleLoss"}));
    EXPECT_EQ(rig.ends.last().cause, EndReason::Cause::MeterLost);
    EXPECT_TRUE(rig.ends.last().text.contains(QStringLiteral("Use Setup > Communication to connect again.")));
}

TEST(Session, RefusalsAndStopsAreReasonsToo)
{
    SessionRig rig(capacitorWith({}));
    rig.setProcedure({judgedStep("C", "100", "-5%", "+5%", "nF")}, 1);
    EXPECT_FALSE(rig.session.run());
    ASSERT_EQ(rig.ends.size(), 1);
    EXPECT_EQ(rig.ends.first().cause, EndReason::Cause::NotConnected);
    EXPECT_EQ(rig.ends.first().text, QStringLiteral("Not connect yet. Please setup and modify the communication status."));

    ASSERT_TRUE(rig.connectMeter()) << qPrintable(rig.sim->errorText());
    rig.session.procedure().setSteps({});
    EXPECT_FALSE(rig.session.run());
    EXPECT_EQ(rig.ends.last().cause, EndReason::Cause::NoProcedure);

    rig.setProcedure({judgedStep("C", "100", "-5%", "+5%", "nF")}, 1000);
    ASSERT_TRUE(rig.session.run());
    ASSERT_TRUE(MeterSim::waitUntil([&] { return rig.session.results().rowCount() >= 1; }, 5000));
    rig.session.emergencyStop();
    EXPECT_EQ(rig.ends.last().cause, EndReason::Cause::EmergencyStop);
    EXPECT_TRUE(rig.ends.last().text.isEmpty()) << "a stop the operator asked for needs no word";
    EXPECT_FALSE(rig.session.isRunning());
    EXPECT_EQ(rig.session.execution().progress(), 100.0);
}

TEST(Session, ItsConnectorIdentifiesKeepsTheCacheOnDisconnectAndTellsALossWhileIdentifyingOnce)
{
    SessionRig rig(capacitorWith({}));
    MeterConnector &connector = rig.session.connector();
    QObject::connect(&connector, &MeterConnector::identificationFinished,
        [&](bool ok) { rig.events << QStringLiteral("identified %1").arg(ok); });
    ASSERT_TRUE(rig.connectMeter()) << qPrintable(rig.sim->errorText());
    EXPECT_EQ(rig.sim->receivedBytes(), QByteArray("*IDN?\n*LOC\n"));
    EXPECT_EQ(connector.identification().trimmed(), QByteArray("QEL,SIMULATED LCR-4410,SIM0001,1.00"));
    EXPECT_EQ(rig.events, QStringList {"identified 1"});

    // The operator's disconnect: nothing sent, and the meter keeps what it was set to.
    rig.session.cache().filter({MeterCommands::frequency(1000.0)});
    connector.disconnectFromMeter();
    EXPECT_FALSE(rig.session.link().isOpen());
    EXPECT_FALSE(rig.session.cache().isEmpty());

    // The meter hangs up before the check: the loss is told, then the
    // identification ends without a message of its own.
    connector.setIdentificationDelay(60000);
    ASSERT_TRUE(connector.connectToMeter());
    ASSERT_TRUE(rig.sim->waitForCommands(4));
    rig.sim->stop();
    ASSERT_TRUE(MeterSim::waitUntil([&] { return rig.events.size() == 3; }, 5000)) << qPrintable(rig.events.join('|'));
    EXPECT_EQ(rig.events, (QStringList {"identified 1", "idleLoss", "identified 0"})) << qPrintable(rig.events.join('|'));
    EXPECT_FALSE(connector.isIdentifying());
    EXPECT_FALSE(rig.session.link().isConnected());
    EXPECT_TRUE(rig.session.cache().isEmpty()) << "a meter that went away gets every setting again";
    EXPECT_TRUE(rig.prompter.said.isEmpty()) << "no Connecting Error! besides the loss";
}
