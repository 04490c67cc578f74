// InstrumentLink against the simulated meter over a real pseudo-terminal.

#include "../support/LinkProbe.h"
#include "../support/MeterSim.h"
#include "../support/RecordingPrompter.h"

#include "meter/InstrumentLink.h"
#include "meter/MeterConnector.h"
#include "meter/SerialPortTransport.h"

#include <gtest/gtest.h>

namespace {

struct LinkRig
{
    RecordingPrompter prompter;
    InstrumentLink link {&prompter};
    MeterConnector connector {link};
    QList<bool> finished;
    QList<bool> connectedChanged;
    QStringList lost;

    explicit LinkRig(const QString &device)
    {
        link.settings().devicePath = device;
        QObject::connect(&connector, &MeterConnector::identificationFinished, [this](bool ok) { finished << ok; });
        QObject::connect(&link, &InstrumentLink::connectedChanged, [this](bool c) { connectedChanged << c; });
        QObject::connect(&link, &InstrumentLink::linkLost, [this](const QString &m) { lost << m; });
    }

    bool identify()
    {
        const int before = finished.size();
        return connector.connectToMeter() && MeterSim::waitUntil([&] { return finished.size() > before; }, 4000);
    }
    int connectingErrors() const
    {
        int n = 0;
        for (const RecordingPrompter::Said &s : prompter.said)
            if (s.text == QLatin1String("Connecting Error!"))
                ++n;
        return n;
    }
};

} // namespace

TEST(LinkPty, IdentificationWithTheModelDigitsConnects)
{
    MeterSim sim;
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    LinkRig rig(sim.devicePath());

    ASSERT_TRUE(rig.connector.connectToMeter());
    EXPECT_TRUE(rig.link.isOpen());
    EXPECT_TRUE(rig.connector.isIdentifying());
    EXPECT_FALSE(rig.link.isConnected());
    ASSERT_TRUE(MeterSim::waitUntil([&] { return rig.finished.size() == 1; }, 4000));

    EXPECT_TRUE(rig.finished.at(0));
    EXPECT_TRUE(rig.link.isConnected());
    EXPECT_TRUE(LinkProbe::replyBuffer(rig.link).isEmpty()) << "a successful identification empties the buffer";
    EXPECT_TRUE(rig.prompter.said.isEmpty());
    ASSERT_EQ(rig.connectedChanged.size(), 1);
    EXPECT_TRUE(rig.connectedChanged.at(0));
    EXPECT_EQ(sim.receivedBytes(), QByteArray("*IDN?\n*LOC\n"));
}

TEST(LinkPty, SilentOrForeignMeterGivesOneConnectingError)
{
    for (const QStringList &args : {QStringList {"--no-idn"}, QStringList {"--idn", "OTHER METER,LCR-1230,7,1.0"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        MeterSim sim(args);
        ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
        LinkRig rig(sim.devicePath());

        ASSERT_TRUE(rig.identify());
        // Nothing else may follow the one message.
        MeterSim::waitUntil([] { return false; }, 200);
        EXPECT_FALSE(rig.finished.at(0));
        ASSERT_EQ(rig.connectingErrors(), 1);
        ASSERT_EQ(rig.prompter.said.size(), 1);
        EXPECT_EQ(rig.prompter.said.at(0).caption, QStringLiteral("Exception"));
        EXPECT_EQ(rig.prompter.said.at(0).icon, Prompter::Icon::Error);
        EXPECT_FALSE(rig.link.isConnected());
        EXPECT_TRUE(rig.link.isOpen()) << "the port stays open after a failed identification";
        EXPECT_TRUE(rig.connectedChanged.isEmpty());
    }
}

TEST(LinkPty, ForeignIdentificationStaysInTheBuffer)
{
    MeterSim sim({"--idn", "OTHER METER,LCR-1230"});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    LinkRig rig(sim.devicePath());
    ASSERT_TRUE(rig.identify());
    EXPECT_EQ(LinkProbe::replyBuffer(rig.link), QByteArray("OTHER METER,LCR-1230\n"));
}

TEST(LinkPty, LateIdentificationFailsButItsReplyStays)
{
    MeterSim sim({"--idn-delay", "2500"});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    LinkRig rig(sim.devicePath());

    ASSERT_TRUE(rig.identify());
    EXPECT_EQ(rig.connectingErrors(), 1);
    EXPECT_FALSE(LinkProbe::replyBuffer(rig.link).contains("44"));

    ASSERT_TRUE(MeterSim::waitUntil([&] { return LinkProbe::replyBuffer(rig.link).contains('\n'); }, 5000));
    EXPECT_TRUE(LinkProbe::replyBuffer(rig.link).contains("44"));
    EXPECT_FALSE(rig.link.isConnected()) << "a late reply does not connect";
    EXPECT_EQ(rig.connectingErrors(), 1);
}

TEST(LinkPty, DisconnectAndReconnect)
{
    MeterSim sim;
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    LinkRig rig(sim.devicePath());
    ASSERT_TRUE(rig.identify());
    ASSERT_TRUE(rig.link.isConnected());

    rig.connector.disconnectFromMeter();
    EXPECT_FALSE(rig.link.isConnected());
    EXPECT_FALSE(rig.link.isOpen());
    ASSERT_EQ(rig.connectedChanged.size(), 2);
    EXPECT_FALSE(rig.connectedChanged.at(1));
    ASSERT_TRUE(sim.waitForLog([](const QList<MeterSim::Entry> &log) {
        return std::any_of(log.begin(), log.end(), [](const MeterSim::Entry &e) {
            return e.kind == '#' && e.bytes.contains("closed");
        });
    }));
    EXPECT_EQ(sim.receivedBytes(), QByteArray("*IDN?\n*LOC\n")) << "disconnecting sends nothing";

    ASSERT_TRUE(rig.identify());
    EXPECT_TRUE(rig.link.isConnected());
    EXPECT_EQ(sim.receivedBytes(), QByteArray("*IDN?\n*LOC\n*IDN?\n*LOC\n"));
    EXPECT_TRUE(rig.prompter.said.isEmpty());
}

TEST(LinkPty, CommandsReachTheMeterUnchangedAndRepliesAreBuffered)
{
    MeterSim sim({"--component", "C=100n"});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    LinkRig rig(sim.devicePath());
    ASSERT_TRUE(rig.identify());

    const QByteArray commands = "MEAS:FREQ 1000.000000\nMEAS:FUNC:C;D\nMEAS:EQU-CCT SER\n";
    for (const QByteArray &line : commands.split('\n'))
        if (!line.isEmpty())
            rig.link.writeLine(line + '\n');
    rig.link.writeLine("MEAS:TRIG\n");
    ASSERT_TRUE(MeterSim::waitUntil([&] { return LinkProbe::replyBuffer(rig.link).endsWith('\n'); }));

    // The simulator logs what it read and wrote a moment after doing it.
    const QByteArray expected = "*IDN?\n*LOC\n" + commands + "MEAS:TRIG\n";
    MeterSim::waitUntil([&] { return sim.receivedBytes() == expected && sim.sentBytes().count('\n') >= 2; });
    EXPECT_EQ(sim.receivedBytes(), expected);
    EXPECT_EQ(LinkProbe::replyBuffer(rig.link), sim.sentBytes().mid(sim.sentBytes().indexOf('\n') + 1));
    EXPECT_TRUE(LinkProbe::replyBuffer(rig.link).startsWith("1.00000E-07,"));
    // A loaded machine may deliver the reply in pieces: the latest chunk is
    // the last of them.
    const QByteArray latest = LinkProbe::latestChunk(rig.link);
    const QByteArray line = LinkProbe::takeFirstLine(rig.link);
    EXPECT_FALSE(latest.isEmpty());
    EXPECT_TRUE(line.endsWith(latest));
    EXPECT_TRUE(LinkProbe::replyBuffer(rig.link).isEmpty());
}

TEST(LinkPty, LineEventsThatAreNotDataLeaveBothBuffersAlone)
{
    MeterSim sim;
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    LinkRig rig(sim.devicePath());
    ASSERT_TRUE(rig.identify());
    rig.link.writeLine("MEAS:TRIG\n");
    ASSERT_TRUE(MeterSim::waitUntil([&] { return LinkProbe::replyBuffer(rig.link).endsWith('\n'); }));
    const QByteArray reply = LinkProbe::replyBuffer(rig.link);
    const QByteArray latest = LinkProbe::latestChunk(rig.link);

    // A pseudo-terminal has no modem lines: the port reports an error event.
    auto *port = qobject_cast<SerialPortTransport *>(rig.link.transport());
    ASSERT_NE(port, nullptr);
    QList<SerialTransport::Fault> errors;
    QObject::connect(port, &SerialTransport::errorOccurred,
                     [&](SerialTransport::Fault f, const QString &) { errors << f; });
    port->port().setRequestToSend(true);
    port->port().setDataTerminalReady(false);
    MeterSim::waitUntil([] { return false; }, 50);

    ASSERT_FALSE(errors.isEmpty());
    EXPECT_EQ(errors.at(0), SerialTransport::Fault::LineError);
    EXPECT_EQ(LinkProbe::replyBuffer(rig.link), reply);
    EXPECT_EQ(LinkProbe::latestChunk(rig.link), latest);
    EXPECT_TRUE(rig.link.isOpen());
    EXPECT_TRUE(rig.link.isConnected());
    EXPECT_TRUE(rig.lost.isEmpty());
}

TEST(LinkPty, MissingDeviceOrBadSettingsShowTheErrorAndNoConnectingError)
{
    MeterSim sim;
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());

    struct Case
    {
        QString device;
        qint16 port;
        QString settings;
        QString expect;
    };
    const QList<Case> cases {
        {"/dev/qel-no-such-device", 1, "9600,n,8,1", "does not exist"},
        {"", 0, "9600,n,8,1", "Invalid port number 0"},
        {sim.devicePath(), 1, "9600,x,8,1", "parity"},
        {sim.devicePath(), 1, "9600,n,9,1", "data bits"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE((c.device + " " + c.settings).toStdString());
        LinkRig rig(c.device);
        rig.link.settings().portNumber = c.port;
        rig.link.settings().settingsText = c.settings;

        EXPECT_FALSE(rig.connector.connectToMeter());
        EXPECT_FALSE(rig.connector.isIdentifying()) << "no identification check after a failed connect";
        EXPECT_FALSE(rig.link.isOpen());
        ASSERT_EQ(rig.prompter.said.size(), 1);
        EXPECT_TRUE(rig.prompter.said.at(0).text.contains(c.expect)) << qPrintable(rig.prompter.said.at(0).text);
        EXPECT_EQ(rig.prompter.said.at(0).icon, Prompter::Icon::Error);
        MeterSim::waitUntil([] { return false; }, 1100);
        EXPECT_EQ(rig.connectingErrors(), 0);
        EXPECT_FALSE(rig.link.isConnected());
    }
    EXPECT_TRUE(sim.receivedBytes().isEmpty()) << "nothing reaches the meter when the settings are refused";
}

TEST(LinkPty, BusyPortIsReportedAsInUse)
{
    MeterSim sim;
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    LinkRig first(sim.devicePath());
    ASSERT_TRUE(first.connector.connectToMeter());
    LinkRig second(sim.devicePath());
    EXPECT_FALSE(second.connector.connectToMeter());
    ASSERT_EQ(second.prompter.said.size(), 1);
    const QString text = second.prompter.said.at(0).text;
    EXPECT_TRUE(text.contains("in use") || text.contains("dialout")) << qPrintable(text);
    EXPECT_TRUE(first.link.isOpen());
}
