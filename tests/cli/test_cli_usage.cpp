// qel-cli's command line: help and version, and every usage error ending
// with status 2 and one sentence that names what is wrong, before any device
// is opened.

#include "CliHarness.h"

#include <gtest/gtest.h>

namespace {

TEST(CliUsage, HelpAndVersion)
{
    const CliResult help = runCli({QStringLiteral("--help")});
    ASSERT_TRUE(help.finished) << help.describe();
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.err.isEmpty());
    for (const char *command : {"show", "convert", "run", "sweep", "export", "print", "print-graph", "Exit status"})
        EXPECT_TRUE(help.out.contains(command)) << command;

    // Without arguments the same text goes to stderr, as a usage error.
    const CliResult bare = runCli({});
    ASSERT_TRUE(bare.finished);
    EXPECT_EQ(bare.exitCode, 2);
    EXPECT_TRUE(bare.out.isEmpty());
    EXPECT_EQ(bare.err, help.out);

    const CliResult version = runCli({QStringLiteral("--version")});
    ASSERT_TRUE(version.finished);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("qel-cli ")) << version.describe();
    EXPECT_EQ(version.outLines().size(), 1);
}

struct UsageCase
{
    const char *name;
    QStringList args;
    QString named; // what the sentence must mention
};

void PrintTo(const UsageCase &c, std::ostream *os)
{
    *os << c.name;
}

class CliUsageErrors : public ::testing::TestWithParam<UsageCase>
{
};

TEST_P(CliUsageErrors, ExitTwoWithOneSentence)
{
    const UsageCase &c = GetParam();
    const CliResult r = runCli(c.args, 30000);
    ASSERT_TRUE(r.finished) << r.describe();
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(r.exitCode, 2) << r.describe();
    EXPECT_TRUE(r.out.isEmpty()) << r.describe();
    EXPECT_TRUE(isOneSentenceNaming(r, c.named)) << r.describe();
}

// A device path that is never opened: every case is refused before that.
const QString Port = QStringLiteral("/dev/qel-no-such-port");
const QString Pro = qelSourceDir() + QStringLiteral("/examples/capacitor.pro");
const QString Rpt = qelSourceDir() + QStringLiteral("/examples/capacitor_202612695.rpt");

QStringList sweep(const QStringList &extra)
{
    QStringList a{QStringLiteral("sweep"), QStringLiteral("--port"), Port, QStringLiteral("--item"), QStringLiteral("C"),
        QStringLiteral("--kind"), QStringLiteral("freq"), QStringLiteral("--start"), QStringLiteral("20"),
        QStringLiteral("--end"), QStringLiteral("100"), QStringLiteral("--points"), QStringLiteral("5")};
    for (int i = 0; i + 1 < extra.size(); i += 2) {
        const int at = a.indexOf(extra[i]);
        if (at >= 0)
            a[at + 1] = extra[i + 1];
        else
            a << extra[i] << extra[i + 1];
    }
    return a;
}

INSTANTIATE_TEST_SUITE_P(Commands, CliUsageErrors,
    ::testing::Values(UsageCase{"unknown command", {QStringLiteral("measure")}, QStringLiteral("\"measure\"")},
        UsageCase{"unknown option", {QStringLiteral("show"), Pro, QStringLiteral("--colour"), QStringLiteral("red")},
            QStringLiteral("--colour")},
        UsageCase{"option without its value", {QStringLiteral("run"), Pro, QStringLiteral("--port")}, QStringLiteral("--port")},
        UsageCase{"show without a file", {QStringLiteral("show")}, QStringLiteral("show")},
        UsageCase{"show of a file of no type", {QStringLiteral("show"), qelSourceDir() + QStringLiteral("/README.md")},
            QStringLiteral("README.md")},
        UsageCase{"convert with one file", {QStringLiteral("convert"), Pro}, QStringLiteral("convert")},
        UsageCase{"run without a device", {QStringLiteral("run"), Pro}, QStringLiteral("--port")},
        UsageCase{"run of a report", {QStringLiteral("run"), Rpt, QStringLiteral("--port"), Port}, Rpt},
        UsageCase{"loops not a number",
            {QStringLiteral("run"), Pro, QStringLiteral("--port"), Port, QStringLiteral("--loops"), QStringLiteral("many")},
            QStringLiteral("--loops")},
        UsageCase{"no loops", {QStringLiteral("run"), Pro, QStringLiteral("--port"), Port, QStringLiteral("--loops"), QStringLiteral("0")},
            QStringLiteral("--loops")},
        UsageCase{"negative reply timeout",
            {QStringLiteral("run"), Pro, QStringLiteral("--port"), Port, QStringLiteral("--reply-timeout"), QStringLiteral("-5")},
            QStringLiteral("--reply-timeout")},
        UsageCase{"sweep without an item",
            {QStringLiteral("sweep"), QStringLiteral("--port"), Port, QStringLiteral("--kind"), QStringLiteral("freq")},
            QStringLiteral("--item")},
        UsageCase{"sweep of an unknown kind", sweep({QStringLiteral("--kind"), QStringLiteral("time")}), QStringLiteral("--kind")},
        UsageCase{"sweep of an item not offered", sweep({QStringLiteral("--item"), QStringLiteral("Q")}), QStringLiteral("--item Q")},
        UsageCase{"second item not offered with the first",
            sweep({QStringLiteral("--item"), QStringLiteral("Z"), QStringLiteral("--second"), QStringLiteral("Q")}),
            QStringLiteral("--second Q")},
        UsageCase{"sweep with no draws", sweep({QStringLiteral("--draws"), QStringLiteral("0")}), QStringLiteral("--draws")},
        // More draws than the graph has lines would throw the first ones away.
        UsageCase{"five draws of one item", sweep({QStringLiteral("--draws"), QStringLiteral("5")}), QStringLiteral("--draws 5")},
        UsageCase{"three draws of two items",
            sweep({QStringLiteral("--second"), QStringLiteral("D"), QStringLiteral("--draws"), QStringLiteral("3")}),
            QStringLiteral("--draws 3")},
        UsageCase{"sweep with a file argument", sweep({}) << Pro, QStringLiteral("sweep")},
        UsageCase{"export without an output",
            {QStringLiteral("export"), Rpt, QStringLiteral("--procedure"), Pro}, QStringLiteral("--xlsx")},
        UsageCase{"print without the procedure", {QStringLiteral("print"), Rpt, QStringLiteral("--pdf"), QStringLiteral("x.pdf")},
            QStringLiteral("--procedure")},
        UsageCase{"print-graph without an output", {QStringLiteral("print-graph"), Pro}, QStringLiteral("--pdf")}),
    [](const ::testing::TestParamInfo<UsageCase> &info) {
        QString n = QString::fromLatin1(info.param.name);
        n.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("_"));
        return n.toStdString();
    });

} // namespace
