// qel-cli sweep against the simulated meter: the printed result list, the
// plot file, the sweep export and the graph picture, and how a sweep ends
// when the meter goes away.

#include "CliHarness.h"

#include "../support/MeterSim.h"

#include <QColor>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// 1 uF with 1 ohm in series, the meter answering in engineering notation.
// C reads 1.00000E-06 at every frequency, shown as 1.000000uF. D = 2 pi f C R:
// 628.319E-06 at 100 Hz, 2.51327E-03 at 400, 4.39823E-03 at 700 and
// 6.28319E-03 at 1000; the second item keeps the mantissa as sent and takes
// the prefix its exponent names.
const QStringList Capacitor{QStringLiteral("--component"), QStringLiteral("C=1u,esr=1"), QStringLiteral("--engineering")};

const QList<QStringList> FourPoints{
    {QStringLiteral("100.000000Hz"), QStringLiteral("1.000000uF"), QStringLiteral("628.319uD")},
    {QStringLiteral("400.000000Hz"), QStringLiteral("1.000000uF"), QStringLiteral("2.51327mD")},
    {QStringLiteral("700.000000Hz"), QStringLiteral("1.000000uF"), QStringLiteral("4.39823mD")},
    {QStringLiteral("1000.000000Hz"), QStringLiteral("1.000000uF"), QStringLiteral("6.28319mD")},
};

QStringList sweepArgs(const QString &device)
{
    return {QStringLiteral("sweep"), QStringLiteral("--port"), device, QStringLiteral("--item"), QStringLiteral("C"),
        QStringLiteral("--second"), QStringLiteral("D"), QStringLiteral("--kind"), QStringLiteral("freq"),
        QStringLiteral("--start"), QStringLiteral("100"), QStringLiteral("--end"), QStringLiteral("1000"),
        QStringLiteral("--points"), QStringLiteral("4")};
}

struct SweepFixture : ::testing::Test
{
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }
};

TEST_F(SweepFixture, TwoDrawsFillFourLinesOfTableFileExportAndPicture)
{
    MeterSim sim(Capacitor);
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const QString pic = path(QStringLiteral("cap.pic"));
    const QString xlsx = path(QStringLiteral("cap.xlsx"));
    const QString png = path(QStringLiteral("cap.png"));
    const CliResult r = runCli(sweepArgs(sim.devicePath())
        + QStringList{QStringLiteral("--draws"), QStringLiteral("2"), QStringLiteral("--pic"), pic, QStringLiteral("--xlsx"),
            xlsx, QStringLiteral("--png"), png});
    ASSERT_TRUE(r.finished) << r.describe();
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_TRUE(r.err.isEmpty()) << r.describe();

    // The second draw goes to lines 3 and 4 beside the first.
    QStringList expected{QStringLiteral("Step\tFrequence\tC1\tD2\tC3\tD4")};
    QList<QStringList> rows;
    for (int i = 0; i < FourPoints.size(); ++i) {
        const QStringList &p = FourPoints[i];
        rows << (QStringList(p) << p[1] << p[2]);
        expected << QString::number(i + 1) + QLatin1Char('\t') + rows.last().join(QLatin1Char('\t'));
    }
    EXPECT_EQ(r.outLines(), expected) << r.describe();
    EXPECT_EQ(readBytes(pic), Archive::plot(rows, 5, QStringLiteral("C"), QStringLiteral("D")));

    // Per draw: every point's frequency once, four triggers, local mode at the end.
    const QList<QByteArray> commands = sim.commands();
    EXPECT_EQ(commands.count("MEAS:TRIG"), 8);
    EXPECT_EQ(commands.count("MEAS:FREQ 400.000000"), 2);
    EXPECT_EQ(commands.count("MEAS:FREQ 1000.000000"), 2);
    EXPECT_EQ(commands.count("*LOC"), 3);

    const XlsxSheet sheet = XlsxSheet::read(xlsx);
    ASSERT_TRUE(sheet.ok) << qPrintable(sheet.error);
    EXPECT_EQ(sheet.rowTexts(1, 6), (QStringList{QStringLiteral("Seq."), QStringLiteral("Freq."), QStringLiteral("C1"),
                                        QStringLiteral("D2"), QStringLiteral("C3"), QStringLiteral("D4")}));
    EXPECT_EQ(sheet.rowTexts(6, 6), (QStringList{QStringLiteral("Unit"), QStringLiteral("Hz"), QStringLiteral("F"),
                                        QStringLiteral("D"), QStringLiteral("F"), QStringLiteral("D")}));
    EXPECT_EQ(sheet.rowTexts(8, 6), (QStringList{QStringLiteral("2"), QStringLiteral("400.000000"),
                                        QStringLiteral("1.000000E-006"), QStringLiteral("2.513270E-003"),
                                        QStringLiteral("1.000000E-006"), QStringLiteral("2.513270E-003")}));
    EXPECT_EQ(sheet.maxRow, 10);

    const QByteArray picture = readBytes(png);
    EXPECT_TRUE(picture.startsWith("\x89PNG\r\n\x1a\n"));
    const QImage image = QImage::fromData(picture, "PNG");
    EXPECT_FALSE(image.isNull());
    EXPECT_GT(image.width(), 100);
    EXPECT_GT(image.height(), 100);
}

TEST_F(SweepFixture, VoltageSweepStepsTheLevelAndTitlesTheColumn)
{
    // A bare 1 kohm resistor: |Z| reads 1.00000E+03 at every level.
    MeterSim sim({QStringLiteral("--component"), QStringLiteral("R=1k")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const CliResult r = runCli({QStringLiteral("sweep"), QStringLiteral("--port"), sim.devicePath(), QStringLiteral("--item"),
        QStringLiteral("Z"), QStringLiteral("--kind"), QStringLiteral("volt"), QStringLiteral("--start"), QStringLiteral("100"),
        QStringLiteral("--end"), QStringLiteral("500"), QStringLiteral("--points"), QStringLiteral("3"),
        QStringLiteral("--fixed-freq"), QStringLiteral("1"), QStringLiteral("--fixed-freq-unit"), QStringLiteral("KHz")});
    ASSERT_TRUE(r.finished) << r.describe();
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_EQ(r.outLines(), (QStringList{QStringLiteral("Step\tVoltage\tZ1"), QStringLiteral("1\t100.000000mV\t1.000000KO"),
                                QStringLiteral("2\t300.000000mV\t1.000000KO"), QStringLiteral("3\t500.000000mV\t1.000000KO")}))
        << r.describe();
    const QList<QByteArray> commands = sim.commands();
    EXPECT_TRUE(commands.contains("MEAS:FREQ 1000.000000"));
    for (const char *level : {"MEAS:LEV 0.100000", "MEAS:LEV 0.300000", "MEAS:LEV 0.500000"})
        EXPECT_TRUE(commands.contains(level)) << level;
}

TEST_F(SweepFixture, MeterGoingAwayEndsTheSweepWithThePointsTaken)
{
    struct Case
    {
        const char *name;
        QStringList simArgs;
        QStringList cliArgs;
    };
    const QList<Case> cases{
        {"hang-up", {QStringLiteral("--hangup-after"), QStringLiteral("2")}, {}},
        {"reply dropped", {QStringLiteral("--drop-every"), QStringLiteral("3")},
            {QStringLiteral("--reply-timeout"), QStringLiteral("400")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MeterSim sim(Capacitor + c.simArgs);
        ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
        const QString pic = path(QStringLiteral("cut%1.pic").arg(QString::fromLatin1(c.name).size()));
        const CliResult r = runCli(sweepArgs(sim.devicePath()) + QStringList{QStringLiteral("--pic"), pic} + c.cliArgs, 30000);
        ASSERT_TRUE(r.finished) << r.describe();
        EXPECT_EQ(r.exitCode, 4) << r.describe();
        EXPECT_TRUE(isOneSentenceNaming(r, sim.devicePath())) << r.describe();
        const QStringList lines = r.outLines();
        ASSERT_EQ(lines.size(), 3) << r.describe();
        EXPECT_EQ(lines[1], QStringLiteral("1\t") + FourPoints[0].join(QLatin1Char('\t')));
        EXPECT_EQ(lines[2], QStringLiteral("2\t") + FourPoints[1].join(QLatin1Char('\t')));
        const QList<QStringList> rows{FourPoints[0] + QStringList{QString(), QString()},
            FourPoints[1] + QStringList{QString(), QString()}};
        EXPECT_EQ(readBytes(pic), Archive::plot(rows, 3, QStringLiteral("C"), QStringLiteral("D")));
    }
}

// Replies cut into pieces with a NUL inside read as a clean meter's.
TEST_F(SweepFixture, RepliesInPiecesWithNulBytesGiveTheCleanPoints)
{
    MeterSim sim(Capacitor + QStringList{QStringLiteral("--split"), QStringLiteral("5"), QStringLiteral("--split-pause"),
                                 QStringLiteral("5"), QStringLiteral("--nul-every"), QStringLiteral("1")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const CliResult r = runCli(sweepArgs(sim.devicePath()));
    ASSERT_TRUE(r.finished) << r.describe();
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_TRUE(sim.sentBytes().contains('\0'));
    QStringList expected{QStringLiteral("Step\tFrequence\tC1\tD2")};
    for (int i = 0; i < FourPoints.size(); ++i)
        expected << QString::number(i + 1) + QLatin1Char('\t') + FourPoints[i].join(QLatin1Char('\t'));
    EXPECT_EQ(r.outLines(), expected) << r.describe();
}

TEST_F(SweepFixture, RefusalsComeBeforeAnyMeasuringAndLeaveNoFiles)
{
    MeterSim sim(Capacitor);
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    struct Case
    {
        const char *name;
        QStringList extra;
        QString named;
    };
    const QString missing = path(QStringLiteral("missing/out"));
    const QList<Case> cases{
        {"plot file in a missing folder", {QStringLiteral("--pic"), missing + QStringLiteral(".pic")},
            missing + QStringLiteral(".pic")},
        {"export in a missing folder", {QStringLiteral("--xlsx"), missing + QStringLiteral(".xlsx")},
            missing + QStringLiteral(".xlsx")},
        {"picture in a missing folder", {QStringLiteral("--png"), missing + QStringLiteral(".png")},
            missing + QStringLiteral(".png")},
        {"plot file not named .pic", {QStringLiteral("--pic"), path(QStringLiteral("out.txt"))}, path(QStringLiteral("out.txt"))},
        {"too many points", {QStringLiteral("--points"), QStringLiteral("201")}, QStringLiteral("200 points")},
        {"too few points", {QStringLiteral("--points"), QStringLiteral("1")}, QStringLiteral("2 points")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QStringList args = sweepArgs(sim.devicePath());
        if (c.extra[0] == QLatin1String("--points"))
            args[args.indexOf(QStringLiteral("--points")) + 1] = c.extra[1];
        else
            args += c.extra;
        const CliResult r = runCli(args);
        ASSERT_TRUE(r.finished) << r.describe();
        EXPECT_EQ(r.exitCode, 2) << r.describe();
        EXPECT_TRUE(r.out.isEmpty()) << r.describe();
        EXPECT_TRUE(isOneSentenceNaming(r, c.named)) << r.describe();
    }
    EXPECT_TRUE(folderEntries(dir.path()).isEmpty());
    EXPECT_FALSE(sim.commands().contains("MEAS:TRIG"));
}

TEST_F(SweepFixture, NoMeterExitsThree)
{
    MeterSim sim({QStringLiteral("--no-idn")});
    ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
    const QString pic = path(QStringLiteral("none.pic"));
    const CliResult r = runCli(sweepArgs(sim.devicePath()) + QStringList{QStringLiteral("--pic"), pic});
    ASSERT_TRUE(r.finished) << r.describe();
    EXPECT_EQ(r.exitCode, 3) << r.describe();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(isOneSentenceNaming(r, sim.devicePath())) << r.describe();
    EXPECT_FALSE(QFileInfo::exists(pic));
}

} // namespace

namespace {

// Where line 1 (bright green) is drawn inside the black plot area of a
// sweep picture, in fractions of the area's height from its top.
struct CurvePlace
{
    bool found = false;
    double top = 1.0, bottom = 0.0;
};

CurvePlace placeOfLineOne(const QImage &image)
{
    // The plot area: the bounding box of the black pixels.
    QRect area;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xffffff) == 0)
                area |= QRect(x, y, 1, 1);
    CurvePlace place;
    if (area.height() < 50)
        return place;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.green() > 150 && c.red() < 100 && c.blue() < 100) {
                const double f = double(y - area.top()) / area.height();
                place.found = true;
                place.top = std::min(place.top, f);
                place.bottom = std::max(place.bottom, f);
            }
        }
    }
    return place;
}

} // namespace

TEST_F(SweepFixture, TheGraphFitsTheCurvesInsideTheFrame)
{
    // A 100 nF capacitor reads about 100 nF everywhere: a level line.
    MeterSim capacitor({QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05"), QStringLiteral("--engineering")});
    ASSERT_TRUE(capacitor.isRunning()) << qPrintable(capacitor.errorText());
    const QString flat = path(QStringLiteral("flat.png"));
    CliResult r = runCli(sweepArgs(capacitor.devicePath()).mid(0, 5)
        + QStringList{QStringLiteral("--kind"), QStringLiteral("freq"), QStringLiteral("--start"), QStringLiteral("20"),
            QStringLiteral("--end"), QStringLiteral("100"), QStringLiteral("--points"), QStringLiteral("10"),
            QStringLiteral("--png"), flat});
    ASSERT_EQ(r.exitCode, 0) << r.describe();
    CurvePlace p = placeOfLineOne(QImage(flat));
    ASSERT_TRUE(p.found);
    EXPECT_GT(p.top, 0.1) << "the line runs along the top of the frame";
    EXPECT_LT(p.bottom, 0.9);

    // |Z| through self-resonance: 1.5 ohm down to 0.05 ohm at 5 MHz and up
    // again. The curve fills the height without touching the frame.
    MeterSim resonant({QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05,esl=10n"), QStringLiteral("--engineering")});
    ASSERT_TRUE(resonant.isRunning()) << qPrintable(resonant.errorText());
    const QString dip = path(QStringLiteral("dip.png"));
    r = runCli({QStringLiteral("sweep"), QStringLiteral("--port"), resonant.devicePath(), QStringLiteral("--item"),
        QStringLiteral("Z"), QStringLiteral("--kind"), QStringLiteral("freq"), QStringLiteral("--unit"),
        QStringLiteral("MHz"), QStringLiteral("--start"), QStringLiteral("1"), QStringLiteral("--end"),
        QStringLiteral("10"), QStringLiteral("--points"), QStringLiteral("10"), QStringLiteral("--png"), dip});
    ASSERT_EQ(r.exitCode, 0) << r.describe();
    p = placeOfLineOne(QImage(dip));
    ASSERT_TRUE(p.found);
    EXPECT_GT(p.top, 0.01);
    EXPECT_LT(p.bottom, 0.99);
    EXPECT_GT(p.bottom - p.top, 0.5) << "the dip lies flat on the axis";
}
