// Damaged and odd files, replayed through the same checks the fuzz targets
// make (tests/fuzz): every seed and every input a fuzzer once tripped on
// (regress-*) must read or fail cleanly, leave the pages alone when it
// fails, and come back the same after a save when it reads.

#include "../fuzz/LoadCheck.h"
#include "../fuzz/PlotFileCheck.h"
#include "../fuzz/ProcedureFileCheck.h"
#include "../fuzz/ReportFileCheck.h"

#include "../support/TestPaths.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>

namespace {

using Check = std::function<void(const uint8_t *, size_t)>;

QStringList corpusFiles(const QString &target)
{
    QDir dir(qelSourceDir() + QStringLiteral("/tests/fuzz/corpus/") + target);
    QStringList out;
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
        out << dir.filePath(name);
    return out;
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs check over bytes; a failed check comes back as its message.
QString failureOf(const Check &check, const QByteArray &bytes)
{
    FuzzSupport::throwOnFailure() = true;
    try {
        check(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
    } catch (const std::exception &e) {
        return QString::fromStdString(e.what());
    }
    return {};
}

void replay(const QString &target, const Check &check, int minimumFiles)
{
    const QStringList files = corpusFiles(target);
    ASSERT_GE(files.size(), minimumFiles) << "corpus of " << qPrintable(target);
    for (const QString &path : files) {
        const QByteArray bytes = contents(path);
        ASSERT_FALSE(bytes.isEmpty()) << qPrintable(path);
        EXPECT_EQ(failureOf(check, bytes), QString()) << qPrintable(path);
    }
}

// Every prefix of a real file is a truncated file: each must fail cleanly
// (or read, for the few prefixes that end on an item boundary).
void replayPrefixes(const QString &target, const Check &check)
{
    for (const QString &path : corpusFiles(target)) {
        const QByteArray bytes = contents(path);
        for (qsizetype n = 0; n < bytes.size(); ++n)
            ASSERT_EQ(failureOf(check, bytes.left(n)), QString()) << qPrintable(path) << " cut at " << n;
    }
}

} // namespace

TEST(FileFaults, ProcedureCorpusReadsOrFailsCleanly)
{
    replay("procedure", checkProcedureFile, 3);
    replayPrefixes("procedure", checkProcedureFile);
}

TEST(FileFaults, ReportCorpusReadsOrFailsCleanly)
{
    replay("report", checkReportFile, 4);
    replayPrefixes("report", checkReportFile);
}

TEST(FileFaults, PlotCorpusReadsOrFailsCleanly)
{
    replay("plot", checkPlotFile, 3);
    replayPrefixes("plot", checkPlotFile);
}

TEST(FileFaults, LoadCorpusLeavesThePagesAloneOrRoundTrips)
{
    replay("load", checkLoad, 10);
}

TEST(FileFaults, TruncatedLoadsChangeNothing)
{
    // Every cut of the largest report and plot, opened over a loaded procedure.
    for (const QString name : {"rows.rpt", "lines.pic", "steps.pro"}) {
        const QByteArray bytes = contents(qelSourceDir() + "/tests/fuzz/corpus/load/" + name);
        ASSERT_FALSE(bytes.isEmpty()) << qPrintable(name);
        for (qsizetype n = 1; n < bytes.size(); n += 7)
            ASSERT_EQ(failureOf(checkLoad, bytes.left(n)), QString()) << qPrintable(name) << " cut at " << n;
    }
}

TEST(FileFaults, TheChecksThemselvesCatchAReaderThatSaysTooLittle)
{
    // A check that never fails proves nothing. A plot whose line counter is
    // out of range must be refused...
    QByteArray plot = contents(qelSourceDir() + "/tests/fuzz/corpus/plot/lines.pic");
    ASSERT_GE(plot.size(), 8);
    plot[4] = char(9);
    DocumentData doc;
    EXPECT_FALSE(FuzzSupport::readChecked(DocumentNames::FileType::Plot, plot, doc));
    // ...and a document whose arrays are shorter than its count writes a
    // file that does not read back, which the round trip must report.
    DocumentData shortArrays;
    shortArrays.stepCount = 2;
    FuzzSupport::throwOnFailure() = true;
    EXPECT_THROW(FuzzSupport::checkStableRoundTrip(DocumentNames::FileType::Procedure, shortArrays), std::logic_error);
}
