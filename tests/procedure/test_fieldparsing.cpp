#include "procedure/FieldParsing.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>

using namespace FieldParsing;

TEST(LeadingNumbers, IntegerStopsAtFirstNonDigit)
{
    EXPECT_EQ(leadingInt("20Hz"), 20);
    EXPECT_EQ(leadingInt("1.5KHz"), 1);
    EXPECT_EQ(leadingInt("  -42ms"), -42);
    EXPECT_EQ(leadingInt("+7"), 7);
    EXPECT_EQ(leadingInt(""), 0);
    EXPECT_EQ(leadingInt("Hz"), 0);
    EXPECT_EQ(leadingInt("- 5"), 0);
    EXPECT_EQ(leadingInt("99999999999999999999"), std::numeric_limits<int>::max());
    EXPECT_EQ(leadingInt("-99999999999999999999"), std::numeric_limits<int>::min());
}

TEST(LeadingNumbers, DoubleReadsSignFractionAndExponent)
{
    EXPECT_DOUBLE_EQ(leadingDouble("1.234E-9"), 1.234e-9);
    EXPECT_DOUBLE_EQ(leadingDouble("  -.5pF"), -0.5);
    EXPECT_DOUBLE_EQ(leadingDouble("5."), 5.0);
    EXPECT_DOUBLE_EQ(leadingDouble("-5%"), -5.0);
    EXPECT_DOUBLE_EQ(leadingDouble("+5e2x"), 500.0);
    // An exponent marker without digits is not part of the number.
    EXPECT_DOUBLE_EQ(leadingDouble("3e"), 3.0);
    EXPECT_DOUBLE_EQ(leadingDouble("3e+"), 3.0);
    EXPECT_DOUBLE_EQ(leadingDouble("2E-3O"), 0.002);
    EXPECT_EQ(leadingDouble(""), 0.0);
    EXPECT_EQ(leadingDouble("."), 0.0);
    EXPECT_EQ(leadingDouble("-"), 0.0);
    EXPECT_EQ(leadingDouble("abc"), 0.0);
}

TEST(LeadingNumbers, DoubleRejectsWhatOnlyStrtodWouldTake)
{
    EXPECT_EQ(leadingDouble("inf"), 0.0);
    EXPECT_EQ(leadingDouble("nan"), 0.0);
    EXPECT_EQ(leadingDouble("0x10"), 0.0);
    EXPECT_EQ(leadingDouble("1,5"), 1.0);
}

TEST(LeadingNumbers, DoubleOutOfRangeBehavesLikeStrtod)
{
    EXPECT_TRUE(std::isinf(leadingDouble("1e999")));
    EXPECT_GT(leadingDouble("1e999"), 0.0);
    EXPECT_TRUE(std::isinf(leadingDouble("-1e999")));
    EXPECT_LT(leadingDouble("-1e999"), 0.0);
    EXPECT_EQ(leadingDouble("1e-999"), 0.0);
    // Gradual underflow keeps a denormal, exactly as strtod rounds it.
    EXPECT_EQ(leadingDouble("4e-320"), std::strtod("4e-320", nullptr));
    EXPECT_GT(leadingDouble("4e-320"), 0.0);
    EXPECT_EQ(leadingDouble("0.1"), std::strtod("0.1", nullptr));
}

TEST(PrefixFactors, SearchIsCaseSensitiveAndOrdered)
{
    EXPECT_DOUBLE_EQ(unitToBase("MO"), 1e6);
    EXPECT_DOUBLE_EQ(unitToBase("mO"), 1e-3);
    EXPECT_DOUBLE_EQ(unitToBase("mH"), 1e-3);
    EXPECT_DOUBLE_EQ(unitToBase("MH"), 1e6);
    EXPECT_DOUBLE_EQ(unitToBase("KH"), 1e3);
    EXPECT_DOUBLE_EQ(unitToBase("pF"), 1e-12);
    EXPECT_DOUBLE_EQ(unitToBase("nF"), 1e-9);
    EXPECT_DOUBLE_EQ(unitToBase("uF"), 1e-6);
    EXPECT_DOUBLE_EQ(baseToUnit("pF"), 1e12);
    EXPECT_DOUBLE_EQ(baseToUnit("KO"), 1e-3);
    EXPECT_DOUBLE_EQ(baseToUnit("MO"), 1e-6);
    for (const char *u : {"F", "O", "S", "Q", "D", "H", ""}) {
        EXPECT_EQ(unitToBase(u), 1.0) << u;
        EXPECT_EQ(baseToUnit(u), 1.0) << u;
    }
    EXPECT_EQ(unitToBase(QString(QChar(0x00B0))), 1.0);
    // Order of search, not position in the text: "p" wins over a leading "M".
    EXPECT_DOUBLE_EQ(unitToBase("Mp"), 1e-12);
}

TEST(PrefixFactors, SecondItemUnitsSkipSmallPrefixes)
{
    EXPECT_DOUBLE_EQ(unitToBase("mS", true), 1e-3);
    EXPECT_DOUBLE_EQ(unitToBase("KO", true), 1e3);
    EXPECT_DOUBLE_EQ(unitToBase("MO", true), 1e6);
    EXPECT_EQ(unitToBase("pO", true), 1.0);
    EXPECT_EQ(unitToBase("uS", true), 1.0);
    EXPECT_DOUBLE_EQ(unitToBase("nm", true), 1e-3);
    EXPECT_DOUBLE_EQ(baseToUnit("mS", true), 1e3);
}

TEST(FieldParsers, FrequencyIsLeadingIntegerScaledByLetter)
{
    EXPECT_EQ(frequencyHz("20Hz"), 20.0);
    EXPECT_EQ(frequencyHz("1KHz"), 1000.0);
    EXPECT_EQ(frequencyHz("2MHz"), 2000000.0);
    EXPECT_EQ(frequencyHz("1.5KHz"), 1000.0);
    EXPECT_EQ(frequencyHz("100KHz"), 100000.0);
    EXPECT_EQ(frequencyHz(""), 0.0);
    EXPECT_EQ(frequencyHz("KHz"), 0.0);
    EXPECT_EQ(frequencyHz("99999999999999999999KHz"), 2147483647000.0);
}

TEST(FieldParsers, LevelIsLeadingIntegerScaledByMilli)
{
    EXPECT_DOUBLE_EQ(levelVolts("10mV"), 0.01);
    EXPECT_DOUBLE_EQ(levelVolts("300mV"), 0.3);
    EXPECT_EQ(levelVolts("1V"), 1.0);
    EXPECT_EQ(levelVolts("1.9V"), 1.0);
    EXPECT_EQ(levelVolts(""), 0.0);
}

TEST(FieldParsers, StandardLimitAndDelay)
{
    EXPECT_DOUBLE_EQ(standardValue("100", "nF"), 1e-7);
    EXPECT_DOUBLE_EQ(standardValue("4.7", "KO"), 4700.0);
    EXPECT_DOUBLE_EQ(standardValue("2", "mS", true), 0.002);
    EXPECT_EQ(standardValue("", "pF"), 0.0);
    EXPECT_DOUBLE_EQ(limitValue("-5%"), -0.05);
    EXPECT_DOUBLE_EQ(limitValue("+5%"), 0.05);
    EXPECT_EQ(limitValue("-5"), -5.0);
    EXPECT_EQ(limitValue(""), 0.0);
    EXPECT_EQ(delayMs("500"), 500);
    EXPECT_EQ(delayMs("250ms"), 250);
    EXPECT_EQ(delayMs("x"), 0);
    EXPECT_EQ(delayMs("-100"), 0);
}

TEST(Formatting, FixedIsSixDecimalsInFull)
{
    EXPECT_EQ(formatFixed(100000.0), "100000.000000");
    EXPECT_EQ(formatFixed(0.3), "0.300000");
    EXPECT_EQ(formatFixed(0.0), "0.000000");
    EXPECT_EQ(formatFixed(-2.5), "-2.500000");
    EXPECT_EQ(formatFixedBytes(1e6), QByteArray("1000000.000000"));
    // Far longer than any fixed buffer: every digit is kept.
    const QString huge = formatFixed(1e100);
    EXPECT_EQ(huge.size(), 101 + 7);
    EXPECT_TRUE(huge.startsWith("10000000000000000159"));
    EXPECT_TRUE(huge.endsWith(".000000"));
    EXPECT_EQ(formatFixed(std::numeric_limits<double>::infinity()), "inf");
}

TEST(Formatting, ReadingDropsTrailingZerosAndAppendsUnit)
{
    EXPECT_EQ(formatReading(1.2e-10, "pF"), "120pF");
    EXPECT_EQ(formatReading(0.5, "O"), "0.5O");
    EXPECT_EQ(formatReading(1e-7, "nF"), "100nF");
    EXPECT_EQ(formatReading(9.87654e-8, "nF"), "98.7654nF");
    EXPECT_EQ(formatReading(1000.0, "KO"), "1KO");
    EXPECT_EQ(formatReading(1e-13, "uF"), "0uF");
    EXPECT_EQ(formatReading(0.0, "mS"), "0mS");
    EXPECT_EQ(formatReading(0.0, "MO"), "0MO");
    EXPECT_EQ(formatReading(-0.0012, "mO"), "-1.2mO");
    EXPECT_EQ(formatReading(12.5, "mS", true), "12500mS");
    EXPECT_EQ(formatReading(0.00012, "D", true), "0.00012D");
    // Rounding, not truncation, to six decimals.
    EXPECT_EQ(formatReading(1.23456789, "F"), "1.234568F");
}

TEST(Formatting, TinyNegativeReadingKeepsItsSign)
{
    EXPECT_EQ(formatReading(-1e-13, "uF"), "-0uF");
    EXPECT_EQ(formatReading(-0.0, "O"), "-0O");
    EXPECT_EQ(formatReading(-4e-7, "O"), "-0O");
    EXPECT_EQ(formatReading(-0.0001, "D", true), "-0.0001D");
    EXPECT_EQ(formatReading(4e-7, "O"), "0O");
}

TEST(Formatting, HugeReadingIsWhole)
{
    EXPECT_EQ(formatReading(leadingDouble("99999999999999999999"), "O"), "100000000000000000000O");
    // Thirty digits before the unit, none lost, no point left over.
    const QString r = formatReading(2e17, "pF");
    EXPECT_EQ(r.size(), 32);
    EXPECT_TRUE(r.endsWith("pF"));
    EXPECT_FALSE(r.contains('.'));
    EXPECT_EQ(leadingDouble(r), 2e17 * 1e12);
    EXPECT_EQ(formatReading(std::numeric_limits<double>::infinity(), "pF"), "infpF");
}

TEST(ReadBack, FrequencySplitsNumberAndUnit)
{
    auto v = readBackFrequency("20Hz");
    EXPECT_EQ(v.number, "20");
    EXPECT_EQ(v.unit, "Hz");
    v = readBackFrequency("1KHz");
    EXPECT_EQ(v.number, "1");
    EXPECT_EQ(v.unit, "KHz");
    v = readBackFrequency("2.5MHz");
    EXPECT_EQ(v.number, "2.5");
    EXPECT_EQ(v.unit, "MHz");
    v = readBackFrequency("");
    EXPECT_EQ(v.number, "");
    EXPECT_EQ(v.unit, "Hz");
}

TEST(ReadBack, LevelSplitsNumberAndUnit)
{
    auto v = readBackLevel("10mV");
    EXPECT_EQ(v.number, "10");
    EXPECT_EQ(v.unit, "mV");
    v = readBackLevel("1V");
    EXPECT_EQ(v.number, "1");
    EXPECT_EQ(v.unit, "V");
    v = readBackLevel("500");
    EXPECT_EQ(v.number, "500");
    EXPECT_EQ(v.unit, "V");
}

TEST(ReadBack, RoundTripsEditorTexts)
{
    for (const char *num : {"20", "1", "100", "1.5"}) {
        for (const char *unit : {"Hz", "KHz", "MHz"}) {
            const auto v = readBackFrequency(QString(num) + unit);
            EXPECT_EQ(v.number, num);
            EXPECT_EQ(v.unit, unit);
        }
        for (const char *unit : {"mV", "V"}) {
            const auto v = readBackLevel(QString(num) + unit);
            EXPECT_EQ(v.number, num);
            EXPECT_EQ(v.unit, unit);
        }
    }
}

namespace {

// A locale with a decimal comma, made on the fly when the machine has none.
bool useCommaLocale(QTemporaryDir &dir)
{
    if (std::setlocale(LC_ALL, "de_DE.UTF-8"))
        return true;
    const QString localedef = QStandardPaths::findExecutable("localedef");
    if (localedef.isEmpty() || !dir.isValid())
        return false;
    QProcess p;
    p.start(localedef, {"-i", "de_DE", "-f", "UTF-8", dir.filePath("de_DE.UTF-8")});
    if (!p.waitForFinished(60000))
        return false;
    qputenv("LOCPATH", QFile::encodeName(dir.path()));
    return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

} // namespace

TEST(Locale, DecimalCommaLocaleChangesNothing)
{
    QTemporaryDir dir;
    const QByteArray oldPath = qgetenv("LOCPATH");
    if (!useCommaLocale(dir))
        GTEST_SKIP() << "no decimal-comma locale could be set up";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    const QString fixed = formatFixed(0.3);
    const QString reading = formatReading(9.87654e-8, "nF");
    const double parsed = leadingDouble("1.5e3");
    std::setlocale(LC_ALL, "C");
    if (oldPath.isEmpty())
        qunsetenv("LOCPATH");
    else
        qputenv("LOCPATH", oldPath);
    EXPECT_EQ(fixed, "0.300000");
    EXPECT_EQ(reading, "98.7654nF");
    EXPECT_EQ(parsed, 1500.0);
}
