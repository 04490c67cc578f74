#include "../support/ProcedureSteps.h"

#include "measurement/StepSettings.h"
#include "meter/MeterCommands.h"
#include "meter/SettingsCache.h"

#include <gtest/gtest.h>

using namespace MeterCommands;

using S = ProcedureStep;

TEST(SettingsCache, FirstStepSendsAllSecondIdenticalStepNothing)
{
    SettingsCache cache;
    EXPECT_TRUE(cache.isEmpty());
    const ProcedureStep step = stepWith({{S::SItem, "D"}});
    EXPECT_EQ(cache.filter(stepSettings(step)),
        QList<QByteArray>({"MEAS:FREQ 1000.000000\n", "MEAS:TEST:AC\n", "MEAS:LEV 1.000000\n", "MEAS:FUNC:C;D\n",
            "MEAS:EQU-CCT SER\n", "MEAS:SPEED MED\n"}));
    EXPECT_TRUE(cache.filter(stepSettings(step)).isEmpty());
    EXPECT_EQ(cache.entry(Family::Function), QByteArray("MEAS:FUNC:C;D"));
    EXPECT_EQ(cache.entry(Family::Circuit), QByteArray("MEAS:EQU-CCT SER"));
}

TEST(SettingsCache, OnlyChangedFamiliesAreSent)
{
    SettingsCache cache;
    cache.filter(stepSettings(stepWith({{S::SItem, "D"}})));
    EXPECT_EQ(cache.filter(stepSettings(stepWith({{S::SItem, "D"}, {S::Freq, "10KHz"}}))),
        QList<QByteArray>({"MEAS:FREQ 10000.000000\n"}));
    EXPECT_EQ(cache.filter(stepSettings(stepWith({{S::SItem, "Q"}, {S::Freq, "10KHz"}, {S::Speed, "FAST"}}))),
        QList<QByteArray>({"MEAS:FUNC:C;Q\n", "MEAS:SPEED FAST\n"}));
    // Going back to an earlier text sends it again: only the latest counts.
    EXPECT_EQ(cache.filter(stepSettings(stepWith({{S::SItem, "Q"}, {S::Speed, "FAST"}}))),
        QList<QByteArray>({"MEAS:FREQ 1000.000000\n"}));
}

TEST(SettingsCache, ComparisonIsCaseSensitive)
{
    SettingsCache cache;
    EXPECT_EQ(cache.pass(speed("MED")), QByteArray("MEAS:SPEED MED\n"));
    EXPECT_EQ(cache.pass(speed("med")), QByteArray("MEAS:SPEED med\n"));
    EXPECT_TRUE(cache.pass(speed("med")).isEmpty());
}

TEST(SettingsCache, EmptyCircuitIsRememberedButNotSent)
{
    SettingsCache cache;
    EXPECT_EQ(cache.pass(circuit("PAR")), QByteArray("MEAS:EQU-CCT PAR\n"));
    EXPECT_TRUE(cache.pass(circuit("")).isEmpty());
    EXPECT_EQ(cache.entry(Family::Circuit), QByteArray("MEAS:EQU-CCT "));
    // Because the empty one replaced it, the same circuit goes out again.
    EXPECT_EQ(cache.pass(circuit("PAR")), QByteArray("MEAS:EQU-CCT PAR\n"));
}

TEST(SettingsCache, RdcStepAfterAcStep)
{
    SettingsCache cache;
    cache.filter(stepSettings(stepWith()));
    EXPECT_EQ(cache.filter(stepSettings(stepWith({{S::FItem, "Rdc"}, {S::Freq, ""}, {S::Circuit, ""}}))),
        QList<QByteArray>({"MEAS:FREQ 0.000000\n", "MEAS:TEST:RDC\n", "MEAS:FUNC:Rdc\n"}));
}

TEST(SettingsCache, SweepPointsShareTheCache)
{
    SettingsCache cache;
    SweepPoint p{"C", "D", "SER", "MED", 1000.0, 1.0};
    EXPECT_EQ(cache.filter(sweepSettings(p)).size(), 6);
    p.frequencyHz = 50500.0;
    EXPECT_EQ(cache.filter(sweepSettings(p)), QList<QByteArray>({"MEAS:FREQ 50500.000000\n"}));
    // A procedure step with the same settings finds nothing to send.
    EXPECT_TRUE(cache.filter(stepSettings(stepWith({{S::SItem, "D"}, {S::Freq, "50500Hz"}}))).isEmpty());
}

TEST(SettingsCache, ClearMakesEverythingGoOutAgain)
{
    SettingsCache cache;
    const ProcedureStep step = stepWith(
        {{S::FItem, "L"}, {S::Freq, "20Hz"}, {S::Level, "10mV"}, {S::Circuit, "PAR"}, {S::Speed, "SLOW"}});
    cache.filter(stepSettings(step));
    EXPECT_FALSE(cache.isEmpty());
    cache.clear();
    EXPECT_TRUE(cache.isEmpty());
    for (int f = 0; f < FamilyCount; ++f)
        EXPECT_TRUE(cache.entry(Family(f)).isEmpty());
    EXPECT_EQ(cache.filter(stepSettings(step)).size(), 6);
}
