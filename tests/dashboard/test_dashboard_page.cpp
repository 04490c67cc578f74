// The dashboard page in a real browser: headless Chromium renders it
// against a history recorded by qel-cli run, and the DOM it built holds the
// station, its yield and the runs, with a hostile lot name as plain text.
#include "DashboardHarness.h"

#include "../support/MeterSim.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>

#include <gtest/gtest.h>

namespace {

const QString Chromium = QStringLiteral("/usr/bin/chromium");

// The DOM after the page's scripts ran, or empty.
QString renderedDom(const QString &url)
{
    QTemporaryDir profile;
    QProcess p;
    p.start(Chromium, {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
        QStringLiteral("--no-first-run"), QStringLiteral("--disable-background-networking"),
        QStringLiteral("--disable-component-update"), QStringLiteral("--disable-sync"), QStringLiteral("--disable-quic"),
        QStringLiteral("--user-data-dir=") + profile.path(), QStringLiteral("--virtual-time-budget=4000"),
        QStringLiteral("--dump-dom"), url});
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished(5000);
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

TEST(DashboardPage, ChromiumShowsStationsRunsAndYieldWithHostileTextAsText)
{
    if (!QFile::exists(Chromium))
        GTEST_SKIP() << "chromium is not installed (scripts/setup installs it)";
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("line.sqlite"));
    const QString hostile = QStringLiteral("<img src=x onerror=alert(1)>");
    {
        MeterSim sim;
        ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
        for (const QString &lot : {QStringLiteral("LOT-7"), hostile}) {
            const CliResult r = runCli({QStringLiteral("run"), qelSourceDir() + QStringLiteral("/examples/capacitor.pro"),
                QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--db"), db, QStringLiteral("--lot-no"), lot});
            ASSERT_TRUE(r.finished && r.exitCode <= 1) << r.describe();
        }
    }
    DashboardProcess serve({QStringLiteral("--db"), db, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
    ASSERT_NE(serve.port(), 0) << qPrintable(serve.errText());
    const QJsonArray runs = QJsonDocument::fromJson(httpGet(serve.port(), "/api/runs").body).array();
    const QJsonObject station = QJsonDocument::fromJson(httpGet(serve.port(), "/api/stations").body).array().at(0).toObject();
    ASSERT_EQ(runs.size(), 2);

    const QString dom = renderedDom(serve.address());
    ASSERT_TRUE(dom.contains(QLatin1String("Updated "))) << qPrintable(dom.left(3000));
    // The station's card with its state and today's yield as the page writes it.
    const QString name = station.value(QStringLiteral("station")).toString();
    const QString yield = QString::number(100 * station.value(QStringLiteral("yieldToday")).toDouble(), 'f', 1) + QStringLiteral(" %");
    const QRegularExpression card(QStringLiteral("<div class=\"card idle\" data-station=\"%1\"><h3>%1</h3><div class=\"state\">idle</div>"
                                                 "<div class=\"yield\">%2</div><div class=\"detail\">today: 2 runs, 2 rows</div>")
                                      .arg(QRegularExpression::escape(name), QRegularExpression::escape(yield)));
    EXPECT_TRUE(card.match(dom).hasMatch()) << qPrintable(dom);
    // One table line a run, newest first, with its lot.
    const QRegularExpression runLine(QStringLiteral("<tr data-run=\"([0-9a-f-]+)\""));
    QStringList shown;
    for (auto it = runLine.globalMatch(dom); it.hasNext();)
        shown << it.next().captured(1);
    EXPECT_EQ(shown, QStringList({runs[0].toObject().value(QStringLiteral("id")).toString(),
                         runs[1].toObject().value(QStringLiteral("id")).toString()}));
    EXPECT_TRUE(dom.contains(QLatin1String("<td>LOT-7</td>")));
    // The hostile lot is text in the table and on the card, never an element.
    EXPECT_TRUE(dom.contains(QLatin1String("<td>&lt;img src=x onerror=alert(1)&gt;</td>"))) << qPrintable(dom);
    EXPECT_TRUE(dom.contains(QLatin1String("lot &lt;img src=x onerror=alert(1)&gt;</div>")));
    EXPECT_FALSE(dom.contains(QLatin1String("<img")));

    // A lot named in the address: its statistics table holds the figures of /api/stats, empty where undefined.
    const QJsonObject stats = QJsonDocument::fromJson(httpGet(serve.port(), "/api/stats?lot=LOT-7").body).object();
    const QJsonArray columns = stats.value(QStringLiteral("columns")).toArray();
    ASSERT_FALSE(columns.isEmpty());
    const QString lotDom = renderedDom(serve.address() + QStringLiteral("#lot=LOT-7"));
    const QRegularExpression cellText(QStringLiteral("<td[^>]*>([^<]*)</td>"));
    bool someEmpty = false;
    for (int i = 0; i < columns.size(); ++i) {
        const QJsonObject c = columns[i].toObject();
        const QRegularExpressionMatch row =
            QRegularExpression(QStringLiteral("<tr data-column=\"%1\">(.*?)</tr>").arg(i)).match(lotDom);
        ASSERT_TRUE(row.hasMatch()) << i << qPrintable(lotDom.left(4000));
        QStringList cells;
        for (auto it = cellText.globalMatch(row.captured(1)); it.hasNext();)
            cells << it.next().captured(1);
        ASSERT_EQ(cells.size(), 11) << qPrintable(row.captured(0));
        EXPECT_EQ(cells[0], QString::number(c.value(QStringLiteral("step")).toInt()));
        EXPECT_EQ(cells[1], c.value(QStringLiteral("item")).toString());
        EXPECT_EQ(cells[2], QString::number(c.value(QStringLiteral("n")).toInt()));
        const char *keys[] = {"mean", "stdev", "min", "max", "cp", "cpk"};
        for (int k = 0; k < 6; ++k) {
            const QJsonValue v = c.value(QLatin1String(keys[k]));
            if (v.isNull()) {
                EXPECT_TRUE(cells[3 + k].isEmpty()) << keys[k] << qPrintable(cells[3 + k]);
                someEmpty = true;
            } else {
                EXPECT_NEAR(cells[3 + k].toDouble(), v.toDouble(), 1e-5 * std::abs(v.toDouble())) << keys[k] << qPrintable(cells[3 + k]);
            }
        }
        EXPECT_EQ(cells[9], QString::number(c.value(QStringLiteral("fails")).toInt()));
        const QJsonValue yieldValue = c.value(QStringLiteral("yield"));
        EXPECT_EQ(cells[10], yieldValue.isNull() ? QString() : QString::number(100 * yieldValue.toDouble(), 'f', 1) + QStringLiteral(" %"));
    }
    EXPECT_TRUE(someEmpty) << "one reading a column has no spread";
    EXPECT_FALSE(lotDom.contains(QStringLiteral("<tr data-column=\"%1\">").arg(columns.size())));
    // The histogram drawn is of the first column.
    EXPECT_TRUE(lotDom.contains(QLatin1String("class=\"chart-box histogram-box\" data-column=\"0\""))) << qPrintable(lotDom.left(4000));
    EXPECT_EQ(serve.terminate(), 0);

    // With a token the page asks for it instead of showing anything.
    const QString tokenFile = dir.filePath(QStringLiteral("token"));
    ASSERT_TRUE(writeBytes(tokenFile, "line-dashboard-token-0123456789\n"));
    DashboardProcess guarded({QStringLiteral("--db"), db, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
        QStringLiteral("--token-file"), tokenFile});
    ASSERT_NE(guarded.port(), 0) << qPrintable(guarded.errText());
    const QString asking = renderedDom(guarded.address());
    EXPECT_TRUE(asking.contains(QLatin1String("<form id=\"token-form\">"))) << qPrintable(asking.left(3000));
    EXPECT_TRUE(asking.contains(QLatin1String("Token needed.")));
    EXPECT_FALSE(asking.contains(QLatin1String("data-run=")));
}
