// Axis ticks in engineering notation with the unit, as every chart labels
// them: whole decades on log axes, one prefix along a linear axis, never a
// bare exponent.
#include "common/AxisTicks.h"

#include <gtest/gtest.h>

TEST(AxisTicks, LogAxesLabelEachDecadeWithItsOwnPrefix)
{
    const AxisTicks::Scale f = AxisTicks::log(1200, 20e6, QStringLiteral("Hz"));
    EXPECT_DOUBLE_EQ(f.lo, 1000);
    EXPECT_DOUBLE_EQ(f.hi, 1e8);
    EXPECT_EQ(f.labels, (QStringList{"1 kHz", "10 kHz", "100 kHz", "1 MHz", "10 MHz", "100 MHz"}));
    EXPECT_TRUE(f.minor.isEmpty()); // five decades: the grid stays quiet

    // Two decades also get 2 and 5, and the 1..9 grid between.
    const AxisTicks::Scale z = AxisTicks::log(0.02, 0.9, QStringLiteral("Ohm"));
    EXPECT_EQ(z.labels, (QStringList{"10 m\u03a9", "20 m\u03a9", "50 m\u03a9", "100 m\u03a9", "200 m\u03a9", "500 m\u03a9",
                             "1 \u03a9"}));
    EXPECT_EQ(z.minor.size(), 2 * 6);
    EXPECT_EQ(AxisTicks::log(0.02, 1.5, QStringLiteral("Ohm")).labels.size(), 4); // three decades: decades only
    EXPECT_EQ(z.major.size(), z.labels.size());
}

TEST(AxisTicks, LinearAxesShareOnePrefixAndEnoughDecimals)
{
    const AxisTicks::Scale c = AxisTicks::linear(94.6e-9, 105e-9, QStringLiteral("F"));
    EXPECT_EQ(c.labels, (QStringList{"90 nF", "95 nF", "100 nF", "105 nF"}));
    EXPECT_LE(c.lo, 94.6e-9);
    EXPECT_GE(c.hi, 105e-9);

    const AxisTicks::Scale x = AxisTicks::linear(0, 20e6, QStringLiteral("Hz"));
    EXPECT_EQ(x.labels, (QStringList{"0 MHz", "5 MHz", "10 MHz", "15 MHz", "20 MHz"}));
    const AxisTicks::Scale r = AxisTicks::linear(0, 1900, QStringLiteral("O"));
    EXPECT_EQ(r.labels.first(), QStringLiteral("0.0 k\u03a9"));
    EXPECT_EQ(r.labels.last(), QStringLiteral("2.0 k\u03a9"));

    // Degrees and plain numbers take no prefix; no "-0".
    const AxisTicks::Scale a = AxisTicks::linear(-90, 90, QStringLiteral("deg"));
    EXPECT_EQ(a.labels, (QStringList{"-100\u00b0", "-50\u00b0", "0\u00b0", "50\u00b0", "100\u00b0"}));
    const AxisTicks::Scale d = AxisTicks::linear(0.0021, 0.0049, QString());
    EXPECT_EQ(d.labels, (QStringList{"0.002", "0.003", "0.004", "0.005"}));
    for (const QString &l : d.labels)
        EXPECT_FALSE(l.contains(QLatin1Char('e'))) << qPrintable(l);
    // A single value still gets an axis around it.
    EXPECT_GT(AxisTicks::linear(5, 5, QString()).labels.size(), 1);
}

TEST(AxisTicks, ValuesReadInEngineeringNotation)
{
    EXPECT_EQ(AxisTicks::format(100e-9, QStringLiteral("F")), QStringLiteral("100 nF"));
    EXPECT_EQ(AxisTicks::format(0.05, QStringLiteral("Ohm")), QStringLiteral("50 m\u03a9"));
    EXPECT_EQ(AxisTicks::format(15915.5, QStringLiteral("O"), 6), QStringLiteral("15.9155 k\u03a9"));
    EXPECT_EQ(AxisTicks::format(999.99e3, QStringLiteral("Hz"), 4), QStringLiteral("1 MHz"));
    EXPECT_EQ(AxisTicks::format(9.5e-15, QStringLiteral("F"), 2), QStringLiteral("9.5 fF"));
    EXPECT_EQ(AxisTicks::format(2.2e-6, QStringLiteral("H")), QStringLiteral("2.2 \u00b5H"));
    EXPECT_EQ(AxisTicks::format(-89.9982, QStringLiteral("\u00b0"), 6), QStringLiteral("-89.9982\u00b0"));
    EXPECT_EQ(AxisTicks::format(0.00123, QString()), QStringLiteral("0.00123"));
}
