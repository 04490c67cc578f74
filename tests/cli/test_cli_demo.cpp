// The headless demo end to end: scripts/demo-headless with a simulated meter
// of its own writes every output into one folder and says where it is.

#include "CliHarness.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

TEST(CliDemo, HeadlessDemoLeavesEveryResultInOneFolder)
{
    QTemporaryDir dir;
    const QString out = dir.path() + QStringLiteral("/demo out"); // a space must not break it
    QProcess demo;
    QProcessEnvironment env = cliEnvironment();
    env.insert(QStringLiteral("QEL_BUILD_DIR"), QFileInfo(qelBinDir()).absolutePath());
    env.insert(QStringLiteral("QEL_DEMO_OUT"), out);
    env.remove(QStringLiteral("DISPLAY"));
    demo.setProcessEnvironment(env);
    demo.setWorkingDirectory(dir.path());
    demo.start(QStringLiteral("/bin/bash"), {qelSourceDir() + QStringLiteral("/scripts/demo-headless")});
    ASSERT_TRUE(demo.waitForStarted(10000));
    const bool finished = demo.waitForFinished(180000);
    if (!finished)
        demo.kill();
    const QString stdoutText = QString::fromUtf8(demo.readAllStandardOutput());
    const QString stderrText = QString::fromUtf8(demo.readAllStandardError());
    ASSERT_TRUE(finished) << stdoutText.toStdString() << stderrText.toStdString();
    ASSERT_EQ(demo.exitCode(), 0) << stdoutText.toStdString() << stderrText.toStdString();

    const QString absolute = QDir(out).absolutePath();
    EXPECT_TRUE(stdoutText.contains(QStringLiteral("the results are in ") + absolute)) << stdoutText.toStdString();
    const QStringList reports = QDir(out).entryList({QStringLiteral("capacitor-check_*.rpt")});
    ASSERT_EQ(reports.size(), 1) << QDir(out).entryList().join(QLatin1Char(' ')).toStdString();
    for (const QString &name : {QStringLiteral("capacitor-check.pro"), reports[0], QStringLiteral("results.xlsx"),
             QStringLiteral("report.pdf"), QStringLiteral("resonance.pic"), QStringLiteral("resonance.xlsx"),
             QStringLiteral("resonance.png"), QStringLiteral("graph.pdf")}) {
        EXPECT_GT(QFileInfo(out + QLatin1Char('/') + name).size(), 0) << name.toStdString();
        EXPECT_TRUE(stdoutText.contains(name)) << name.toStdString();
    }

    // Five passing rows of the example procedure.
    const CliResult shown = runCli({QStringLiteral("show"), out + QLatin1Char('/') + reports[0]});
    ASSERT_TRUE(shown.finished && shown.exitCode == 0) << shown.describe();
    const QJsonObject report = QJsonDocument::fromJson(shown.out).object();
    EXPECT_EQ(report.value(QStringLiteral("rowCount")).toInt(), 5);
    for (const QJsonValue &row : report.value(QStringLiteral("rows")).toArray())
        EXPECT_FALSE(row.toArray().contains(QStringLiteral("fail"))) << shown.describe();

    // The sweep passes through the self-resonance: the angle changes sign.
    const CliResult sweep = runCli({QStringLiteral("show"), out + QStringLiteral("/resonance.pic")});
    ASSERT_TRUE(sweep.finished && sweep.exitCode == 0) << sweep.describe();
    const QJsonArray points = QJsonDocument::fromJson(sweep.out).object().value(QStringLiteral("rows")).toArray();
    ASSERT_EQ(points.size(), 37);
    EXPECT_TRUE(points.first().toArray().at(2).toString().startsWith(QLatin1Char('-')));
    EXPECT_FALSE(points.last().toArray().at(2).toString().startsWith(QLatin1Char('-')));

    // Nothing but the results: no temporary or partial files.
    for (const QString &name : QDir(out).entryList(QDir::Files | QDir::Hidden))
        EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << name.toStdString();
}

} // namespace
