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

// Units of the readings the capacitor procedure takes, by item.
const QHash<QString, QString> units = {{QStringLiteral("C"), QStringLiteral("F")}, {QStringLiteral("L"), QStringLiteral("H")},
    {QStringLiteral("Z"), QStringLiteral("\u03a9")}, {QStringLiteral("Angle"), QStringLiteral("\u00b0")}};

// "100.003 nF" back to 1.00003e-7; "-90°" to -90; "0.0012" to 0.0012.
double engineeringValue(QString text, const QString &unit)
{
    if (!unit.isEmpty() && text.endsWith(unit))
        text.chop(unit.size());
    text = text.trimmed();
    static const QHash<QChar, double> scale = {{QLatin1Char('f'), 1e-15}, {QLatin1Char('p'), 1e-12}, {QLatin1Char('n'), 1e-9},
        {QChar(0x00b5), 1e-6}, {QLatin1Char('m'), 1e-3}, {QLatin1Char('k'), 1e3}, {QLatin1Char('M'), 1e6}, {QLatin1Char('G'), 1e9},
        {QLatin1Char('T'), 1e12}};
    double factor = 1;
    if (!text.isEmpty() && scale.contains(text.back())) {
        factor = scale.value(text.back());
        text.chop(1);
    }
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return ok ? v * factor : std::nan("");
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
                                                 "<div class=\"label\">Yield today</div>"
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
    // No lot chosen: no empty statistics table or histogram.
    EXPECT_TRUE(dom.contains(QLatin1String("<div id=\"lot-body\" hidden=\"\">"))) << qPrintable(dom);

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
        const QString unit = units.value(c.value(QStringLiteral("item")).toString());
        for (int k = 0; k < 6; ++k) {
            const QJsonValue v = c.value(QLatin1String(keys[k]));
            if (v.isNull()) {
                EXPECT_TRUE(cells[3 + k].isEmpty()) << keys[k] << qPrintable(cells[3 + k]);
                someEmpty = true;
            } else {
                // Readings in engineering notation with their unit (100.003 nF); Cp and Cpk plain.
                const double shown = k < 4 ? engineeringValue(cells[3 + k], unit) : cells[3 + k].toDouble();
                // One notation: never an exponent beside plain numbers.
                EXPECT_FALSE(cells[3 + k].contains(QLatin1Char('e'))) << keys[k] << qPrintable(cells[3 + k]);
                EXPECT_NEAR(shown, v.toDouble(), 1e-5 * std::abs(v.toDouble())) << keys[k] << qPrintable(cells[3 + k]);
                if (k < 4 && v.toDouble() != 0 && unit == QLatin1String("F"))
                    EXPECT_TRUE(QRegularExpression(QStringLiteral("^-?[0-9]{1,3}(\\.[0-9]+)? [fpn\u00b5m]F$")).match(cells[3 + k]).hasMatch())
                        << qPrintable(cells[3 + k]);
            }
        }
        EXPECT_EQ(cells[9], QString::number(c.value(QStringLiteral("fails")).toInt()));
        const QJsonValue yieldValue = c.value(QStringLiteral("yield"));
        EXPECT_EQ(cells[10], yieldValue.isNull() ? QString() : QString::number(100 * yieldValue.toDouble(), 'f', 1) + QStringLiteral(" %"));
    }
    EXPECT_TRUE(someEmpty) << "one reading a column has no spread";
    EXPECT_FALSE(lotDom.contains(QStringLiteral("<tr data-column=\"%1\">").arg(columns.size())));
    // The histogram drawn is of the first column, its axis named with the item and unit.
    EXPECT_TRUE(lotDom.contains(QLatin1String("class=\"chart-box histogram-box\" data-column=\"0\""))) << qPrintable(lotDom.left(4000));
    const QJsonObject first = columns[0].toObject();
    const QString axis = first.value(QStringLiteral("item")).toString() + QString::number(first.value(QStringLiteral("step")).toInt());
    EXPECT_TRUE(lotDom.contains(QStringLiteral("aria-label=\"Histogram of %1 (%2)\"").arg(axis, units.value(first.value(QStringLiteral("item")).toString()))))
        << qPrintable(lotDom.left(6000));
    // Its value axis ticks in engineering notation with the unit, the counts plain.
    const QRegularExpressionMatch ticks =
        QRegularExpression(QStringLiteral("id=\"histogram-chart\"[^>]*data-x-ticks=\"([^\"]*)\"")).match(lotDom);
    ASSERT_TRUE(ticks.hasMatch()) << qPrintable(lotDom.left(6000));
    const QStringList xTicks = ticks.captured(1).split(QStringLiteral(" | "));
    EXPECT_GE(xTicks.size(), 3);
    for (const QString &t : xTicks)
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^-?[0-9]{1,3}(\\.[0-9]+)? [fpn\u00b5m]?F$")).match(t).hasMatch()) << qPrintable(t);
    // Today's yield per station in percent.
    const QRegularExpressionMatch yields =
        QRegularExpression(QStringLiteral("id=\"yield-chart\"[^>]*data-y-ticks=\"([^\"]*)\"")).match(lotDom);
    ASSERT_TRUE(yields.hasMatch()) << qPrintable(lotDom.left(3000));
    EXPECT_TRUE(yields.captured(1).startsWith(QLatin1String("0 % | "))) << qPrintable(yields.captured(1));
    for (const QString &t : yields.captured(1).split(QStringLiteral(" | ")))
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9]{1,3} %$")).match(t).hasMatch()) << qPrintable(t);
    EXPECT_TRUE(lotDom.contains(QLatin1String("<div id=\"lot-body\">")));
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
