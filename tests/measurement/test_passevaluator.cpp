#include "execution/ResultTableModel.h"
#include "measurement/PassEvaluator.h"

#include "../support/ProcedureSteps.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QTime>

#include <cmath>
#include <limits>

namespace {

ProcedureStep step(const QString &fItem, const QString &fStd, const QString &fLow, const QString &fHigh,
                   const QString &fUnit, const QString &sItem = QStringLiteral("off"),
                   const QString &sStd = {}, const QString &sLow = {}, const QString &sHigh = {},
                   const QString &sUnit = {})
{
    using P = ProcedureStep;
    const QString type = fLow.contains(QLatin1Char('%')) ? QStringLiteral("%") : QStringLiteral("Absolute");
    return stepWith({{P::Step, QStringLiteral("1")}, {P::FItem, fItem}, {P::FStd, fStd}, {P::FLow, fLow},
        {P::FHigh, fHigh}, {P::FUnit, fUnit}, {P::SItem, sItem}, {P::SStd, sStd}, {P::SLow, sLow}, {P::SHigh, sHigh},
        {P::SUnit, sUnit}, {P::Type, type}});
}

double above(double v) { return std::nextafter(v, std::numeric_limits<double>::infinity()); }
double below(double v) { return std::nextafter(v, -std::numeric_limits<double>::infinity()); }

} // namespace

TEST(PassLimits, PercentLimitsAreFractionsOfTheNominalInBaseUnits)
{
    const auto l = PassEvaluator::limits("100", "-5%", "+5%", "nF", false);
    EXPECT_NEAR(l.low, 9.5e-8, 1e-20);
    EXPECT_NEAR(l.high, 1.05e-7, 1e-20);

    const auto k = PassEvaluator::limits("2.2", "-10%", "+20%", "KO", false);
    EXPECT_NEAR(k.low, 1980.0, 1e-9);
    EXPECT_NEAR(k.high, 2640.0, 1e-9);
}

TEST(PassLimits, AbsoluteLimitsAreAddedInBaseUnitsWithoutThePrefix)
{
    const auto ohm = PassEvaluator::limits("100", "-5", "+5", "O", false);
    EXPECT_DOUBLE_EQ(ohm.low, 95.0);
    EXPECT_DOUBLE_EQ(ohm.high, 105.0);

    // -5 and +5 on 100 nF are farads, not nanofarads.
    const auto nf = PassEvaluator::limits("100", "-5", "+5", "nF", false);
    EXPECT_NEAR(nf.low, -4.9999999, 1e-12);
    EXPECT_NEAR(nf.high, 5.0000001, 1e-12);
}

TEST(PassLimits, TheLowTextDecidesThePercentRule)
{
    // A percent high limit under a plain low limit is a plain 0.05 offset.
    const auto plainLow = PassEvaluator::limits("100", "-5", "+5%", "O", false);
    EXPECT_DOUBLE_EQ(plainLow.low, 95.0);
    EXPECT_DOUBLE_EQ(plainLow.high, 100.05);
    // A plain high limit under a percent low limit is a factor of the nominal.
    const auto percentLow = PassEvaluator::limits("100", "-5%", "+5", "O", false);
    EXPECT_DOUBLE_EQ(percentLow.low, 95.0);
    EXPECT_DOUBLE_EQ(percentLow.high, 600.0);
}

TEST(PassLimits, SecondItemUnitsScaleOnlyByMilliKiloMega)
{
    const auto g = PassEvaluator::limits("10", "-5", "+5", "mS", true);
    EXPECT_NEAR(g.low, 0.01 - 5, 1e-12);
    const auto r = PassEvaluator::limits("2", "-50%", "+50%", "KO", true);
    EXPECT_DOUBLE_EQ(r.low, 1000.0);
    EXPECT_DOUBLE_EQ(r.high, 3000.0);
    const auto q = PassEvaluator::limits("50", "-10%", "+10%", "Q", true);
    EXPECT_DOUBLE_EQ(q.low, 45.0);
    EXPECT_DOUBLE_EQ(q.high, 55.0);
}

TEST(PassVerdict, OnlyStrictlyInsideTheComputedLimitsPasses)
{
    const auto l = PassEvaluator::limits("100", "-5%", "+5%", "nF", false);
    EXPECT_EQ(PassEvaluator::verdict(l.low, "100", l), "fail");
    EXPECT_EQ(PassEvaluator::verdict(l.high, "100", l), "fail");
    EXPECT_EQ(PassEvaluator::verdict(above(l.low), "100", l), "pass");
    EXPECT_EQ(PassEvaluator::verdict(below(l.high), "100", l), "pass");
    EXPECT_EQ(PassEvaluator::verdict(1e-7, "100", l), "pass");
    EXPECT_EQ(PassEvaluator::verdict(9e-8, "100", l), "fail");
    EXPECT_EQ(PassEvaluator::verdict(std::nan(""), "100", l), "fail");

    const auto a = PassEvaluator::limits("100", "-5", "+5", "O", false);
    EXPECT_EQ(PassEvaluator::verdict(95.0, "100", a), "fail");
    EXPECT_EQ(PassEvaluator::verdict(105.0, "100", a), "fail");
    EXPECT_EQ(PassEvaluator::verdict(95.000001, "100", a), "pass");
    EXPECT_EQ(PassEvaluator::verdict(104.999999, "100", a), "pass");
}

TEST(PassVerdict, AnEmptyStandardIsNotJudged)
{
    const PassEvaluator::Limits l{0.0, 0.0};
    EXPECT_EQ(PassEvaluator::verdict(123.0, QString(), l), QString());
    EXPECT_TRUE(PassEvaluator::verdict(123.0, QString(), l).isEmpty());
    // A standard of "0" is a standard, and zero-width limits fail everything.
    EXPECT_EQ(PassEvaluator::verdict(0.0, "0", l), "fail");
}

TEST(PassRow, ReadingsAreShownInTheStepUnitWithTheirVerdicts)
{
    const QVector<ProcedureStep> steps{
        step("C", "100", "-5%", "+5%", "nF"),
        step("Z", "1", "-5%", "+5%", "KO"),
        step("C", "", "", "", "uF"),
    };
    const auto row = PassEvaluator::evaluate(steps, {"9.87654E-08\n", "1000\n", "1e-13\n"});
    EXPECT_EQ(row.cells, (QStringList{"98.7654nF", "pass", "1KO", "pass", "0uF", ""}));
    EXPECT_EQ(row.image, ResultTableModel::Passed);
    EXPECT_EQ(row.passCount, 3);
}

TEST(PassRow, JudgingUsesTheUnroundedReading)
{
    // Shown rounded to 95nF, but still below the low limit: it must fail.
    const QVector<ProcedureStep> steps{step("C", "100", "-5%", "+5%", "nF")};
    const auto row = PassEvaluator::evaluate(steps, {"9.49999999999E-08\n"});
    EXPECT_EQ(row.cells.at(0), "95nF");
    EXPECT_EQ(row.cells.at(1), "fail");
    EXPECT_EQ(row.image, ResultTableModel::Failed);
}

TEST(PassRow, SecondItemsGetTheirOwnColumnsAndUnits)
{
    const QVector<ProcedureStep> steps{
        step("C", "100", "-5%", "+5%", "nF", "D", "0.01", "-50%", "+50%", "D"),
        step("Z", "100", "-5", "+5", "O", "Angle", "", "", "", QString(QChar(0x00B0))),
        step("L", "10", "-5%", "+5%", "uH"),
    };
    const auto row = PassEvaluator::evaluate(
        steps, {"1.00000E-07,0.012\n", "100.5, -45.25 \n", "1.0E-05\n"});
    EXPECT_EQ(row.cells, (QStringList{"100nF", "pass", "0.012D", "pass", "100.5O", "pass",
                                       QString("-45.25") + QChar(0x00B0), "", "10uH", "pass"}));
    EXPECT_EQ(row.image, ResultTableModel::Passed);
}

TEST(PassRow, AFailingSecondItemTurnsTheRowRed)
{
    const QVector<ProcedureStep> steps{
        step("C", "100", "-5%", "+5%", "nF", "Q", "50", "-10%", "+10%", "Q"),
        step("C", "100", "-5%", "+5%", "nF"),
    };
    const auto row = PassEvaluator::evaluate(steps, {"1.0E-07,20\n", "1.0E-07\n"});
    EXPECT_EQ(row.cells.at(1), "pass");
    EXPECT_EQ(row.cells.at(3), "fail");
    EXPECT_EQ(row.cells.at(5), "pass");
    EXPECT_EQ(row.passCount, 1);
    EXPECT_EQ(row.image, ResultTableModel::Failed);
}

TEST(PassRow, AFailingFirstItemTurnsTheRowRed)
{
    const QVector<ProcedureStep> steps{
        step("C", "100", "-5%", "+5%", "nF"),
        step("C", "100", "-5%", "+5%", "nF", "Q", "", "", "", "Q"),
    };
    const auto row = PassEvaluator::evaluate(steps, {"2.0E-07\n", "1.0E-07,3\n"});
    EXPECT_EQ(row.cells, (QStringList{"200nF", "fail", "100nF", "pass", "3Q", ""}));
    EXPECT_EQ(row.image, ResultTableModel::Failed);
}

TEST(PassRow, UnjudgedItemsCountAsPassed)
{
    const QVector<ProcedureStep> steps{
        step("C", "", "", "", "pF", "D", "", "", "", "D"),
        step("R", "", "", "", "O"),
    };
    const auto row = PassEvaluator::evaluate(steps, {"1.0E-10,0.5\n", "12\n"});
    EXPECT_EQ(row.cells, (QStringList{"100pF", "", "0.5D", "", "12O", ""}));
    EXPECT_EQ(row.image, ResultTableModel::Passed);
}

TEST(PassRow, MissingRepliesReadAsZero)
{
    const QVector<ProcedureStep> steps{
        step("C", "100", "-5", "+5", "nF"),
        step("C", "100", "-5%", "+5%", "nF", "D", "0.01", "-5%", "+5%", "D"),
    };
    const auto row = PassEvaluator::evaluate(steps, {"1.0E-07\n"});
    // Zero lies inside the absolute -5..+5 F window of step 1 only.
    EXPECT_EQ(row.cells, (QStringList{"100nF", "pass", "0nF", "fail", "0D", "fail"}));
    EXPECT_EQ(row.passCount, 0);
    EXPECT_EQ(row.image, ResultTableModel::Failed);

    const auto none = PassEvaluator::evaluate(steps, {});
    EXPECT_EQ(none.cells.at(0), "0nF");
    EXPECT_EQ(none.cells.at(1), "pass");
}

TEST(PassRow, ATinyNegativeReadingKeepsItsSignAndIsJudgedByValue)
{
    const QVector<ProcedureStep> steps{
        step("C", "0", "-1", "+1", "pF", "D", "0", "-0.001", "+0.001", "D"),
    };
    // The row text is what report files, exports and printouts carry.
    const auto row = PassEvaluator::evaluate(steps, {"-1.0E-19,-0.0000004\n"});
    EXPECT_EQ(row.cells, (QStringList{"-0pF", "pass", "-0D", "pass"}));
    EXPECT_EQ(row.image, ResultTableModel::Passed);
}

TEST(PassRow, AnEmptyProcedureGivesAnEmptyPassedRow)
{
    const auto row = PassEvaluator::evaluate({}, {"1\n"});
    EXPECT_TRUE(row.cells.isEmpty());
    EXPECT_EQ(row.image, ResultTableModel::Passed);
}

TEST(PassStamp, DateAndTimeHaveNoLeadingZeros)
{
    EXPECT_EQ(PassEvaluator::dateText(QDate(2012, 3, 7)), "2012/3/7/");
    EXPECT_EQ(PassEvaluator::timeText(QTime(9, 5, 3)), "9:5:3");
    EXPECT_EQ(PassEvaluator::dateText(QDate(2024, 12, 31)), "2024/12/31/");
    EXPECT_EQ(PassEvaluator::timeText(QTime(23, 59, 10)), "23:59:10");
    EXPECT_EQ(PassEvaluator::timeText(QTime(0, 0, 0)), "0:0:0");
}
