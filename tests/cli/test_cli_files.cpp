// qel-cli show and convert: the JSON form of the three file types, and round
// trips that keep every file byte for byte.

#include "CliHarness.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

const QString Degree(QChar(0x00B0));

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

QJsonObject parseObject(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << json.toStdString();
    return doc.object();
}

QJsonArray rowsOf(const QList<QStringList> &rows)
{
    QJsonArray out;
    for (const QStringList &r : rows)
        out.append(QJsonArray::fromStringList(r));
    return out;
}

struct FilesFixture : ::testing::Test
{
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }
    QString file(const QString &name, const QByteArray &bytes) const
    {
        const QString p = path(name);
        EXPECT_TRUE(writeBytes(p, bytes));
        return p;
    }

    // file -> JSON -> file of the same type; the two files must be equal.
    void expectRoundTrip(const QString &original)
    {
        SCOPED_TRACE(original.toStdString());
        const QString suffix = original.right(3);
        const QString json = path(QStringLiteral("trip.json"));
        const QString back = path(QStringLiteral("trip.") + suffix);
        QFile::remove(json);
        QFile::remove(back);
        const CliResult there = runCli({QStringLiteral("convert"), original, json});
        ASSERT_TRUE(there.finished && there.exitCode == 0) << there.describe();
        const CliResult again = runCli({QStringLiteral("convert"), json, back});
        ASSERT_TRUE(again.finished && again.exitCode == 0) << again.describe();
        const QByteArray before = readBytes(original);
        ASSERT_FALSE(before.isEmpty());
        EXPECT_EQ(readBytes(back).toHex(' '), before.toHex(' '));
        // And what show prints is what convert wrote.
        const CliResult shown = runCli({QStringLiteral("show"), original});
        ASSERT_TRUE(shown.finished && shown.exitCode == 0) << shown.describe();
        EXPECT_EQ(parseObject(shown.out), parseObject(readBytes(json)));
    }
};

TEST_F(FilesFixture, ShowPrintsAProcedureWithEveryFieldByHeader)
{
    TestStep angle;
    angle.fItem = QStringLiteral("Z");
    angle.fStd = QStringLiteral("50");
    angle.fUnit = QStringLiteral("O");
    angle.sItem = QStringLiteral("Angle");
    angle.sStd = QStringLiteral("-45");
    angle.sLow = QStringLiteral("-5%");
    angle.sHigh = QStringLiteral("+5%");
    angle.sUnit = Degree;
    angle.circuit.clear();
    angle.level = QStringLiteral("300mV");
    angle.delay = QStringLiteral("100");
    const QString pro = file(QStringLiteral("two.pro"), procedureOf({TestStep(), angle}));

    const CliResult r = runCli({QStringLiteral("show"), pro});
    ASSERT_TRUE(r.finished) << r.describe();
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_TRUE(r.err.isEmpty()) << r.describe();
    // The degree sign leaves as UTF-8, never as its code page bytes.
    EXPECT_TRUE(r.out.contains("\"S-Unit\": \"\xc2\xb0\""));

    const QStringList headers{QStringLiteral("F-Item"), QStringLiteral("F-Std"), QStringLiteral("F-Low"),
        QStringLiteral("F-High"), QStringLiteral("F-Unit"), QStringLiteral("S-Item"), QStringLiteral("S-Std"),
        QStringLiteral("S-Low"), QStringLiteral("S-High"), QStringLiteral("S-Unit"), QStringLiteral("Freq."),
        QStringLiteral("Level"), QStringLiteral("Circuit"), QStringLiteral("Speed"), QStringLiteral("Type"),
        QStringLiteral("Delay")};
    QJsonArray steps;
    const QList<TestStep> all{TestStep(), angle};
    for (int i = 0; i < all.size(); ++i) {
        QJsonObject step{{QStringLiteral("Step"), QString::number(i + 1)}};
        const QStringList fields = all[i].fields();
        for (int k = 0; k < headers.size(); ++k)
            step.insert(headers[k], fields[k]);
        steps.append(step);
    }
    const QJsonObject shown = parseObject(r.out);
    EXPECT_EQ(sorted(shown.keys()), sorted({QStringLiteral("type"), QStringLiteral("steps")}));
    EXPECT_EQ(shown.value(QStringLiteral("type")).toString(), QStringLiteral("procedure"));
    EXPECT_EQ(shown.value(QStringLiteral("steps")).toArray(), steps);
}

TEST_F(FilesFixture, ShowPrintsAReportWithItsColumnsWhenGivenTheProcedure)
{
    TestStep second;
    second.sItem = QStringLiteral("Q");
    second.sStd = QStringLiteral("20");
    second.sLow = QStringLiteral("-5%");
    second.sHigh = QStringLiteral("+5%");
    second.sUnit = QStringLiteral("Q");
    TestStep inductor;
    inductor.fItem = QStringLiteral("L");
    inductor.fUnit = QStringLiteral("uH");
    const QString pro = file(QStringLiteral("lot.pro"), procedureOf({second, inductor}));
    const QList<QStringList> rows{
        {QStringLiteral("99.5nF"), QStringLiteral("pass"), QStringLiteral("20.1Q"), QStringLiteral("pass"),
            QStringLiteral("101uH"), QStringLiteral("pass")},
        {QStringLiteral("120nF"), QStringLiteral("fail"), QStringLiteral("3Q"), QStringLiteral("fail"), QStringLiteral("0uH"),
            QStringLiteral("fail")},
    };
    // Dates and times are kept as held, even when there are more of them.
    const QStringList dates{QStringLiteral("2012/3/7/"), QStringLiteral("2012/3/7/"), QStringLiteral("2012/3/8/")};
    const QStringList times{QStringLiteral("9:5:3"), QStringLiteral("23:59:59"), QStringLiteral("0:0:0")};
    const QString rpt = file(QStringLiteral("lot_20123795.rpt"), Archive::report(rows, dates, times));

    const CliResult plain = runCli({QStringLiteral("show"), rpt});
    ASSERT_TRUE(plain.finished) << plain.describe();
    EXPECT_EQ(plain.exitCode, 0) << plain.describe();
    const QJsonObject expected{{QStringLiteral("type"), QStringLiteral("report")}, {QStringLiteral("rowCount"), 2},
        {QStringLiteral("rows"), rowsOf(rows)}, {QStringLiteral("dates"), QJsonArray::fromStringList(dates)},
        {QStringLiteral("times"), QJsonArray::fromStringList(times)}};
    EXPECT_EQ(parseObject(plain.out), expected);

    const CliResult withColumns = runCli({QStringLiteral("show"), rpt, QStringLiteral("--procedure"), pro});
    ASSERT_TRUE(withColumns.finished) << withColumns.describe();
    EXPECT_EQ(withColumns.exitCode, 0) << withColumns.describe();
    QJsonObject expectedColumns = expected;
    expectedColumns.insert(QStringLiteral("columns"),
        QJsonArray::fromStringList({QStringLiteral("Seq."), QStringLiteral("C1"), QStringLiteral("P/F"), QStringLiteral("Q1"),
            QStringLiteral("P/F"), QStringLiteral("L2"), QStringLiteral("P/F")}));
    EXPECT_EQ(parseObject(withColumns.out), expectedColumns);

    // The procedure option must name a procedure.
    const CliResult wrong = runCli({QStringLiteral("show"), rpt, QStringLiteral("--procedure"), rpt});
    ASSERT_TRUE(wrong.finished);
    EXPECT_EQ(wrong.exitCode, 2) << wrong.describe();
    EXPECT_TRUE(isOneSentenceNaming(wrong, rpt)) << wrong.describe();
}

TEST_F(FilesFixture, ShowPrintsAPlotWithItsItemsAndCounter)
{
    const QList<QStringList> rows{
        {QStringLiteral("20.000000Hz"), QStringLiteral("1.000000uF"), QStringLiteral("-89.9") + Degree, QString(), QString()},
        {QStringLiteral("60.000000Hz"), QStringLiteral("1.000000uF"), QStringLiteral("-88.1") + Degree, QString(), QString()},
    };
    const QString pic = file(QStringLiteral("cap.pic"), Archive::plot(rows, 3, QStringLiteral("C"), QStringLiteral("Angle")));
    const CliResult r = runCli({QStringLiteral("show"), pic});
    ASSERT_TRUE(r.finished) << r.describe();
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    const QJsonObject expected{{QStringLiteral("type"), QStringLiteral("plot")}, {QStringLiteral("rowCount"), 2},
        {QStringLiteral("columnCount"), 3}, {QStringLiteral("firstItem"), QStringLiteral("C")},
        {QStringLiteral("secondItem"), QStringLiteral("Angle")}, {QStringLiteral("spare"), QStringLiteral("10")},
        {QStringLiteral("rows"), rowsOf(rows)}};
    EXPECT_EQ(parseObject(r.out), expected);
}

TEST_F(FilesFixture, ConvertRoundTripsTheSampleFilesByteForByte)
{
    const QString examples = qelSourceDir() + QStringLiteral("/examples/");
    int seen = 0;
    for (const QString &name : QDir(examples).entryList({QStringLiteral("*.pro"), QStringLiteral("*.rpt"), QStringLiteral("*.pic")})) {
        expectRoundTrip(examples + name);
        ++seen;
    }
    EXPECT_GE(seen, 3);
}

TEST_F(FilesFixture, ConvertRoundTripsEdgesOfTheLayoutsByteForByte)
{
    const QString longText(300, QLatin1Char('7')); // a length prefix of three bytes
    TestStep wide;
    wide.fStd = longText;
    wide.sUnit = Degree;
    QList<TestStep> many;
    for (int i = 0; i < 40; ++i) {
        TestStep s;
        s.delay = QString::number(i * 10);
        many << s;
    }
    const QList<QPair<QString, QByteArray>> files{
        {QStringLiteral("empty.pro"), procedureOf({})},
        {QStringLiteral("wide.pro"), procedureOf({wide})},
        {QStringLiteral("many.pro"), procedureOf(many)},
        {QStringLiteral("empty_1.rpt"), Archive::report({}, {}, {})},
        // A count below the rows held, cells left empty, a long cell, and a
        // row whose last cell has no line feed.
        {QStringLiteral("odd_1.rpt"),
            Archive::int32(2)
                + Archive::stringArray({Archive::joined({QStringLiteral("1nF"), QString(), longText, QStringLiteral("pass")}),
                    QString(), Archive::joined({QString()}), QStringLiteral("9nF\nfail")})
                + Archive::stringArray({QStringLiteral("2012/3/7/")}) + Archive::stringArray({})},
        {QStringLiteral("default.pic"), Archive::plot({}, 1, QStringLiteral("C"), QStringLiteral("off"))},
        {QStringLiteral("spare.pic"),
            Archive::int32(1) + Archive::int32(2) + Archive::string(QStringLiteral("Z"))
                + Archive::string(QStringLiteral("Angle")) + Archive::string(QStringLiteral("7"))
                + Archive::stringArray({Archive::joined({QStringLiteral("1.000000KHz"), QStringLiteral("2.000000KO"),
                    QStringLiteral("-1.5") + Degree, QString(), QString()})})},
    };
    for (const auto &f : files)
        expectRoundTrip(file(f.first, f.second));
    EXPECT_EQ(readBytes(path(QStringLiteral("empty.pro"))).size(), 36);
    EXPECT_EQ(readBytes(path(QStringLiteral("empty_1.rpt"))).size(), 10);
    EXPECT_EQ(readBytes(path(QStringLiteral("default.pic"))).size(), 19);
}

TEST_F(FilesFixture, ConvertBuildsFilesFromHandWrittenJson)
{
    // Missing fields read as empty texts; the degree sign goes to its code page bytes.
    const QString json = file(QStringLiteral("hand.json"),
        "{\"type\":\"procedure\",\"steps\":[{\"F-Item\":\"Z\",\"S-Item\":\"Angle\",\"S-Unit\":\"\xc2\xb0\"}]}");
    const QString pro = path(QStringLiteral("hand.pro"));
    const CliResult r = runCli({QStringLiteral("convert"), json, pro});
    ASSERT_TRUE(r.finished) << r.describe();
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    QStringList fields(16);
    fields[0] = QStringLiteral("Z");
    fields[5] = QStringLiteral("Angle");
    fields[9] = Degree;
    EXPECT_EQ(readBytes(pro), Archive::procedure({fields}));
    EXPECT_TRUE(readBytes(pro).contains(QByteArray("\x02\xa2\x58", 3)));

    const QString rptJson = file(QStringLiteral("r.json"),
        "{\"type\":\"report\",\"rows\":[[\"1nF\",\"pass\"]],\"dates\":[\"2012/3/7/\"],\"times\":[\"9:5:3\"]}");
    const QString rpt = path(QStringLiteral("r_1.rpt"));
    const CliResult rr = runCli({QStringLiteral("convert"), rptJson, rpt});
    ASSERT_TRUE(rr.finished) << rr.describe();
    EXPECT_EQ(rr.exitCode, 0) << rr.describe();
    EXPECT_EQ(readBytes(rpt), Archive::report({{QStringLiteral("1nF"), QStringLiteral("pass")}}, {QStringLiteral("2012/3/7/")},
                                  {QStringLiteral("9:5:3")}));
}

// Every refusal: exit 2, one sentence naming the file, and no output file,
// not even a partial one.
TEST_F(FilesFixture, BadInputIsRefusedWithoutWritingAnything)
{
    const QString good = file(QStringLiteral("good.pro"), procedureOf({TestStep()}));
    const QString damaged = file(QStringLiteral("damaged.pro"), procedureOf({TestStep()}).chopped(3));
    const QString notJson = file(QStringLiteral("broken.json"), "{\"type\": \"procedure\", \"steps\": [");
    const QString plotJson = file(QStringLiteral("plot.json"), "{\"type\":\"plot\",\"rows\":[]}");
    const QString numberField = file(QStringLiteral("number.json"), "{\"type\":\"procedure\",\"steps\":[{\"Delay\":5}]}");
    const QString unknownType = file(QStringLiteral("what.json"), "{\"type\":\"recipe\"}");
    const QString splitCell = file(QStringLiteral("split.json"), "{\"type\":\"report\",\"rows\":[[\"1nF\\npass\"]]}");
    const QString unencodable = file(QStringLiteral("smile.json"),
        "{\"type\":\"procedure\",\"steps\":[{\"F-Item\":\"C\",\"F-Unit\":\"\xe2\x98\xba\"}]}");
    const QString out = path(QStringLiteral("out.pro"));
    struct Case
    {
        QStringList args;
        QString named;
    };
    const QList<Case> cases{
        {{QStringLiteral("convert"), notJson, out}, notJson},
        {{QStringLiteral("convert"), plotJson, out}, plotJson},
        {{QStringLiteral("convert"), numberField, out}, numberField},
        {{QStringLiteral("convert"), unknownType, out}, unknownType},
        {{QStringLiteral("convert"), splitCell, path(QStringLiteral("split_1.rpt"))}, splitCell},
        {{QStringLiteral("convert"), unencodable, out}, unencodable},
        {{QStringLiteral("convert"), damaged, path(QStringLiteral("out.json"))}, damaged},
        {{QStringLiteral("convert"), good, path(QStringLiteral("out.rpt"))}, good},
        {{QStringLiteral("convert"), good, path(QStringLiteral("missing/out.json"))}, path(QStringLiteral("missing/out.json"))},
        {{QStringLiteral("show"), damaged}, damaged},
        {{QStringLiteral("show"), path(QStringLiteral("absent.pic"))}, path(QStringLiteral("absent.pic"))},
        {{QStringLiteral("show"), notJson}, notJson},
    };
    const QStringList before = folderEntries(dir.path());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        const CliResult r = runCli(c.args);
        ASSERT_TRUE(r.finished) << r.describe();
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.exitCode, 2) << r.describe();
        EXPECT_TRUE(r.out.isEmpty()) << r.describe();
        EXPECT_TRUE(isOneSentenceNaming(r, c.named)) << r.describe();
    }
    EXPECT_EQ(folderEntries(dir.path()), before);
}

} // namespace

namespace {

// A report whose announced row count is `count`, from JSON or as bytes.
TEST_F(FilesFixture, ConvertRefusesCountsItsOwnReaderRefuses)
{
    const QByteArray rows = "\"rows\":[[\"1nF\",\"pass\"]],\"dates\":[\"2012/3/7/\"],\"times\":[\"9:5:3\"]}";
    const QString good = path(QStringLiteral("good_1.rpt"));
    ASSERT_EQ(runCli({QStringLiteral("convert"), file(QStringLiteral("good.json"), "{\"type\":\"report\"," + rows), good}).exitCode, 0);
    for (const qint32 count : {-3, 2147483647}) {
        SCOPED_TRACE(count);
        // What show says of a file that announces the count.
        QByteArray bytes = readBytes(good);
        for (int i = 0; i < 4; ++i)
            bytes[i] = char((quint32(count) >> (8 * i)) & 0xff);
        const QString damaged = file(QStringLiteral("damaged_1.rpt"), bytes);
        const CliResult shown = runCli({QStringLiteral("show"), damaged});
        ASSERT_EQ(shown.exitCode, 2) << shown.describe();

        const QString json = file(QStringLiteral("count.json"),
            "{\"type\":\"report\",\"rowCount\":" + QByteArray::number(count) + "," + rows);
        const QString out = path(QStringLiteral("out_1.rpt"));
        const CliResult r = runCli({QStringLiteral("convert"), json, out});
        EXPECT_EQ(r.exitCode, 2) << r.describe();
        EXPECT_FALSE(QFileInfo::exists(out));
        EXPECT_TRUE(isOneSentenceNaming(r, out)) << r.describe();
        EXPECT_EQ(r.errText(), shown.errText().replace(damaged, out));
    }
}

} // namespace
