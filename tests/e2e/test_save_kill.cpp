// A save killed at a random moment leaves the old file or the new one, whole.
//
// The test starts a copy of itself in saver mode (QEL_SAVE_KILL_CHILD set):
// it builds two large result tables and saves them in turn, generation after
// generation, to one report file through Document::saveDocument, telling on
// stdout when each save starts and ends. The parent kills it with SIGKILL at
// a random moment of a save and reads the file back: it must hold every row
// of generation g or g + 1, nothing cut and nothing mixed.
//
// QEL_SAVE_KILL_ITERATIONS and QEL_SAVE_KILL_ROWS raise the counts for the
// long run (scripts/save-kill-loop); the defaults suit the suite.

#include "document/ArchiveError.h"
#include "document/Document.h"
#include "document/DocumentLayouts.h"
#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"

#include "../support/RecordingPrompter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <memory>

namespace {

int envInt(const char *name, int fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

// Two capacitor and inductor steps without second items: four cells a row.
void makeProcedure(ProcedureModel &procedure)
{
    QVector<ProcedureStep> steps(2);
    const QStringList items{"C", "L"}, units{"nF", "uH"};
    for (int j = 0; j < 2; ++j) {
        ProcedureStep &s = steps[j];
        const QStringList texts{"", items[j], "100", "-5%", "+5%", units[j], "off", "", "", "", "", "1KHz", "1V",
            "SER", "FAST", "%", "0"};
        for (int c = 0; c < ProcedureStep::ColumnCount; ++c)
            s.fields[size_t(c)] = texts.at(c);
    }
    procedure.setSteps(steps);
    procedure.renumber();
}

// Row r of table variant 0 or 1, joined: each variant differs in every row.
QString joinedRow(int r, int variant)
{
    return QStringLiteral("%1nF\n%2\n%3uH\n%4\n")
        .arg(r)
        .arg(variant ? QStringLiteral("fail") : QStringLiteral("pass"))
        .arg(r % 1000 + variant * 7)
        .arg(variant ? QStringLiteral("pass") : QStringLiteral("fail"));
}

void fillResults(ResultTableModel &results, const ProcedureModel &procedure, int rows, int variant)
{
    results.rebuildColumns(procedure);
    results.reserveRows(rows, 0);
    for (int r = 0; r < rows; ++r)
        results.appendJoinedRow(joinedRow(r, variant), ResultTableModel::Failed);
    results.setReportDates(QStringList(rows, QStringLiteral("2012/3/7/")));
    results.setReportTimes(QStringList(rows, QStringLiteral("9:5:3")));
}

// The saver: both tables once, then generation after generation into path.
// The generation is the first time text; the table is generation % 2.
struct Saver
{
    ProcedureModel procedure;
    ResultTableModel results[2];
    RecordingPrompter prompter;
    std::unique_ptr<Document> docs[2];

    explicit Saver(int rows)
    {
        makeProcedure(procedure);
        for (int v = 0; v < 2; ++v) {
            fillResults(results[v], procedure, rows, v);
            docs[v] = std::make_unique<Document>(&procedure, &results[v], &prompter);
            docs[v]->onNewDocument();
        }
    }

    bool save(const QString &path, int generation)
    {
        ResultTableModel &table = results[generation % 2];
        QStringList times = table.reportTimes();
        times[0] = QString::number(generation);
        table.setReportTimes(times);
        return docs[generation % 2]->saveDocument(path);
    }
};

// Reads path as a report of rows rows; returns its generation, or -1 with
// why when the file is not one whole generation.
int checkFile(const QString &path, int rows, QString *why)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("cannot open: ") + f.errorString();
        return -1;
    }
    DocumentData doc;
    try {
        DocumentLayouts::read(DocumentNames::FileType::Report, f.readAll(), doc);
    } catch (const ArchiveError &e) {
        *why = e.describe();
        return -1;
    }
    if (doc.reportRowCount != rows || doc.reportEntryCount() != rows || doc.reportTimes.size() != rows) {
        *why = QStringLiteral("%1 rows").arg(doc.reportRowCount);
        return -1;
    }
    bool ok = false;
    const int generation = doc.reportTimes.at(0).toInt(&ok);
    if (!ok) {
        *why = QStringLiteral("no generation");
        return -1;
    }
    for (int r = 0; r < rows; ++r) {
        if (doc.reportEntry(r) != joinedRow(r, generation % 2)) {
            *why = QStringLiteral("row %1 is not of generation %2").arg(r).arg(generation);
            return -1;
        }
    }
    return generation;
}

void say(const char *what, int generation, qint64 ms = 0)
{
    std::printf("%s %d %lld\n", what, generation, ms);
    std::fflush(stdout);
}

// Saver mode: never returns; ends when killed.
[[noreturn]] void runChild(const QString &path, int rows, int generation)
{
    Saver saver(rows);
    say("ready", generation);
    QElapsedTimer clock;
    for (;; ++generation) {
        say("saving", generation);
        clock.start();
        if (!saver.save(path, generation)) {
            std::fprintf(stderr, "save failed: %s\n", qPrintable(saver.docs[generation % 2]->lastError()));
            std::_Exit(3);
        }
        say("saved", generation, clock.elapsed());
    }
}

struct KillTally
{
    int kills = 0;
    int duringSave = 0; // a save had started and not reported its end
    int old = 0;
    int fresh = 0;
    int leftovers = 0;
};

} // namespace

TEST(SaveKill, EachGenerationSavesWholeAndTheCheckNoticesDamage)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.rpt"));
    const int rows = 3000;
    Saver saver(rows);
    QString why;
    for (int g = 4; g < 7; ++g) {
        ASSERT_TRUE(saver.save(path, g)) << qPrintable(saver.docs[g % 2]->lastError());
        EXPECT_EQ(checkFile(path, rows, &why), g) << qPrintable(why);
    }
    EXPECT_TRUE(saver.prompter.said.isEmpty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"big.rpt"}) << "no temporary file is left";

    // The check itself: a file cut short, or with one row changed, is not whole.
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray whole = f.readAll();
    f.close();
    auto damaged = [&](const QByteArray &bytes) {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size())
            return -2;
        out.close();
        return checkFile(path, rows, &why);
    };
    EXPECT_EQ(damaged(whole.left(whole.size() - 1)), -1);
    EXPECT_EQ(damaged(whole.left(whole.size() / 2)), -1);
    QByteArray mixed = whole;
    const QByteArray row7 = joinedRow(7, 0).toLatin1();
    const qsizetype at = mixed.indexOf(row7);
    ASSERT_GT(at, 0);
    mixed.replace(at, row7.size(), QByteArray("7nF\nfail\n7uH\nfail\n"));
    ASSERT_EQ(mixed.size(), whole.size());
    EXPECT_EQ(damaged(mixed), -1);
    EXPECT_TRUE(why.contains("row 7")) << qPrintable(why);
    EXPECT_EQ(damaged(whole), 6);
}

TEST(SaveKill, AKilledSaveLeavesTheOldOrTheNewFileWhole)
{
    if (qEnvironmentVariableIsSet("QEL_SAVE_KILL_CHILD")) {
        const QStringList args = qEnvironmentVariable("QEL_SAVE_KILL_CHILD").split(QLatin1Char(','));
        ASSERT_EQ(args.size(), 3);
        runChild(args[0], args[1].toInt(), args[2].toInt());
    }
    const int iterations = envInt("QEL_SAVE_KILL_ITERATIONS", 12);
    const int rows = envInt("QEL_SAVE_KILL_ROWS", 20000);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.rpt"));
    QString why;
    int longest = 0; // the longest save seen, in ms
    {
        Saver first(rows);
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(first.save(path, 0));
        longest = int(clock.elapsed());
    }
    int generation = 0;
    // Kills fall anywhere from before the first save to inside the third, so
    // some land before the rename of a save and some after it.
    int saveMs = qMax(longest, 20);
    KillTally tally;
    QRandomGenerator random(quint32(QDateTime::currentMSecsSinceEpoch()));
    QElapsedTimer total;
    total.start();

    for (int i = 0; i < iterations; ++i) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QEL_SAVE_KILL_CHILD", QStringLiteral("%1,%2,%3").arg(path).arg(rows).arg(generation + 1));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
            {QStringLiteral("--gtest_filter=SaveKill.AKilledSaveLeavesTheOldOrTheNewFileWhole")});
        ASSERT_TRUE(child.waitForStarted(10000));
        QByteArray out;
        QElapsedTimer clock;
        clock.start();
        while (!out.contains("ready") && child.state() == QProcess::Running && clock.elapsed() < 120000) {
            child.waitForReadyRead(100);
            out += child.readAllStandardOutput();
        }
        ASSERT_TRUE(out.contains("ready")) << "the saver did not start: " << out.constData();

        const int delay = int(random.bounded(2 * saveMs + 50));
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < delay && child.state() == QProcess::Running) {
            child.waitForReadyRead(qMax<qint64>(1, delay - wait.elapsed()));
            out += child.readAllStandardOutput();
        }
        ASSERT_EQ(child.state(), QProcess::Running) << "the saver ended by itself: " << out.constData();
        ::kill(pid_t(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished(10000));
        out += child.readAllStandardOutput();
        ++tally.kills;

        // The newest save reported finished, and whether another had begun.
        int lastSaved = generation;
        int lastStarted = generation;
        for (const QByteArray &line : out.split('\n')) {
            const QList<QByteArray> w = line.split(' ');
            if (w.size() != 3)
                continue;
            if (w[0] == "saved") {
                lastSaved = w[1].toInt();
                longest = qMax(longest, w[2].toInt());
                saveMs = qMax(saveMs, longest);
            } else if (w[0] == "saving") {
                lastStarted = w[1].toInt();
            }
        }
        if (lastStarted > lastSaved)
            ++tally.duringSave;

        const int found = checkFile(path, rows, &why);
        ASSERT_GE(found, 0) << "kill " << i << " after " << delay << " ms left a damaged file: " << qPrintable(why);
        ASSERT_TRUE(found == lastSaved || found == lastStarted)
            << "kill " << i << ": generation " << found << ", saved " << lastSaved << ", started " << lastStarted;
        if (found == lastStarted && lastStarted > lastSaved)
            ++tally.fresh;
        else if (found == lastSaved && lastStarted > lastSaved)
            ++tally.old;
        generation = found;
        // QSaveFile's temporary file stays behind when the writer dies.
        tally.leftovers += int(QDir(dir.path()).entryList(QDir::Files).size()) - 1;
        for (const QString &name : QDir(dir.path()).entryList(QDir::Files))
            if (name != QLatin1String("big.rpt"))
                QFile::remove(dir.filePath(name));
    }
    std::printf("save-kill: %d rows, %d kills in %lld s, %d during a save (%d left the old file, %d the new), "
                "longest save %d ms, %d temporary files left behind; every file was whole\n",
        rows, tally.kills, total.elapsed() / 1000, tally.duringSave, tally.old, tally.fresh, longest,
        tally.leftovers);
    EXPECT_EQ(tally.kills, iterations);
    EXPECT_GT(tally.duringSave, 0) << "no kill landed inside a save; the delays need another look";
}
