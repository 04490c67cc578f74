// The statistics core against Python's statistics module (exact arithmetic
// on the same numbers), where floating point is easiest to get wrong: a
// large offset under a small spread, and the quartiles behind the bins.

#include "../support/ProcedureSteps.h"

#include "common/LocaleNumbers.h"
#include "execution/ResultTableModel.h"
#include "procedure/FieldParsing.h"
#include "statistics/Histogram.h"
#include "statistics/Statistics.h"
#include "statistics/StatisticsJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

namespace {

QJsonObject python(const QString &code, const QList<double> &values)
{
    QJsonArray a;
    for (double v : values)
        a << v;
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), code});
    p.write(QJsonDocument(a).toJson(QJsonDocument::Compact));
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

} // namespace

TEST(Statistics, WelfordHoldsUnderALargeOffsetAndJudgedValuesMatchTheirCells)
{
    // 1e9 ohm plus a spread of a few milliohm: a naive sum of squares loses
    // every digit of the variance here.
    std::mt19937 rng(11);
    std::normal_distribution<double> n(0, 0.003);
    QList<double> values;
    for (int i = 0; i < 500; ++i)
        values << 1e9 + n(rng);
    TableStatistics st;
    st.setSteps({judgedStep("Z", "1000", "-1", "+1", "MO")});
    for (double v : values)
        st.addJudged({QStringLiteral("x"), QStringLiteral("pass")}, {v});
    const QJsonObject py = python(QStringLiteral(
        "import json,statistics,sys; v=json.load(sys.stdin); "
        "print(json.dumps({'mean':statistics.fmean(v),'stdev':statistics.stdev(v)}))"), values);
    const ColumnStatistics &c = st.columns().at(0);
    EXPECT_NEAR(*c.mean().value, py.value("mean").toDouble(), 1e-6);
    EXPECT_NEAR(*c.stdev().value / py.value("stdev").toDouble(), 1.0, 1e-4);
    // Limits -1 and +1 are absolute base units around 1e9 ohm.
    EXPECT_NEAR(*c.cp().value, 2.0 / (6 * py.value("stdev").toDouble()), 1e-3);

    // The same readings as cell texts in the step's unit read back to the
    // same figures, up to the six decimals the texts keep.
    TableStatistics text;
    text.setSteps({judgedStep("C", "100", "-5%", "+5%", "nF")});
    TableStatistics judged = text;
    for (double v : {100.123456e-9, 99.5e-9, 101.25e-9}) {
        text.addCells({QString::asprintf("%fnF", v * 1e9), QStringLiteral("pass")});
        judged.addJudged({QString(), QStringLiteral("pass")}, {v});
    }
    EXPECT_NEAR(*text.columns()[0].mean().value, *judged.columns()[0].mean().value, 1e-18);
    EXPECT_EQ(StatisticsJson::toJson(text).left(40), StatisticsJson::toJson(judged).left(40));
    // Texts without digits are not readings; they still count as rows.
    text.addCells({QStringLiteral("----"), QStringLiteral("fail")});
    EXPECT_EQ(text.columns()[0].stats.n, 3);
    EXPECT_EQ(text.rows(), 4);
    EXPECT_EQ(text.columns()[0].fails, 1);
    EXPECT_EQ(*text.firstPassYield().value, 0.75);
}

TEST(Statistics, HistogramBinsFollowFreedmanDiaconisOrSturges)
{
    std::mt19937 rng(4);
    std::normal_distribution<double> n(100e-9, 2e-9);
    QList<double> values;
    for (int i = 0; i < 1000; ++i)
        values << n(rng);
    // Python's inclusive quantiles are the same interpolation as numpy's default.
    const QJsonObject py = python(QStringLiteral(
        "import json,math,statistics,sys; v=json.load(sys.stdin); q=statistics.quantiles(v,n=4,method='inclusive'); "
        "w=2*(q[2]-q[0])/len(v)**(1/3); print(json.dumps({'bins':math.ceil((max(v)-min(v))/w)}))"), values);
    std::vector<double> v(values.begin(), values.end());
    const Histogram h = Histogram::of(v);
    EXPECT_EQ(h.rule, QStringLiteral("Freedman-Diaconis"));
    EXPECT_EQ(h.counts.size(), py.value("bins").toInt());
    int total = 0;
    for (int c : h.counts)
        total += c;
    EXPECT_EQ(total, 1000);
    EXPECT_DOUBLE_EQ(h.start, *std::min_element(values.begin(), values.end()));

    // Quartiles that coincide: Sturges, ceil(log2 n) + 1 bins; all equal: one bin.
    std::vector<double> flat(20, 5.0);
    flat[0] = 4;
    flat[19] = 6;
    const Histogram s = Histogram::of(flat);
    EXPECT_EQ(s.rule, QStringLiteral("Sturges"));
    EXPECT_EQ(s.counts.size(), 6); // ceil(log2 20) + 1
    std::vector<double> same(7, 1.5);
    const Histogram one = Histogram::of(same);
    ASSERT_EQ(one.counts.size(), 1);
    EXPECT_EQ(one.counts[0], 7);
    std::vector<double> none;
    EXPECT_TRUE(Histogram::of(none).counts.isEmpty());
}

TEST(Statistics, ReadingTextsReadExactlyAsTheFieldParserReadsThem)
{
    // Bit for bit the C runtime's value, whichever way the text is read.
    QStringList texts = {"0.1", "100.25nF", "-0.000001D", "  +3.5KO", ".5", "5.", "1e5", "1.5E-3uF", "2e+2",
                         "7e", "7e-", "9007199254740993", "9007199254740992.5", "0.30000000000000004",
                         "123456789012.345678", "-0", "1.7976931348623157e308", "4.9e-324", "12345678901234567890123"};
    std::mt19937_64 rng(9);
    std::uniform_real_distribution<double> mantissa(-10, 10);
    std::uniform_int_distribution<int> exponent(-15, 15);
    for (int i = 0; i < 20000; ++i)
        texts << QString::asprintf(i % 2 ? "%f" : "%.17g", mantissa(rng) * std::pow(10.0, exponent(rng)));
    for (const QString &t : texts) {
        const std::optional<double> v = TableStatistics::parseReading(t);
        ASSERT_TRUE(v.has_value()) << t.toStdString();
        const double expected = FieldParsing::leadingDouble(t);
        EXPECT_EQ(std::memcmp(&*v, &expected, sizeof expected), 0)
            << t.toStdString() << ": " << *v << " vs " << expected;
        // The byte form (packed cells) reads the same bits.
        const QByteArray bytes = t.toUtf8();
        const std::optional<double> b = LocaleNumbers::leadingNumber(std::string_view(bytes.constData(), bytes.size()));
        ASSERT_TRUE(b.has_value()) << t.toStdString();
        EXPECT_EQ(std::memcmp(&*b, &expected, sizeof expected), 0) << t.toStdString();
    }
    for (const char *t : {"", "   ", "nF", "-", "+.", ".e5", "inf", "nan", "fail"}) {
        EXPECT_FALSE(TableStatistics::parseReading(QString::fromLatin1(t)).has_value()) << t;
        EXPECT_FALSE(LocaleNumbers::leadingNumber(std::string_view(t)).has_value()) << t;
    }
}

TEST(Statistics, ATableReadInPlaceGivesTheFiguresOfItsJoinedTexts)
{
    // Rows as loaded reports hold them, awkward ones included: short and
    // long rows, an unterminated last cell, a verdict written as text,
    // marks the packing escapes, non-ASCII, overloads and long "%f" texts.
    TableStatistics in;
    in.setSteps({judgedStep("C", "100", "-5%", "+5%", "nF"), judgedStep("R", "", "", "", "O"),
        judgedStep("D", "1", "", "+2", "D")});
    TableStatistics joined = in;
    in.setKeepReadings(true);
    joined.setKeepReadings(true);
    const QString mark = QString(QChar(1)) + "5";
    const QStringList rows = {
        "100.5nF\npass\n12.25\n\n0.5\npass\n",
        "99nF\nfail\n1e3O\n\n3\nfail\n",
        "101nF\npass\n",                                       // stops after the first step
        "101nF\npass\n7\n\n0.25\nfail",                     // unterminated verdict
        "101nF\npass\n7\n\n0.25\npass\nextra\n9\n",          // more cells than steps
        mark + "\npass\n" + QString::fromUtf8("\u03A9 5\n\n") + " -2.5e-1\npass\n",
        "9.9e37nF\nfail\n" + QString(300, '9') + ".000000\n\n1.5E+0\npass\n",
        "",
        "pass\nfail\n\npass\n0\n\n",
        "  +98.75nF\npass\n1.7976931348623157e309\n\n.5\npass\n",
    };
    ResultTableModel table;
    std::mt19937 rng(5);
    std::normal_distribution<double> c(100, 2);
    for (const QString &r : rows)
        table.appendJoinedRow(r, ResultTableModel::Neutral);
    for (int i = 0; i < 200; ++i)
        table.appendRow({QString::asprintf("%fnF", c(rng)), i % 7 ? "pass" : "fail", QString::asprintf("%.17g", c(rng)),
                         "", QString::asprintf("%g", c(rng) / 100), "pass"},
                        ResultTableModel::Passed);
    in.addTable(table);
    for (int r = 0; r < table.resultCount(); ++r)
        joined.addJoined(table.joinedRow(r));

    EXPECT_EQ(in.rows(), joined.rows());
    EXPECT_EQ(in.passedRows(), joined.passedRows());
    ASSERT_EQ(in.columns().size(), 3);
    for (int k = 0; k < 3; ++k) {
        const ColumnStatistics &a = in.columns()[k], &b = joined.columns()[k];
        EXPECT_EQ(a.stats.n, b.stats.n) << k;
        EXPECT_EQ(std::memcmp(&a.stats, &b.stats, sizeof a.stats), 0) << k;
        EXPECT_EQ(a.fails, b.fails) << k;
        EXPECT_EQ(a.verdicts, b.verdicts) << k;
        EXPECT_EQ(a.notNumbers, b.notNumbers) << k;
        EXPECT_EQ(in.readings(k), joined.readings(k)) << k;
    }
    // Not a vacuous match: every kind of cell was met.
    EXPECT_GT(in.columns()[0].fails, 30);
    EXPECT_GT(in.columns()[1].notNumbers, 2);
    EXPECT_GT(in.columns()[2].stats.n, 200);
    EXPECT_EQ(StatisticsJson::toJson(in), StatisticsJson::toJson(joined));
}
