#include "document/ArchiveError.h"
#include "document/DocumentLayouts.h"

#include <QBuffer>

#include <gtest/gtest.h>

using DocumentNames::FileType;

namespace {

QByteArray layoutBytes(FileType type, const DocumentData &data)
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    QString why;
    EXPECT_TRUE(DocumentLayouts::write(type, data, &buf, &why)) << why.toStdString();
    return bytes;
}

// Two steps: C/D at 1KHz and Z/Angle, as the editor writes them.
DocumentData twoSteps()
{
    DocumentData d;
    d.stepCount = 2;
    const QStringList a = {"C", "100", "-5%", "+5%", "nF", "D", "0.01", "-5%", "+5%", "D", "1KHz", "1V", "SER", "MED",
        "%", "0"};
    const QStringList b = {"Z", "50", "-1", "+1", "O", "Angle", "10", "-2", "+2", QString(QChar(0x00B0)), "100KHz",
        "10mV", "", "FAST", "Absolute", "20"};
    for (int k = 0; k < DocumentData::StepColumnCount; ++k)
        d.stepColumns[size_t(k)] = QStringList{a.at(k), b.at(k)};
    return d;
}

DocumentData someReport()
{
    DocumentData d;
    d.reportRowCount = 2;
    d.reportRows = PackedStringArray::fromStringList({"100.2nF\npass\n0.0012\npass\n", "99nF\nfail\n0.5\nfail\n"});
    d.reportDates = QStringList{"2012/3/7/", "2012/3/7/"};
    d.reportTimes = QStringList{"9:5:3", "9:5:4"};
    return d;
}

DocumentData somePlot()
{
    DocumentData d;
    d.plotRowCount = 2;
    d.plotColumnCount = 3;
    d.plotFirstItem = "L";
    d.plotSecondItem = "Q";
    d.plotRows = QStringList{"20.000000Hz\n1.2uH\n3.4\n\n\n", "100.000000Hz\n1.3uH\n3.9\n\n\n"};
    return d;
}

QStringList entries(const DocumentData &d)
{
    QStringList out;
    for (qsizetype i = 0; i < d.reportEntryCount(); ++i)
        out << d.reportEntry(i);
    return out;
}

void expectSameLayout(FileType type, const DocumentData &a, const DocumentData &b)
{
    switch (type) {
    case FileType::Procedure:
        EXPECT_EQ(a.stepCount, b.stepCount);
        for (int k = 0; k < DocumentData::StepColumnCount; ++k)
            EXPECT_EQ(a.stepColumns[size_t(k)], b.stepColumns[size_t(k)]) << k;
        break;
    case FileType::Report:
        EXPECT_EQ(a.reportRowCount, b.reportRowCount);
        EXPECT_EQ(entries(a), entries(b));
        EXPECT_EQ(a.reportDates, b.reportDates);
        EXPECT_EQ(a.reportTimes, b.reportTimes);
        break;
    case FileType::Plot:
        EXPECT_EQ(a.plotRowCount, b.plotRowCount);
        EXPECT_EQ(a.plotColumnCount, b.plotColumnCount);
        EXPECT_EQ(a.plotFirstItem, b.plotFirstItem);
        EXPECT_EQ(a.plotSecondItem, b.plotSecondItem);
        EXPECT_EQ(a.plotSpare, b.plotSpare);
        EXPECT_EQ(a.plotRows, b.plotRows);
        break;
    case FileType::None:
        break;
    }
}

} // namespace

TEST(DocumentLayouts, EmptyFilesByteForByte)
{
    DocumentData empty;
    const QByteArray pro = layoutBytes(FileType::Procedure, empty);
    EXPECT_EQ(pro.size(), 36);
    EXPECT_EQ(pro, QByteArray(36, '\0'));

    const QByteArray rpt = layoutBytes(FileType::Report, empty);
    EXPECT_EQ(rpt, QByteArray(10, '\0'));

    DocumentData plot;
    plot.plotColumnCount = 1;
    EXPECT_EQ(layoutBytes(FileType::Plot, plot), QByteArray::fromHex("00000000" "01000000" "0143" "036f6666"
                                                                     "023130" "0000"));
}

TEST(DocumentLayouts, ProcedureLayoutHoldsColumnsInIndexOrder)
{
    const QByteArray bytes = layoutBytes(FileType::Procedure, twoSteps());
    EXPECT_EQ(bytes.left(4), QByteArray::fromHex("02000000"));
    // Array 0 (F-Item): count 2, "C", "Z".
    EXPECT_EQ(bytes.mid(4, 6), QByteArray::fromHex("0200" "0143" "015a"));
    // The Angle step's S-Unit is the two Big5 bytes of the degree sign.
    EXPECT_TRUE(bytes.contains(QByteArray::fromHex("0200" "0144" "02a258")));
    EXPECT_FALSE(bytes.contains(QByteArray::fromHex("c2b0"))); // never UTF-8
}

TEST(DocumentLayouts, ReportAndPlotLayouts)
{
    const QByteArray rpt = layoutBytes(FileType::Report, someReport());
    EXPECT_EQ(rpt.left(6), QByteArray::fromHex("02000000" "0200"));
    EXPECT_EQ(rpt.mid(6, 1), QByteArray("\x19"));
    EXPECT_EQ(rpt.mid(7, 25), QByteArray("100.2nF\npass\n0.0012\npass\n"));
    EXPECT_TRUE(rpt.endsWith(QByteArray("\x02\x00\x05" "9:5:3" "\x05" "9:5:4", 14)));

    const QByteArray pic = layoutBytes(FileType::Plot, somePlot());
    EXPECT_EQ(pic.left(17), QByteArray::fromHex("02000000" "03000000" "014c" "0151" "023130" "0200"));
}

TEST(DocumentLayouts, EveryLayoutRoundTrips)
{
    const DocumentData sources[] = {twoSteps(), someReport(), somePlot()};
    const FileType types[] = {FileType::Procedure, FileType::Report, FileType::Plot};
    for (int i = 0; i < 3; ++i) {
        DocumentData back;
        DocumentLayouts::read(types[i], layoutBytes(types[i], sources[i]), back);
        expectSameLayout(types[i], sources[i], back);
    }
}

TEST(DocumentLayouts, ReadingFillsOnlyItsOwnLayout)
{
    DocumentData back;
    DocumentLayouts::read(FileType::Report, layoutBytes(FileType::Report, someReport()), back);
    EXPECT_EQ(back.stepCount, 0);
    EXPECT_EQ(back.plotFirstItem, QStringLiteral("C"));
    EXPECT_EQ(back.plotColumnCount, 0);
}

TEST(DocumentLayouts, EveryTruncationIsACleanErrorWithinTheFile)
{
    const DocumentData sources[] = {twoSteps(), someReport(), somePlot()};
    const FileType types[] = {FileType::Procedure, FileType::Report, FileType::Plot};
    for (int i = 0; i < 3; ++i) {
        const QByteArray full = layoutBytes(types[i], sources[i]);
        for (qsizetype cut = 0; cut < full.size(); ++cut) {
            DocumentData out;
            try {
                DocumentLayouts::read(types[i], full.left(cut), out);
                ADD_FAILURE() << "type " << i << " cut at " << cut << " read without error";
            } catch (const ArchiveError &e) {
                EXPECT_GE(e.offset(), 0);
                EXPECT_LE(e.offset(), cut);
            }
        }
    }
}

TEST(DocumentLayouts, ArraysShorterThanTheirCountsAreRefused)
{
    // Procedure: three steps announced, every array holds two.
    QByteArray pro = layoutBytes(FileType::Procedure, twoSteps());
    pro[0] = 3;
    DocumentData out;
    EXPECT_THROW(DocumentLayouts::read(FileType::Procedure, pro, out), ArchiveError);

    // Report: three rows announced, two held.
    QByteArray rpt = layoutBytes(FileType::Report, someReport());
    rpt[0] = 3;
    try {
        DocumentLayouts::read(FileType::Report, rpt, out);
        ADD_FAILURE() << "short report array accepted";
    } catch (const ArchiveError &e) {
        EXPECT_EQ(e.offset(), 4);
        EXPECT_TRUE(e.reason().contains(QLatin1String("report rows")));
    }

    QByteArray pic = layoutBytes(FileType::Plot, somePlot());
    pic[0] = 9;
    EXPECT_THROW(DocumentLayouts::read(FileType::Plot, pic, out), ArchiveError);

    // More entries than the count is not an error: the count decides what is used.
    QByteArray fewer = layoutBytes(FileType::Report, someReport());
    fewer[0] = 1;
    DocumentData one;
    DocumentLayouts::read(FileType::Report, fewer, one);
    EXPECT_EQ(one.reportRowCount, 1);
    EXPECT_EQ(one.reportEntryCount(), 2);
}

TEST(DocumentLayouts, NegativeCountsAndImpossibleLineCountersAreRefused)
{
    DocumentData out;
    EXPECT_THROW(DocumentLayouts::read(FileType::Procedure, QByteArray::fromHex("ffffffff") + QByteArray(32, '\0'), out),
        ArchiveError);
    EXPECT_THROW(DocumentLayouts::read(FileType::Report, QByteArray::fromHex("feffffff") + QByteArray(6, '\0'), out),
        ArchiveError);
    DocumentData plot = somePlot();
    for (qint32 counter : {-1, 6, 100000}) {
        plot.plotColumnCount = counter;
        EXPECT_THROW(DocumentLayouts::read(FileType::Plot, layoutBytes(FileType::Plot, plot), out), ArchiveError)
            << counter;
    }
    for (qint32 counter : {0, 1, 5}) {
        plot.plotColumnCount = counter;
        DocumentData ok;
        DocumentLayouts::read(FileType::Plot, layoutBytes(FileType::Plot, plot), ok);
        EXPECT_EQ(ok.plotColumnCount, counter);
    }
}

TEST(DocumentLayouts, CorruptionAtAnyByteNeverCrashes)
{
    const DocumentData sources[] = {twoSteps(), someReport(), somePlot()};
    const FileType types[] = {FileType::Procedure, FileType::Report, FileType::Plot};
    for (int i = 0; i < 3; ++i) {
        const QByteArray full = layoutBytes(types[i], sources[i]);
        int refused = 0;
        for (qsizetype at = 0; at < full.size(); ++at) {
            for (char value : {char(0x00), char(0x7F), char(0xFE), char(0xFF)}) {
                QByteArray bad = full;
                bad[at] = value;
                DocumentData out;
                try {
                    DocumentLayouts::read(types[i], bad, out);
                    // Read: then what it holds covers its counts.
                    for (const QStringList &column : out.stepColumns)
                        EXPECT_GE(column.size(), out.stepCount);
                    EXPECT_GE(out.reportEntryCount(), out.reportRowCount);
                    EXPECT_GE(out.plotRows.size(), out.plotRowCount);
                    EXPECT_GE(out.reportRowCount, 0);
                } catch (const ArchiveError &e) {
                    EXPECT_LE(e.offset(), bad.size());
                    ++refused;
                }
            }
        }
        EXPECT_GT(refused, 0) << i;
    }
}

TEST(DocumentLayouts, NoLayoutForANameOfNoType)
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    QString why;
    EXPECT_FALSE(DocumentLayouts::write(FileType::None, twoSteps(), &buf, &why));
    EXPECT_TRUE(bytes.isEmpty());
    EXPECT_FALSE(why.isEmpty());
}
