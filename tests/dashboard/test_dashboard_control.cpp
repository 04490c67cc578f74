// The dashboard's control charts: a lot's chart as qel-cli history stats
// --control computes it, and a station marked while the newest points of
// its last run break a rule (a drifting part) and not while they hold.
#include "DashboardHarness.h"

#include "../support/MeterSim.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <gtest/gtest.h>

namespace {

void run(const QString &db, const QString &lot, const QStringList &sim, int loops)
{
    MeterSim meter(sim);
    ASSERT_TRUE(meter.isRunning()) << qPrintable(meter.errorText());
    const QString pro = qelSourceDir() + QStringLiteral("/examples/capacitor.pro");
    const CliResult r = runCli({QStringLiteral("run"), pro, QStringLiteral("--port"), meter.devicePath(), QStringLiteral("--db"),
        db, QStringLiteral("--loops"), QString::number(loops), QStringLiteral("--lot-no"), lot});
    ASSERT_TRUE(r.finished && r.exitCode <= 1) << r.describe();
}

QJsonArray alarmsOf(quint16 port)
{
    const HttpReply s = httpGet(port, "/api/stations");
    EXPECT_EQ(s.status, 200);
    const QJsonArray stations = QJsonDocument::fromJson(s.body).array();
    EXPECT_EQ(stations.size(), 1) << s.body.constData();
    return stations.at(0).toObject().value("controlAlarms").toArray();
}

} // namespace

TEST(DashboardControl, ALotsChartIsTheCommandLinesAndADriftingStationIsMarked)
{
    QTemporaryDir dir;
    const QString db = dir.path() + QStringLiteral("/history.sqlite");
    // Every part the same: no point leaves the center, no rule.
    run(db, QStringLiteral("steady"), {QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05")}, 12);
    DashboardProcess serve({QStringLiteral("--db"), db, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
    ASSERT_NE(serve.port(), 0) << qPrintable(serve.errText());
    EXPECT_TRUE(alarmsOf(serve.port()).isEmpty());

    // Each part 0.5 % above the one before (6 steps a part): the newest
    // points run far above the center of a chart with tiny moving ranges.
    run(db, QStringLiteral("drift"),
        {QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05"), QStringLiteral("--drift"), QStringLiteral("C=0.5%"),
         QStringLiteral("--part-every"), QStringLiteral("6")},
        30);
    QJsonArray alarms;
    // Answers are reused for two seconds.
    for (int i = 0; i < 100 && alarms.isEmpty(); ++i) {
        alarms = alarmsOf(serve.port());
        if (alarms.isEmpty())
            QThread::msleep(100);
    }
    ASSERT_FALSE(alarms.isEmpty());
    const QJsonObject first = alarms.at(0).toObject();
    EXPECT_EQ(first.value("column").toString(), QStringLiteral("C1"));
    EXPECT_GE(first.value("point").toInt(), 25) << "among the last five points";
    bool rule1 = false;
    for (const QJsonValue &a : alarms)
        rule1 = rule1 || (a.toObject().value("column").toString() == QLatin1String("C1") && a.toObject().value("rule").toInt() == 1);
    EXPECT_TRUE(rule1);

    // The lot's chart: the same limits and violations as the command line's.
    const HttpReply c = httpGet(serve.port(), "/api/control?lot=drift&column=0&subgroup=3");
    ASSERT_EQ(c.status, 200) << c.body.constData();
    const QJsonObject chart = QJsonDocument::fromJson(c.body).object();
    const CliResult cli = runCli({QStringLiteral("history"), QStringLiteral("stats"), QStringLiteral("--lot"), QStringLiteral("drift"),
        QStringLiteral("--db"), db, QStringLiteral("--json"), QStringLiteral("--control"), QStringLiteral("--subgroup"), QStringLiteral("3")});
    ASSERT_EQ(cli.exitCode, 0) << cli.describe();
    const QJsonObject expected
        = QJsonDocument::fromJson(cli.out).object().value("columns").toArray().at(0).toObject().value("control").toObject();
    EXPECT_EQ(chart.value("control").toObject(), expected);
    EXPECT_EQ(expected.value("chart").toString(), QStringLiteral("Xbar-R"));
    EXPECT_EQ(chart.value("points").toArray().size(), 10);
    EXPECT_EQ(chart.value("firstPoint").toInt(), 0);
    EXPECT_FALSE(expected.value("violations").toArray().isEmpty());
    EXPECT_EQ(chart.value("column").toObject().value("item").toString(), QStringLiteral("C"));

    EXPECT_EQ(httpGet(serve.port(), "/api/control?lot=drift").status, 400);
    EXPECT_EQ(httpGet(serve.port(), "/api/control?lot=drift&column=0&subgroup=11").status, 400);
    EXPECT_EQ(httpGet(serve.port(), "/api/control?lot=nothing&column=0").status, 404);
    EXPECT_EQ(serve.terminate(), 0);
}
