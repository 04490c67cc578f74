#include "meter/ReplySplitter.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(ReplySplitter, PrimaryAndSecondary)
{
    const auto p = ReplySplitter::split(QByteArray("1.234E-9,0.0012\n"));
    EXPECT_EQ(p.primary, "1.234E-9");
    EXPECT_EQ(p.secondary, "0.0012");
    EXPECT_TRUE(p.hasSecondary);
    EXPECT_DOUBLE_EQ(p.primaryValue(), 1.234e-9);
    EXPECT_DOUBLE_EQ(p.secondaryValue(), 0.0012);
}

TEST(ReplySplitter, BlanksStrippedFromSecondaryOnly)
{
    const auto p = ReplySplitter::split(QString("  1.5E+3 , - 2.5 E-1 \r\n"));
    EXPECT_EQ(p.primary, "  1.5E+3 ");
    EXPECT_EQ(p.secondary, "-2.5E-1");
    EXPECT_DOUBLE_EQ(p.primaryValue(), 1500.0);
    EXPECT_DOUBLE_EQ(p.secondaryValue(), -0.25);
}

TEST(ReplySplitter, OnlyTheFirstCommaSplits)
{
    const auto p = ReplySplitter::split(QString("1,2,3\n"));
    EXPECT_EQ(p.primary, "1");
    EXPECT_EQ(p.secondary, "2,3");
    EXPECT_EQ(p.secondaryValue(), 2.0);
}

TEST(ReplySplitter, NoCommaMeansNoSecondary)
{
    const auto p = ReplySplitter::split(QString(" 4.7E 3\n"));
    EXPECT_EQ(p.primary, "4.7E3");
    EXPECT_FALSE(p.hasSecondary);
    EXPECT_TRUE(p.secondary.isEmpty());
    EXPECT_EQ(p.secondaryValue(), 0.0);
    EXPECT_DOUBLE_EQ(p.primaryValue(), 4700.0);
}

TEST(ReplySplitter, EmptyOrGarbageReadsZero)
{
    auto p = ReplySplitter::split(QString());
    EXPECT_TRUE(p.primary.isEmpty());
    EXPECT_EQ(p.primaryValue(), 0.0);
    p = ReplySplitter::split(QString("ERR,OVER\n"));
    EXPECT_EQ(p.primaryValue(), 0.0);
    EXPECT_EQ(p.secondaryValue(), 0.0);
    p = ReplySplitter::split(QString(",5\n"));
    EXPECT_TRUE(p.primary.isEmpty());
    EXPECT_EQ(p.secondaryValue(), 5.0);
    EXPECT_TRUE(std::isinf(ReplySplitter::value("9E999")));
}
