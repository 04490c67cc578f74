// Readings keep their numbers beside their texts while the session holds
// them, and nothing written changes for it: the plot files, sweep CSVs,
// JSON and fits of qel-cli are byte for byte those of the build before
// (tests/cli/data/readings, written by its make-expected with that build),
// for the example plot, the hostile plot files of the fuzz corpus and
// sweeps of a simulated part in both of the meter's notations. What reads
// the numbers sees the meter's digits, not the cells' rounding.

#include "CliHarness.h"

#include "../support/MeterSim.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

QString expectedDir()
{
    return qelSourceDir() + QStringLiteral("/tests/cli/data/readings/");
}

QByteArray expected(const QString &name)
{
    QFile f(expectedDir() + name);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(f.fileName());
    return f.readAll();
}

int expectedCode(const QString &name)
{
    return expected(name).trimmed().toInt();
}

// What make-expected's read_plot does, checked against its files.
void checkRead(const QString &plot, const QString &name, const QString &work)
{
    SCOPED_TRACE(qPrintable(name));
    const QString in = work + QStringLiteral("/in.pic");
    QFile::remove(in);
    ASSERT_TRUE(QFile::copy(plot, in));
    const CliResult show = runCli({QStringLiteral("show"), in});
    ASSERT_TRUE(show.finished && !show.crashed) << show.describe();
    EXPECT_EQ(show.exitCode, expectedCode(name + QStringLiteral(".show.rc")));
    EXPECT_EQ(show.out, expected(name + QStringLiteral(".show.json")));
    if (show.exitCode == 0) {
        const QString json = work + QStringLiteral("/back.json"), back = work + QStringLiteral("/back.pic");
        QFile::remove(back);
        ASSERT_TRUE(writeBytes(json, show.out));
        const CliResult convert = runCli({QStringLiteral("convert"), json, back});
        EXPECT_EQ(convert.exitCode, expectedCode(name + QStringLiteral(".convert.rc"))) << convert.describe();
        EXPECT_EQ(readBytes(back), expected(name + QStringLiteral(".convert.pic")));
    }
    const CliResult fit = runCli({QStringLiteral("fit"), QStringLiteral("in.pic"), QStringLiteral("--model"),
        QStringLiteral("capacitor"), QStringLiteral("--json")}, 60000, work);
    EXPECT_EQ(fit.exitCode, expectedCode(name + QStringLiteral(".fit.rc"))) << fit.describe();
    EXPECT_EQ(fit.err + fit.out, expected(name + QStringLiteral(".fit.txt")));
}

QStringList sweepArgs(const QString &device, const QString &kind)
{
    QStringList args{QStringLiteral("sweep"), QStringLiteral("--port"), device, QStringLiteral("--no-db")};
    if (kind == QLatin1String("z"))
        args << QStringLiteral("--item") << QStringLiteral("Z") << QStringLiteral("--second") << QStringLiteral("Angle")
             << QStringLiteral("--kind") << QStringLiteral("freq") << QStringLiteral("--start") << QStringLiteral("1000")
             << QStringLiteral("--end") << QStringLiteral("20000000") << QStringLiteral("--points") << QStringLiteral("41")
             << QStringLiteral("--log");
    else
        args << QStringLiteral("--item") << QStringLiteral("C") << QStringLiteral("--second") << QStringLiteral("D")
             << QStringLiteral("--kind") << QStringLiteral("freq") << QStringLiteral("--start") << QStringLiteral("100")
             << QStringLiteral("--end") << QStringLiteral("100000") << QStringLiteral("--points") << QStringLiteral("21");
    return args;
}

} // namespace

TEST(CliReadings, PlotFilesReadAndWrittenAsBefore)
{
    QTemporaryDir work;
    QStringList plots{qelSourceDir() + QStringLiteral("/examples/sweep.pic")};
    const QString corpus = qelSourceDir() + QStringLiteral("/tests/fuzz/corpus/");
    for (const QString &f : QDir(corpus + QStringLiteral("plot")).entryList(QDir::Files, QDir::Name))
        plots << corpus + QStringLiteral("plot/") + f;
    for (const QString &f : QDir(corpus + QStringLiteral("load")).entryList(QDir::Files, QDir::Name))
        if (f.endsWith(QLatin1String(".pic")) || f.contains(QLatin1String("plot")))
            plots << corpus + QStringLiteral("load/") + f;
    ASSERT_GE(plots.size(), 9);
    for (const QString &plot : plots) {
        const QFileInfo info(plot);
        QString base = info.fileName();
        if (base.endsWith(QLatin1String(".pic")))
            base.chop(4);
        checkRead(plot, info.dir().dirName() + QLatin1Char('-') + base, work.path());
    }
}

TEST(CliReadings, SweepsWriteTheirPlotAndCsvAsBefore)
{
    QTemporaryDir work;
    for (const QString &notation : {QStringLiteral("plain"), QStringLiteral("engineering")}) {
        QStringList simArgs{QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05,esl=10n")};
        if (notation == QLatin1String("engineering"))
            simArgs << QStringLiteral("--engineering");
        MeterSim sim(simArgs);
        ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
        for (const QString &kind : {QStringLiteral("z"), QStringLiteral("c")}) {
            const QString name = QStringLiteral("sweep-%1-%2").arg(notation, kind);
            SCOPED_TRACE(qPrintable(name));
            const QString pic = work.filePath(name + QStringLiteral(".pic")), csv = work.filePath(name + QStringLiteral(".csv"));
            const CliResult r = runCli(sweepArgs(sim.devicePath(), kind) << QStringLiteral("--pic") << pic
                                                                         << QStringLiteral("--csv") << csv);
            ASSERT_EQ(r.exitCode, 0) << r.describe();
            EXPECT_EQ(readBytes(pic), expected(name + QStringLiteral(".pic")));
            EXPECT_EQ(readBytes(csv), expected(name + QStringLiteral(".csv")));
            checkRead(pic, name, work.path());
        }
    }
}

// |Z| near resonance is 0.0836 ohm; its cell, in the column's kilohms,
// keeps "0.000084KO". The mask judges the meter's digits.
TEST(CliReadings, AMaskJudgesTheMetersDigitsNotTheCellsRounding)
{
    MeterSim sim({QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05,esl=10n")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    QTemporaryDir work;
    const QString mask = work.filePath(QStringLiteral("mask.json"));
    ASSERT_TRUE(writeBytes(mask, R"({"x": "log", "lines": [{"line": 1, "lower": [[1000, 0.5], [20000000, 0.5]]}]})"));
    const QString csv = work.filePath(QStringLiteral("z.csv"));
    const CliResult r = runCli(sweepArgs(sim.devicePath(), QStringLiteral("z")) << QStringLiteral("--mask") << mask
                                                                                 << QStringLiteral("--csv") << csv);
    ASSERT_EQ(r.exitCode, 1) << r.describe();
    EXPECT_EQ(readBytes(csv), expected(QStringLiteral("sweep-plain-z.csv")));
    static const QRegularExpression failure(QStringLiteral("step (\\d+) at \\S+ Hz: (\\S+) below the lower limit"));
    int judged = 0;
    for (const QString &line : r.errLines()) {
        const QRegularExpressionMatch m = failure.match(line);
        if (!m.hasMatch())
            continue;
        ++judged;
        const double value = m.captured(2).toDouble();
        // The cell holds whole milliohms; the meter sent more digits.
        EXPECT_GT(std::fabs(value * 1000 - std::round(value * 1000)), 1e-3) << qPrintable(line);
        if (m.captured(1) == QLatin1String("35"))
            EXPECT_NEAR(value, 0.0836269, 1e-7) << qPrintable(line);
    }
    EXPECT_EQ(judged, 6) << qPrintable(r.errText());
}
