// qel-cli and the meter's line: bytes a killed program left unread are not
// the next meter identity, a port named relative to the working folder is
// opened, and a meter that goes away is told in one plain sentence.

#include "CliHarness.h"
#include "../support/MeterSim.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString procedure()
{
    return qelSourceDir() + QStringLiteral("/examples/capacitor.pro");
}

const QString Identity = QStringLiteral("QEL,SIMULATED LCR-4410,SIM0001,1.00");

} // namespace

// A program asked for a reading and went before reading it: the reply
// waits on the line. The next run records the meter's identification
// reply alone, and what goes to the meter is unchanged.
TEST(CliMeterLink, LeftoverBytesAreNotTheMetersIdentity)
{
    MeterSim sim;
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("r.sqlite"));
    const int fd = ::open(QFile::encodeName(sim.devicePath()).constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios raw {};
    ASSERT_EQ(tcgetattr(fd, &raw), 0);
    cfmakeraw(&raw);
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &raw), 0);
    ASSERT_EQ(::write(fd, "MEAS:TRIG\n", 10), 10);
    ASSERT_TRUE(sim.waitForLog([](const QList<MeterSim::Entry> &e) {
        return !e.isEmpty() && e.last().kind == '<';
    }));
    ::close(fd);
    const qsizetype before = sim.receivedBytes().size();

    const CliResult r = runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(),
        QStringLiteral("--loops"), QStringLiteral("1"), QStringLiteral("--db"), db});
    ASSERT_EQ(r.exitCode, 1) << r.describe();
    EXPECT_TRUE(r.err.isEmpty()) << r.describe();
    const CliResult runs = runCli({QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--db"), db, QStringLiteral("--json")});
    const QJsonArray list = QJsonDocument::fromJson(runs.out).array();
    ASSERT_EQ(list.size(), 1) << runs.describe();
    EXPECT_EQ(list[0].toObject().value(QStringLiteral("meter")).toString(), Identity);
    EXPECT_TRUE(sim.receivedBytes().mid(before).startsWith("*IDN?\n*LOC\nMEAS:FREQ ")) << sim.receivedBytes().mid(before).constData();
}

// "--port meter" is the file meter in the working folder, as any path.
TEST(CliMeterLink, APortIsAPathRelativeToTheWorkingFolder)
{
    MeterSim sim;
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("links")));
    ASSERT_TRUE(QFile::link(sim.devicePath(), dir.filePath(QStringLiteral("meter"))));
    ASSERT_TRUE(QFile::link(sim.devicePath(), dir.filePath(QStringLiteral("links/meter"))));
    for (const QString &port : {QStringLiteral("meter"), QStringLiteral("links/meter")}) {
        SCOPED_TRACE(port.toStdString());
        const CliResult r = runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), port, QStringLiteral("--no-db")},
            60000, dir.path());
        EXPECT_EQ(r.exitCode, 1) << r.describe();
        EXPECT_TRUE(r.err.isEmpty()) << r.describe();
        EXPECT_EQ(r.outLines().size(), 2) << r.describe();
    }
    // A name that is nowhere is still told as such.
    const CliResult none = runCli({QStringLiteral("run"), procedure(), QStringLiteral("--port"), QStringLiteral("nometer"),
        QStringLiteral("--no-db")}, 60000, dir.path());
    EXPECT_EQ(none.exitCode, 3) << none.describe();
    EXPECT_TRUE(none.errText().contains(QLatin1String("does not exist"))) << none.describe();
}

// The simulator ended by SIGTERM during a run: one sentence that says the
// device went away, not the system's "(Unknown error)".
TEST(CliMeterLink, AMeterThatEndsIsToldInOneSentence)
{
    MeterSim sim;
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    QProcess cli;
    cli.setProcessEnvironment(cliEnvironment());
    cli.start(cliProgram(), {QStringLiteral("run"), procedure(), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--loops"),
        QStringLiteral("100000"), QStringLiteral("--no-db")});
    ASSERT_TRUE(sim.waitForCommands(40, 30000));
    sim.stop(); // SIGTERM
    ASSERT_TRUE(cli.waitForFinished(30000));
    EXPECT_EQ(cli.exitCode(), 4);
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    EXPECT_EQ(err.count(QLatin1Char('\n')), 1) << qPrintable(err);
    EXPECT_FALSE(err.contains(QLatin1String("Unknown error"))) << qPrintable(err);
    EXPECT_TRUE(err.startsWith(QStringLiteral("qel-cli: The connection to %1 was lost: the device went away").arg(sim.devicePath())))
        << qPrintable(err);
}
