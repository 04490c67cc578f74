// The desktop program on a meter of another family over the network: the
// status bar says which meter answered and where, only while connected.

#include "DesktopRig.h"

#include <QLabel>
#include <QStatusBar>

TEST_F(DesktopRig, StatusBarShowsTheMetersIdentityProfileAndConnectionWhileConnected)
{
    ASSERT_TRUE(startMeter({QStringLiteral("--profile"), QStringLiteral("scpi-lcr"), QStringLiteral("--tcp"), QStringLiteral("0")}))
        << qPrintable(sim->errorText());
    DesktopApp::Options o;
    o.device = sim->devicePath();
    o.meter = QStringLiteral("scpi-lcr");
    app = std::make_unique<DesktopApp>(o, &prompter);
    ASSERT_TRUE(app->start());
    auto *meter = mainWindow()->statusBar()->findChild<QLabel *>(QStringLiteral("meterStatus"));
    ASSERT_NE(meter, nullptr);
    ASSERT_TRUE(Desktop::waitUntil([&] { return app->link().isConnected(); })) << qPrintable(prompter.texts().join('|'));
    EXPECT_TRUE(meter->isVisible());
    EXPECT_EQ(meter->text(), QStringLiteral("QEL,SIMULATED LCR-E2000,SIM0002,1.00 (scpi-lcr) on %1").arg(sim->devicePath()));
    EXPECT_TRUE(sim->waitForCommands(2));
    EXPECT_EQ(sim->receivedBytes(), QByteArray("*IDN?\n:TRIG:SOUR BUS\n"));

    app->session().connector().disconnectFromMeter();
    EXPECT_FALSE(meter->isVisible());
    EXPECT_TRUE(meter->text().isEmpty());
    EXPECT_TRUE(prompter.said.isEmpty()) << qPrintable(prompter.texts().join('|'));
}
