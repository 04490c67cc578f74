// Bin sorting and control charts through qel-cli: a simulated line whose
// parts spread and sometimes come out far off, counted again by Python from
// the printed rows; control limits and rule violations of series worked
// out by hand from the textbook formulas.

#include "CliHarness.h"
#include "../support/MeterSim.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct BinsFixture : ::testing::Test
{
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }
    QString write(const QString &name, const QByteArray &bytes)
    {
        EXPECT_TRUE(writeBytes(path(name), bytes));
        return path(name);
    }
};

QJsonObject jsonOf(const CliResult &r)
{
    QJsonParseError e;
    const QJsonObject o = QJsonDocument::fromJson(r.out, &e).object();
    EXPECT_EQ(e.error, QJsonParseError::NoError) << r.describe();
    return o;
}

// The printed rows binned again with exact decimal arithmetic on the texts:
// C in nF against 100 nF +-1 %, +-2 %, +-5 %; D at most 0.001 (else AUX).
// Prints {"BIN1": n, ..., "AUX": n, "OUT": n, "printed": [bin column...]}.
QJsonObject pythonBins(const QByteArray &printed)
{
    static const char *script = R"PY(
import json, re, sys
from decimal import Decimal
lines = sys.stdin.read().splitlines()
head = lines[0].split('\t')
ci, di, bi = head.index('C1'), head.index('D1'), head.index('Bin')
num = re.compile(r'\s*([+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?)')
counts = {'BIN1': 0, 'BIN2': 0, 'BIN3': 0, 'AUX': 0, 'OUT': 0}
printed = []
for line in lines[1:]:
    cells = line.split('\t')
    c = num.match(cells[ci]); d = num.match(cells[di])
    if d is None or not (Decimal(0) <= Decimal(d.group(1)) <= Decimal('0.001')):
        b = 'AUX'
    elif c is None:
        b = 'OUT'
    else:
        v = Decimal(c.group(1))
        b = 'OUT'
        for i, p in enumerate([1, 2, 5]):
            if Decimal(100) - p <= v <= Decimal(100) + p:
                b = 'BIN%d' % (i + 1)
                break
    counts[b] += 1
    printed.append(cells[bi])
counts['printed'] = printed
print(json.dumps(counts))
)PY";
    QProcess py;
    py.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(script)});
    py.write(printed);
    py.closeWriteChannel();
    EXPECT_TRUE(py.waitForFinished(60000));
    EXPECT_EQ(py.exitCode(), 0) << py.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(py.readAllStandardOutput()).object();
}

// Steps measuring Z in ohms (factor 1), so report texts are the numbers.
QByteArray ohmProcedure()
{
    TestStep z;
    z.fItem = QStringLiteral("Z");
    z.fUnit = QStringLiteral("O");
    return procedureOf({z});
}

QByteArray ohmReport(const QList<double> &values)
{
    QList<QStringList> rows;
    QStringList dates, times;
    for (double v : values) {
        // An overload as the meter's value is written into a report.
        const QString text = v > 1e37 ? QString::asprintf("%f", v) : QString::number(v);
        rows << QStringList{text + QStringLiteral("O"), QStringLiteral("pass")};
        dates << QStringLiteral("2026/12/9/");
        times << QStringLiteral("7:0:0");
    }
    return Archive::report(rows, dates, times);
}

std::string shortest(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest).toStdString();
}

QJsonObject controlOf(const QJsonObject &stats)
{
    return stats.value("columns").toArray().at(0).toObject().value("control").toObject();
}

QList<std::pair<int, int>> violationsOf(const QJsonObject &control)
{
    QList<std::pair<int, int>> out;
    for (const QJsonValue &v : control.value("violations").toArray())
        out << std::pair{v.toObject().value("point").toInt(-1), v.toObject().value("rule").toInt(-1)};
    return out;
}

} // namespace

TEST_F(BinsFixture, SpreadPartsWithOutliersAreCountedAsPythonCountsThePrintedRows)
{
    // D = 2 pi f C ESR: about 6.3e-4 at 1 ohm, and ESR spreads by half, so
    // some parts fail D <= 0.001; one part in ten is 20 % off (OUT).
    MeterSim sim({QStringLiteral("--component"), QStringLiteral("C=100n,esr=1"), QStringLiteral("--spread"),
                  QStringLiteral("C=2%,esr=40%"), QStringLiteral("--outliers"), QStringLiteral("10%"),
                  QStringLiteral("--seed"), QStringLiteral("11")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    TestStep step;
    step.sItem = step.sUnit = QStringLiteral("D");
    const QString pro = write(QStringLiteral("cd.pro"), procedureOf({step}));
    const QString plan = write(QStringLiteral("cd.bins.json"),
                               R"({"step": 1, "mode": "nested", "nominal": 1e-7, "bins": [[-1, 1], [-2, 2], [-5, 5]],
                                   "secondary": {"low": 0, "high": 0.001}})");
    const QString rpt = path(QStringLiteral("cd_1.rpt"));
    const QString db = path(QStringLiteral("history.sqlite"));
    const CliResult run = runCli({QStringLiteral("run"), pro, QStringLiteral("--port"), sim.devicePath(),
                                  QStringLiteral("--loops"), QStringLiteral("400"), QStringLiteral("--report"), rpt,
                                  QStringLiteral("--bins"), plan, QStringLiteral("--db"), db},
                                 180000);
    ASSERT_TRUE(run.finished && (run.exitCode == 0 || run.exitCode == 1)) << run.describe();
    EXPECT_TRUE(run.outLines().value(0).endsWith(QLatin1String("\tDate\tTime\tBin"))) << run.describe();

    const QJsonObject py = pythonBins(run.out);
    const QStringList names = {"BIN1", "BIN2", "BIN3", "AUX", "OUT"};
    int total = 0;
    for (const QString &n : names)
        total += py.value(n).toInt();
    ASSERT_EQ(total, 400);
    // Every kind of part turned up: the test says something about each.
    for (const QString &n : names)
        EXPECT_GT(py.value(n).toInt(), 3) << qPrintable(n);

    // Each printed row's bin is the one Python gives its texts.
    QJsonObject printed;
    for (const QJsonValue &b : py.value("printed").toArray())
        printed[b.toString()] = printed.value(b.toString()).toInt() + 1;
    for (const QString &n : names)
        EXPECT_EQ(printed.value(n).toInt(), py.value(n).toInt()) << qPrintable(n);

    // The report's rows counted by qel-cli bins: the same counts and shares.
    const CliResult bins = runCli({QStringLiteral("bins"), rpt, QStringLiteral("--procedure"), pro,
                                   QStringLiteral("--bins"), plan, QStringLiteral("--json")});
    ASSERT_EQ(bins.exitCode, 0) << bins.describe();
    const QJsonObject b = jsonOf(bins);
    EXPECT_EQ(b.value("rows").toInt(), 400);
    const QJsonArray list = b.value("bins").toArray();
    ASSERT_EQ(list.size(), 3);
    const double lows[] = {99e-9, 98e-9, 95e-9}, highs[] = {101e-9, 102e-9, 105e-9};
    for (int i = 0; i < 3; ++i) {
        const QJsonObject o = list.at(i).toObject();
        EXPECT_EQ(o.value("name").toString(), names[i]);
        EXPECT_DOUBLE_EQ(o.value("low").toDouble(), lows[i]);
        EXPECT_DOUBLE_EQ(o.value("high").toDouble(), highs[i]);
        EXPECT_EQ(o.value("count").toInt(), py.value(names[i]).toInt()) << qPrintable(names[i]);
        EXPECT_DOUBLE_EQ(o.value("share").toDouble(), py.value(names[i]).toInt() / 400.0);
    }
    EXPECT_EQ(b.value("aux").toObject().value("count").toInt(), py.value("AUX").toInt());
    EXPECT_DOUBLE_EQ(b.value("aux").toObject().value("share").toDouble(), py.value("AUX").toInt() / 400.0);
    EXPECT_EQ(b.value("out").toObject().value("count").toInt(), py.value("OUT").toInt());

    // Every recorded row keeps the bin printed for it; a run without a plan
    // records none.
    const CliResult plain = runCli({QStringLiteral("run"), pro, QStringLiteral("--port"), sim.devicePath(),
                                    QStringLiteral("--loops"), QStringLiteral("2"), QStringLiteral("--db"), db});
    ASSERT_TRUE(plain.finished && plain.exitCode <= 1) << plain.describe();
    const CliResult runs = runCli({QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--db"), db,
                                   QStringLiteral("--json")});
    const QJsonArray runList = QJsonDocument::fromJson(runs.out).array();
    ASSERT_EQ(runList.size(), 2) << runs.describe();
    auto rowsOf = [&](const QJsonValue &r) {
        const CliResult rows = runCli({QStringLiteral("history"), QStringLiteral("rows"), r.toObject().value("id").toString(),
                                       QStringLiteral("--db"), db, QStringLiteral("--json")});
        EXPECT_EQ(rows.exitCode, 0) << rows.describe();
        return QJsonDocument::fromJson(rows.out).array();
    };
    const QJsonArray binned = rowsOf(runList.at(1)), unbinned = rowsOf(runList.at(0)); // newest first
    const QJsonArray printedBins = py.value("printed").toArray();
    ASSERT_EQ(binned.size(), 400);
    for (int i = 0; i < 400; ++i)
        ASSERT_EQ(binned.at(i).toObject().value("bin").toString(), printedBins.at(i).toString()) << "row " << i;
    ASSERT_EQ(unbinned.size(), 2);
    for (const QJsonValue &r : unbinned) {
        EXPECT_TRUE(r.toObject().contains("bin"));
        EXPECT_TRUE(r.toObject().value("bin").isNull());
    }
}

TEST_F(BinsFixture, SequentialBoundsAreInclusiveOverlapsGoLowAndBadPlansNameTheirKey)
{
    const QString pro = write(QStringLiteral("z.pro"), ohmProcedure());
    // 10 and 20 sit on bounds; 15 is in both bins 1 and 2; 25 in none;
    // the last reading is the meter's overload value.
    const QString rpt = write(QStringLiteral("z_1.rpt"), ohmReport({10, 15, 20, 20.5, 25, 30, 9.9e37}));
    const QString plan = write(QStringLiteral("seq.json"), R"({"step": 1, "mode": "sequential", "bins": [[10, 20], [15, 24], [30, 40]]})");
    const CliResult r = runCli({QStringLiteral("bins"), rpt, QStringLiteral("--procedure"), pro, QStringLiteral("--bins"), plan,
                                QStringLiteral("--json")});
    ASSERT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_EQ(r.out.toStdString(),
              "{\"rows\": 7, \"bins\": [{\"name\": \"BIN1\", \"low\": 10, \"high\": 20, \"count\": 3, \"share\": "
                  + shortest(3.0 / 7)
                  + "}, {\"name\": \"BIN2\", \"low\": 15, \"high\": 24, \"count\": 1, \"share\": "
                  + shortest(1.0 / 7)
                  + "}, {\"name\": \"BIN3\", \"low\": 30, \"high\": 40, \"count\": 1, \"share\": "
                  + shortest(1.0 / 7)
                  + "}], \"aux\": {\"count\": 0, \"share\": 0}, \"out\": {\"count\": 2, \"share\": "
                  + shortest(2.0 / 7) + "}}\n");

    const QList<std::pair<QByteArray, QString>> bad = {
        {R"({"step": 1, "mode": "nested", "bins": [[-1, 1]]})", "\"nominal\""},
        {R"({"step": 1, "mode": "stacked", "nominal": 1, "bins": [[-1, 1]]})", "\"mode\""},
        {R"({"step": 0, "mode": "sequential", "bins": [[1, 2]]})", "\"step\""},
        {R"({"step": 2, "mode": "sequential", "bins": [[1, 2]]})", "\"step\" 2"},
        {R"({"step": 1, "mode": "sequential", "bins": [[2, 1]]})", "\"bins\" entry 1"},
        {R"({"step": 1, "mode": "sequential", "bins": [[1,2],[1,2],[1,2],[1,2],[1,2],[1,2],[1,2],[1,2],[1,2],[1,2]]})", "\"bins\""},
        {R"({"step": 1, "mode": "sequential", "bins": [[1, 2]], "secondary": {"high": 1}})", "\"secondary\""},
        {R"({"step": 1, "mode": "sequential", "bins": [[1, 2]], "nominl": 3})", "\"nominl\""},
    };
    for (const auto &[json, key] : bad) {
        const QString p = write(QStringLiteral("bad.json"), json);
        const CliResult e = runCli({QStringLiteral("bins"), rpt, QStringLiteral("--procedure"), pro,
                                    QStringLiteral("--bins"), p});
        EXPECT_EQ(e.exitCode, 2) << e.describe();
        EXPECT_TRUE(isOneSentenceNaming(e, key)) << e.describe();
    }
}

TEST_F(BinsFixture, ControlLimitsOfIndividualsAndSubgroupsAsWorkedByHand)
{
    const QString pro = write(QStringLiteral("z.pro"), ohmProcedure());
    auto control = [&](const QList<double> &values, const QStringList &options) {
        const QString rpt = write(QStringLiteral("z_1.rpt"), ohmReport(values));
        const CliResult r = runCli(QStringList{QStringLiteral("stats"), rpt, QStringLiteral("--procedure"), pro,
                                               QStringLiteral("--json"), QStringLiteral("--control")}
                                   + options);
        EXPECT_EQ(r.exitCode, 0) << r.describe();
        return controlOf(jsonOf(r));
    };

    // Individuals 100 102 101 105 99: mean 507/5 = 101.4; moving ranges
    // 2 1 4 6, MR-bar 13/4 = 3.25; limits 101.4 +- 2.66 * 3.25 = 110.045
    // and 92.755; MR chart up to 3.267 * 3.25 = 10.61775. Nothing broken.
    QJsonObject c = control({100, 102, 101, 105, 99}, {});
    EXPECT_EQ(c.value("chart").toString(), QStringLiteral("I-MR"));
    EXPECT_EQ(c.value("subgroup").toInt(), 1);
    EXPECT_NEAR(c.value("center").toDouble(), 101.4, 1e-12);
    EXPECT_NEAR(c.value("ucl").toDouble(), 110.045, 1e-12);
    EXPECT_NEAR(c.value("lcl").toDouble(), 92.755, 1e-12);
    EXPECT_NEAR(c.value("rangeCenter").toDouble(), 3.25, 1e-12);
    EXPECT_NEAR(c.value("rangeUcl").toDouble(), 10.61775, 1e-12);
    EXPECT_EQ(c.value("rangeLcl").toDouble(-1), 0.0);
    EXPECT_TRUE(violationsOf(c).isEmpty());

    // From the first 3 only: center 101, MR-bar 1.5, UCL 101 + 3.99 =
    // 104.99, so 105 (point 3) lies beyond it: rule 1.
    c = control({100, 102, 101, 105, 99}, {QStringLiteral("--baseline"), QStringLiteral("3")});
    EXPECT_NEAR(c.value("center").toDouble(), 101, 1e-12);
    EXPECT_NEAR(c.value("ucl").toDouble(), 104.99, 1e-12);
    EXPECT_NEAR(c.value("lcl").toDouble(), 97.01, 1e-12);
    EXPECT_NEAR(c.value("rangeUcl").toDouble(), 4.9005, 1e-12);
    EXPECT_EQ(violationsOf(c), (QList<std::pair<int, int>>{{3, 1}}));

    // Subgroups of 3: (10 12 11) (13 15 14) (9 10 8), the lone 7 left out.
    // Means 11 14 9, X-double-bar 34/3; ranges 2 2 2, R-bar 2; A2 = 1.023:
    // limits 34/3 +- 2.046; D4 = 2.574, D3 = 0: R chart 0 .. 5.148.
    // 14 lies above the UCL (13.379...), 9 below the LCL (9.287...).
    c = control({10, 12, 11, 13, 15, 14, 9, 10, 8, 7}, {QStringLiteral("--subgroup"), QStringLiteral("3")});
    EXPECT_EQ(c.value("chart").toString(), QStringLiteral("Xbar-R"));
    EXPECT_EQ(c.value("subgroup").toInt(), 3);
    EXPECT_NEAR(c.value("center").toDouble(), 34.0 / 3, 1e-12);
    EXPECT_NEAR(c.value("ucl").toDouble(), 34.0 / 3 + 2.046, 1e-12);
    EXPECT_NEAR(c.value("lcl").toDouble(), 34.0 / 3 - 2.046, 1e-12);
    EXPECT_NEAR(c.value("rangeCenter").toDouble(), 2, 1e-12);
    EXPECT_NEAR(c.value("rangeUcl").toDouble(), 5.148, 1e-12);
    EXPECT_EQ(c.value("rangeLcl").toDouble(-1), 0.0);
    EXPECT_EQ(violationsOf(c), (QList<std::pair<int, int>>{{1, 1}, {2, 1}}));

    // Subgroups of 7 have a lower range limit: D3 = 0.076, D4 = 1.924,
    // A2 = 0.419. Ranges 4 and 6: R-bar 5; means 3 and 13, center 8.
    c = control({1, 2, 3, 4, 5, 3, 3, 10, 11, 12, 13, 14, 15, 16}, {QStringLiteral("--subgroup"), QStringLiteral("7")});
    EXPECT_NEAR(c.value("center").toDouble(), 8, 1e-12);
    EXPECT_NEAR(c.value("ucl").toDouble(), 8 + 0.419 * 5, 1e-12);
    EXPECT_NEAR(c.value("rangeUcl").toDouble(), 1.924 * 5, 1e-12);
    EXPECT_NEAR(c.value("rangeLcl").toDouble(), 0.076 * 5, 1e-12);

    // Twelve equal readings: their mean may be a rounding hair off them,
    // which must not put every point beyond the limits.
    c = control(QList<double>(12, 1591.55), {});
    EXPECT_NEAR(c.value("center").toDouble(), 1591.55, 1e-9);
    EXPECT_EQ(c.value("rangeCenter").toDouble(-1), 0.0);
    EXPECT_TRUE(violationsOf(c).isEmpty()) << QJsonDocument(c).toJson().toStdString();

    // One reading: no moving range, so no limits yet.
    c = control({100}, {});
    EXPECT_TRUE(c.value("center").isNull());
    EXPECT_TRUE(c.value("ucl").isNull());
    EXPECT_TRUE(violationsOf(c).isEmpty());
}

TEST_F(BinsFixture, TheFourRulesAreReportedWhereTheyCompleteAgainstFixedLimits)
{
    const QString pro = write(QStringLiteral("z.pro"), ohmProcedure());
    // Center 100, UCL 103: sigma 1.
    const QString limits = write(QStringLiteral("limits.json"),
                                 R"({"columns": [{"step": 1, "item": "Z", "center": 100, "ucl": 103, "lcl": 97}]})");
    // 1: 103.5 beyond 3 sigma. 5: 97.5 and 97.8 below 2 sigma within three
    // (3..5). 11: four of 7..11 above 1 sigma (101.5, 101.5, 101.5, 101.5).
    // 14: 7..14 all above the center. Points on the center (0, 2, 4, 6)
    // sit on neither side; 97.5 is not beyond 3 sigma; 12 and 13 complete no
    // rule (a point below, 5, or on the center, 6, is among their eight).
    const QList<double> series = {100,   103.5, 100,   97.5,  100,   97.8,  100,  101.5,
                                  101.5, 100.5, 101.5, 101.5, 100.5, 100.5, 100.5, 99};
    const QString rpt = write(QStringLiteral("z_1.rpt"), ohmReport(series));
    const CliResult r = runCli({QStringLiteral("stats"), rpt, QStringLiteral("--procedure"), pro, QStringLiteral("--json"),
                                QStringLiteral("--control"), QStringLiteral("--limits"), limits});
    ASSERT_EQ(r.exitCode, 0) << r.describe();
    const QJsonObject c = controlOf(jsonOf(r));
    EXPECT_EQ(c.value("center").toDouble(), 100);
    EXPECT_EQ(c.value("ucl").toDouble(), 103);
    EXPECT_TRUE(c.value("rangeUcl").isNull());
    EXPECT_EQ(violationsOf(c), (QList<std::pair<int, int>>{{1, 1}, {5, 2}, {11, 3}, {14, 4}})) << r.describe();

    // The same series below the center mirrors every rule.
    QList<double> mirrored;
    for (double v : series)
        mirrored << 200 - v;
    write(QStringLiteral("z_1.rpt"), ohmReport(mirrored));
    const CliResult m = runCli({QStringLiteral("stats"), rpt, QStringLiteral("--procedure"), pro, QStringLiteral("--json"),
                                QStringLiteral("--control"), QStringLiteral("--limits"), limits});
    EXPECT_EQ(violationsOf(controlOf(jsonOf(m))), (QList<std::pair<int, int>>{{1, 1}, {5, 2}, {11, 3}, {14, 4}}));

    // Options that make no sense are refused before anything is read.
    for (const QStringList &opts : {QStringList{QStringLiteral("--subgroup"), QStringLiteral("3")},
                                    QStringList{QStringLiteral("--control"), QStringLiteral("--subgroup"), QStringLiteral("11")},
                                    QStringList{QStringLiteral("--control"), QStringLiteral("--baseline"), QStringLiteral("0")}}) {
        const CliResult e = runCli(QStringList{QStringLiteral("stats"), rpt, QStringLiteral("--procedure"), pro} + opts);
        EXPECT_EQ(e.exitCode, 2) << e.describe();
        EXPECT_TRUE(isOneSentenceNaming(e, opts.at(opts.size() - 2))) << e.describe();
    }
}

TEST_F(BinsFixture, TheWorkbookGainsASheetBinsAndThePrintABinsPageAfterTheOthers)
{
    const QString pro = write(QStringLiteral("z.pro"), ohmProcedure());
    const QString rpt = write(QStringLiteral("z_1.rpt"), ohmReport({10, 15, 20, 20.5, 25, 30, 9.9e37}));
    const QString plan = write(QStringLiteral("seq.json"), R"({"step": 1, "mode": "sequential", "bins": [[10, 20], [15, 24], [30, 40]]})");
    const QString xlsx = path(QStringLiteral("z.xlsx")), plain = path(QStringLiteral("plain.xlsx"));
    ASSERT_EQ(runCli({QStringLiteral("export"), rpt, QStringLiteral("--procedure"), pro, QStringLiteral("--xlsx"), xlsx,
                      QStringLiteral("--bins"), plan})
                  .exitCode,
              0);
    ASSERT_EQ(runCli({QStringLiteral("export"), rpt, QStringLiteral("--procedure"), pro, QStringLiteral("--xlsx"), plain})
                  .exitCode,
              0);
    auto sheets = [](const QString &file) {
        QProcess py;
        py.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import openpyxl,sys,json; wb=openpyxl.load_workbook(sys.argv[1]); "
                                 "print(json.dumps([wb.sheetnames, [[[c.value for c in r] for r in ws.iter_rows()] for ws in wb]]))"),
                  file});
        EXPECT_TRUE(py.waitForFinished(60000));
        return QJsonDocument::fromJson(py.readAllStandardOutput()).array();
    };
    const QJsonArray with = sheets(xlsx), without = sheets(plain);
    ASSERT_EQ(with.size(), 2);
    EXPECT_EQ(with[0].toArray(), (QJsonArray{without[0].toArray().at(0), QStringLiteral("Statistics"), QStringLiteral("Bins")}));
    // The sheets before it as they were.
    EXPECT_EQ(with[1].toArray().at(0), without[1].toArray().at(0));
    EXPECT_EQ(with[1].toArray().at(1), without[1].toArray().at(1));
    const QJsonArray bins = with[1].toArray().at(2).toArray();
    ASSERT_GE(bins.size(), 8);
    EXPECT_EQ(bins[0].toArray(), (QJsonArray{"Bin", "Low", "High", "Count", "Share"}));
    // Numbers as numbers: BIN1 10..20 holds 10, 15 and 20.
    const QJsonArray bin1 = bins[1].toArray();
    EXPECT_EQ(QJsonArray({bin1.at(0), bin1.at(1), bin1.at(2), bin1.at(3)}), (QJsonArray{"BIN1", 10, 20, 3}))
        << QJsonDocument(bin1).toJson().toStdString();
    EXPECT_NEAR(bins[1].toArray().at(4).toDouble(), 3.0 / 7, 1e-14);
    EXPECT_EQ(bins[4].toArray().at(0).toString(), QStringLiteral("AUX"));
    EXPECT_EQ(bins[5].toArray().at(0).toString(), QStringLiteral("OUT"));
    EXPECT_EQ(bins[5].toArray().at(3).toInt(), 2);
    EXPECT_EQ(bins[7].toArray().at(0).toString(), QStringLiteral("Rows"));
    EXPECT_EQ(bins[7].toArray().at(3).toInt(), 7);

    auto pdfText = [](const QString &pdf, int page) {
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                              QString::number(page), pdf, QStringLiteral("-")});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    const QString pdf = path(QStringLiteral("z.pdf"));
    ASSERT_EQ(runCli({QStringLiteral("print"), rpt, QStringLiteral("--procedure"), pro, QStringLiteral("--pdf"), pdf,
                      QStringLiteral("--statistics"), QStringLiteral("--bins"), plan})
                  .exitCode,
              0);
    EXPECT_TRUE(pdfText(pdf, 1).contains(QStringLiteral("1/1")));
    EXPECT_TRUE(pdfText(pdf, 2).contains(QStringLiteral("Cpk"))) << "the statistics page second";
    const QString page3 = pdfText(pdf, 3);
    EXPECT_TRUE(page3.contains(QStringLiteral("Bins"))) << page3.toStdString();
    EXPECT_TRUE(page3.contains(QStringLiteral("Rows: 7")));
    EXPECT_TRUE(page3.contains(QStringLiteral("42.86%"))) << "BIN1's share";
    EXPECT_TRUE(pdfText(pdf, 4).trimmed().isEmpty());

    // A plan that does not fit the procedure is refused before anything is written.
    const QString bad = write(QStringLiteral("bad.json"), R"({"step": 3, "mode": "sequential", "bins": [[1, 2]]})");
    const QString none = path(QStringLiteral("none.xlsx"));
    const CliResult e = runCli({QStringLiteral("export"), rpt, QStringLiteral("--procedure"), pro, QStringLiteral("--xlsx"),
                                none, QStringLiteral("--bins"), bad});
    EXPECT_EQ(e.exitCode, 2);
    EXPECT_TRUE(isOneSentenceNaming(e, QStringLiteral("\"step\" 3"))) << e.describe();
    EXPECT_FALSE(QFile::exists(none));
}
