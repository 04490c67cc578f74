// The dashboard's search for a part: runs recorded with serials by qel-cli
// against the simulated meter; the part's rows and the runs that measured
// it, the same bytes as qel-cli history prints.
#include "DashboardHarness.h"
#include "../support/MeterSim.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

TEST(DashboardSerials, APartIsFoundAsTheCommandLineFindsIt)
{
    MeterSim sim;
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("parts.sqlite"));
    const QString pro = qelSourceDir() + QStringLiteral("/examples/capacitor.pro");
    for (const QByteArray &serials : {QByteArray("P-1\nP-2\n"), QByteArray("P-3\nP-1\n"), QByteArray("P-4\n")}) {
        const QString file = dir.filePath(QStringLiteral("serials.txt"));
        writeBytes(file, serials);
        const CliResult r = runCli({QStringLiteral("run"), pro, QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--db"), db,
            QStringLiteral("--serials"), file});
        ASSERT_EQ(r.exitCode, 1) << r.describe();
    }
    DashboardProcess serve({QStringLiteral("--db"), db, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
    ASSERT_NE(serve.port(), 0) << qPrintable(serve.errText());
    auto cli = [&](const QString &what) {
        return runCli({QStringLiteral("history"), what, QStringLiteral("--serial"), QStringLiteral("P-1"), QStringLiteral("--db"), db,
            QStringLiteral("--json")}).out;
    };
    const HttpReply rows = httpGet(serve.port(), "/api/rows?serial=P-1");
    EXPECT_EQ(rows.status, 200);
    EXPECT_EQ(rows.body, cli(QStringLiteral("rows")));
    const QJsonArray found = QJsonDocument::fromJson(rows.body).array();
    ASSERT_EQ(found.size(), 2) << rows.body.constData();
    for (const QJsonValue &r : found)
        EXPECT_EQ(r.toObject().value(QStringLiteral("serial")).toString(), QStringLiteral("P-1"));
    const HttpReply runs = httpGet(serve.port(), "/api/runs?serial=P-1");
    EXPECT_EQ(runs.status, 200);
    EXPECT_EQ(runs.body, cli(QStringLiteral("runs")));
    EXPECT_EQ(QJsonDocument::fromJson(runs.body).array().size(), 2);
    EXPECT_EQ(QJsonDocument::fromJson(httpGet(serve.port(), "/api/rows?serial=none").body).array().size(), 0);
    EXPECT_EQ(httpGet(serve.port(), "/api/rows").status, 400);
    EXPECT_EQ(httpGet(serve.port(), "/api/rows?serial=P-1&lot=x").status, 400);
}
