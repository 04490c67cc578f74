#include "document/DocumentNames.h"

#include <gtest/gtest.h>

using namespace DocumentNames;

TEST(DocumentNames, TypeByTheLastThreeCharactersOfTheFileName)
{
    EXPECT_EQ(fileType(QStringLiteral("abc.pro")), FileType::Procedure);
    EXPECT_EQ(fileType(QStringLiteral("abc_202612695.rpt")), FileType::Report);
    EXPECT_EQ(fileType(QStringLiteral("abc.pic")), FileType::Plot);
    // The dot is not looked at.
    EXPECT_EQ(fileType(QStringLiteral("xpro")), FileType::Procedure);
    EXPECT_EQ(fileType(QStringLiteral("pic")), FileType::Plot);
    // Case matters; other endings have no type.
    EXPECT_EQ(fileType(QStringLiteral("abc.PRO")), FileType::None);
    EXPECT_EQ(fileType(QStringLiteral("abc.Rpt")), FileType::None);
    EXPECT_EQ(fileType(QStringLiteral("Untitled.qel")), FileType::None);
    EXPECT_EQ(fileType(QString()), FileType::None);
    EXPECT_EQ(fileType(QStringLiteral("ro")), FileType::None);
    // Only the name after the last separator counts, either kind.
    EXPECT_EQ(fileType(QStringLiteral("/data/x.pro/abc.qel")), FileType::None);
    EXPECT_EQ(fileType(QStringLiteral("C:\\data\\abc.rpt")), FileType::Report);
    EXPECT_EQ(fileType(QStringLiteral("/data/abc.pro/")), FileType::None);
}

TEST(DocumentNames, NamesFoldersAndStems)
{
    EXPECT_EQ(fileName(QStringLiteral("/home/op/abc.pro")), QStringLiteral("abc.pro"));
    EXPECT_EQ(fileName(QStringLiteral("C:\\x/y\\abc.pro")), QStringLiteral("abc.pro"));
    EXPECT_EQ(fileName(QStringLiteral("abc.pro")), QStringLiteral("abc.pro"));
    EXPECT_EQ(folderOf(QStringLiteral("/home/op/abc.pro")), QStringLiteral("/home/op/"));
    EXPECT_EQ(folderOf(QStringLiteral("abc.pro")), QString());
    EXPECT_EQ(stem(QStringLiteral("abc_1_2.rpt")), QStringLiteral("abc"));
    EXPECT_EQ(stem(QStringLiteral("_1.rpt")), QString());
    EXPECT_EQ(stem(QStringLiteral("abc.rpt")), QString());
}

TEST(DocumentNames, OpenChecksFromAProcedure)
{
    OpenDecision d = checkOpen(QStringLiteral("abc.pro"), QStringLiteral("abc_202612695.rpt"));
    EXPECT_TRUE(d.allowed);
    EXPECT_FALSE(d.clearReportData);

    d = checkOpen(QStringLiteral("abc.pro"), QStringLiteral("xyz_1.rpt"));
    EXPECT_FALSE(d.allowed);
    EXPECT_EQ(d.message, QString::fromLatin1(ReportNameMismatch));
    EXPECT_EQ(d.message,
        QStringLiteral("Loading report file fail, the name is not corresponding with procedure's name"));

    // The base is a prefix test only: "abcd_1.rpt" begins with "abc".
    EXPECT_TRUE(checkOpen(QStringLiteral("abc.pro"), QStringLiteral("abcd_1.rpt")).allowed);

    d = checkOpen(QStringLiteral("abc.pro"), QStringLiteral("abc.pro"));
    EXPECT_TRUE(d.allowed);
    EXPECT_FALSE(d.clearReportData);
    d = checkOpen(QStringLiteral("abc.pro"), QStringLiteral("abd.pro"));
    EXPECT_TRUE(d.allowed);
    EXPECT_TRUE(d.clearReportData);
    d = checkOpen(QStringLiteral("abc.pro"), QStringLiteral("abc.pic"));
    EXPECT_TRUE(d.allowed);
    EXPECT_FALSE(d.clearReportData);
}

TEST(DocumentNames, OpenChecksFromAReport)
{
    OpenDecision d = checkOpen(QStringLiteral("abc_1.rpt"), QStringLiteral("abd_2.rpt"));
    EXPECT_FALSE(d.allowed);
    EXPECT_EQ(d.message, QStringLiteral("Loading report file fail, the name type is not corresponding"));
    EXPECT_TRUE(checkOpen(QStringLiteral("abc_1.rpt"), QStringLiteral("abc_2.rpt")).allowed);

    d = checkOpen(QStringLiteral("abc_1.rpt"), QStringLiteral("abc.pro"));
    EXPECT_TRUE(d.allowed);
    EXPECT_FALSE(d.clearReportData);
    d = checkOpen(QStringLiteral("abc_1.rpt"), QStringLiteral("xyz.pro"));
    EXPECT_TRUE(d.allowed);
    EXPECT_TRUE(d.clearReportData);
}

TEST(DocumentNames, OpenChecksWithoutAProcedureAndForPlots)
{
    for (const char *current : {"", "Untitled.qel", "abc.PRO"}) {
        const OpenDecision d = checkOpen(QString::fromLatin1(current), QStringLiteral("abc_1.rpt"));
        EXPECT_FALSE(d.allowed) << current;
        EXPECT_EQ(d.message, QStringLiteral("Can't open the file.")) << current;
        EXPECT_TRUE(checkOpen(QString::fromLatin1(current), QStringLiteral("abc.pro")).allowed) << current;
        EXPECT_TRUE(checkOpen(QString::fromLatin1(current), QStringLiteral("abc.pic")).allowed) << current;
    }
    // From a plot file anything typed opens, a report included.
    EXPECT_TRUE(checkOpen(QStringLiteral("abc.pic"), QStringLiteral("xyz_1.rpt")).allowed);
    EXPECT_FALSE(checkOpen(QStringLiteral("abc.pic"), QStringLiteral("abc.pro")).clearReportData);
    EXPECT_TRUE(checkOpen(QStringLiteral("abc_1.rpt"), QStringLiteral("zzz.pic")).allowed);
}

TEST(DocumentNames, NamesOfNoTypeAreNotOpened)
{
    // Nothing can be read from them, whatever the current document.
    for (const char *current : {"", "abc.pro", "abc_1.rpt", "abc.pic"}) {
        const OpenDecision d = checkOpen(QString::fromLatin1(current), QStringLiteral("abc.PRO"));
        EXPECT_FALSE(d.allowed) << current;
        EXPECT_EQ(d.message, QStringLiteral("Can't open the file.")) << current;
    }
}

TEST(DocumentNames, TimeStampHasNoLeadingZerosOrSeparators)
{
    EXPECT_EQ(timeStamp(QDateTime(QDate(2026, 12, 6), QTime(9, 5))), QStringLiteral("20261269") + "5");
    EXPECT_EQ(timeStamp(QDateTime(QDate(2012, 3, 7), QTime(0, 0, 59))), QStringLiteral("20123700"));
    EXPECT_EQ(timeStamp(QDateTime(QDate(1999, 10, 31), QTime(23, 59))), QStringLiteral("1999103123") + "59");
}

TEST(DocumentNames, SaveNamesOnTheProcedureView)
{
    const QString t = QStringLiteral("Untitled");
    const QString s = QStringLiteral("20261269") + "5";
    EXPECT_EQ(saveName(QStringLiteral("abc_1.rpt"), 1, t, s), QStringLiteral("abc.pro"));
    EXPECT_EQ(saveName(QStringLiteral("abc.rpt"), 1, t, s), QStringLiteral(".pro"));
    EXPECT_EQ(saveName(QStringLiteral("picnic.pic"), 1, t, s), QStringLiteral("pronic.pro"));
    EXPECT_EQ(saveName(QStringLiteral("abc.pro"), 1, t, s), QStringLiteral("Untitled.pro"));
    EXPECT_EQ(saveName(QString(), 1, t, s), QStringLiteral("Untitled.pro"));
    EXPECT_EQ(saveName(QStringLiteral("Untitled.qel"), 1, QString(), s), QStringLiteral(".pro"));
}

TEST(DocumentNames, SaveNamesOnTheExecutiveView)
{
    const QString t = QStringLiteral("Untitled");
    const QString s = QStringLiteral("20261269") + "5";
    EXPECT_EQ(saveName(QStringLiteral("abc.pro"), 2, t, s), QStringLiteral("abc_202612695.rpt"));
    EXPECT_EQ(saveName(QStringLiteral("a.prob.pro"), 2, t, s), QStringLiteral("ab_202612695.rpt"));
    EXPECT_EQ(saveName(QStringLiteral("abc_20231010.rpt"), 2, t, s), QStringLiteral("abc_202612695.rpt"));
    EXPECT_EQ(saveName(QStringLiteral("abc.rpt"), 2, t, s), QStringLiteral("202612695.rpt"));
    EXPECT_EQ(saveName(QStringLiteral("abc.pic"), 2, t, s), QStringLiteral("abc.pic"));
    EXPECT_EQ(saveName(QStringLiteral("Untitled.qel"), 2, t, s), QStringLiteral("Untitled.qel"));
}

TEST(DocumentNames, SaveNamesOnThePlotterView)
{
    const QString t = QStringLiteral("Untitled");
    const QString s = QStringLiteral("1");
    EXPECT_EQ(saveName(QStringLiteral("abc_1.rpt"), 3, t, s), QStringLiteral("abc.pic"));
    EXPECT_EQ(saveName(QStringLiteral("prober.pro"), 3, t, s), QStringLiteral("picber.pic"));
    EXPECT_EQ(saveName(QStringLiteral("abc.pic"), 3, t, s), QStringLiteral("Untitled.pic"));
    EXPECT_EQ(saveName(QString(), 3, t, s), QStringLiteral("Untitled.pic"));
    // No page of that number: the name stays.
    EXPECT_EQ(saveName(QStringLiteral("abc.pro"), 0, t, s), QStringLiteral("abc.pro"));
}
