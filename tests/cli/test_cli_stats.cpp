// qel-cli stats and the statistics in the outputs, driven as a user would:
// a simulated meter whose parts vary, runs through qel-cli, and the figures
// checked against the simulator's distribution and against Python's
// statistics module reading the report's cells.

#include "CliHarness.h"
#include "../support/MeterSim.h"

#include "document/DocumentLayouts.h"
#include "document/DocumentNames.h"
#include "document/PageTransfer.h"
#include "execution/ResultExport.h"
#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct StatsFixture : ::testing::Test
{
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }
    QString write(const QString &name, const QByteArray &bytes)
    {
        EXPECT_TRUE(writeBytes(path(name), bytes));
        return path(name);
    }
};

QJsonObject statsJson(const QString &report, const QString &procedure, CliResult *raw = nullptr)
{
    const CliResult r = runCli({QStringLiteral("stats"), report, QStringLiteral("--procedure"), procedure,
                                QStringLiteral("--json")});
    EXPECT_TRUE(r.finished && r.exitCode == 0) << r.describe();
    if (raw)
        *raw = r;
    QJsonParseError e;
    const QJsonObject o = QJsonDocument::fromJson(r.out, &e).object();
    EXPECT_EQ(e.error, QJsonParseError::NoError) << r.describe();
    return o;
}

// Python's statistics module on the report's cells, as `qel-cli show`
// prints them: for every reading column its numbers in base units (the
// leading number times the unit's prefix), count, mean, stdev, min, max,
// fails and the rows without a fail. Overload readings are not numbers.
QJsonObject pythonFigures(const QByteArray &showJson, const QJsonArray &units)
{
    static const char *script = R"PY(
import json, re, statistics, sys
doc = json.loads(sys.stdin.read())
units = json.loads(sys.argv[1])
prefix = {'p': 1e-12, 'n': 1e-9, 'u': 1e-6, 'm': 1e-3, 'K': 1e3, 'M': 1e6}
def factor(u):
    for k in 'pnumKM':
        if k in u:
            return prefix[k]
    return 1.0
rows = [r for r in doc['rows']]
out = {'rows': len(rows), 'passed': sum(1 for r in rows if 'fail' not in r), 'columns': []}
for i, u in enumerate(units):
    vals, fails = [], 0
    for r in rows:
        m = re.match(r'\s*([+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?)', r[2 * i])
        if m:
            v = float(m.group(1)) * factor(u)
            if abs(v) < 9.9e37 * (1 - 1e-9):
                vals.append(v)
        fails += r[2 * i + 1] == 'fail'
    c = {'n': len(vals), 'fails': fails}
    if vals:
        c.update(mean=statistics.fmean(vals), min=min(vals), max=max(vals))
    if len(vals) > 1:
        c['stdev'] = statistics.stdev(vals)
    out['columns'].append(c)
print(json.dumps(out))
)PY";
    QProcess py;
    py.start(QStringLiteral("/usr/bin/python3"),
             {QStringLiteral("-c"), QString::fromUtf8(script),
              QString::fromUtf8(QJsonDocument(units).toJson(QJsonDocument::Compact))});
    py.write(showJson);
    py.closeWriteChannel();
    EXPECT_TRUE(py.waitForFinished(60000));
    EXPECT_EQ(py.exitCode(), 0) << py.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(py.readAllStandardOutput()).object();
}

bool closeTo(double a, double b, double rel = 1e-12)
{
    return std::fabs(a - b) <= rel * std::max(std::fabs(a), std::fabs(b));
}

QString overloadCell(const QString &unit)
{
    return QString::asprintf("%f", 9.9e37) + unit;
}

} // namespace

TEST_F(StatsFixture, ThousandPartsWithATwoPercentSpreadAgreeWithTheSimulatorAndTheCells)
{
    MeterSim sim({QStringLiteral("--component"), QStringLiteral("C=100n"), QStringLiteral("--spread"),
                  QStringLiteral("C=2%"), QStringLiteral("--seed"), QStringLiteral("7"), QStringLiteral("--part-every"),
                  QStringLiteral("1")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const QString pro = write(QStringLiteral("one.pro"), procedureOf({TestStep()}));
    const QString rpt = path(QStringLiteral("one_1.rpt"));
    const CliResult run = runCli({QStringLiteral("run"), pro, QStringLiteral("--port"), sim.devicePath(),
                                  QStringLiteral("--loops"), QStringLiteral("1000"), QStringLiteral("--report"), rpt},
                                 120000);
    ASSERT_TRUE(run.finished) << run.describe();
    ASSERT_TRUE(run.exitCode == 0 || run.exitCode == 1) << run.describe();

    CliResult raw;
    const QJsonObject st = statsJson(rpt, pro, &raw);
    EXPECT_TRUE(raw.out.startsWith("{\"rows\": 1000, \"firstPassYield\": ")) << raw.out.left(200).toStdString();
    EXPECT_TRUE(raw.out.contains("{\"step\": 1, \"item\": \"C\", \"n\": 1000, \"mean\": "));
    ASSERT_EQ(st.value("columns").toArray().size(), 1);
    const QJsonObject c = st.value("columns").toArray().at(0).toObject();
    EXPECT_EQ(st.value("rows").toInt(), 1000);
    EXPECT_EQ(c.value("n").toInt(), 1000);

    // The simulator's parts: normal, mean 100 nF, sigma 2 nF. Four standard
    // errors either way (readings rounded to six digits change nothing here).
    const double mean = c.value("mean").toDouble(), sd = c.value("stdev").toDouble();
    EXPECT_NEAR(mean, 100e-9, 4 * 2e-9 / std::sqrt(1000.0)) << mean;
    EXPECT_NEAR(sd, 2e-9, 4 * 2e-9 / std::sqrt(2 * 1000.0)) << sd;
    // +-5 % limits are 2.5 sigma: about 1.2 % of parts fail.
    const int fails = c.value("fails").toInt();
    EXPECT_GT(fails, 2);
    EXPECT_LT(fails, 30);
    EXPECT_TRUE(closeTo(c.value("yield").toDouble(), (1000.0 - fails) / 1000.0));
    EXPECT_TRUE(closeTo(st.value("firstPassYield").toDouble(), (1000.0 - fails) / 1000.0));

    // Against the cells as Python reads them.
    const CliResult show = runCli({QStringLiteral("show"), rpt});
    ASSERT_EQ(show.exitCode, 0) << show.describe();
    const QJsonObject py = pythonFigures(show.out, QJsonArray{QStringLiteral("nF")});
    const QJsonObject pc = py.value("columns").toArray().at(0).toObject();
    EXPECT_EQ(pc.value("n").toInt(), 1000);
    EXPECT_EQ(pc.value("fails").toInt(), fails);
    for (const char *k : {"mean", "stdev", "min", "max"})
        EXPECT_TRUE(closeTo(c.value(k).toDouble(), pc.value(k).toDouble(), 1e-10))
            << k << " " << c.value(k).toDouble() << " vs " << pc.value(k).toDouble();
    const double s = pc.value("stdev").toDouble(), m = pc.value("mean").toDouble();
    EXPECT_TRUE(closeTo(c.value("cp").toDouble(), (105e-9 - 95e-9) / (6 * s), 1e-9));
    EXPECT_TRUE(closeTo(c.value("cpk").toDouble(), std::min(105e-9 - m, m - 95e-9) / (3 * s), 1e-9));

    // The same run without --spread reads one value: no spread, no Cp.
    MeterSim fixed({QStringLiteral("--component"), QStringLiteral("C=100n")});
    const QString rpt2 = path(QStringLiteral("one_2.rpt"));
    ASSERT_EQ(runCli({QStringLiteral("run"), pro, QStringLiteral("--port"), fixed.devicePath(), QStringLiteral("--loops"),
                      QStringLiteral("5"), QStringLiteral("--report"), rpt2})
                  .exitCode,
              0);
    const QJsonObject c2 = statsJson(rpt2, pro).value("columns").toArray().at(0).toObject();
    EXPECT_EQ(c2.value("stdev").toDouble(-1), 0.0);
    EXPECT_TRUE(c2.value("cp").isNull());
    EXPECT_TRUE(c2.value("cpk").isNull());
}

TEST_F(StatsFixture, HandWorkedTableWithColumnsWithoutNumbersOneSidedLimitsAndNoSpread)
{
    TestStep c; // C 100 nF +-5 %, D without a standard
    c.sItem = QStringLiteral("D");
    c.sUnit = QStringLiteral("D");
    TestStep rdc;
    rdc.fItem = QStringLiteral("Rdc");
    rdc.fStd = rdc.fLow = rdc.fHigh = QString();
    rdc.fUnit = QStringLiteral("O");
    rdc.freq = QString();
    TestStep z; // a high limit only, absolute: 110 ohm
    z.fItem = QStringLiteral("Z");
    z.fLow = QString();
    z.fHigh = QStringLiteral("+10");
    z.fUnit = QStringLiteral("O");
    z.type = QStringLiteral("Absolute");
    TestStep l; // every reading the same
    l.fItem = QStringLiteral("L");
    l.fStd = QStringLiteral("10");
    l.fLow = QStringLiteral("-1%");
    l.fHigh = QStringLiteral("+1%");
    l.fUnit = QStringLiteral("uH");
    const QString pro = write(QStringLiteral("hand.pro"), procedureOf({c, rdc, z, l}));
    const QString ovl = overloadCell(QStringLiteral("O"));
    const QList<QStringList> rows = {
        {"101.5nF", "pass", "0.0012", "", ovl, "", "104.2O", "pass", "10uH", "pass"},
        {"98.25nF", "pass", "0.0015", "", ovl, "", "111O", "fail", "10uH", "pass"},
        {"106nF", "fail", "0.0011", "", ovl, "", "99.5O", "pass", "10uH", "pass"},
    };
    const QString rpt = write(QStringLiteral("hand_1.rpt"),
                              Archive::report(rows, {"2026/1/2/", "2026/1/2/", "2026/1/2/"}, {"9:0:1", "9:0:2", "9:0:3"}));

    const QJsonObject st = statsJson(rpt, pro);
    EXPECT_EQ(st.value("rows").toInt(), 3);
    EXPECT_TRUE(closeTo(st.value("firstPassYield").toDouble(), 1.0 / 3.0)); // rows 2 and 3 hold a fail
    const QJsonArray cols = st.value("columns").toArray();
    ASSERT_EQ(cols.size(), 5);
    const QStringList items = {"C", "D", "Rdc", "Z", "L"};
    const QList<int> steps = {1, 1, 2, 3, 4};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(cols[i].toObject().value("item").toString(), items[i]);
        EXPECT_EQ(cols[i].toObject().value("step").toInt(), steps[i]);
    }

    CliResult show = runCli({QStringLiteral("show"), rpt});
    const QJsonObject py = pythonFigures(show.out, QJsonArray{"nF", "D", "O", "O", "uH"});
    const QJsonArray pcs = py.value("columns").toArray();
    for (int i : {0, 1, 3, 4}) {
        const QJsonObject mine = cols[i].toObject(), theirs = pcs[i].toObject();
        EXPECT_EQ(mine.value("n").toInt(), 3);
        for (const char *k : {"mean", "stdev", "min", "max"})
            EXPECT_TRUE(closeTo(mine.value(k).toDouble(), theirs.value(k).toDouble(), 1e-12))
                << items[i].toStdString() << " " << k << " " << mine.value(k).toDouble() << " vs "
                << theirs.value(k).toDouble();
    }
    // C: both limits.
    const QJsonObject cc = cols[0].toObject();
    const double m = pcs[0].toObject().value("mean").toDouble(), s = pcs[0].toObject().value("stdev").toDouble();
    EXPECT_TRUE(closeTo(cc.value("cp").toDouble(), 10e-9 / (6 * s), 1e-9));
    EXPECT_TRUE(closeTo(cc.value("cpk").toDouble(), std::min(105e-9 - m, m - 95e-9) / (3 * s), 1e-9));
    EXPECT_EQ(cc.value("fails").toInt(), 1);
    EXPECT_TRUE(closeTo(cc.value("yield").toDouble(), 2.0 / 3.0));
    // D without a standard: figures of the readings, nothing judged.
    const QJsonObject dc = cols[1].toObject();
    for (const char *k : {"cp", "cpk", "yield"})
        EXPECT_TRUE(dc.value(k).isNull()) << k;
    // Rdc reading "infinite": no numbers at all, every figure null, never 0.
    const QJsonObject rc = cols[2].toObject();
    EXPECT_EQ(rc.value("n").toInt(), 0);
    for (const char *k : {"mean", "stdev", "min", "max", "cp", "cpk", "yield"})
        EXPECT_TRUE(rc.value(k).isNull()) << k;
    // Z: a high limit only gives the upper index as Cpk and no Cp.
    const QJsonObject zc = cols[3].toObject();
    const double zm = pcs[3].toObject().value("mean").toDouble(), zs = pcs[3].toObject().value("stdev").toDouble();
    EXPECT_TRUE(zc.value("cp").isNull());
    EXPECT_TRUE(closeTo(zc.value("cpk").toDouble(), (110 - zm) / (3 * zs), 1e-9));
    EXPECT_EQ(zc.value("fails").toInt(), 1);
    // L: sigma 0 is a figure; Cp and Cpk are not.
    const QJsonObject lc = cols[4].toObject();
    EXPECT_EQ(lc.value("stdev").toDouble(-1), 0.0);
    EXPECT_TRUE(closeTo(lc.value("mean").toDouble(), 10e-6));
    EXPECT_TRUE(lc.value("cp").isNull());
    EXPECT_TRUE(lc.value("cpk").isNull());
    EXPECT_TRUE(closeTo(lc.value("yield").toDouble(), 1.0));

    // One row: a mean, no deviation. No rows: nothing but counts.
    const QString one = write(QStringLiteral("hand_2.rpt"), Archive::report({rows[0]}, {"2026/1/2/"}, {"9:0:1"}));
    const QJsonObject c1 = statsJson(one, pro).value("columns").toArray().at(0).toObject();
    EXPECT_TRUE(closeTo(c1.value("mean").toDouble(), 101.5e-9));
    EXPECT_TRUE(c1.value("stdev").isNull());
    EXPECT_TRUE(c1.value("cp").isNull());
    const QString none = write(QStringLiteral("hand_3.rpt"), Archive::report({}, {}, {}));
    const QJsonObject st0 = statsJson(none, pro);
    EXPECT_EQ(st0.value("rows").toInt(), 0);
    EXPECT_TRUE(st0.value("firstPassYield").isNull());
    EXPECT_TRUE(st0.value("columns").toArray().at(0).toObject().value("mean").isNull());

    // The outputs: the export's first sheet as it was, then "Statistics";
    // the print's report pages as they were, then the statistics page.
    const QString xlsx = path(QStringLiteral("hand.xlsx"));
    ASSERT_EQ(runCli({QStringLiteral("export"), rpt, QStringLiteral("--procedure"), pro, QStringLiteral("--xlsx"), xlsx})
                  .exitCode,
              0);
    DocumentData data;
    ProcedureModel procedure;
    ResultTableModel results;
    DocumentLayouts::read(DocumentNames::FileType::Procedure, readBytes(pro), data);
    DocumentLayouts::read(DocumentNames::FileType::Report, readBytes(rpt), data);
    PageTransfer::rebuild(data, procedure, results, nullptr);
    const QString plain = path(QStringLiteral("plain.xlsx"));
    ASSERT_TRUE(ResultExport::exportToFile(procedure, results, plain, nullptr));
    const XlsxSheet a = XlsxSheet::read(xlsx), b = XlsxSheet::read(plain);
    ASSERT_TRUE(a.ok && b.ok) << a.error.toStdString() << b.error.toStdString();
    EXPECT_EQ(a.maxRow, b.maxRow);
    EXPECT_EQ(a.maxColumn, b.maxColumn);
    for (auto it = b.cells.begin(); it != b.cells.end(); ++it) {
        const XlsxSheet::Cell x = a.cell(it.key().first, it.key().second), y = it.value();
        EXPECT_TRUE(x.value == y.value && x.type == y.type && x.bold == y.bold && x.colour == y.colour
                    && x.align == y.align)
            << "cell " << it.key().first << "," << it.key().second;
    }
    EXPECT_EQ(a.cells.size(), b.cells.size());
    QProcess sheets;
    sheets.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import openpyxl,sys,json; wb=openpyxl.load_workbook(sys.argv[1]); "
                                 "ws=wb['Statistics']; print(json.dumps([wb.sheetnames, "
                                 "[[c.value for c in r] for r in ws.iter_rows()]]))"),
                  xlsx});
    ASSERT_TRUE(sheets.waitForFinished(60000));
    const QJsonArray sheet = QJsonDocument::fromJson(sheets.readAllStandardOutput()).array();
    ASSERT_EQ(sheet.size(), 2) << sheets.readAllStandardError().toStdString();
    EXPECT_EQ(sheet[0].toArray().size(), 2);
    EXPECT_EQ(sheet[0].toArray().at(1).toString(), QStringLiteral("Statistics"));
    const QJsonArray srows = sheet[1].toArray();
    ASSERT_GE(srows.size(), 6);
    EXPECT_EQ(srows[0].toArray().at(5).toString(), QStringLiteral("Mean"));
    // Numbers as numbers, the same as the JSON; an undefined figure an empty cell.
    EXPECT_TRUE(closeTo(srows[1].toArray().at(5).toDouble(), cc.value("mean").toDouble()));
    EXPECT_TRUE(closeTo(srows[1].toArray().at(9).toDouble(), cc.value("cp").toDouble()));
    EXPECT_TRUE(srows[3].toArray().at(5).isNull()); // Rdc
    EXPECT_FALSE(srows[3].toArray().at(13).toString().isEmpty()) << "the reason is given";

    auto pdfText = [](const QString &pdf, int page) {
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                              QString::number(page), pdf, QStringLiteral("-")});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    const QString pdf = path(QStringLiteral("hand.pdf")), pdf2 = path(QStringLiteral("hand2.pdf"));
    ASSERT_EQ(runCli({QStringLiteral("print"), rpt, QStringLiteral("--procedure"), pro, QStringLiteral("--pdf"), pdf,
                      QStringLiteral("--statistics")})
                  .exitCode,
              0);
    ASSERT_EQ(runCli({QStringLiteral("print"), rpt, QStringLiteral("--procedure"), pro, QStringLiteral("--pdf"), pdf2})
                  .exitCode,
              0);
    // Five items are one page of report; the statistics page follows it.
    EXPECT_TRUE(pdfText(pdf, 1).contains(QStringLiteral("1/1")));
    const QRegularExpression clock(QStringLiteral("\\d+:\\d+:\\d+"));
    EXPECT_EQ(pdfText(pdf, 1).remove(clock), pdfText(pdf2, 1).remove(clock)) << "the report page as it was";
    const QString page2 = pdfText(pdf, 2);
    EXPECT_TRUE(page2.contains(QStringLiteral("Statistics"))) << page2.toStdString();
    EXPECT_TRUE(page2.contains(QStringLiteral("Cpk")));
    EXPECT_TRUE(page2.contains(QStringLiteral("Rows: 3")));
    EXPECT_TRUE(pdfText(pdf2, 2).isEmpty()) << "without --statistics the report alone";
}

TEST_F(StatsFixture, ARecordedRunsStatisticsAreTheHistorysToTheLastDigit)
{
    // D of 100 nF with 0.05 ohm at 1 kHz is about 3.1e-5: the text
    // "0.000031" keeps two of its digits, the judged reading all of them.
    MeterSim sim({QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05"), QStringLiteral("--spread"),
                  QStringLiteral("C=2%"), QStringLiteral("--seed"), QStringLiteral("5"), QStringLiteral("--part-every"),
                  QStringLiteral("1")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    TestStep step;
    step.sItem = step.sUnit = QStringLiteral("D");
    const QString pro = write(QStringLiteral("cd.pro"), procedureOf({step}));
    const QString rpt = path(QStringLiteral("cd_1.rpt"));
    const QString db = path(QStringLiteral("runs.sqlite"));
    const QString live = path(QStringLiteral("live.json"));
    const CliResult run = runCli({QStringLiteral("run"), pro, QStringLiteral("--port"), sim.devicePath(),
                                  QStringLiteral("--loops"), QStringLiteral("50"), QStringLiteral("--report"), rpt,
                                  QStringLiteral("--db"), db, QStringLiteral("--stats"), live},
                                 120000);
    ASSERT_TRUE(run.finished && (run.exitCode == 0 || run.exitCode == 1)) << run.describe();

    const CliResult runs = runCli({QStringLiteral("history"), QStringLiteral("runs"), QStringLiteral("--db"), db,
                                   QStringLiteral("--json")});
    ASSERT_EQ(runs.exitCode, 0) << runs.describe();
    const QString id = QJsonDocument::fromJson(runs.out).array().at(0).toObject().value("id").toString();
    ASSERT_FALSE(id.isEmpty()) << runs.describe();
    const CliResult history = runCli({QStringLiteral("history"), QStringLiteral("stats"), id, QStringLiteral("--db"),
                                      db, QStringLiteral("--json")});
    ASSERT_EQ(history.exitCode, 0) << history.describe();
    QFile f(live);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray liveJson = f.readAll().trimmed();
    EXPECT_EQ(liveJson.toStdString(), history.out.trimmed().toStdString());
    const QJsonObject d = QJsonDocument::fromJson(liveJson).object().value("columns").toArray().at(1).toObject();
    ASSERT_EQ(d.value("n").toInt(), 50);
    EXPECT_NEAR(d.value("mean").toDouble(), 3.1e-5, 0.5e-5);

    // The report file keeps only the texts: read from disk, they are the source.
    const QJsonObject fromFile = statsJson(rpt, pro).value("columns").toArray().at(1).toObject();
    EXPECT_EQ(fromFile.value("n").toInt(), 50);
    EXPECT_NE(fromFile.value("mean").toDouble(), d.value("mean").toDouble());
    EXPECT_NEAR(fromFile.value("mean").toDouble(), d.value("mean").toDouble(), 0.5e-6);
}
