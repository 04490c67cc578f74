// Long work off the window's thread, through the real window: the result
// exports of a large table show a progress dialog after half a second,
// the window's own timers keep firing, Cancel leaves no file and opens
// nothing, and the commands that would change the document wait.

#include "DesktopRig.h"
#include "../../support/ProcedureSteps.h"

#include "app/ui/BackgroundCommands.h"
#include "components/ui/BackgroundTask.h"
#include "document/Document.h"
#include "document/DocumentNames.h"
#include "execution/ResultTableModel.h"
#include "components/ui/PictureButton.h"
#include "execution/ExecutionState.h"
#include "execution/ui/ExecutiveView.h"
#include "procedure/ProcedureModel.h"
#include "procedure/ui/ProcedureView.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalBlocker>

namespace {

constexpr int Steps = 10;

QVector<ProcedureStep> tenSteps()
{
    using S = ProcedureStep;
    QVector<ProcedureStep> steps;
    for (int i = 0; i < Steps; ++i)
        steps << judgedStep(
            "C", "100", "-5%", "+5%", "nF", {{S::Step, QString::number(i + 1)}, {S::Speed, "FAST"}});
    return steps;
}

QString rowText(int r)
{
    QString joined;
    for (int i = 0; i < Steps; ++i)
        joined += QStringLiteral("%1nF\n%2\n").arg(100 + (r * 7 + i) % 1000 / 1000.0, 0, 'f', 3)
                      .arg((r + i) % 97 == 0 ? QStringLiteral("fail") : QStringLiteral("pass"));
    return joined;
}

// Ticks of a 10 ms timer on the window's thread, and the longest wait
// between two. Work done on that thread would leave no ticks at all while
// it lasts; the bound on the wait is loose because a loaded machine also
// delays timers.
struct TickWatch
{
    static constexpr qint64 StandStill = 1000;
    TickWatch()
    {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = clock.elapsed();
            longest = qMax(longest, now - last);
            last = now;
            ++count;
        });
        clock.start();
        timer.start();
    }
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    int count = 0;
};

class BackgroundWork : public DesktopRig
{
protected:
    void SetUp() override
    {
        DesktopRig::SetUp();
        ASSERT_TRUE(tmp.isValid());
        // The workbook exports go to the temporary folder: one of the test's own.
        oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", tmp.path().toLocal8Bit());
        ASSERT_TRUE(startApp({}, false));
        app->background()->setOpener([this](const QString &path) {
            opened << path;
            return true;
        });
    }
    void TearDown() override
    {
        DesktopRig::TearDown();
        qputenv("TMPDIR", oldTmp);
    }

    // A ten-step procedure and rows of it, filled quietly as a load does.
    void fill(int rows)
    {
        ProcedureModel *procedure = app->procedureView()->procedureModel();
        ResultTableModel *results = app->procedureView()->resultModel();
        procedure->setSteps(tenSteps());
        {
            const QSignalBlocker quiet(results);
            results->setStepColumns({});
            results->removeAllRows();
            for (int r = 0; r < rows; ++r) {
                const QString row = rowText(r);
                results->appendJoinedRow(row, row.contains(QLatin1String("fail")) ? 1 : 2);
                results->setRowDateTime(r, QStringLiteral("2026/12/7/"), QStringLiteral("9:0:%1").arg(r % 60));
            }
        }
        results->rebuildColumns(*procedure);
    }

    // A three-row report saved at target; its bytes.
    QByteArray savedReport(const QString &target)
    {
        fill(3);
        if (!app->document()->saveDocument(target))
            return {};
        QFile old(target);
        return old.open(QIODevice::ReadOnly) ? old.readAll() : QByteArray();
    }

    QProgressDialog *progressDialog() const
    {
        return mainWindow()->findChild<QProgressDialog *>(QStringLiteral("backgroundProgress"));
    }

    bool waitIdle(int ms = 30000)
    {
        return Desktop::waitUntil([] { return BackgroundTask::running() == 0; }, ms);
    }

    QStringList filesIn(const QString &folder) const
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden);
    }

public:
    // For the save-kill child.
    void fillFor(int rows) { fill(rows); }
    void saveAs() { trigger(MainWindow::FileSaveAs); }
    BackgroundTask *currentTask() const { return app->background()->currentTask(); }

protected:
    QTemporaryDir tmp;
    QByteArray oldTmp;
    QStringList opened;
};

TEST_F(BackgroundWork, ALargeExportShowsProgressKeepsTheWindowAliveAndCancelLeavesNoFile)
{
    fill(200000);
    mainWindow()->showPage(MainWindow::ExecutivePage);
    TickWatch ticks;
    QElapsedTimer clock;
    clock.start();
    app->executiveView()->exportButton()->click();
    EXPECT_EQ(BackgroundTask::running(), 1);
    // The document's own commands wait while its data are being written.
    EXPECT_FALSE(action(MainWindow::FileOpen)->isEnabled());
    EXPECT_FALSE(action(MainWindow::FileSaveAs)->isEnabled());

    ASSERT_TRUE(Desktop::waitUntil([this] { return progressDialog() && progressDialog()->isVisible(); }, 5000))
        << "no progress dialog";
    EXPECT_GE(clock.elapsed(), BackgroundTask::DialogDelayMs - 50);
    ASSERT_EQ(BackgroundTask::running(), 1) << "the export ended before it could be cancelled";
    Desktop::settle(300);
    auto *cancel = progressDialog()->findChild<QPushButton *>();
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    ASSERT_TRUE(waitIdle());
    Desktop::settle(50);

    RecordProperty("longest_wait_ms", int(ticks.longest));
    EXPECT_GE(ticks.count, 20) << "the window's timer fired " << ticks.count << " times";
    EXPECT_LT(ticks.longest, TickWatch::StandStill) << "the window's thread stood still for " << ticks.longest << " ms";
    EXPECT_TRUE(filesIn(tmp.path()).isEmpty()) << filesIn(tmp.path()).join(' ').toStdString();
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_TRUE(prompter.said.isEmpty());
    EXPECT_TRUE(action(MainWindow::FileOpen)->isEnabled());
    EXPECT_TRUE(action(MainWindow::FileSaveAs)->isEnabled());
}

TEST_F(BackgroundWork, ResultsMenuWritesTheCsvOfTheRowsThereWhenItStarted)
{
    fill(2000);
    QAction *csv = nullptr;
    for (QAction *a : mainWindow()->resultsMenu()->actions())
        if (a->text().contains(QLatin1String("CSV")))
            csv = a;
    ASSERT_NE(csv, nullptr);
    ASSERT_TRUE(mainWindow()->resultsMenu()->menuAction()->isVisible());
    const QString out = dir.path() + QStringLiteral("/lot");
    Desktop::ModalAnswer<QFileDialog> answer([&](QFileDialog *d) { Desktop::chooseFile(d, out); });
    csv->trigger();
    ASSERT_TRUE(answer.seen());
    // Rows added after the command started are not in the file.
    app->procedureView()->resultModel()->appendJoinedRow(rowText(9), 2);
    ASSERT_TRUE(waitIdle());

    QFile f(out + QStringLiteral(".csv"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << "the name gets the .csv ending";
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_EQ(lines.size(), 1 + 2000 + 1); // the last line feed ends an empty piece
    EXPECT_TRUE(lines[0].startsWith("Seq.,"));
    const QByteArray mark = rowText(0).contains(QLatin1String("fail")) ? "\xce\xa7" : "\xce\x9f";
    EXPECT_EQ(lines[1], "1," + mark + ",2026/12/7/,9:0:0," + rowText(0).replace('\n', ',').chopped(1).toUtf8() + "\r");
    EXPECT_TRUE(lines[2000].startsWith("2000,"));
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_TRUE(prompter.said.isEmpty());
}

TEST_F(BackgroundWork, ACancelledSaveLeavesTheOldFileWholeAndTheNameAsItWas)
{
    const QString target = dir.path() + QStringLiteral("/lot_1.rpt");
    const QByteArray before = savedReport(target);
    ASSERT_FALSE(before.isEmpty());
    app->document()->onNewDocument();

    fill(200000);
    ASSERT_TRUE(app->background()->save(app->document(), target));
    ASSERT_NE(app->background()->currentTask(), nullptr) << "a large save runs in the background";
    auto *cancel = app->background()->currentTask()->dialog()->findChild<QPushButton *>();
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    ASSERT_TRUE(waitIdle());

    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), before);
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("lot_1.rpt")}) << "no temporary file is left";
    EXPECT_NE(app->document()->pathName(), target);
    EXPECT_TRUE(prompter.said.isEmpty());

    // Not cancelled, the same save replaces the file while a timer keeps ticking.
    TickWatch ticks;
    ASSERT_TRUE(app->background()->save(app->document(), target));
    ASSERT_TRUE(waitIdle());
    EXPECT_GE(ticks.count, 5) << "the window's timer fired " << ticks.count << " times";
    EXPECT_LT(ticks.longest, TickWatch::StandStill);
    EXPECT_EQ(app->document()->pathName(), target);
    EXPECT_GT(QFileInfo(target).size(), 200000 * 100);
}

TEST_F(BackgroundWork, ACancelledOpenLeavesThePagesAsTheyWere)
{
    const QString big = dir.path() + QStringLiteral("/lot_1.rpt");
    fill(200000);
    ASSERT_TRUE(app->document()->saveDocument(big));
    ASSERT_GT(QFileInfo(big).size(), BackgroundCommands::OpenAtOnceBytes);
    fill(3);
    ResultTableModel *results = app->procedureView()->resultModel();
    const QStringList rowsBefore{results->joinedRow(0), results->joinedRow(1), results->joinedRow(2)};

    app->background()->open(app->document(), big, [] {});
    ASSERT_NE(app->background()->currentTask(), nullptr) << "a large open runs in the background";
    EXPECT_FALSE(mainWindow()->centralWidget()->isEnabled()) << "the pages take no edits meanwhile";
    app->background()->currentTask()->dialog()->findChild<QPushButton *>()->click();
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(mainWindow()->centralWidget()->isEnabled());
    ASSERT_EQ(results->resultCount(), 3);
    EXPECT_EQ((QStringList{results->joinedRow(0), results->joinedRow(1), results->joinedRow(2)}), rowsBefore);
    EXPECT_TRUE(prompter.said.isEmpty());

    // Not cancelled, the rows arrive (taking them into the table is the one
    // step on the window's thread).
    bool after = false;
    app->background()->open(app->document(), big, [&after] { after = true; });
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(after);
    ASSERT_EQ(results->resultCount(), 200000);
    EXPECT_EQ(results->joinedRow(199999), rowText(199999));
}

// The child of the test below: File > Save As of 200,000 rows over path,
// telling on stdout when the save starts and when it has ended; then it
// waits to be killed.
[[noreturn]] void saveUntilKilled(BackgroundWork &rig, const QString &path);

TEST_F(BackgroundWork, ASaveKilledMidwayLeavesTheOldFileWholeAndNoOtherDocument)
{
    if (qEnvironmentVariableIsSet("QEL_GUI_SAVE_KILL"))
        saveUntilKilled(*this, qEnvironmentVariable("QEL_GUI_SAVE_KILL"));
    const QString target = dir.path() + QStringLiteral("/lot_1.rpt");
    const QByteArray before = savedReport(target);
    ASSERT_FALSE(before.isEmpty());

    QRandomGenerator random(quint32(QDateTime::currentMSecsSinceEpoch()));
    int killedSaving = 0;
    for (int i = 0; i < 3; ++i) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QEL_GUI_SAVE_KILL"), target);
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
            {QStringLiteral("--gtest_filter=BackgroundWork.ASaveKilledMidwayLeavesTheOldFileWholeAndNoOtherDocument")});
        ASSERT_TRUE(child.waitForStarted(10000));
        QByteArray out;
        QElapsedTimer clock;
        clock.start();
        while (!out.contains("saving") && child.state() == QProcess::Running && clock.elapsed() < 60000) {
            child.waitForReadyRead(50);
            out += child.readAllStandardOutput();
        }
        ASSERT_TRUE(out.contains("saving")) << "the child did not start saving: " << out.constData();
        QThread::msleep(random.bounded(100));
        ::kill(pid_t(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished(10000));
        out += child.readAllStandardOutput();

        QFile now(target);
        ASSERT_TRUE(now.open(QIODevice::ReadOnly));
        if (out.contains("saved")) {
            // Killed after the save: the new file is whole.
            ASSERT_TRUE(app->document()->openDocument(target));
            EXPECT_EQ(app->procedureView()->resultModel()->resultCount(), 200000);
            now.close();
            ASSERT_TRUE(now.open(QIODevice::WriteOnly | QIODevice::Truncate));
            now.write(before);
            now.close();
            continue;
        }
        ++killedSaving;
        EXPECT_EQ(now.readAll(), before) << "kill " << i << " changed the old file";
        // What a killed save leaves beside it is never taken for a document.
        for (const QString &name : filesIn(dir.path()))
            if (name != QLatin1String("lot_1.rpt"))
                EXPECT_EQ(DocumentNames::fileType(name), DocumentNames::FileType::None) << qPrintable(name);
        ASSERT_TRUE(app->document()->openDocument(target));
        EXPECT_EQ(app->procedureView()->resultModel()->resultCount(), 3);
    }
    std::printf("kills during the save: %d of 3\n", killedSaving);
}

void saveUntilKilled(BackgroundWork &rig, const QString &path)
{
    rig.fillFor(200000);
    // Replacing the file is confirmed in a message box.
    Desktop::ModalAnswer<QMessageBox> replace([](QMessageBox *box) { box->button(QMessageBox::Yes)->click(); });
    Desktop::ModalAnswer<QFileDialog> answer([&](QFileDialog *d) { Desktop::chooseFile(d, path); });
    rig.saveAs();
    BackgroundTask *task = rig.currentTask();
    if (!task) {
        std::fprintf(stderr, "the save did not start in the background\n");
        std::_Exit(3);
    }
    QObject::connect(task, &BackgroundTask::ended, [] {
        std::printf("saved\n");
        std::fflush(stdout);
    });
    std::printf("saving\n");
    std::fflush(stdout);
    for (;;)
        Desktop::settle(1000);
}

// A real run against the simulated meter while an export of a large
// earlier lot goes on: the rows keep arriving, and the file holds the rows
// there when the export started.
class MeasuringWhileExporting : public DesktopRig
{
};

TEST_F(MeasuringWhileExporting, RowsKeepArrivingAndTheFileHoldsTheRowsThereAtTheStart)
{
    ASSERT_TRUE(startMeter());
    ASSERT_TRUE(startApp(example(QStringLiteral("capacitor.pro"))));
    ResultTableModel *results = app->procedureView()->resultModel();
    runLoops(QStringLiteral("3"));
    ASSERT_TRUE(Desktop::waitUntil([&] { return results->resultCount() == 3 && !runActive(); }, 10000));
    // An earlier lot of 300,000 rows made of the three measured.
    const QStringList real{results->joinedRow(0), results->joinedRow(1), results->joinedRow(2)};
    const int image = results->image(0);
    results->appendJoinedRows(300000, [&](int i, QString &joined, int &im) {
        joined = real.at(i % 3);
        im = image;
    });

    runLoops(QStringLiteral("100000"));
    ASSERT_TRUE(Desktop::waitUntil([&] { return results->resultCount() > 300010; }, 10000));
    const QString out = dir.path() + QStringLiteral("/lot.csv");
    app->background()->exportResultsCsvTo(out);
    const int atStart = results->resultCount();
    BackgroundTask *task = app->background()->currentTask();
    ASSERT_NE(task, nullptr);
    int atEnd = -1;
    QObject::connect(task, &BackgroundTask::ended, [&] { atEnd = results->resultCount(); });
    ASSERT_TRUE(Desktop::waitUntil([] { return BackgroundTask::running() == 0; }, 60000));
    EXPECT_TRUE(runActive()) << "the run went on to the end of the export";
    GuiDriver::click(execPage()->stopButton());
    ASSERT_TRUE(Desktop::waitUntil([this] { return !runActive(); }, 10000));

    EXPECT_GT(atEnd, atStart) << "no row arrived while the export ran";
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_EQ(lines.size(), 1 + atStart + 1);
    EXPECT_TRUE(lines[atStart].startsWith(QByteArray::number(atStart) + ","));
    EXPECT_TRUE(prompter.said.isEmpty()) << qPrintable(prompter.texts().join('|'));
}

} // namespace
