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

void run(const QString &db, const QString &lot, const QStringList &sim, int loops, const QStringList &more = {})
{
    MeterSim meter(sim);
    ASSERT_TRUE(meter.isRunning()) << qPrintable(meter.errorText());
    const QString pro = qelSourceDir() + QStringLiteral("/examples/capacitor.pro");
    const CliResult r = runCli(QStringList{QStringLiteral("run"), pro, QStringLiteral("--port"), meter.devicePath(), QStringLiteral("--db"),
        db, QStringLiteral("--loops"), QString::number(loops), QStringLiteral("--lot-no"), lot} + more);
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
    // Sorted by a plan as they go: 100 nF +-1 %, +-5 %.
    const QString plan = dir.path() + QStringLiteral("/plan.json");
    ASSERT_TRUE(writeBytes(plan, R"({"step": 1, "mode": "nested", "nominal": 1e-7, "bins": [[-1, 1], [-5, 5]]})"));
    run(db, QStringLiteral("drift"),
        {QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05"), QStringLiteral("--drift"), QStringLiteral("C=0.5%"),
         QStringLiteral("--part-every"), QStringLiteral("6")},
        30, {QStringLiteral("--bins"), plan});
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

    // The lot's bins: parts k = 0..29 read 100 nF + 0.5 k %: k 0-2 in
    // BIN1 (up to +1 %), 3-10 in BIN2 (up to +5 %), 11-29 OUT.
    const HttpReply b = httpGet(serve.port(), "/api/bins?lot=drift");
    ASSERT_EQ(b.status, 200) << b.body.constData();
    const QJsonObject bins = QJsonDocument::fromJson(b.body).object();
    EXPECT_EQ(bins.value("rows").toInt(), 30);
    EXPECT_EQ(bins.value("unbinned").toInt(), 0);
    const QJsonArray list = bins.value("bins").toArray();
    ASSERT_EQ(list.size(), 3) << b.body.constData();
    EXPECT_EQ(list.at(0).toObject().value("name").toString(), QStringLiteral("BIN1"));
    EXPECT_EQ(list.at(0).toObject().value("count").toInt(), 3);
    EXPECT_EQ(list.at(1).toObject().value("name").toString(), QStringLiteral("BIN2"));
    EXPECT_EQ(list.at(1).toObject().value("count").toInt(), 8);
    EXPECT_EQ(list.at(2).toObject().value("name").toString(), QStringLiteral("OUT"));
    EXPECT_EQ(list.at(2).toObject().value("count").toInt(), 19);
    EXPECT_DOUBLE_EQ(list.at(2).toObject().value("share").toDouble(), 19.0 / 30);
    const QJsonObject steady = QJsonDocument::fromJson(httpGet(serve.port(), "/api/bins?lot=steady").body).object();
    EXPECT_TRUE(steady.value("bins").toArray().isEmpty());
    EXPECT_EQ(steady.value("unbinned").toInt(), 12);

    EXPECT_EQ(httpGet(serve.port(), "/api/control?lot=drift").status, 400);
    EXPECT_EQ(httpGet(serve.port(), "/api/control?lot=drift&column=0&subgroup=11").status, 400);
    EXPECT_EQ(httpGet(serve.port(), "/api/control?lot=nothing&column=0").status, 404);
    EXPECT_EQ(serve.terminate(), 0);
}
