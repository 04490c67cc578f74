#include "procedure/ProcedureStep.h"
#include "procedure/Vocabulary.h"

#include <gtest/gtest.h>

TEST(StepPicture, SeriesCircuits)
{
    EXPECT_EQ(ProcedureStep::pictureFor("C", "SER"), ProcedureStep::CSer);
    EXPECT_EQ(ProcedureStep::pictureFor("L", "SER"), ProcedureStep::LSer);
    EXPECT_EQ(ProcedureStep::pictureFor("X", "SER"), ProcedureStep::ROnly);
}

TEST(StepPicture, ParallelCircuits)
{
    EXPECT_EQ(ProcedureStep::pictureFor("C", "PAR"), ProcedureStep::CPar);
    EXPECT_EQ(ProcedureStep::pictureFor("B", "PAR"), ProcedureStep::CPar);
    EXPECT_EQ(ProcedureStep::pictureFor("L", "PAR"), ProcedureStep::LPar);
}

TEST(StepPicture, NoCircuitOrUnknownTextsShowResistor)
{
    for (const char *item : {"Z", "Y", "Rdc", "C", "L", "B"})
        EXPECT_EQ(ProcedureStep::pictureFor(item, ""), ProcedureStep::ROnly) << item;
    EXPECT_EQ(ProcedureStep::pictureFor("c", "SER"), ProcedureStep::ROnly);
    EXPECT_EQ(ProcedureStep::pictureFor("C", "ser"), ProcedureStep::ROnly);
    EXPECT_EQ(ProcedureStep::pictureFor("X", "PAR"), ProcedureStep::ROnly);
}

TEST(StepPicture, EveryOfferedCombinationHasAPlainPicture)
{
    using namespace Vocabulary;
    for (int i = 0; i < FirstItemCount; ++i) {
        QStringList offered = circuitsFor(i);
        if (offered.isEmpty())
            offered << QString();
        for (const QString &c : offered) {
            const int p = ProcedureStep::pictureFor(firstItems().at(i), c);
            EXPECT_GE(p, 0);
            EXPECT_LT(p, int(ProcedureStep::Editing));
        }
    }
}

TEST(StepRecord, HeadersAndSecondItem)
{
    const QStringList &h = ProcedureStep::headers();
    ASSERT_EQ(h.size(), int(ProcedureStep::ColumnCount));
    EXPECT_EQ(h.at(ProcedureStep::Step), "Step");
    EXPECT_EQ(h.at(ProcedureStep::FUnit), "F-Unit");
    EXPECT_EQ(h.at(ProcedureStep::SItem), "S-Item");
    EXPECT_EQ(h.at(ProcedureStep::Freq), "Freq.");
    EXPECT_EQ(h.at(ProcedureStep::Delay), "Delay");
    ProcedureStep s;
    s[ProcedureStep::SItem] = "off";
    EXPECT_FALSE(s.hasSecondItem());
    s[ProcedureStep::SItem] = "D";
    EXPECT_TRUE(s.hasSecondItem());
}
