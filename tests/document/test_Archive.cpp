#include "document/ArchiveReader.h"
#include "document/ArchiveWriter.h"
#include "document/Cp950Codec.h"
#include "document/PackedStringArray.h"

#include <QBuffer>

#include <gtest/gtest.h>

namespace {

QByteArray hex(const char *h)
{
    return QByteArray::fromHex(h);
}

template<typename F>
QByteArray written(F &&f)
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    ArchiveWriter w(&buf);
    f(w);
    EXPECT_TRUE(w.finish());
    return bytes;
}

QString degree() { return QString(QChar(0x00B0)); }

// Expects reading to throw ArchiveError at the given offset.
template<typename F>
void expectErrorAt(const QByteArray &bytes, qint64 offset, F &&read)
{
    ArchiveReader r(bytes);
    try {
        read(r);
        ADD_FAILURE() << "no error for " << bytes.toHex().constData();
    } catch (const ArchiveError &e) {
        EXPECT_EQ(e.offset(), offset) << e.describe().toStdString();
    }
}

} // namespace

TEST(Cp950Codec, BigFiveCharactersOfTheFixedTexts)
{
    EXPECT_EQ(Cp950Codec::encode(degree()), hex("a258"));
    EXPECT_EQ(Cp950Codec::encode(QString(QChar(0x03A7))), hex("a359"));
    EXPECT_EQ(Cp950Codec::encode(QString(QChar(0x039F))), hex("a352"));
    EXPECT_EQ(Cp950Codec::decode(hex("a258a359a352")), QString::fromUtf16(u"\u00B0\u03A7\u039F"));
    // Mixed with ASCII on both sides.
    EXPECT_EQ(Cp950Codec::encode(QStringLiteral("12.5") + degree() + QStringLiteral("x")), hex("31322e35a25878"));
    EXPECT_EQ(Cp950Codec::decode(hex("31a25832")), QStringLiteral("1") + degree() + QStringLiteral("2"));
}

TEST(Cp950Codec, HanziAndTheWholeTableRoundTrip)
{
    EXPECT_EQ(Cp950Codec::encode(QString::fromUtf16(u"\u4E2D\u6587")), hex("a4a4a4e5"));
    EXPECT_EQ(Cp950Codec::decode(hex("a4a4a4e5")), QString::fromUtf16(u"\u4E2D\u6587"));
    // Every character the page can write reads back as itself; Big5 holds
    // over 13,000 ideographs besides symbols.
    int twoByte = 0;
    for (int u = 0x80; u < 0x10000; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF)
            continue;
        const QString one{QChar(char16_t(u))};
        const QByteArray b = Cp950Codec::encode(one);
        if (b == "?")
            continue;
        if (b.size() == 2)
            ++twoByte;
        const QString back = Cp950Codec::decode(b);
        if (u != 0x00B5) // written as mu
            ASSERT_EQ(back, one) << std::hex << u;
    }
    EXPECT_GT(twoByte, 13000);
}

TEST(Cp950Codec, MicroBecomesMuAndUncodableBecomesQuestionMark)
{
    const QByteArray mu = Cp950Codec::encode(QString(QChar(0x03BC)));
    ASSERT_EQ(mu.size(), 2);
    EXPECT_EQ(Cp950Codec::encode(QString(QChar(0x00B5))), mu);
    EXPECT_EQ(Cp950Codec::decode(mu), QString(QChar(0x03BC)));
    // Arabic letter and an emoji (surrogate pair) have no code: one '?' each.
    EXPECT_EQ(Cp950Codec::encode(QString::fromUtf16(u"a\u0627b\U0001F600c")), QByteArray("a?b?c"));
}

TEST(Cp950Codec, InvalidBytesDecodeToReplacementCharacters)
{
    const QChar r(0xFFFD);
    // 0xFF is never a lead byte; A2 alone at the end is cut off.
    EXPECT_EQ(Cp950Codec::decode(hex("41ff42")), QStringLiteral("A") + r + QStringLiteral("B"));
    EXPECT_EQ(Cp950Codec::decode(hex("41a2")), QStringLiteral("A") + r);
    EXPECT_EQ(Cp950Codec::decode(hex("ffff")), QString(2, r));
    // Every byte pair decodes without crashing and to at most one unit per byte.
    for (int a = 0x80; a < 0x100; ++a) {
        const char b[3] = {char(a), char(0x30), char(0xFF)};
        EXPECT_LE(Cp950Codec::decode(b, 3).size(), 3);
    }
}

TEST(Cp950Codec, AsciiDetection)
{
    EXPECT_TRUE(Cp950Codec::isAscii("0123456789abcdefXYZ", 19));
    EXPECT_FALSE(Cp950Codec::isAscii("0123456789abcde\xa2X", 17)); // high byte past the first word
    EXPECT_FALSE(Cp950Codec::isAscii("ab\x80", 3));
    EXPECT_TRUE(Cp950Codec::isAscii(QStringView(u"pass\n")));
    EXPECT_FALSE(Cp950Codec::isAscii(QStringView(u"pass\u00B0")));
}

TEST(ArchiveWriter, IntegersAndCountsAreLittleEndian)
{
    EXPECT_EQ(written([](ArchiveWriter &w) { w.writeInt32(1); }), hex("01000000"));
    EXPECT_EQ(written([](ArchiveWriter &w) { w.writeInt32(-2); }), hex("feffffff"));
    EXPECT_EQ(written([](ArchiveWriter &w) { w.writeCount(0); }), hex("0000"));
    EXPECT_EQ(written([](ArchiveWriter &w) { w.writeCount(0xFFFE); }), hex("feff"));
    EXPECT_EQ(written([](ArchiveWriter &w) { w.writeCount(0xFFFF); }), hex("ffffffff0000"));
    EXPECT_EQ(written([](ArchiveWriter &w) { w.writeCount(0x12345); }), hex("ffff45230100"));
}

TEST(ArchiveWriter, StringLengthPrefixesAtTheirBoundaries)
{
    EXPECT_EQ(ArchiveWriter::lengthPrefix(0), hex("00"));
    EXPECT_EQ(ArchiveWriter::lengthPrefix(254), hex("fe"));
    EXPECT_EQ(ArchiveWriter::lengthPrefix(255), hex("ffff00"));
    EXPECT_EQ(ArchiveWriter::lengthPrefix(0xFFFD), hex("fffdff"));
    EXPECT_EQ(ArchiveWriter::lengthPrefix(0xFFFE), hex("fffffffeff0000"));
    EXPECT_EQ(ArchiveWriter::lengthPrefix(0x10000), hex("ffffff00000100"));

    const QByteArray s = written([](ArchiveWriter &w) { w.writeString(QStringLiteral("C")); });
    EXPECT_EQ(s, hex("0143"));
    // The prefix counts bytes of the file's encoding, not characters.
    const QByteArray angle = written([](ArchiveWriter &w) { w.writeString(degree()); });
    EXPECT_EQ(angle, hex("02a258"));
}

TEST(Archive, StringsOfEveryLengthFormRoundTrip)
{
    for (int n : {0, 1, 254, 255, 256, 0xFFFD, 0xFFFE, 0xFFFF, 70000}) {
        const QString text(n, QLatin1Char('x'));
        const QByteArray bytes = written([&](ArchiveWriter &w) {
            w.writeString(text);
            w.writeInt32(7);
        });
        const int prefix = n < 255 ? 1 : n < 0xFFFE ? 3 : 7;
        EXPECT_EQ(bytes.size(), prefix + n + 4) << n;
        ArchiveReader r(bytes);
        EXPECT_EQ(r.readString(), text) << n;
        EXPECT_EQ(r.readInt32(), 7);
        EXPECT_TRUE(r.atEnd());
    }
}

TEST(ArchiveReader, AcceptsLongPrefixesForShortStrings)
{
    // Another writer may use a longer prefix than needed.
    ArchiveReader r(hex("ff0300616263" "ffffff02000000" "6465"));
    EXPECT_EQ(r.readString(), QStringLiteral("abc"));
    EXPECT_EQ(r.readString(), QStringLiteral("de"));
}

TEST(ArchiveReader, WideStringForm)
{
    // FF FE FF tags UTF-16; then its own prefix in 16-bit units.
    ArchiveReader r(hex("fffeff" "03" "41004200b000" "fffeff" "00" "43"));
    EXPECT_EQ(r.readString(), QStringLiteral("AB") + degree());
    EXPECT_EQ(r.readString(), QString());
    EXPECT_EQ(r.offset(), 14);

    // A wide string with a three-byte unit count.
    QByteArray longWide = hex("fffeff" "ff0001");
    for (int i = 0; i < 256; ++i)
        longWide += hex("5a00");
    ArchiveReader r2(longWide);
    EXPECT_EQ(r2.readString(), QString(256, QLatin1Char('Z')));
    EXPECT_TRUE(r2.atEnd());

    // Characters the code page lacks read as they would from the legacy program: '?'.
    ArchiveReader r3(hex("fffeff" "02" "27064100"));
    EXPECT_EQ(r3.readString(), QStringLiteral("?A"));
}

TEST(ArchiveReader, TruncatedItemsFailAtTheirStart)
{
    expectErrorAt(hex("010203"), 0, [](ArchiveReader &r) { r.readInt32(); });
    expectErrorAt(hex("01"), 0, [](ArchiveReader &r) { r.readCount(); });
    expectErrorAt(hex("ffff0100"), 2, [](ArchiveReader &r) { r.readCount(); });
    expectErrorAt(hex("0561626364"), 0, [](ArchiveReader &r) { r.readString(); });
    expectErrorAt(hex("ff0001" "41"), 0, [](ArchiveReader &r) { r.readString(); });
    expectErrorAt(hex("ff"), 1, [](ArchiveReader &r) { r.readString(); });
    // An odd number of bytes for the UTF-16 units announced.
    expectErrorAt(hex("fffeff" "02" "410042"), 0, [](ArchiveReader &r) { r.readString(); });
    // The second string of an array is cut.
    expectErrorAt(hex("0200" "0141" "0541"), 4, [](ArchiveReader &r) { r.readStringArray(); });
    expectErrorAt(hex("0200" "0141" "0541"), 4, [](ArchiveReader &r) {
        PackedStringArray a;
        r.readStringArray(a);
    });
}

TEST(ArchiveReader, HugeCountsAndLengthsFailWithoutAllocating)
{
    // Four billion strings announced in a 20-byte file.
    QByteArray hostile = hex("ffff" "ffffffef");
    hostile += QByteArray(14, '\0');
    expectErrorAt(hostile, 0, [](ArchiveReader &r) { r.readStringArray(); });
    expectErrorAt(hostile, 0, [](ArchiveReader &r) {
        PackedStringArray a;
        r.readStringArray(a);
    });
    // A 4 GB string, and a 64-bit length, in a few bytes.
    expectErrorAt(hex("ffffff" "feffffff" "00"), 0, [](ArchiveReader &r) { r.readString(); });
    expectErrorAt(hex("ffffffffffffff" "ffffffffffffff7f"), 0, [](ArchiveReader &r) { r.readString(); });
    expectErrorAt(hex("fffeff" "ffffffffff7f" "4100"), 0, [](ArchiveReader &r) { r.readString(); });
    // A count exactly as large as the bytes left is still possible: empty strings.
    ArchiveReader ok(hex("0300" "000000"));
    EXPECT_EQ(ok.readStringArray(), QStringList({QString(), QString(), QString()}));
}

TEST(ArchiveReader, InvalidBytesInAStringAreReplacedNotFatal)
{
    ArchiveReader r(hex("03" "41ff42" "01" "43"));
    EXPECT_EQ(r.readString(), QStringLiteral("A") + QChar(0xFFFD) + QStringLiteral("B"));
    EXPECT_EQ(r.readString(), QStringLiteral("C"));
}

TEST(Archive, StringArraysPackedAndPlainAgree)
{
    const QStringList rows = {QStringLiteral("1.5\npass\n"), QString(), QStringLiteral("2") + degree() + "\nfail\n",
        QString(300, QLatin1Char('r'))};
    const QByteArray plain = written([&](ArchiveWriter &w) { w.writeStringArray(rows); });
    const QByteArray packed
        = written([&](ArchiveWriter &w) { w.writeStringArray(PackedStringArray::fromStringList(rows)); });
    EXPECT_EQ(plain, packed);
    EXPECT_EQ(plain.left(2), hex("0400"));
    EXPECT_EQ(plain.mid(2, 10), QByteArray("\x09" "1.5\npass\n"));

    ArchiveReader r1(plain);
    EXPECT_EQ(r1.readStringArray(), rows);
    ArchiveReader r2(plain);
    PackedStringArray a;
    EXPECT_EQ(r2.readStringArray(a), 4);
    EXPECT_EQ(a.toStringList(), rows);
    EXPECT_EQ(a.encodedAt(2), QByteArray("2\xa2\x58\nfail\n"));
    EXPECT_TRUE(r2.atEnd());
}

TEST(PackedStringArray, BlocksCopiesAndLongEntries)
{
    PackedStringArray a;
    QStringList expect;
    // Enough to spill into several blocks, with one entry larger than a block.
    for (int i = 0; i < 30000; ++i) {
        const QString s = QString::number(i) + QString(40, QLatin1Char('-'));
        a.append(s);
        expect << s;
    }
    // About 1.4 MB of short strings share a few blocks (4 KB doubling to 1 MB),
    // not one allocation each.
    EXPECT_LE(a.blockCount(), 10);
    const QString big(3 << 19, QLatin1Char('B'));
    a.append(big);
    expect << big;
    a.append(degree());
    expect << degree();
    EXPECT_EQ(a.size(), expect.size());
    EXPECT_EQ(a.toStringList(), expect);

    PackedStringArray copy = a;
    copy.append(QStringLiteral("only in the copy"));
    EXPECT_EQ(a.size(), expect.size());
    EXPECT_EQ(a.toStringList(), expect);
    EXPECT_EQ(copy.at(copy.size() - 1), QStringLiteral("only in the copy"));
    EXPECT_NE(copy, a);
    copy = a;
    EXPECT_EQ(copy, a);
    a.clear();
    EXPECT_TRUE(a.isEmpty());
    EXPECT_EQ(a.byteSize(), 0);
}
