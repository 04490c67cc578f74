#include "reports/ReportDescription.h"

#include "execution/ResultTableModel.h"

#include <gtest/gtest.h>

TEST(ReportDescription, DefaultsCarryTheStartDate)
{
    ReportDescription d(QDate(2026, 12, 6));
    EXPECT_EQ(d.title(), "Quality Inspection Report");
    EXPECT_EQ(d.company(), "Tarvolis");
    EXPECT_EQ(d.customer(), "Tarvolis");
    EXPECT_EQ(d.instrument(), "ZR-4410");
    EXPECT_EQ(d.date(), "2026/12/6");
    EXPECT_EQ(d.partNo(), "0");
    EXPECT_EQ(d.lotNo(), "0");
    EXPECT_EQ(d.quantity(), "0");
    EXPECT_EQ(d.sampling(), "0");
    EXPECT_EQ(d.remark(), "");
    EXPECT_EQ(d.text(ReportDescription::Date), d.texts()[ReportDescription::Date]);
}

TEST(ReportDescription, DateTextHasNoLeadingZeros)
{
    EXPECT_EQ(ReportDescription::dateText(QDate(2012, 3, 7)), "2012/3/7");
    EXPECT_EQ(ReportDescription::dateText(QDate(1999, 10, 31)), "1999/10/31");
    EXPECT_EQ(ReportDescription::dateText(QDate()), "0/0/0");
    // Constructed without a date: today, computed once.
    ReportDescription today;
    EXPECT_EQ(today.date(), ReportDescription::dateText(QDate::currentDate()));
}

TEST(ReportDescription, SetTextsChangesAndSignalsOnlyWhatDiffers)
{
    ReportDescription d(QDate(2020, 1, 2));
    QList<ReportDescription::Field> changed;
    QObject::connect(&d, &ReportDescription::textChanged,
                     [&](ReportDescription::Field f, const QString &) { changed << f; });
    ReportDescription::Texts t = d.texts();
    t[ReportDescription::Remark] = "batch 7";
    t[ReportDescription::LotNo] = "L-9";
    d.setTexts(t);
    EXPECT_EQ(changed, (QList<ReportDescription::Field>{ReportDescription::LotNo, ReportDescription::Remark}));
    EXPECT_EQ(d.remark(), "batch 7");
    EXPECT_EQ(d.lotNo(), "L-9");
    EXPECT_EQ(d.title(), "Quality Inspection Report");
}

TEST(ReportDescription, SamplingFollowsRowInsertionsNotRemovals)
{
    ReportDescription d(QDate(2020, 1, 2));
    ResultTableModel table;
    d.followResultTable(&table);
    for (int i = 0; i < 3; ++i)
        table.appendRow({"1", "pass"}, ResultTableModel::Passed);
    EXPECT_EQ(d.sampling(), "3");
    table.removeAllRows();
    EXPECT_EQ(d.sampling(), "3");
    table.appendRow({"1", "pass"}, ResultTableModel::Passed);
    EXPECT_EQ(d.sampling(), "1");
}

TEST(ReportDescription, FollowsOneTableAtATime)
{
    ReportDescription d(QDate(2020, 1, 2));
    ResultTableModel first;
    ResultTableModel second;
    d.followResultTable(&first);
    d.followResultTable(&second);
    first.appendRow({"x"}, 0);
    EXPECT_EQ(d.sampling(), "0");
    second.appendRow({"x"}, 0);
    second.appendRow({"x"}, 0);
    EXPECT_EQ(d.sampling(), "2");
    d.followResultTable(nullptr);
    second.appendRow({"x"}, 0);
    EXPECT_EQ(d.sampling(), "2");
}
