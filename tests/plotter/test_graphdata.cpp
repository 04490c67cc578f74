#include "plotter/GraphData.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(GraphDataRescale, WidensToTheDataWithReadableEnds)
{
    GraphData g;
    EXPECT_EQ(g.axisMinimum(2), 0.0);
    EXPECT_EQ(g.axisMaximum(2), 10.0);
    g.appendPoint(1, 5, 123.45);
    EXPECT_EQ(g.axisMinimum(2), 0.0);
    EXPECT_GE(g.axisMaximum(2), 123.45);
    EXPECT_LE(g.axisMaximum(2), 150.0);
    g.appendPoint(1, 6, 1200);
    EXPECT_EQ(g.axisMaximum(2), 1200.0);
    g.appendPoint(1, 7, -33);
    EXPECT_LE(g.axisMinimum(2), -33.0);
    EXPECT_GE(g.axisMinimum(2), -200.0);
    // The X axis widened too, only the Y axis of plot 1 moved.
    EXPECT_EQ(g.axisMaximum(1), 10.0);
    g.appendPoint(1, 12.5, 1);
    EXPECT_GE(g.axisMaximum(1), 12.5);
    EXPECT_EQ(g.axisMaximum(3), 10.0);
    EXPECT_EQ(g.pointCount(1), 4);
}

TEST(GraphDataRescale, PointsInsideTheRangeChangeNothingAndAutoOffHolds)
{
    GraphData g;
    g.setAxisMinimum(3, -1);
    g.setAxisMaximum(3, 1);
    g.appendPoint(2, 1, 0.5);
    EXPECT_EQ(g.axisMinimum(3), -1.0);
    EXPECT_EQ(g.axisMaximum(3), 1.0);
    g.setAutoRescale(3, false);
    g.appendPoint(2, 2, 99);
    EXPECT_EQ(g.axisMaximum(3), 1.0);
    EXPECT_FALSE(g.autoRescale(3));
    EXPECT_TRUE(g.autoRescale(2));
}

TEST(GraphDataRescale, NonFiniteValuesAndTinyRanges)
{
    double lo = 0, hi = 10;
    GraphData::widen(lo, hi, std::numeric_limits<double>::infinity());
    GraphData::widen(lo, hi, std::nan(""));
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 10.0);
    lo = hi = 0.001;
    GraphData::widen(lo, hi, 0.0015);
    EXPECT_EQ(lo, 0.001);
    EXPECT_GE(hi, 0.0015);
    EXPECT_LT(hi, 0.01);
    // A reversed range is put in order when it grows.
    lo = 100;
    hi = 20;
    GraphData::widen(lo, hi, 150);
    EXPECT_EQ(lo, 20.0);
    EXPECT_GE(hi, 150.0);
}

TEST(GraphDataRescale, NiceSteps)
{
    EXPECT_EQ(GraphData::niceStep(1), 1.0);
    EXPECT_EQ(GraphData::niceStep(1.2), 2.0);
    EXPECT_EQ(GraphData::niceStep(3), 5.0);
    EXPECT_EQ(GraphData::niceStep(7), 10.0);
    EXPECT_DOUBLE_EQ(GraphData::niceStep(0.013), 0.02);
    EXPECT_EQ(GraphData::niceStep(0), 1.0);
}

TEST(GraphDataItems, ClearKeepsRangesAndOutOfRangeNumbersAreIgnored)
{
    GraphData g;
    g.appendPoint(4, 1, 500);
    g.appendPoint(5, 1, 1);
    g.appendPoint(0, 1, 1);
    EXPECT_EQ(g.pointCount(4), 1);
    EXPECT_EQ(g.pointCount(5), 0);
    const double max5 = g.axisMaximum(5);
    g.clearPlots();
    EXPECT_EQ(g.pointCount(4), 0);
    EXPECT_EQ(g.axisMaximum(5), max5);
    g.setAxisLabel(6, "x");
    EXPECT_EQ(g.axisLabel(6), QString());
    EXPECT_EQ(g.axisMinimum(9), 0.0);
}

TEST(GraphDataItems, StoredConfigurationColours)
{
    GraphData g;
    EXPECT_EQ(g.plotAreaColor(), QColor(Qt::black));
    EXPECT_EQ(g.lineColor(1), QColor(0, 255, 0));
    EXPECT_EQ(g.lineColor(2), QColor(255, 0, 0));
    EXPECT_EQ(g.lineColor(3), QColor(255, 255, 0));
    EXPECT_EQ(g.lineColor(4), QColor(0, 0, 255));
    EXPECT_EQ(g.pointColor(3), QColor(255, 255, 0));
    EXPECT_EQ(g.axisTickColor(2), QColor(0, 128, 0));
    EXPECT_EQ(g.axisTickColor(4), QColor(128, 128, 0));
}

TEST(GraphDataPicture, DrawsTheAreaAndTheVisibleCurves)
{
    GraphData g;
    for (int i = 0; i <= 10; ++i)
        g.appendPoint(1, i, 5);
    QImage img = g.picture();
    if (qEnvironmentVariableIsSet("QEL_SAVE_PICTURE"))
        img.save(qEnvironmentVariable("QEL_SAVE_PICTURE"));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(800, 500));
    // Mid-height of the plot area, where the flat curve runs: green pixels.
    auto greenInRow = [](const QImage &im, int y) {
        int n = 0;
        for (int x = 140; x < 660; ++x) {
            const QColor c = im.pixelColor(x, y);
            if (c.green() > 120 && c.red() < 80 && c.blue() < 80)
                ++n;
        }
        return n;
    };
    int best = 0;
    for (int y = 200; y < 300; ++y)
        best = std::max(best, greenInRow(img, y));
    EXPECT_GT(best, 300);
    g.setPlotVisible(1, false);
    img = g.picture();
    best = 0;
    for (int y = 200; y < 300; ++y)
        best = std::max(best, greenInRow(img, y));
    EXPECT_EQ(best, 0);
    g.setPlotAreaColor(Qt::white);
    img = g.picture();
    EXPECT_EQ(img.pixelColor(400, 100), QColor(Qt::white));
}
