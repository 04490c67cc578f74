#include "plotter/AxisRanges.h"
#include "plotter/SweepSetup.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

// The x of every point a sweep visits, as the sequencer walks it.
QStringList walk(const QString &start, const QString &end, const QString &points)
{
    SweepSetup s;
    s.parseStart(start);
    s.parseEnd(end);
    s.parsePoints(points);
    s.restart();
    const float step = SweepSetup::stepFor(s.end, start, points);
    QStringList xs;
    for (int guard = 0; guard < 1000; ++guard) {
        xs << QString::asprintf("%.2f", double(s.currentX));
        if (s.advance(step))
            break;
    }
    return xs;
}

} // namespace

TEST(SweepPoints, TenPointsFromTwentyToHundredEndExactlyOnEnd)
{
    const QStringList xs = walk("20", "100", "10");
    EXPECT_EQ(xs, QStringList({"20.00", "28.89", "37.78", "46.67", "55.56", "64.44", "73.33", "82.22", "91.11",
                               "100.00"}));
}

TEST(SweepPoints, TwoAndThreePoints)
{
    EXPECT_EQ(walk("20", "100", "2"), QStringList({"20.00", "100.00"}));
    EXPECT_EQ(walk("1", "100", "3"), QStringList({"1.00", "50.50", "100.00"}));
}

TEST(SweepPoints, FallingSweepAndLastPointIsEndEvenWhenTheStepDrifts)
{
    EXPECT_EQ(walk("100", "20", "5"), QStringList({"100.00", "80.00", "60.00", "40.00", "20.00"}));
    // 200 points of a step that is not exact in binary still end on End.
    const QStringList xs = walk("1", "1000", "200");
    EXPECT_EQ(xs.size(), 200);
    EXPECT_EQ(xs.last(), "1000.00");
}

TEST(SweepPoints, StepUsesTheIntegerPartOfTheStartText)
{
    // (100 - 20) / 4, although the sweep itself starts at 20.5.
    EXPECT_FLOAT_EQ(SweepSetup::stepFor(100, "20.5", "5"), 20.0f);
    EXPECT_FLOAT_EQ(SweepSetup::stepFor(100, "20", "5pts"), 20.0f);
    SweepSetup s;
    s.parseStart("20.5");
    EXPECT_FLOAT_EQ(s.start, 20.5f);
    EXPECT_FLOAT_EQ(s.currentX, 20.5f);
}

TEST(SweepPoints, FewerThanTwoPointsHaveNoStepAndEndAtOnce)
{
    EXPECT_EQ(SweepSetup::stepFor(100, "20", "1"), 0.0f);
    EXPECT_EQ(SweepSetup::stepFor(100, "20", "0"), 0.0f);
    EXPECT_EQ(SweepSetup::stepFor(100, "20", ""), 0.0f);
    SweepSetup s;
    s.parsePoints("0");
    s.restart();
    EXPECT_TRUE(s.advance(1.0f)); // a count that is already spent never runs on
    s.parsePoints("1");
    s.restart();
    EXPECT_TRUE(s.advance(1.0f));
    EXPECT_EQ(s.progressStep(), 0.0f);
}

TEST(SweepPoints, ProgressStepUsesTheFloatStart)
{
    SweepSetup s;
    s.parseStart("20");
    s.parseEnd("100");
    s.parsePoints("5");
    EXPECT_FLOAT_EQ(s.progressStep(), 20.0f);
    s.parseStart("20.5");
    EXPECT_FLOAT_EQ(s.progressStep(), 19.875f);
}

TEST(SweepPoints, RestartAfterASweepStoppedMidway)
{
    SweepSetup s;
    s.parseStart("20");
    s.parseEnd("100");
    s.parsePoints("10");
    s.advance(8.0f);
    s.advance(8.0f);
    EXPECT_EQ(s.pointIndex, 2);
    EXPECT_EQ(s.pointsRemaining, 8);
    s.restart();
    EXPECT_EQ(s.pointIndex, 0);
    EXPECT_EQ(s.pointsRemaining, 10);
    EXPECT_FLOAT_EQ(s.currentX, 20.0f);
}

TEST(SweepUnits, FrequencyAndLevelScaling)
{
    EXPECT_DOUBLE_EQ(SweepSetup::frequencyHz(20, "Hz"), 20.0);
    EXPECT_DOUBLE_EQ(SweepSetup::frequencyHz(20, "KHz"), 20000.0);
    EXPECT_DOUBLE_EQ(SweepSetup::frequencyHz(2, "MHz"), 2000000.0);
    EXPECT_DOUBLE_EQ(SweepSetup::levelVolts(300, "mV"), 0.3);
    EXPECT_DOUBLE_EQ(SweepSetup::levelVolts(2, "V"), 2.0);
    // Not truncated: a sweep value keeps its fraction.
    EXPECT_DOUBLE_EQ(SweepSetup::frequencyHz(50.5, "KHz"), 50500.0);
}

TEST(AxisRangesLock, OneItemLinesShareTheWidestRange)
{
    AxisRanges r;
    r.autoMin = {0, 0, -5, 0, 0};
    r.autoMax = {0, 100, 40, 0, 0};
    r.computeLocked(2, 0, false, 3);
    EXPECT_EQ(r.lockedMin[1], -5);
    EXPECT_EQ(r.lockedMax[1], 100);
    EXPECT_EQ(r.lockedMin[2], -5);
    EXPECT_EQ(r.lockedMax[2], 100);
    // Lines not yet in use keep what they had.
    EXPECT_EQ(r.lockedMax[3], 0);
}

TEST(AxisRangesLock, TwoItemsPairOddAndEvenLines)
{
    AxisRanges r;
    r.autoMin = {0, 1, 0.01, 2, 0.5};
    r.autoMax = {0, 10, 0.1, 50, 0.9};
    // First pair only: line 3 and 4 do not count yet.
    r.computeLocked(1, 2, true, 3);
    EXPECT_EQ(r.lockedMin[1], 1);
    EXPECT_EQ(r.lockedMax[1], 10);
    EXPECT_EQ(r.lockedMin[2], 0.01);
    EXPECT_EQ(r.lockedMax[2], 0.1);
    r.computeLocked(3, 4, true, 5);
    EXPECT_EQ(r.lockedMin[1], 1);
    EXPECT_EQ(r.lockedMax[1], 50);
    EXPECT_EQ(r.lockedMin[3], 1);
    EXPECT_EQ(r.lockedMax[3], 50);
    EXPECT_EQ(r.lockedMin[2], 0.01);
    EXPECT_EQ(r.lockedMax[2], 0.9);
    EXPECT_EQ(r.lockedMax[4], 0.9);
}

TEST(AxisRangesLock, XAxisIndexHoldsStartAndEnd)
{
    AxisRanges r;
    r.setXMinimum(20);
    r.setXMaximum(100);
    EXPECT_EQ(r.autoMin[0], 20);
    EXPECT_EQ(r.lockedMin[0], 20);
    EXPECT_EQ(r.autoMax[0], 100);
    EXPECT_EQ(r.lockedMax[0], 100);
    r.computeLocked(1, 0, false, 2);
    EXPECT_EQ(r.lockedMin[0], 20); // the lock never touches X
}
