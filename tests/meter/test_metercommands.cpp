#include "../support/ProcedureSteps.h"

#include "measurement/StepSettings.h"
#include "meter/MeterCommands.h"

#include <gtest/gtest.h>

using namespace MeterCommands;

namespace {

using S = ProcedureStep;

QList<QByteArray> texts(const QList<Setting> &settings)
{
    QList<QByteArray> out;
    for (const Setting &s : settings)
        out << s.text;
    return out;
}

} // namespace

TEST(MeterCommandTexts, FixedLines)
{
    EXPECT_EQ(identify(), QByteArray("*IDN?\n"));
    EXPECT_EQ(local(), QByteArray("*LOC\n"));
    EXPECT_EQ(trigger(), QByteArray("MEAS:TRIG\n"));
    EXPECT_EQ(identityMark(), QByteArray("44"));
}

TEST(MeterCommandTexts, NumbersUseSixDecimals)
{
    EXPECT_EQ(frequency(100000).text, QByteArray("MEAS:FREQ 100000.000000"));
    EXPECT_EQ(frequency(1e6).text, QByteArray("MEAS:FREQ 1000000.000000"));
    EXPECT_EQ(frequency(50).text, QByteArray("MEAS:FREQ 50.000000"));
    EXPECT_EQ(frequency(0).text, QByteArray("MEAS:FREQ 0.000000"));
    EXPECT_EQ(level(0.3).text, QByteArray("MEAS:LEV 0.300000"));
    EXPECT_EQ(level(1).text, QByteArray("MEAS:LEV 1.000000"));
    EXPECT_EQ(frequency(1).family, Family::Frequency);
    EXPECT_EQ(level(1).family, Family::Level);
}

TEST(MeterCommandTexts, HugeValueIsSentWhole)
{
    // Wider than any fixed-size formatting buffer would hold.
    const QByteArray t = frequency(1e30).text;
    EXPECT_TRUE(t.startsWith("MEAS:FREQ 1000000000000000019884624838656"));
    EXPECT_TRUE(t.endsWith(".000000"));
    EXPECT_FALSE(t.contains('\n'));
}

TEST(MeterCommandTexts, ItemsCircuitSpeed)
{
    EXPECT_EQ(testMode("Rdc").text, QByteArray("MEAS:TEST:RDC"));
    EXPECT_EQ(testMode("C").text, QByteArray("MEAS:TEST:AC"));
    EXPECT_EQ(testMode("rdc").text, QByteArray("MEAS:TEST:AC"));
    EXPECT_EQ(function("C", "D").text, QByteArray("MEAS:FUNC:C;D"));
    EXPECT_EQ(function("Z", "Angle").text, QByteArray("MEAS:FUNC:Z;Angle"));
    EXPECT_EQ(function("C", "off").text, QByteArray("MEAS:FUNC:C"));
    EXPECT_EQ(circuit("PAR").text, QByteArray("MEAS:EQU-CCT PAR"));
    EXPECT_TRUE(circuit("PAR").writable);
    EXPECT_FALSE(circuit("").writable);
    EXPECT_EQ(speed("MAX").text, QByteArray("MEAS:SPEED MAX"));
    EXPECT_EQ(speed("MAX").family, Family::Speed);
}

TEST(MeterCommandOrder, StepSendsFrequencyFirst)
{
    const auto s = stepSettings(stepWith(
        {{S::SItem, "D"}, {S::Freq, "100KHz"}, {S::Level, "300mV"}, {S::Circuit, "PAR"}, {S::Speed, "FAST"}}));
    EXPECT_EQ(texts(s), QList<QByteArray>({"MEAS:FREQ 100000.000000", "MEAS:TEST:AC", "MEAS:LEV 0.300000",
                            "MEAS:FUNC:C;D", "MEAS:EQU-CCT PAR", "MEAS:SPEED FAST"}));
    ASSERT_EQ(s.size(), 6);
    EXPECT_EQ(s[0].family, Family::Frequency);
    EXPECT_EQ(s[1].family, Family::TestMode);
    EXPECT_EQ(s[2].family, Family::Level);
    EXPECT_EQ(s[3].family, Family::Function);
    EXPECT_EQ(s[4].family, Family::Circuit);
    EXPECT_EQ(s[5].family, Family::Speed);
}

TEST(MeterCommandOrder, StepFieldConversions)
{
    auto s = stepSettings(stepWith({{S::FItem, "Rdc"}, {S::Freq, ""}, {S::Circuit, ""}, {S::Speed, "SLOW"}}));
    EXPECT_EQ(texts(s), QList<QByteArray>({"MEAS:FREQ 0.000000", "MEAS:TEST:RDC", "MEAS:LEV 1.000000", "MEAS:FUNC:Rdc",
                            "MEAS:EQU-CCT ", "MEAS:SPEED SLOW"}));
    EXPECT_FALSE(s[4].writable);
    s = stepSettings(stepWith({{S::FItem, "L"}, {S::SItem, "Q"}, {S::Freq, "1.5KHz"}, {S::Level, "500mV"}}));
    EXPECT_EQ(s[0].text, QByteArray("MEAS:FREQ 1000.000000"));
    EXPECT_EQ(s[2].text, QByteArray("MEAS:LEV 0.500000"));
    s = stepSettings(stepWith({{S::Freq, "2MHz"}, {S::Level, "10mV"}}));
    EXPECT_EQ(s[0].text, QByteArray("MEAS:FREQ 2000000.000000"));
    EXPECT_EQ(s[2].text, QByteArray("MEAS:LEV 0.010000"));
}

TEST(MeterCommandOrder, SweepPointSendsTestModeFirst)
{
    SweepPoint p;
    p.firstItem = "Z";
    p.secondItem = "Angle";
    p.circuit = "";
    p.speed = "MED";
    p.frequencyHz = 50500.0;
    p.levelVolts = 0.25;
    const auto s = sweepSettings(p);
    EXPECT_EQ(texts(s), QList<QByteArray>({"MEAS:TEST:AC", "MEAS:FREQ 50500.000000", "MEAS:LEV 0.250000",
                            "MEAS:FUNC:Z;Angle", "MEAS:EQU-CCT ", "MEAS:SPEED MED"}));
    EXPECT_EQ(s[0].family, Family::TestMode);
    EXPECT_EQ(s[1].family, Family::Frequency);
    EXPECT_FALSE(s[4].writable);
    // A single-precision sweep value is sent as it is, not rounded to an integer.
    p.firstItem = "Rdc";
    p.frequencyHz = double(1.5f) * 1e3;
    EXPECT_EQ(sweepSettings(p)[0].text, QByteArray("MEAS:TEST:RDC"));
    EXPECT_EQ(sweepSettings(p)[1].text, QByteArray("MEAS:FREQ 1500.000000"));
}
