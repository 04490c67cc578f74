#include "plotter/SweepReading.h"

#include <QChar>
#include <gtest/gtest.h>

namespace {
SweepReading primary(const QString &text, const QString &reference, int item = 0)
{
    return SweepReading::make(text, {}, false, reference, item, 0);
}
} // namespace

TEST(SweepReadingPrimary, FirstReadingKeepsItsExponent)
{
    SweepReading r = primary("1.234E-9", {});
    EXPECT_EQ(r.primaryCell, "1.234000nF");
    EXPECT_EQ(r.primaryLabel, "\"nF\"");
    EXPECT_DOUBLE_EQ(r.primaryValue, 1.234);
    r = primary("123.45E-12", {});
    EXPECT_EQ(r.primaryCell, "123.450000pF");
    EXPECT_EQ(r.primaryLabel, "\"pF\"");
}

TEST(SweepReadingPrimary, LaterReadingsTakeTheReferencePrefix)
{
    SweepReading r = primary("2.5E-10", "1.234000nF");
    EXPECT_EQ(r.primaryCell, "0.250000nF");
    EXPECT_DOUBLE_EQ(r.primaryValue, 0.25);
    r = primary("1.2E-09", "123.450000pF");
    EXPECT_EQ(r.primaryCell, "1200.000000pF");
    EXPECT_EQ(r.primaryValue, 1200.0);
    EXPECT_EQ(r.primaryLabel, "\"pF\"");
    r = primary("4.7E-3", "10.000000uH", 1);
    EXPECT_EQ(r.primaryCell, "4700.000000uH");
}

TEST(SweepReadingPrimary, AFirstExponentBetweenPrefixesTakesThePrefixBelow)
{
    // Plain notation: -10 names no prefix, so the reading is shown in the
    // prefix below it, its true value, and plotted in that unit.
    SweepReading r = primary("1.5E-10", {});
    EXPECT_EQ(r.primaryCell, "150.000000pF");
    EXPECT_DOUBLE_EQ(r.primaryValue, 150.0);
    EXPECT_EQ(r.primaryLabel, "\"pF\"");
    r = primary("1.00000E-07", {});
    EXPECT_EQ(r.primaryCell, "100.000000nF");
    r = primary("1.59155E+02", {}, 2);
    EXPECT_EQ(r.primaryCell, "159.155000O");
    EXPECT_EQ(r.primaryLabel, "\"O\"");
    r = primary("4.7E-01", {}, 2);
    EXPECT_EQ(r.primaryCell, "470.000000mO");
    r = primary("2.2E-14", {});
    EXPECT_EQ(r.primaryCell, "0.022000pF");
    r = primary("1.2E+07", {}, 2);
    EXPECT_EQ(r.primaryCell, "12.000000MO");
    // The overload mark keeps its size (9.9E37 ohm), in the largest prefix.
    r = primary("9.90000E+37", {}, 2);
    EXPECT_TRUE(r.primaryCell.endsWith(".000000MO")) << qPrintable(r.primaryCell);
    EXPECT_NEAR(r.primaryValue / 9.9e31, 1, 1e-12);
    // Exponents that name a prefix keep the text they always had.
    r = primary("1.59155E+03", {}, 2);
    EXPECT_EQ(r.primaryCell, "1.591550KO");
    r = primary("5.0E+00", {}, 2);
    EXPECT_EQ(r.primaryCell, "5.000000O");
    EXPECT_EQ(r.primaryLabel, "\"O\"");
    // A reference without a prefix letter brings later readings to the base unit.
    r = primary("3E-1", "1.500000F");
    EXPECT_EQ(r.primaryCell, "0.300000F");
    r = primary("2E-15", "1.000000pF");
    EXPECT_EQ(r.primaryCell, "0.002000pF");
    // Later readings of a plain-notation column join its first one's prefix.
    r = primary("1.6E-10", "150.000000pF");
    EXPECT_EQ(r.primaryCell, "160.000000pF");
    EXPECT_DOUBLE_EQ(r.primaryValue, 160.0);
}

TEST(SweepReadingPrimary, WithoutAnEThePrimaryIsShownAsSent)
{
    SweepReading r = primary("1234.5", "1.0nF", 2);
    EXPECT_EQ(r.primaryCell, "1234.5O");
    EXPECT_DOUBLE_EQ(r.primaryValue, 1234.5);
    EXPECT_EQ(r.primaryLabel, "\"O\"");
    // A lower-case e is not the meter's exponent mark.
    r = primary("1.5e-9", {});
    EXPECT_EQ(r.primaryCell, "1.5e-9F");
    EXPECT_DOUBLE_EQ(r.primaryValue, 1.5e-9);
}

TEST(SweepReadingPrimary, UnitLettersByItem)
{
    const char *units[] = {"F", "H", "O", "S", "O", "S", "O"};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(SweepReading::primaryUnit(i), units[i]) << i;
}

TEST(SweepReadingPrimary, GarbledExponentsEndQuickly)
{
    SweepReading r = primary("1E99999999999", "1nF");
    EXPECT_EQ(r.primaryCell.right(2), "nF");
    r = primary("1E-99999999999", "1MO", 2);
    EXPECT_EQ(r.primaryCell, "0.000000MO");
    r = primary("E", {});
    EXPECT_EQ(r.primaryCell, "0.000000F");
}

TEST(SweepReadingSecondary, MantissaKeptPrefixFromTheExponent)
{
    SweepReading r = SweepReading::make("1E-9", "2.5E-3", true, {}, 0, 2);
    EXPECT_EQ(r.secondaryCell, "2.5mD");
    EXPECT_EQ(r.secondaryLabel, "\"D\"");
    EXPECT_DOUBLE_EQ(r.secondaryValue, 0.0025);
    // An exponent that names no prefix is applied: the mantissa is scaled
    // to the prefix below it and printed with six decimals.
    r = SweepReading::make("1E-9", "1.2E1", true, {}, 0, 1);
    EXPECT_EQ(r.secondaryCell, "12.000000Q");
    EXPECT_DOUBLE_EQ(r.secondaryValue, 12.0);
    r = SweepReading::make("1E-9", "1.23456E-04", true, {}, 0, 2);
    EXPECT_EQ(r.secondaryCell, "123.456000uD");
    r = SweepReading::make("1E-9", "-8.99529E+01", true, {}, 4, 1);
    EXPECT_EQ(r.secondaryCell, QString("-89.952900") + QChar(0x00B0));
    EXPECT_DOUBLE_EQ(r.secondaryValue, -89.9529);
    r = SweepReading::make("1E-9", "-8.99529E+00", true, {}, 4, 1);
    EXPECT_EQ(r.secondaryCell, QString("-8.99529") + QChar(0x00B0));
    r = SweepReading::make("1E-9", "4.70E-03", true, {}, 0, 2);
    EXPECT_EQ(r.secondaryCell, "4.70mD");
    r = SweepReading::make("1E-9", "15.5", true, {}, 0, 3);
    EXPECT_EQ(r.secondaryCell, "15.5O");
    r = SweepReading::make("1E-9", "3E3", true, {}, 3, 4);
    EXPECT_EQ(r.secondaryCell, "3KG");
    EXPECT_EQ(r.secondaryLabel, "\"G\"");
}

TEST(SweepReadingSecondary, ItemsWithAnAngleGetTheDegreeSign)
{
    const SweepReading r = SweepReading::make("1.59E3", "-89.9", true, {}, 4, 1);
    EXPECT_EQ(r.secondaryCell, QString("-89.9") + QChar(0x00B0));
    EXPECT_EQ(r.secondaryLabel, QString("\"") + QChar(0x00B0) + "\"");
    EXPECT_EQ(r.primaryCell, "1.590000KO");
}

TEST(SweepReadingPrefixes, SearchOrderAndLetters)
{
    EXPECT_EQ(SweepReading::prefixExponent("1.0MO"), 6);
    EXPECT_EQ(SweepReading::prefixExponent("1.0mO"), -3);
    EXPECT_EQ(SweepReading::prefixExponent("1.0KmO"), 3); // K before m
    EXPECT_EQ(SweepReading::prefixExponent("1.0F"), 0);
    EXPECT_EQ(SweepReading::prefixLetter(-12), "p");
    EXPECT_EQ(SweepReading::prefixLetter(-10), QString());
    EXPECT_EQ(SweepReading::prefixLetter(0), QString());
}
