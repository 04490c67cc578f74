#include "components/ui/ProgressSlide.h"

#include <QImage>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(ProgressSlide, ValueReadsBackExactlyEvenOutsideTheScale)
{
    ProgressSlide s(QStringLiteral("Running Progress"));
    EXPECT_EQ(s.minimum(), 0.0);
    EXPECT_EQ(s.maximum(), 100.0);
    for (double v : {100.0, 0.0, 33.333333333333336, -20.0, 250.5}) {
        s.setValue(v);
        EXPECT_EQ(s.value(), v);
    }
}

TEST(ProgressSlide, FillFollowsValueOnTheScale)
{
    ProgressSlide s;
    s.setValue(25.0);
    EXPECT_DOUBLE_EQ(s.fillFraction(), 0.25);
    s.setValue(-5.0);
    EXPECT_EQ(s.fillFraction(), 0.0);
    s.setValue(130.0);
    EXPECT_EQ(s.fillFraction(), 1.0);

    // The plotter's order: value first, then the minimum, then the maximum.
    s.setValue(0.0);
    s.setMinimum(0.0);
    s.setMaximum(100.0);
    EXPECT_EQ(s.fillFraction(), 0.0);
    s.setScale(20.0, 100.0);
    EXPECT_EQ(s.minimum(), 20.0);
    EXPECT_EQ(s.maximum(), 100.0);
    s.setValue(60.0);
    EXPECT_DOUBLE_EQ(s.fillFraction(), 0.5);
}

TEST(ProgressSlide, DegenerateScalesDoNotDivideByZero)
{
    ProgressSlide s;
    s.setScale(50.0, 50.0);
    s.setValue(50.0);
    EXPECT_EQ(s.fillFraction(), 0.0);
    s.setScale(100.0, 0.0);
    EXPECT_EQ(s.fillFraction(), 0.0);
    s.setScale(0.0, 100.0);
    s.setValue(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(s.fillFraction(), 0.0);
    EXPECT_TRUE(std::isnan(s.value()));
    s.resize(200, 60);
    EXPECT_FALSE(s.grab().isNull());
}

TEST(ProgressSlide, PaintedFillMatchesTheValue)
{
    ProgressSlide s(QStringLiteral("Running Progress"));
    s.resize(240, s.sizeHint().height());
    s.setValue(50.0);
    const QImage img = s.grab().toImage();
    const QRect bar = s.barRect();
    const int y = bar.center().y();
    const QColor quarter = img.pixelColor(bar.left() + bar.width() / 4, y);
    const QColor threeQuarters = img.pixelColor(bar.left() + bar.width() * 3 / 4, y);
    EXPECT_NE(quarter, threeQuarters);
    EXPECT_GT(quarter.blue(), quarter.red() + 80); // filled
    EXPECT_LT(qAbs(threeQuarters.blue() - threeQuarters.red()), 20); // trough

    s.setValue(100.0);
    const QImage full = s.grab().toImage();
    EXPECT_EQ(full.pixelColor(bar.left() + bar.width() * 3 / 4, y), quarter);
}
