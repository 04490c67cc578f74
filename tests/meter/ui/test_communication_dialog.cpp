// The Communication Setup dialog and the Communication command.

#include "../../support/FakeSerialTransport.h"
#include "../../support/MeterSim.h"
#include "../../support/RecordingPrompter.h"

#include "meter/InstrumentLink.h"
#include "meter/MeterConnector.h"
#include "meter/MeterProfile.h"
#include "meter/ui/CommunicationDialog.h"
#include "meter/ui/CommunicationCommand.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs `act` once the dialog is up; a dialog still open after 3 s is closed
// so a failing test cannot hang.
void whileShown(CommunicationDialog &dlg, std::function<void()> act)
{
    QTimer::singleShot(0, &dlg, [&dlg, act] {
        ASSERT_TRUE(dlg.isVisible());
        act();
    });
    QTimer::singleShot(3000, &dlg, [&dlg] { dlg.done(-1); });
}

void pressEscape(QWidget *w)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

QString mappingLabel(const CommunicationDialog &dlg)
{
    return dlg.findChild<QLabel *>(QStringLiteral("mappingLabel"))->text();
}

} // namespace

TEST(CommunicationDialogTest, CaptionsFieldsAndTheSingleButton)
{
    CommunicationDialog dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Communication Setup"));
    EXPECT_EQ(dlg.portEdit()->text(), QStringLiteral("1"));
    EXPECT_EQ(dlg.settingsEdit()->text(), QStringLiteral("9600,n,8,1"));

    const QList<QPushButton *> buttons = dlg.findChildren<QPushButton *>();
    ASSERT_EQ(buttons.size(), 1) << "no Cancel button";
    EXPECT_EQ(buttons.at(0)->text(), QStringLiteral("Connecting && Exit"));
    EXPECT_TRUE(buttons.at(0)->isDefault());

    QStringList labels;
    for (QLabel *l : dlg.findChildren<QLabel *>())
        labels << l->text();
    EXPECT_TRUE(labels.contains("COM port"));
    EXPECT_TRUE(labels.contains("Settings"));
}

TEST(CommunicationDialogTest, NonIntegerPortIsRefusedAndTheDialogStays)
{
    for (const QString &bad : {QString("abc"), QString("1.5"), QString(""), QString("70000"), QString("2x")}) {
        SCOPED_TRACE(bad.toStdString());
        RecordingPrompter prompter;
        CommunicationDialog dlg(&prompter);
        bool stillShown = false;
        whileShown(dlg, [&] {
            dlg.portEdit()->setText(bad);
            dlg.settingsEdit()->setText("19200,e,7,1");
            dlg.okButton()->click();
            stillShown = dlg.isVisible();
            dlg.reject();
        });
        EXPECT_EQ(dlg.exec(), QDialog::Rejected);
        EXPECT_TRUE(stillShown);
        ASSERT_EQ(prompter.said.size(), 1);
        EXPECT_EQ(prompter.said.at(0).text, QStringLiteral("Please enter an integer."));
        EXPECT_EQ(dlg.settings().portNumber, 1);
        EXPECT_EQ(dlg.settings().settingsText, QStringLiteral("9600,n,8,1")) << "nothing is stored on a refusal";
    }
}

TEST(CommunicationDialogTest, OkStoresTheFieldsAndCancelKeepsThem)
{
    RecordingPrompter prompter;
    CommunicationDialog dlg(&prompter);
    whileShown(dlg, [&] {
        dlg.portEdit()->setText(" 3 ");
        dlg.settingsEdit()->setText("19200,e,7,1");
        dlg.deviceBox()->setEditText("/tmp/qel-meter");
        dlg.okButton()->click();
    });
    ASSERT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_EQ(dlg.settings().portNumber, 3);
    EXPECT_EQ(dlg.settings().settingsText, QStringLiteral("19200,e,7,1"));
    EXPECT_EQ(dlg.settings().devicePath, QStringLiteral("/tmp/qel-meter"));
    EXPECT_TRUE(prompter.said.isEmpty());

    // The stored values come back, and Escape or the close box cancel.
    for (int way = 0; way < 2; ++way) {
        whileShown(dlg, [&] {
            EXPECT_EQ(dlg.portEdit()->text(), QStringLiteral("3"));
            EXPECT_EQ(dlg.deviceBox()->currentText(), QStringLiteral("/tmp/qel-meter"));
            dlg.portEdit()->setText("9");
            dlg.settingsEdit()->setText("300,n,8,2");
            if (way == 0)
                pressEscape(&dlg);
            else
                dlg.close();
        });
        EXPECT_EQ(dlg.exec(), QDialog::Rejected);
        EXPECT_EQ(dlg.settings().portNumber, 3);
        EXPECT_EQ(dlg.settings().settingsText, QStringLiteral("19200,e,7,1"));
    }
}

TEST(CommunicationDialogTest, ShowsWhatThePortNumberOpens)
{
    CommunicationDialog dlg;
    EXPECT_EQ(mappingLabel(dlg), QStringLiteral("Port 1 opens /dev/ttyS0"));
    dlg.portEdit()->setText("5");
    EXPECT_EQ(mappingLabel(dlg), QStringLiteral("Port 5 opens /dev/ttyS4"));
    dlg.portEdit()->setText("0");
    EXPECT_TRUE(mappingLabel(dlg).contains("opens no device"));
    dlg.portEdit()->setText("x");
    EXPECT_TRUE(mappingLabel(dlg).contains("whole number"));
    dlg.deviceBox()->setEditText("/dev/pts/4");
    EXPECT_EQ(mappingLabel(dlg), QStringLiteral("Opens /dev/pts/4 (the port number is not used)"));
    dlg.deviceBox()->setCurrentIndex(0);
    EXPECT_TRUE(mappingLabel(dlg).contains("whole number")) << "back to the port number";
}

class CommunicationCommandTest : public testing::Test
{
protected:
    void SetUp() override { connector.setIdentificationDelay(10); }
    RecordingPrompter prompter;
    FakeSerialTransport fake;
    InstrumentLink link {&prompter, &fake};
    MeterConnector connector {link};
    CommunicationDialog dlg {&prompter};
};

TEST_F(CommunicationCommandTest, ConnectedLinkDisconnectsWithoutTheDialog)
{
    ASSERT_TRUE(connector.connectToMeter());
    fake.deliver("LCR-4410\n");
    ASSERT_TRUE(MeterSim::waitUntil([&] { return link.isConnected(); }, 2000));
    const int writes = fake.writes.size();
    bool dialogShown = false;
    QTimer::singleShot(0, &dlg, [&] {
        dialogShown = dlg.isVisible();
        dlg.done(-1);
    });

    EXPECT_EQ(CommunicationCommand::run(connector, dlg), CommunicationCommand::Outcome::Disconnected);
    EXPECT_FALSE(link.isConnected());
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(fake.writes.size(), writes) << "nothing is sent on disconnect";
    MeterSim::waitUntil([] { return false; }, 20);
    EXPECT_FALSE(dialogShown);
}

TEST_F(CommunicationCommandTest, OkConnectsWithTheDialogValues)
{
    whileShown(dlg, [&] {
        dlg.portEdit()->setText("2");
        dlg.settingsEdit()->setText("4800,o,8,1");
        dlg.okButton()->click();
    });
    EXPECT_EQ(CommunicationCommand::run(connector, dlg), CommunicationCommand::Outcome::Connecting);
    ASSERT_EQ(fake.opens.size(), 1);
    EXPECT_EQ(fake.opens.at(0).device, QStringLiteral("/dev/ttyS1"));
    EXPECT_EQ(fake.opens.at(0).line.baudRate, 4800);
    EXPECT_EQ(link.settings().portNumber, 2);
    EXPECT_EQ(fake.written(), QByteArray("*IDN?\n*LOC\n"));
    EXPECT_TRUE(connector.isIdentifying());
}

TEST_F(CommunicationCommandTest, FailedOpenIsReported)
{
    fake.openSucceeds = false;
    whileShown(dlg, [&] { dlg.okButton()->click(); });
    EXPECT_EQ(CommunicationCommand::run(connector, dlg), CommunicationCommand::Outcome::Failed);
    EXPECT_EQ(prompter.texts(), QStringList {fake.openError});
    EXPECT_FALSE(connector.isIdentifying());
}

TEST_F(CommunicationCommandTest, CancelChangesNothing)
{
    // An open port after a failed identification stays as it is.
    ASSERT_TRUE(connector.connectToMeter());
    ASSERT_TRUE(MeterSim::waitUntil([&] { return !connector.isIdentifying(); }, 2000));
    prompter.clear();
    const int opens = fake.opens.size();
    whileShown(dlg, [&] {
        dlg.portEdit()->setText("7");
        pressEscape(&dlg);
    });
    EXPECT_EQ(CommunicationCommand::run(connector, dlg), CommunicationCommand::Outcome::Cancelled);
    EXPECT_EQ(fake.opens.size(), opens);
    EXPECT_TRUE(link.isOpen());
    EXPECT_FALSE(link.isConnected());
    EXPECT_EQ(link.settings().portNumber, 1);
    EXPECT_TRUE(prompter.said.isEmpty());
}

TEST(CommunicationMeterChoice, AutomaticOverTcpIdentifiesTheProfileAndLegacyStaysTheDefault)
{
    const MeterProfiles profiles({qelSourceDir() + QStringLiteral("/resources/meters")});
    MeterSim sim({QStringLiteral("--profile"), QStringLiteral("scpi-lcr"), QStringLiteral("--tcp"), QStringLiteral("0")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    RecordingPrompter prompter;
    InstrumentLink link(&prompter);
    MeterConnector connector(link);
    CommunicationDialog dlg(&prompter);
    QStringList names;
    for (const MeterProfile &p : profiles.all())
        names << p.name;
    dlg.setMeters(names);
    dlg.setSettings(link.settings());
    QStringList offered;
    for (int i = 0; i < dlg.meterBox()->count(); ++i)
        offered << dlg.meterBox()->itemText(i);
    EXPECT_EQ(offered, (QStringList{"legacy", "scpi-lcr-slots", "scpi-lcr", "Automatic"}));
    EXPECT_EQ(dlg.meterBox()->currentText(), QStringLiteral("legacy"));

    whileShown(dlg, [&] {
        dlg.deviceBox()->setEditText(sim.devicePath());
        EXPECT_EQ(mappingLabel(dlg), QStringLiteral("Opens %1 (the port number is not used)").arg(sim.devicePath()));
        dlg.meterBox()->setCurrentIndex(dlg.meterBox()->findText(QStringLiteral("Automatic")));
        dlg.okButton()->click();
    });
    ASSERT_EQ(CommunicationCommand::run(connector, dlg, &profiles), CommunicationCommand::Outcome::Connecting)
        << qPrintable(prompter.texts().join('\n'));
    ASSERT_TRUE(MeterSim::waitUntil([&] { return link.isConnected(); }, 5000)) << qPrintable(prompter.texts().join('\n'));
    EXPECT_EQ(link.settings().meterProfile, QStringLiteral("auto"));
    EXPECT_EQ(link.profile().name, QStringLiteral("scpi-lcr"));
    EXPECT_TRUE(connector.identification().contains("LCR-E2000"));
    ASSERT_TRUE(sim.waitForCommands(2));
    EXPECT_EQ(sim.receivedBytes(), QByteArray("*IDN?\n:TRIG:SOUR BUS\n"));
    EXPECT_TRUE(prompter.said.isEmpty());

    // Choosing legacy again puts the legacy bytes back on the next connect.
    CommunicationCommand::run(connector, dlg, &profiles); // disconnects
    whileShown(dlg, [&] {
        dlg.meterBox()->setCurrentIndex(0);
        dlg.okButton()->click();
    });
    ASSERT_EQ(CommunicationCommand::run(connector, dlg, &profiles), CommunicationCommand::Outcome::Connecting);
    EXPECT_TRUE(link.profile().isLegacy());
    EXPECT_FALSE(connector.isAutomatic());
    ASSERT_TRUE(sim.waitForCommands(4));
    EXPECT_EQ(sim.receivedBytes(), QByteArray("*IDN?\n:TRIG:SOUR BUS\n*IDN?\n*LOC\n"));
}
