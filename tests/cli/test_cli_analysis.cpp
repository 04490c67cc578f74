// Sweep analysis through qel-cli against the simulated meter: log sweeps
// (the frequencies the meter receives), equivalent-circuit fits of the
// three models, the resonance marker, limit masks and the CSV. The meter
// answers without noise here, in engineering notation.

#include "CliHarness.h"

#include "../support/MeterSim.h"

#include "analysis/SweepColumns.h"
#include "analysis/SweepMarkers.h"
#include "document/DocumentLayouts.h"
#include "plotter/PlotterState.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

#include <gtest/gtest.h>

namespace {

const double Pi = 3.14159265358979323846;

struct AnalysisFixture : ::testing::Test
{
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }

    // A log sweep of Z and Angle; the plot file written to pic.
    CliResult logSweep(const MeterSim &sim, const QString &start, const QString &end, int points, const QString &pic,
                       const QStringList &extra = {})
    {
        return runCli(QStringList{QStringLiteral("sweep"), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--item"),
                          QStringLiteral("Z"), QStringLiteral("--second"), QStringLiteral("Angle"), QStringLiteral("--kind"),
                          QStringLiteral("freq"), QStringLiteral("--start"), start, QStringLiteral("--end"), end,
                          QStringLiteral("--points"), QString::number(points), QStringLiteral("--log"), QStringLiteral("--pic"), pic}
            + extra);
    }
};

QJsonObject parseJson(const QByteArray &bytes)
{
    return QJsonDocument::fromJson(bytes).object();
}

// The plot file's result list, as the program restores it.
SweepColumns columnsOf(const QString &pic, PlotterState &state)
{
    QFile f(pic);
    f.open(QIODevice::ReadOnly);
    DocumentData data;
    DocumentLayouts::read(DocumentNames::FileType::Plot, f.readAll(), data);
    state.restoreFromDocument(data.plotRows, data.plotColumnCount, data.plotFirstItem, data.plotSecondItem);
    return SweepColumns::fromTable(state.table());
}

} // namespace

TEST_F(AnalysisFixture, FitRecoversEachSimulatedPartFromALogSweepThroughItsResonance)
{
    struct Case
    {
        const char *model;
        QString component;
        QString end;
        // name, simulated value, allowed relative error
        QList<std::tuple<QString, double, double>> expected;
        double l, c; // for 1/(2 pi sqrt(LC))
    };
    const QList<Case> cases{
        {"capacitor", QStringLiteral("C=100n,esr=0.05,esl=10n"), QStringLiteral("20000000"),
            {{QStringLiteral("C"), 100e-9, 0.01}, {QStringLiteral("ESL"), 10e-9, 0.01}, {QStringLiteral("ESR"), 0.05, 0.05}},
            10e-9, 100e-9},
        {"inductor", QStringLiteral("L=10u,rw=0.5,cp=10p"), QStringLiteral("40000000"),
            {{QStringLiteral("L"), 10e-6, 0.01}, {QStringLiteral("Cp"), 10e-12, 0.01}, {QStringLiteral("R"), 0.5, 0.05}},
            10e-6, 10e-12},
        {"resistor", QStringLiteral("R=100,ls=1u,cp=20p"), QStringLiteral("60000000"),
            {{QStringLiteral("R"), 100, 0.01}, {QStringLiteral("Ls"), 1e-6, 0.01}, {QStringLiteral("Cp"), 20e-12, 0.01}},
            1e-6, 20e-12},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.model);
        // A little measurement noise, as a real meter has, from a fixed seed.
        MeterSim sim({QStringLiteral("--component"), c.component, QStringLiteral("--engineering"), QStringLiteral("--noise"),
            QStringLiteral("0.05%"), QStringLiteral("--seed"), QStringLiteral("3")});
        ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
        const QString pic = path(QString::fromLatin1(c.model) + QStringLiteral(".pic"));
        const CliResult sweep = logSweep(sim, QStringLiteral("100"), c.end, 101, pic);
        ASSERT_TRUE(sweep.finished) << sweep.describe();
        ASSERT_EQ(sweep.exitCode, 0) << sweep.describe();

        const CliResult fit = runCli({QStringLiteral("fit"), pic, QStringLiteral("--model"), QString::fromLatin1(c.model),
            QStringLiteral("--json")});
        ASSERT_EQ(fit.exitCode, 0) << fit.describe();
        const QJsonObject o = parseJson(fit.out);
        EXPECT_EQ(o.keys(), (QStringList{QStringLiteral("model"), QStringLiteral("parameters"), QStringLiteral("points"),
                                QStringLiteral("residual"), QStringLiteral("srf")}));
        EXPECT_EQ(o.value(QStringLiteral("model")).toString(), QString::fromLatin1(c.model));
        EXPECT_EQ(o.value(QStringLiteral("points")).toInt(), 101);
        const QJsonObject params = o.value(QStringLiteral("parameters")).toObject();
        EXPECT_EQ(params.size(), 3);
        for (const auto &[name, value, tolerance] : c.expected) {
            const QJsonObject p = params.value(name).toObject();
            const double fitted = p.value(QStringLiteral("value")).toDouble();
            EXPECT_NEAR(fitted / value, 1.0, tolerance) << qPrintable(name) << " = " << fitted;
            const double u = p.value(QStringLiteral("uncertainty")).toDouble();
            EXPECT_GT(u, 0.0) << qPrintable(name);
            EXPECT_LT(u, std::fabs(fitted) * tolerance) << qPrintable(name);
        }
        const double srf = 1.0 / (2 * Pi * std::sqrt(c.l * c.c));
        EXPECT_NEAR(o.value(QStringLiteral("srf")).toDouble() / srf, 1.0, 0.005);
        EXPECT_LT(o.value(QStringLiteral("residual")).toDouble(), 0.01);

        if (QLatin1String(c.model) == QLatin1String("capacitor")) {
            // The resonance marker on the plotted lines agrees with the fit.
            PlotterState state;
            const SweepColumns columns = columnsOf(pic, state);
            QVector<QPointF> angle, magnitude;
            for (int r = 0; r < columns.rows.size(); ++r) {
                double x = 0, z = 0, a = 0;
                if (columns.sweptValue(r, &x) && columns.lineValue(r, 1, &z) && columns.lineValue(r, 2, &a)) {
                    magnitude << QPointF(x, z);
                    angle << QPointF(x, a);
                }
            }
            double marker = 0;
            ASSERT_TRUE(SweepMarkers::resonanceX(angle, magnitude, true, &marker));
            EXPECT_NEAR(marker / srf, 1.0, 0.005) << marker;
        }
    }
}

TEST_F(AnalysisFixture, LogSweepSendsGeometricFrequenciesFromStartToEndAndStoresThem)
{
    MeterSim sim({QStringLiteral("--component"), QStringLiteral("R=1k"), QStringLiteral("--engineering")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const QString pic = path(QStringLiteral("log.pic"));
    const QString csv = path(QStringLiteral("log.csv"));
    const CliResult r = logSweep(sim, QStringLiteral("20"), QStringLiteral("2000000"), 61, pic, {QStringLiteral("--csv"), csv});
    ASSERT_EQ(r.exitCode, 0) << r.describe();

    QList<QByteArray> sent;
    for (const QByteArray &c : sim.commands())
        if (c.startsWith("MEAS:FREQ "))
            sent << c.mid(10);
    ASSERT_EQ(sent.size(), 61);
    EXPECT_EQ(sent.first(), QByteArray("20.000000"));
    EXPECT_EQ(sent.last(), QByteArray("2000000.000000"));
    const double ratio = std::pow(1e5, 1.0 / 60);
    for (int i = 1; i < sent.size(); ++i) {
        const double a = sent[i - 1].toDouble(), b = sent[i].toDouble();
        // Six decimals and single precision: each value holds about 1e-7 of itself.
        const double slack = (0.5e-6 / a + 0.5e-6 / b) + 2.4e-7;
        EXPECT_NEAR(b / a, ratio, ratio * slack) << i << ": " << sent[i - 1].constData() << " -> " << sent[i].constData();
    }

    // The rows hold the frequencies sent, as a linear sweep's do.
    PlotterState state;
    const SweepColumns columns = columnsOf(pic, state);
    ASSERT_EQ(columns.rows.size(), 61);
    for (int i = 0; i < 61; ++i)
        EXPECT_EQ(columns.cell(i, 0), QString::fromLatin1(sent[i]) + QStringLiteral("Hz"));

    const QStringList lines = QString::fromUtf8(readBytes(csv)).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 63); // titles, 61 rows, the empty rest after the last CRLF
    EXPECT_EQ(lines[0], QStringLiteral("Step,Frequence,Z1,Angle2"));
    EXPECT_TRUE(lines[61].startsWith(QStringLiteral("61,2000000.000000Hz,1.000000KO,"))) << qPrintable(lines[61]);

    // Without positive Start and End there is no geometric step.
    const CliResult refused = logSweep(sim, QStringLiteral("0"), QStringLiteral("100"), 5, path(QStringLiteral("x.pic")));
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(isOneSentenceNaming(refused, QStringLiteral("--log"))) << refused.describe();
}

TEST_F(AnalysisFixture, MaskPassesFailsAndRefusesBadFiles)
{
    // |Z| of a bare 1 kohm resistor reads 1.000000KO at 100, 400, 700 and 1000 Hz.
    MeterSim sim({QStringLiteral("--component"), QStringLiteral("R=1k"), QStringLiteral("--engineering")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    auto sweepWith = [&](const QString &maskJson) {
        const QString mask = path(QStringLiteral("mask%1.json").arg(qHash(maskJson)));
        writeBytes(mask, maskJson.toUtf8());
        return std::make_pair(mask,
            runCli({QStringLiteral("sweep"), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--item"), QStringLiteral("Z"),
                QStringLiteral("--kind"), QStringLiteral("freq"), QStringLiteral("--start"), QStringLiteral("100"),
                QStringLiteral("--end"), QStringLiteral("1000"), QStringLiteral("--points"), QStringLiteral("4"),
                QStringLiteral("--mask"), mask}));
    };

    const auto inside = sweepWith(QStringLiteral(
        R"({"lines": [{"line": 1, "upper": [[0, 1100], [2000, 1100]], "lower": [[0, 900], [2000, 900]]}]})"));
    EXPECT_EQ(inside.second.exitCode, 0) << inside.second.describe();
    EXPECT_TRUE(inside.second.err.isEmpty()) << inside.second.describe();
    EXPECT_EQ(inside.second.outLines().size(), 5);

    // The upper limit falls from 1100 at 500 Hz to 950 at 1000 Hz: 1040 at
    // 700 Hz (inside), 950 at 1000 Hz (the last point is above it).
    const auto crossing = sweepWith(QStringLiteral(
        R"({"lines": [{"line": 1, "upper": [[100, 1100], [500, 1100], [1000, 950]]}]})"));
    EXPECT_EQ(crossing.second.exitCode, 1) << crossing.second.describe();
    const QStringList err = crossing.second.errLines();
    ASSERT_EQ(err.size(), 2) << crossing.second.describe();
    EXPECT_EQ(err[0], QStringLiteral("qel-cli: The sweep fails the mask %1 at 1 of 4 judged points.").arg(crossing.first));
    EXPECT_EQ(err[1], QStringLiteral("  Z1 step 4 at 1000 Hz: 1000 above the upper limit 950"));

    // With "y": "log" a limit falling from 10000 to 100 is 464 at 700 Hz,
    // so steps 3 and 4 fail (straight in y it would be 3400 there).
    const auto logY = sweepWith(QStringLiteral(R"({"y": "log", "lines": [{"line": 1, "upper": [[100, 10000], [1000, 100]]}]})"));
    EXPECT_EQ(logY.second.exitCode, 1) << logY.second.describe();
    ASSERT_EQ(logY.second.errLines().size(), 3) << logY.second.describe();
    EXPECT_TRUE(logY.second.errLines()[1].startsWith(QLatin1String("  Z1 step 3 at 700 Hz: 1000 above the upper limit 464.1")))
        << logY.second.describe();

    const int commandsBefore = int(sim.commands().size());
    const struct
    {
        const char *json;
        const char *problem;
    } bad[] = {
        {"{\"lines\": [", "is not valid JSON"},
        {R"({"lines": [{"line": 1, "upper": [[0, 900], [2000, 900]], "lower": [[0, 1000], [2000, 1000]]}]})",
            "has crossing limits"},
        {R"({"lines": [{"line": 1, "upper": [[0, 900]]}]})", "needs at least two points"},
        {R"({"lines": [{"line": 3, "upper": [[0, 1100], [2000, 1100]]}]})", "line 3, which has no data"},
    };
    for (const auto &b : bad) {
        SCOPED_TRACE(b.problem);
        const auto r = sweepWith(QString::fromUtf8(b.json));
        EXPECT_EQ(r.second.exitCode, 2) << r.second.describe();
        EXPECT_TRUE(isOneSentenceNaming(r.second, r.first)) << r.second.describe();
        EXPECT_TRUE(r.second.errText().contains(QLatin1String(b.problem))) << r.second.describe();
    }
    // Only the mask naming a line without data got as far as the meter.
    int sweeps = 0;
    for (const QByteArray &c : sim.commands().mid(commandsBefore))
        sweeps += c == "MEAS:TRIG";
    EXPECT_EQ(sweeps, 4);
}

TEST_F(AnalysisFixture, FitLeavesOutUnreadablePointsAndRefusesWhatCannotDetermineIt)
{
    MeterSim sim({QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05,esl=10n"), QStringLiteral("--engineering")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const QString pic = path(QStringLiteral("cap.pic"));
    ASSERT_EQ(logSweep(sim, QStringLiteral("1000"), QStringLiteral("20000000"), 41, pic).exitCode, 0);

    // Two cells spoiled by hand: those points are left out and counted.
    const QString json = path(QStringLiteral("cap.json"));
    ASSERT_EQ(runCli({QStringLiteral("convert"), pic, json}).exitCode, 0);
    QJsonObject doc = parseJson(readBytes(json));
    QJsonArray rows = doc.value(QStringLiteral("rows")).toArray();
    for (int r : {3, 17}) {
        QJsonArray row = rows[r].toArray();
        row[1] = QStringLiteral("junk");
        rows[r] = row;
    }
    doc.insert(QStringLiteral("rows"), rows);
    writeBytes(json, QJsonDocument(doc).toJson());
    const QString spoiled = path(QStringLiteral("spoiled.pic"));
    ASSERT_EQ(runCli({QStringLiteral("convert"), json, spoiled}).exitCode, 0);
    const CliResult gaps = runCli({QStringLiteral("fit"), spoiled, QStringLiteral("--model"), QStringLiteral("capacitor"),
        QStringLiteral("--json")});
    ASSERT_EQ(gaps.exitCode, 0) << gaps.describe();
    EXPECT_EQ(parseJson(gaps.out).value(QStringLiteral("points")).toInt(), 39);
    EXPECT_TRUE(isOneSentenceNaming(gaps, QStringLiteral("2 point(s)"))) << gaps.describe();
    const CliResult text = runCli({QStringLiteral("fit"), spoiled, QStringLiteral("--model"), QStringLiteral("capacitor")});
    EXPECT_TRUE(text.outLines().contains(QStringLiteral("points: 39 used, 2 left out (empty or unreadable)"))) << text.describe();

    // A leaky capacitor is no C with ESR and ESL: the residual is far above
    // the readings' noise.
    {
        MeterSim leaky({QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05,esl=10n,leak=100"),
            QStringLiteral("--engineering")});
        ASSERT_TRUE(leaky.isRunning()) << qPrintable(leaky.errorText());
        const QString leakyPic = path(QStringLiteral("leaky.pic"));
        ASSERT_EQ(logSweep(leaky, QStringLiteral("100"), QStringLiteral("20000000"), 41, leakyPic).exitCode, 0);
        const CliResult wrong = runCli({QStringLiteral("fit"), leakyPic, QStringLiteral("--model"), QStringLiteral("capacitor")});
        EXPECT_EQ(wrong.exitCode, 2) << wrong.describe();
        EXPECT_TRUE(isOneSentenceNaming(wrong, QStringLiteral("far above"))) << wrong.describe();
    }

    // Too few points; one item only; a single frequency (a voltage sweep).
    const QString few = path(QStringLiteral("few.pic"));
    ASSERT_EQ(logSweep(sim, QStringLiteral("1000"), QStringLiteral("20000000"), 4, few).exitCode, 0);
    const QString one = path(QStringLiteral("one.pic"));
    ASSERT_EQ(runCli({QStringLiteral("sweep"), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--item"),
                  QStringLiteral("Z"), QStringLiteral("--kind"), QStringLiteral("freq"), QStringLiteral("--start"),
                  QStringLiteral("100"), QStringLiteral("--end"), QStringLiteral("1000"), QStringLiteral("--points"),
                  QStringLiteral("10"), QStringLiteral("--pic"), one})
                  .exitCode,
        0);
    const QString volt = path(QStringLiteral("volt.pic"));
    ASSERT_EQ(runCli({QStringLiteral("sweep"), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--item"),
                  QStringLiteral("Z"), QStringLiteral("--second"), QStringLiteral("Angle"), QStringLiteral("--kind"),
                  QStringLiteral("volt"), QStringLiteral("--start"), QStringLiteral("100"), QStringLiteral("--end"),
                  QStringLiteral("1000"), QStringLiteral("--points"), QStringLiteral("10"), QStringLiteral("--pic"), volt})
                  .exitCode,
        0);
    const struct
    {
        QString file;
        QString says;
    } refusals[] = {{few, QStringLiteral("Too few points")}, {one, QStringLiteral("do not fix the impedance")},
        {volt, QStringLiteral("single frequency")}};
    for (const auto &c : refusals) {
        SCOPED_TRACE(qPrintable(c.says));
        const CliResult r = runCli({QStringLiteral("fit"), c.file, QStringLiteral("--model"), QStringLiteral("capacitor")});
        EXPECT_EQ(r.exitCode, 2) << r.describe();
        EXPECT_TRUE(isOneSentenceNaming(r, c.file) && r.errText().contains(c.says)) << r.describe();
    }
}

TEST_F(AnalysisFixture, PrintGraphOnLogAxesLabelsDecadesAndCountsWhatItLeavesOut)
{
    // A capacitor through its resonance: |Z| spans decades, the angle is
    // negative below resonance and positive above it.
    MeterSim sim({QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05,esl=10n"), QStringLiteral("--engineering")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const QString pic = path(QStringLiteral("srf.pic"));
    ASSERT_EQ(logSweep(sim, QStringLiteral("1000"), QStringLiteral("20000000"), 41, pic).exitCode, 0);
    PlotterState state;
    const SweepColumns columns = columnsOf(pic, state);
    int nonPositive = 0;
    for (int r = 0; r < columns.rows.size(); ++r)
        for (int line = 1; line <= 2; ++line) {
            double v = 0;
            ASSERT_TRUE(columns.lineValue(r, line, &v));
            nonPositive += v <= 0;
        }
    ASSERT_GT(nonPositive, 10);
    ASSERT_LT(nonPositive, 41);

    auto printed = [&](const QString &name, const QStringList &options) {
        const QString pdf = path(name);
        const CliResult r = runCli(QStringList{QStringLiteral("print-graph"), pic, QStringLiteral("--pdf"), pdf} + options);
        EXPECT_EQ(r.exitCode, 0) << r.describe();
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        EXPECT_TRUE(text.waitForFinished(30000));
        return QString::fromUtf8(text.readAllStandardOutput()).simplified().split(QLatin1Char(' '));
    };
    const QStringList log = printed(QStringLiteral("log.pdf"), {QStringLiteral("--log-x"), QStringLiteral("--log-y")});
    // Whole decades from 1 kHz to 100 MHz along X; |Z| from 10 mohm up.
    for (const char *decade : {"1000", "10000", "1e+05", "1e+06", "1e+07", "1e+08", "0.01", "0.1"})
        EXPECT_TRUE(log.contains(QLatin1String(decade))) << decade << "\n" << qPrintable(log.join(' '));
    const QString note = log.join(QLatin1Char(' '));
    EXPECT_TRUE(note.contains(QStringLiteral("%1 point(s) at or below 0 left out of the log axes").arg(nonPositive)))
        << qPrintable(note);

    // On linear axes nothing is left out and no decade is labelled.
    const QStringList linear = printed(QStringLiteral("linear.pdf"), {});
    EXPECT_FALSE(linear.contains(QStringLiteral("1e+05"))) << qPrintable(linear.join(' '));
    EXPECT_FALSE(linear.join(QLatin1Char(' ')).contains(QStringLiteral("left out"))) << qPrintable(linear.join(' '));
    EXPECT_TRUE(linear.contains(QStringLiteral("1e+07"))) << qPrintable(linear.join(' '));
}

TEST_F(AnalysisFixture, FitLeavesOutReadingsPrintedAsZeroAndSaysSo)
{
    // The plot keeps six decimals in the unit of a column's first reading:
    // a sweep that starts at 79.6 kohm prints |Z| in kohm, so at the
    // resonance of a 0.3 mohm ESR it prints 0.
    MeterSim sim({QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.0003,esl=10n"), QStringLiteral("--engineering")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const QString pic = path(QStringLiteral("zero.pic"));
    ASSERT_EQ(logSweep(sim, QStringLiteral("20"), QStringLiteral("5032921"), 41, pic).exitCode, 0);
    PlotterState state;
    const SweepColumns columns = columnsOf(pic, state);
    ASSERT_EQ(columns.cell(40, 1), QStringLiteral("0.000000KO"));

    const CliResult r = runCli({QStringLiteral("fit"), pic, QStringLiteral("--model"), QStringLiteral("capacitor"),
        QStringLiteral("--json")});
    ASSERT_EQ(r.exitCode, 0) << r.describe();
    const QJsonObject o = parseJson(r.out);
    EXPECT_EQ(o.value(QStringLiteral("points")).toInt(), 40);
    // The JSON keeps its keys; what it does not say goes to stderr, and the
    // text report says it too.
    EXPECT_TRUE(isOneSentenceNaming(r, QStringLiteral("1 point(s) printed as 0 in the column's unit left out")))
        << r.describe();
    const CliResult text = runCli({QStringLiteral("fit"), pic, QStringLiteral("--model"), QStringLiteral("capacitor")});
    EXPECT_TRUE(text.outLines().contains(QStringLiteral("warning: 1 point(s) printed as 0 in the column's unit left out.")))
        << text.describe();
    const QJsonObject p = o.value(QStringLiteral("parameters")).toObject();
    EXPECT_NEAR(p.value(QStringLiteral("C")).toObject().value(QStringLiteral("value")).toDouble() / 100e-9, 1, 0.01);
    EXPECT_NEAR(p.value(QStringLiteral("ESL")).toObject().value(QStringLiteral("value")).toDouble() / 10e-9, 1, 0.01);
    // The ESR rests on the coarse points near the resonance; its
    // uncertainty says so rather than claiming their last printed digit.
    const QJsonObject esr = p.value(QStringLiteral("ESR")).toObject();
    EXPECT_NEAR(esr.value(QStringLiteral("value")).toDouble(), 0.0003,
        3 * esr.value(QStringLiteral("uncertainty")).toDouble() + 0.0003 * 0.02);

    // C with D and X with R from a meter writing engineering notation: the
    // secondary cells keep their exponents as prefixes.
    MeterSim eng({QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05,esl=10n"), QStringLiteral("--engineering")});
    ASSERT_TRUE(eng.isRunning()) << qPrintable(eng.errorText());
    for (const auto &[first, second] : {std::pair{"C", "D"}, std::pair{"X", "R"}}) {
        const QString other = path(QStringLiteral("%1%2.pic").arg(QLatin1String(first), QLatin1String(second)));
        const CliResult s = runCli({QStringLiteral("sweep"), QStringLiteral("--port"), eng.devicePath(),
            QStringLiteral("--item"), QLatin1String(first), QStringLiteral("--second"), QLatin1String(second),
            QStringLiteral("--kind"), QStringLiteral("freq"), QStringLiteral("--start"), QStringLiteral("1000"),
            QStringLiteral("--end"), QStringLiteral("20000000"), QStringLiteral("--points"), QStringLiteral("31"),
            QStringLiteral("--log"), QStringLiteral("--pic"), other});
        ASSERT_EQ(s.exitCode, 0) << s.describe();
        const CliResult f = runCli({QStringLiteral("fit"), other, QStringLiteral("--model"), QStringLiteral("capacitor"),
            QStringLiteral("--json")});
        ASSERT_EQ(f.exitCode, 0) << first << second << f.describe();
        // X crosses 0 at the resonance: in the kohm of its first reading
        // the points next to it keep few digits, and the fit says so.
        if (QLatin1String(first) == QLatin1String("X"))
            EXPECT_TRUE(isOneSentenceNaming(f, QStringLiteral("fewer than 3 significant digits"))) << f.describe();
        else
            EXPECT_TRUE(f.err.isEmpty()) << f.describe();
        const QJsonObject fp = parseJson(f.out).value(QStringLiteral("parameters")).toObject();
        EXPECT_NEAR(fp.value(QStringLiteral("C")).toObject().value(QStringLiteral("value")).toDouble() / 100e-9, 1, 1e-3);
        EXPECT_NEAR(fp.value(QStringLiteral("ESR")).toObject().value(QStringLiteral("value")).toDouble() / 0.05, 1, 1e-3);
        EXPECT_NEAR(fp.value(QStringLiteral("ESL")).toObject().value(QStringLiteral("value")).toDouble() / 10e-9, 1, 1e-3);
    }

    // Plain notation (1.00000E-07, -8.99529E+01) fits as well as
    // engineering notation: every cell holds the reading's true value, the
    // exponents between prefixes brought to the prefix below them.
    MeterSim plain({QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05,esl=10n")});
    ASSERT_TRUE(plain.isRunning()) << qPrintable(plain.errorText());
    const double srf = 1.0 / (2 * Pi * std::sqrt(10e-9 * 100e-9));
    for (const auto &[first, second] : {std::pair{"Z", "Angle"}, std::pair{"C", "D"}}) {
        SCOPED_TRACE(first);
        QJsonObject fitted[2];
        QByteArray said[2];
        for (int notation = 0; notation < 2; ++notation) {
            const MeterSim &meter = notation == 0 ? plain : eng;
            const QString pic = path(QStringLiteral("%1%2-%3.pic").arg(QLatin1String(first), QLatin1String(second)).arg(notation));
            const CliResult s = runCli({QStringLiteral("sweep"), QStringLiteral("--port"), meter.devicePath(),
                QStringLiteral("--item"), QLatin1String(first), QStringLiteral("--second"), QLatin1String(second),
                QStringLiteral("--kind"), QStringLiteral("freq"), QStringLiteral("--start"), QStringLiteral("1000"),
                QStringLiteral("--end"), QStringLiteral("20000000"), QStringLiteral("--points"), QStringLiteral("41"),
                QStringLiteral("--log"), QStringLiteral("--pic"), pic});
            ASSERT_EQ(s.exitCode, 0) << s.describe();
            const CliResult f = runCli({QStringLiteral("fit"), pic, QStringLiteral("--model"), QStringLiteral("capacitor"),
                QStringLiteral("--json")});
            ASSERT_EQ(f.exitCode, 0) << notation << f.describe();
            said[notation] = QByteArray(f.err).replace(pic.toUtf8(), "PLOT");
            fitted[notation] = parseJson(f.out);
            EXPECT_EQ(fitted[notation].value(QStringLiteral("points")).toInt(), 41);
            // The resonance marker on the plotted lines lands on the part's.
            PlotterState state;
            const SweepColumns columns = columnsOf(pic, state);
            QVector<QPointF> angle, magnitude;
            for (int r = 0; r < columns.rows.size() && QLatin1String(first) == QLatin1String("Z"); ++r) {
                double x = 0, z = 0, a = 0;
                if (columns.sweptValue(r, &x) && columns.lineValue(r, 1, &z) && columns.lineValue(r, 2, &a)) {
                    magnitude << QPointF(x, z);
                    angle << QPointF(x, a);
                }
            }
            double marker = 0;
            if (!angle.isEmpty()) {
                ASSERT_TRUE(SweepMarkers::resonanceX(angle, magnitude, true, &marker));
                EXPECT_NEAR(marker / srf, 1.0, 0.005) << notation << " " << marker;
            }
        }
        const QJsonObject p = fitted[0].value(QStringLiteral("parameters")).toObject();
        const QJsonObject e = fitted[1].value(QStringLiteral("parameters")).toObject();
        for (const char *name : {"C", "ESR", "ESL"}) {
            const double pv = p.value(QLatin1String(name)).toObject().value(QStringLiteral("value")).toDouble();
            const double ev = e.value(QLatin1String(name)).toObject().value(QStringLiteral("value")).toDouble();
            EXPECT_NEAR(pv / ev, 1, 1e-3) << name << " plain " << pv << " engineering " << ev;
        }
        // Warnings about coarse digits too are the same.
        EXPECT_EQ(said[0], said[1]);
        EXPECT_NEAR(fitted[0].value(QStringLiteral("residual")).toDouble(),
            fitted[1].value(QStringLiteral("residual")).toDouble(), 1e-4);
    }
}

TEST_F(AnalysisFixture, FitRefusesParametersNoPartHas)
{
    // A sweep from 3 to 6 kHz whose every point reads 1 kohm at -90
    // degrees: a capacitor fits it within the noise limit only with an ESL
    // of about -18 mH. Refused with one sentence, exit 2, in text and JSON.
    MeterSim sim({QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05,esl=10n"), QStringLiteral("--engineering")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const QString pic = path(QStringLiteral("cap.pic"));
    ASSERT_EQ(logSweep(sim, QStringLiteral("3000"), QStringLiteral("6000"), 21, pic).exitCode, 0);
    const QString json = path(QStringLiteral("flat.json"));
    ASSERT_EQ(runCli({QStringLiteral("convert"), pic, json}).exitCode, 0);
    QJsonObject doc = parseJson(readBytes(json));
    QJsonArray rows = doc.value(QStringLiteral("rows")).toArray();
    for (int r = 0; r < rows.size(); ++r) {
        QJsonArray row = rows[r].toArray();
        row[1] = QStringLiteral("1.000000KO");
        row[2] = QStringLiteral("-90.000000") + QChar(0x00B0);
        rows[r] = row;
    }
    doc.insert(QStringLiteral("rows"), rows);
    writeBytes(json, QJsonDocument(doc).toJson());
    const QString flat = path(QStringLiteral("flat.pic"));
    ASSERT_EQ(runCli({QStringLiteral("convert"), json, flat}).exitCode, 0);
    for (const QStringList &extra : {QStringList{}, QStringList{QStringLiteral("--json")}}) {
        const CliResult r = runCli(QStringList{QStringLiteral("fit"), flat, QStringLiteral("--model"), QStringLiteral("capacitor")} + extra);
        EXPECT_EQ(r.exitCode, 2) << r.describe();
        EXPECT_TRUE(r.out.isEmpty()) << r.describe();
        EXPECT_TRUE(isOneSentenceNaming(r, QStringLiteral("ESL comes out negative"))) << r.describe();
    }
}
