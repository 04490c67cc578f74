// The Results History window exports a selection on another thread: Cancel
// leaves no file, a finished export holds every row of the selected run,
// and the window's own timers fire while it runs.

#include "components/ui/BackgroundTask.h"
#include "history/HistoryDatabase.h"
#include "history/HistoryModels.h"
#include "history/ui/ResultsHistoryWindow.h"

#include "../../support/RecordingPrompter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

constexpr int Rows = 40000;

bool waitIdle()
{
    QElapsedTimer clock;
    clock.start();
    while (BackgroundTask::running() > 0 && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return BackgroundTask::running() == 0;
}

// One run of Rows rows with a capacitance and a dissipation column.
bool fillHistory(const HistoryTarget &target)
{
    HistoryDatabase db;
    QString error;
    if (!db.open(target, HistoryDatabase::Mode::ReadWrite, &error))
        return false;
    History::RunRecord run;
    run.id = QStringLiteral("run-1");
    run.started = QDateTime::currentDateTimeUtc();
    run.procedure = QStringLiteral("capacitor.pro");
    run.columns = {{1, QStringLiteral("C"), QStringLiteral("F")}, {1, QStringLiteral("D"), QString()}};
    if (!db.insertRun(run, &error) || !db.begin())
        return false;
    for (int r = 1; r <= Rows; ++r) {
        History::RowRecord row;
        row.runId = run.id;
        row.seq = r;
        row.measuredAt = run.started.addMSecs(r);
        row.verdict = r % 50 ? QStringLiteral("pass") : QStringLiteral("fail");
        row.cells = {{QStringLiteral("%1nF").arg(100 + r % 7), 1e-7 + (r % 7) * 1e-9, row.verdict},
                     {QStringLiteral("0.00%1").arg(r % 9), 0.001 * (r % 9), QStringLiteral("pass")}};
        if (!db.insertRow(row, &error))
            return false;
    }
    return db.commit(&error);
}

TEST(HistoryWindowExport, RunsInTheBackgroundAndCancelLeavesNoFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    HistoryTarget target;
    target.kind = HistoryTarget::Kind::SQLite;
    target.path = dir.filePath(QStringLiteral("results.sqlite"));
    ASSERT_TRUE(fillHistory(target));

    RecordingPrompter prompter;
    ResultsHistoryWindow window(&prompter);
    window.setTarget(target);
    window.show();
    ASSERT_EQ(window.runsModel()->rowCount(), 1) << qPrintable(window.statusLabel()->text());
    window.runsView()->selectRow(0);

    for (const char *suffix : {".csv", ".xlsx"}) {
        const QString out = dir.filePath(QStringLiteral("rows") + QLatin1String(suffix));
        ASSERT_TRUE(window.exportSelection(out));
        BackgroundTask *task = window.currentExport();
        ASSERT_NE(task, nullptr);
        auto *cancel = task->dialog()->findChild<QPushButton *>();
        ASSERT_NE(cancel, nullptr) << "the export offers Cancel";
        cancel->click();
        ASSERT_TRUE(waitIdle());
        EXPECT_FALSE(QFile::exists(out)) << suffix;
        EXPECT_TRUE(QDir(dir.path()).entryList({"*rows*"}, QDir::Files | QDir::Hidden).isEmpty()) << "no part file is left";
        EXPECT_TRUE(prompter.said.isEmpty()) << qPrintable(prompter.texts().join('|'));
    }

    // Not cancelled: the window's timer fires while the rows are written.
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(10);
    const QString csv = dir.filePath(QStringLiteral("rows.csv"));
    ASSERT_TRUE(window.exportSelection(csv));
    EXPECT_EQ(BackgroundTask::running(), 1);
    ASSERT_TRUE(waitIdle());
    EXPECT_GT(ticks, 0);
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_EQ(lines.size(), 1 + Rows + 1);
    EXPECT_TRUE(lines[Rows].startsWith("run-1," + QByteArray::number(Rows) + ","));
    EXPECT_TRUE(lines[Rows].contains(",fail,")) << lines[Rows].constData();
    EXPECT_TRUE(prompter.said.isEmpty());

    // Nothing selected: told at once, nothing started.
    window.runsView()->clearSelection();
    EXPECT_FALSE(window.exportSelection(dir.filePath(QStringLiteral("none.csv"))));
    EXPECT_EQ(BackgroundTask::running(), 0);
    EXPECT_EQ(prompter.said.size(), 1);
}

} // namespace
