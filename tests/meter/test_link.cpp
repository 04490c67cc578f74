// InstrumentLink and the MeterConnector over it, on a scripted transport:
// connect, identification, receive path, disconnect and loss of the device.

#include "../support/LinkProbe.h"
#include "../support/FakeSerialTransport.h"
#include "../support/MeterSim.h"
#include "../support/RecordingPrompter.h"

#include "meter/InstrumentLink.h"
#include "meter/MeterConnector.h"

#include <gtest/gtest.h>

namespace {

class LinkTest : public testing::Test
{
protected:
    void SetUp() override
    {
        connector.setIdentificationDelay(20);
        QObject::connect(&connector, &MeterConnector::identificationFinished, [this](bool ok) { finished << ok; });
        QObject::connect(&link, &InstrumentLink::connectedChanged, [this](bool c) { changes << c; });
        QObject::connect(&link, &InstrumentLink::linkLost, [this](const QString &m) { lost << m; });
        QObject::connect(&link, &InstrumentLink::received, [this] { ++received; });
    }
    bool runIdentification()
    {
        return MeterSim::waitUntil([&] { return !connector.isIdentifying(); }, 2000) && !finished.isEmpty();
    }
    void connectWith(const QByteArray &identification)
    {
        ASSERT_TRUE(connector.connectToMeter());
        fake->deliver(identification);
        ASSERT_TRUE(runIdentification());
    }

    RecordingPrompter prompter;
    FakeSerialTransport transport; // outlives the link
    FakeSerialTransport *fake = &transport;
    InstrumentLink link {&prompter, fake};
    MeterConnector connector {link};
    QList<bool> finished;
    QList<bool> changes;
    QStringList lost;
    int received = 0;
};

} // namespace

TEST(SerialLineSettingsTest, AcceptsTheForms)
{
    SerialLineSettings s;
    ASSERT_TRUE(SerialLineSettings::parse("9600,n,8,1", &s, nullptr));
    EXPECT_EQ(s.baudRate, 9600);
    EXPECT_EQ(s.parity, SerialLineSettings::Parity::None);
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_EQ(s.stopBits, SerialLineSettings::StopBits::One);

    ASSERT_TRUE(SerialLineSettings::parse(" 19200 , E , 7 , 2 ", &s, nullptr));
    EXPECT_EQ(s.baudRate, 19200);
    EXPECT_EQ(s.parity, SerialLineSettings::Parity::Even);
    EXPECT_EQ(s.dataBits, 7);
    EXPECT_EQ(s.stopBits, SerialLineSettings::StopBits::Two);

    ASSERT_TRUE(SerialLineSettings::parse("300,o,5,1.5", &s, nullptr));
    EXPECT_EQ(s.parity, SerialLineSettings::Parity::Odd);
    EXPECT_EQ(s.dataBits, 5);
    EXPECT_EQ(s.stopBits, SerialLineSettings::StopBits::OneAndHalf);
    ASSERT_TRUE(SerialLineSettings::parse("1200,m,6,1", &s, nullptr));
    EXPECT_EQ(s.parity, SerialLineSettings::Parity::Mark);
    ASSERT_TRUE(SerialLineSettings::parse("1200,s,8,1", &s, nullptr));
    EXPECT_EQ(s.parity, SerialLineSettings::Parity::Space);
}

TEST(SerialLineSettingsTest, RefusesWithAReasonAndLeavesTheOutputAlone)
{
    const QList<QPair<QString, QString>> bad {
        {"9600,n,8", "expected baud"},          {"9600,n,8,1,1", "expected baud"},
        {"", "expected baud"},                  {"0,n,8,1", "baud rate"},
        {"-9600,n,8,1", "baud rate"},           {"fast,n,8,1", "baud rate"},
        {"9600,x,8,1", "parity"},               {"9600,,8,1", "parity"},
        {"9600,n,4,1", "data bits"},            {"9600,n,9,1", "data bits"},
        {"9600,n,8,3", "stop bits"},            {"9600,n,8,1.25", "stop bits"},
    };
    for (const auto &c : bad) {
        SerialLineSettings s;
        s.baudRate = 1234;
        QString error;
        EXPECT_FALSE(SerialLineSettings::parse(c.first, &s, &error)) << qPrintable(c.first);
        EXPECT_TRUE(error.contains(c.second)) << qPrintable(error);
        EXPECT_TRUE(error.contains(c.first)) << "the error quotes the text";
        EXPECT_EQ(s.baudRate, 1234);
    }
}

TEST(LinkDevicePath, PortNumberMapsToTtySUnlessAPathIsGiven)
{
    LinkSettings s;
    EXPECT_EQ(InstrumentLink::devicePathFor(s), QStringLiteral("/dev/ttyS0"));
    s.portNumber = 4;
    EXPECT_EQ(InstrumentLink::devicePathFor(s), QStringLiteral("/dev/ttyS3"));
    s.portNumber = 0;
    EXPECT_TRUE(InstrumentLink::devicePathFor(s).isEmpty());
    s.portNumber = -3;
    EXPECT_TRUE(InstrumentLink::devicePathFor(s).isEmpty());
    s.devicePath = "  /dev/ttyUSB0 ";
    EXPECT_EQ(InstrumentLink::devicePathFor(s), QStringLiteral("/dev/ttyUSB0"));
}

TEST_F(LinkTest, ConnectOpensWithTheSettingsAndIdentifiesWithoutEmptyingTheBuffer)
{
    link.settings().portNumber = 3;
    link.settings().settingsText = "4800,e,7,2";
    fake->deliver("stale");
    ASSERT_TRUE(connector.connectToMeter());

    ASSERT_EQ(fake->opens.size(), 1);
    const SerialOpenRequest &r = fake->opens.at(0);
    EXPECT_EQ(r.device, QStringLiteral("/dev/ttyS2"));
    EXPECT_EQ(r.line.baudRate, 4800);
    EXPECT_EQ(r.line.parity, SerialLineSettings::Parity::Even);
    EXPECT_EQ(r.line.dataBits, 7);
    EXPECT_EQ(r.line.stopBits, SerialLineSettings::StopBits::Two);
    EXPECT_TRUE(r.dtrEnable);
    EXPECT_FALSE(r.rtsEnable);
    EXPECT_EQ(r.handshaking, 0);
    EXPECT_EQ(r.inBufferSize, 1024);
    EXPECT_EQ(fake->writes, (QList<QByteArray> {"*IDN?\n", "*LOC\n"}));
    EXPECT_EQ(LinkProbe::replyBuffer(link), QByteArray("stale"));
    EXPECT_TRUE(connector.isIdentifying());
    EXPECT_FALSE(link.isConnected());
}

TEST_F(LinkTest, ConnectClosesAnOpenPortFirst)
{
    ASSERT_TRUE(connector.connectToMeter());
    const int closesBefore = fake->closes;
    ASSERT_TRUE(connector.connectToMeter());
    EXPECT_EQ(fake->closes, closesBefore + 1);
    EXPECT_EQ(fake->opens.size(), 2);
    EXPECT_EQ(fake->written(), QByteArray("*IDN?\n*LOC\n*IDN?\n*LOC\n"));
}

TEST_F(LinkTest, ModelDigitsAnywhereConnectAndEmptyTheBuffer)
{
    ASSERT_TRUE(connector.connectToMeter());
    // The digits may straddle two receive events.
    fake->deliver("MAKER,LCR-4");
    fake->deliver("410,1\n");
    ASSERT_TRUE(runIdentification());

    EXPECT_EQ(finished, QList<bool> {true});
    EXPECT_TRUE(link.isConnected());
    EXPECT_TRUE(LinkProbe::replyBuffer(link).isEmpty());
    EXPECT_EQ(changes, QList<bool> {true});
    EXPECT_TRUE(prompter.said.isEmpty());
}

TEST_F(LinkTest, NoModelDigitsGiveConnectingErrorAndKeepThePortAndBuffer)
{
    connectWith("MAKER,LCR-4 4\n");
    EXPECT_EQ(finished, QList<bool> {false});
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(prompter.said.at(0).caption, QStringLiteral("Exception"));
    EXPECT_EQ(prompter.said.at(0).text, QStringLiteral("Connecting Error!"));
    EXPECT_EQ(prompter.said.at(0).icon, Prompter::Icon::Error);
    EXPECT_FALSE(prompter.said.at(0).question);
    EXPECT_FALSE(link.isConnected());
    EXPECT_TRUE(link.isOpen());
    EXPECT_EQ(LinkProbe::replyBuffer(link), QByteArray("MAKER,LCR-4 4\n"));
    EXPECT_TRUE(changes.isEmpty());
}

TEST_F(LinkTest, OpenFailureShowsTheTransportErrorAndStartsNoCheck)
{
    fake->openSucceeds = false;
    fake->openError = "Cannot open /dev/ttyS0: the device does not exist.";
    EXPECT_FALSE(connector.connectToMeter());
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(prompter.said.at(0).text, fake->openError);
    EXPECT_EQ(prompter.said.at(0).icon, Prompter::Icon::Error);
    EXPECT_EQ(link.lastError(), fake->openError);
    EXPECT_FALSE(connector.isIdentifying());
    EXPECT_TRUE(fake->writes.isEmpty());
    MeterSim::waitUntil([] { return false; }, 60);
    EXPECT_EQ(prompter.said.size(), 1) << "no Connecting Error! follows";
    EXPECT_TRUE(finished.isEmpty());
}

TEST_F(LinkTest, RefusedSettingsNeverReachTheTransport)
{
    link.settings().portNumber = 0;
    EXPECT_FALSE(connector.connectToMeter());
    link.settings().portNumber = 1;
    link.settings().settingsText = "9600;n;8;1";
    EXPECT_FALSE(connector.connectToMeter());

    EXPECT_TRUE(fake->opens.isEmpty());
    ASSERT_EQ(prompter.texts().size(), 2);
    EXPECT_TRUE(prompter.texts().at(0).contains("port number 0"));
    EXPECT_TRUE(prompter.texts().at(1).contains("9600;n;8;1"));
    EXPECT_FALSE(connector.isIdentifying());
}

TEST_F(LinkTest, FailedReconnectAfterAnIdentifyingConnectCancelsTheOldCheck)
{
    ASSERT_TRUE(connector.connectToMeter());
    fake->openSucceeds = false;
    EXPECT_FALSE(connector.connectToMeter());
    EXPECT_FALSE(connector.isIdentifying());
    MeterSim::waitUntil([] { return false; }, 60);
    EXPECT_EQ(prompter.texts(), QStringList {fake->openError}) << "only the open error is shown";
}

TEST_F(LinkTest, ReceiveReplacesLatestChunkAndAppendsToTheBuffer)
{
    ASSERT_TRUE(connector.connectToMeter());
    fake->deliver("1.2E-9,");
    EXPECT_EQ(LinkProbe::latestChunk(link), QByteArray("1.2E-9,"));
    fake->deliver("0.001\n");
    EXPECT_EQ(LinkProbe::latestChunk(link), QByteArray("0.001\n"));
    EXPECT_EQ(LinkProbe::replyBuffer(link), QByteArray("1.2E-9,0.001\n"));
    EXPECT_EQ(received, 2);

    // An event with nothing to read is not a data event.
    fake->deliver(QByteArray());
    EXPECT_EQ(LinkProbe::latestChunk(link), QByteArray("0.001\n"));
    EXPECT_EQ(received, 2);

    LinkProbe::clearLatestChunk(link);
    EXPECT_TRUE(LinkProbe::latestChunk(link).isEmpty());
    EXPECT_FALSE(LinkProbe::replyBuffer(link).isEmpty());
    LinkProbe::clearReplyBuffer(link);
    EXPECT_TRUE(LinkProbe::replyBuffer(link).isEmpty());
}

TEST_F(LinkTest, NulBytesAreDroppedInTextModeAndKeptInBinaryMode)
{
    ASSERT_TRUE(connector.connectToMeter());
    fake->deliver(QByteArray("1.0E\0-7\n", 8));
    EXPECT_EQ(LinkProbe::replyBuffer(link), QByteArray("1.0E-7\n"));
    EXPECT_EQ(LinkProbe::latestChunk(link), QByteArray("1.0E-7\n"));
    fake->deliver(QByteArray("\0\0", 2));
    EXPECT_EQ(received, 1) << "a chunk of NULs only carries no text";

    LinkProbe::clearReplyBuffer(link);
    link.settings().inputMode = 1;
    fake->deliver(QByteArray("A\0B", 3));
    EXPECT_EQ(LinkProbe::replyBuffer(link), QByteArray("A\0B", 3));
}

TEST_F(LinkTest, LineErrorsLeaveBuffersAndConnection)
{
    connectWith("44\n");
    fake->deliver("partial");
    fake->fail(SerialTransport::Fault::LineError, "framing error");
    EXPECT_EQ(LinkProbe::replyBuffer(link), QByteArray("partial"));
    EXPECT_EQ(LinkProbe::latestChunk(link), QByteArray("partial"));
    EXPECT_TRUE(link.isOpen());
    EXPECT_TRUE(link.isConnected());
    EXPECT_TRUE(lost.isEmpty());
}

TEST_F(LinkTest, LostDeviceClosesClearsTheFlagAndKeepsTheBuffer)
{
    connectWith("44\n");
    fake->deliver("1.0E-7");
    fake->fail(SerialTransport::Fault::DeviceLost, "The connection to /dev/pts/9 was lost.");
    EXPECT_FALSE(link.isOpen());
    EXPECT_FALSE(link.isConnected());
    EXPECT_EQ(lost, QStringList {"The connection to /dev/pts/9 was lost."});
    EXPECT_EQ(changes, (QList<bool> {true, false}));
    EXPECT_EQ(LinkProbe::replyBuffer(link), QByteArray("1.0E-7"));
    EXPECT_TRUE(prompter.said.isEmpty()) << "whoever is running decides what to tell the operator";
}

TEST_F(LinkTest, LossDuringIdentificationIsToldOnceAsTheLossNotAlsoAsAConnectingError)
{
    ASSERT_TRUE(connector.connectToMeter());
    fake->deliver("LCR-4410\n");
    fake->fail(SerialTransport::Fault::DeviceLost, "gone");
    EXPECT_FALSE(connector.isIdentifying()) << "the check is stopped with the loss";
    EXPECT_EQ(finished, QList<bool> {false});
    // Past the check's time: it never runs, so no second message appears.
    MeterSim::waitUntil([] { return false; }, 60);
    EXPECT_EQ(finished, QList<bool> {false});
    EXPECT_EQ(lost, QStringList {"gone"});
    EXPECT_FALSE(link.isConnected());
    EXPECT_TRUE(prompter.said.isEmpty()) << "the loss is told by whoever reports linkLost, once";
}

TEST_F(LinkTest, DisconnectClosesWithoutSendingAndCancelsThePendingCheck)
{
    ASSERT_TRUE(connector.connectToMeter());
    const int writes = fake->writes.size();
    connector.disconnectFromMeter();
    EXPECT_FALSE(link.isOpen());
    EXPECT_FALSE(connector.isIdentifying());
    EXPECT_EQ(fake->writes.size(), writes);
    MeterSim::waitUntil([] { return false; }, 60);
    EXPECT_TRUE(prompter.said.isEmpty());

    connectWith("44");
    connector.disconnectFromMeter();
    EXPECT_FALSE(link.isConnected());
    EXPECT_EQ(changes, (QList<bool> {true, false}));
    link.writeLine("MEAS:TRIG\n");
    EXPECT_EQ(fake->written().count("MEAS:TRIG"), 0) << "nothing is written to a closed port";
}

TEST_F(LinkTest, TakeFirstLineRemovesOnlyWholeLines)
{
    ASSERT_TRUE(connector.connectToMeter());
    fake->deliver("1.0E-7,0.01\r\n2.0E-7\n3.0");
    EXPECT_EQ(LinkProbe::takeFirstLine(link), QByteArray("1.0E-7,0.01\r\n"));
    EXPECT_EQ(LinkProbe::takeFirstLine(link), QByteArray("2.0E-7\n"));
    EXPECT_TRUE(LinkProbe::takeFirstLine(link).isEmpty());
    EXPECT_EQ(LinkProbe::replyBuffer(link), QByteArray("3.0"));
}

TEST_F(LinkTest, ReplyBufferOverflowCutsTheLinkOff)
{
    ASSERT_TRUE(connector.connectToMeter());
    link.setReplyLimit(16);
    fake->deliver("0123456789");
    fake->deliver("012345");
    EXPECT_TRUE(lost.isEmpty()) << "exactly at the limit is fine";
    fake->deliver("X");
    ASSERT_EQ(lost.size(), 1);
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(LinkProbe::replyBuffer(link), QByteArray("0123456789012345"));
    EXPECT_EQ(LinkProbe::latestChunk(link), QByteArray("012345"));
}

TEST_F(LinkTest, ZeroReceiveThresholdLeavesBytesWaiting)
{
    ASSERT_TRUE(connector.connectToMeter());
    link.settings().rThreshold = 0;
    fake->deliver("1.0\n");
    EXPECT_TRUE(LinkProbe::replyBuffer(link).isEmpty());
    EXPECT_EQ(received, 0);
    link.settings().rThreshold = 1;
    fake->deliver("2.0\n");
    EXPECT_EQ(LinkProbe::replyBuffer(link), QByteArray("1.0\n2.0\n"));
}

TEST_F(LinkTest, LossNoticedWhileWritingClosesBeforeItIsReported)
{
    connectWith("44");
    fake->onWrite = [this](const QByteArray &) { fake->fail(SerialTransport::Fault::DeviceLost, "write failed"); };
    bool openWhenTold = true;
    QObject::connect(&link, &InstrumentLink::linkLost, [&] { openWhenTold = link.isOpen() || link.isConnected(); });
    link.writeLine("MEAS:TRIG\n");
    EXPECT_EQ(lost, QStringList {"write failed"});
    EXPECT_FALSE(openWhenTold) << "listeners see the link already closed";
    link.writeLine("MEAS:TRIG\n");
    EXPECT_EQ(fake->written().count("MEAS:TRIG"), 1) << "nothing more is written after the loss";
    EXPECT_EQ(lost.size(), 1);
}
