// The results history in the desktop program, through its widgets: a run
// recorded as it happens, then the Results History window showing it as the
// Executive View did; an Emergency Stop stored as such; a database that is
// not one said once while the run goes on; a locked one waited out.
#include "DesktopRig.h"
#include "../../support/SqliteLockHolder.h"

#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "execution/ui/ExecutiveView.h"
#include "history/HistoryModels.h"
#include "history/HistoryWriter.h"
#include "history/HistoryTarget.h"
#include "recording/ui/HistoryDesktop.h"
#include "history/ui/ResultsDatabaseDialog.h"
#include "history/ui/ResultsHistoryWindow.h"
#include "components/ui/BackgroundTask.h"
#include "components/ui/PictureButton.h"
#include "procedure/ui/ProcedureView.h"

#include <QLabel>
#include <QProcess>
#include <QMenu>
#include <QTableView>

using F = MainWindow;

namespace {

class ResultsHistory : public DesktopRig
{
protected:
    QAction *resultsCommand(const QString &prefix) const
    {
        for (QAction *a : mainWindow()->resultsMenu()->actions())
            if (a->text().remove(QLatin1Char('&')).startsWith(prefix))
                return a;
        return nullptr;
    }
};

} // namespace

TEST_F(ResultsHistory, ARunIsShownInTheHistoryWindowAsTheExecutiveViewShowedIt)
{
    ASSERT_TRUE(startMeter());
    ASSERT_TRUE(startApp(example(QStringLiteral("capacitor.pro"))));
    auto *pane = mainWindow()->findChild<QLabel *>(QStringLiteral("resultsPane"));
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(pane->accessibleName(), QStringLiteral("Results: %1").arg(HistoryTarget::defaultPath()));

    runLoops(QStringLiteral("3"));
    ASSERT_TRUE(Desktop::waitUntil([this] { return results()->rowCount() == 3 && !runActive(); }, 10000));

    QAction *history = resultsCommand(QStringLiteral("Results History"));
    ASSERT_NE(history, nullptr);
    EXPECT_TRUE(mainWindow()->resultsMenu()->menuAction()->isVisible());
    history->trigger();
    ResultsHistoryWindow *w = app->history()->historyWindow();
    ASSERT_TRUE(w && w->isVisible());
    ASSERT_EQ(w->runsModel()->rowCount(), 1) << qPrintable(w->statusLabel()->text());
    EXPECT_EQ(w->runsModel()->run(0).rows, 3);
    EXPECT_EQ(w->runsModel()->run(0).procedure, QStringLiteral("capacitor.pro"));
    EXPECT_EQ(w->runsModel()->run(0).outcome, QStringLiteral("completed"));
    EXPECT_EQ(w->runsModel()->run(0).lot, QStringLiteral("0")); // the report description's default

    // The run's rows: the Executive View's columns and cells.
    RunRowsModel *rows = w->rowsModel();
    ASSERT_EQ(rows->rowCount(), 3);
    for (int c = 0; c < results()->columnCount(); ++c)
        EXPECT_EQ(rows->headerData(c, Qt::Horizontal).toString(), results()->headerData(c, Qt::Horizontal).toString());
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < results()->columnCount(); ++c)
            EXPECT_EQ(w->rowsView()->model()->index(r, c).data().toString(), results()->cell(r, c)) << r << "," << c;

    // The selection exported: a CSV of its rows.
    const QString csv = dir.path() + QStringLiteral("/sel.csv");
    const auto told = prompter.texts().size();
    ASSERT_TRUE(w->exportSelection(csv)) << qPrintable(prompter.texts().join('|'));
    ASSERT_TRUE(Desktop::waitUntil([] { return BackgroundTask::running() == 0; }, 30000));
    EXPECT_EQ(prompter.texts().size(), told) << qPrintable(prompter.texts().join('|'));
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().count("\r\n"), 4);

    // A long run stopped by Emergency Stop is stored as stopped; the
    // verdict filter finds it among the failed runs, a lot filter does not.
    runLoops(QStringLiteral("100000"));
    ASSERT_TRUE(Desktop::waitUntil([this] { return results()->rowCount() > 6; }, 10000));
    GuiDriver::click(execPage()->stopButton());
    ASSERT_TRUE(Desktop::waitUntil([this] { return !runActive(); }));
    w->verdictBox()->setCurrentIndex(2);
    ASSERT_EQ(w->runsModel()->rowCount(), 2);
    EXPECT_EQ(w->runsModel()->run(0).outcome, QStringLiteral("stopped"));
    EXPECT_EQ(w->runsModel()->run(0).rows, results()->rowCount() - 3);
    GuiDriver::type(w->lotEdit(), QStringLiteral("nothing"));
    w->refreshButton()->click();
    EXPECT_EQ(w->runsModel()->rowCount(), 0);
    w->close();

    // Results Database: a file that is no database. The run goes on, the
    // operator is told once, the status bar says recording is off.
    const QString junk = dir.path() + QStringLiteral("/junk.db");
    QFile j(junk);
    ASSERT_TRUE(j.open(QIODevice::WriteOnly));
    j.write(QByteArray(2048, 'x'));
    j.close();
    Desktop::ModalAnswer<ResultsDatabaseDialog> answer([&](ResultsDatabaseDialog *d) {
        d->urlEdit()->setText(junk);
        d->okButton()->click();
    });
    resultsCommand(QStringLiteral("Results Database"))->trigger();
    ASSERT_TRUE(answer.seen());
    Desktop::settle(50);
    EXPECT_EQ(pane->accessibleName(), QStringLiteral("Results: recording off"));
    EXPECT_TRUE(prompter.texts().join('|').contains(junk + QStringLiteral(" is not a results database")))
        << qPrintable(prompter.texts().join('|'));
    const int before = results()->rowCount();
    runLoops(QStringLiteral("2"));
    ASSERT_TRUE(Desktop::waitUntil([&] { return results()->rowCount() == before + 2 && !runActive(); }, 10000));
}

// An open Results History window follows a run by itself: the new run on
// top while the selection stays where the operator put it, the chosen
// running run's rows growing, its end and counts shown when it stops.
TEST_F(ResultsHistory, TheHistoryWindowFollowsARunWithoutARefresh)
{
    ASSERT_TRUE(startMeter());
    ASSERT_TRUE(startApp(example(QStringLiteral("capacitor.pro"))));
    runLoops(QStringLiteral("2"));
    ASSERT_TRUE(Desktop::waitUntil([this] { return results()->rowCount() == 2 && !runActive(); }, 10000));
    resultsCommand(QStringLiteral("Results History"))->trigger();
    ResultsHistoryWindow *w = app->history()->historyWindow();
    ASSERT_TRUE(w && w->isVisible());
    ASSERT_EQ(w->runsModel()->rowCount(), 1);
    const QString first = w->runsModel()->run(0).id;
    auto selectedIds = [w] {
        QStringList ids;
        for (const QModelIndex &i : w->runsView()->selectionModel()->selectedRows())
            ids << w->runsModel()->run(i.row()).id;
        return ids;
    };
    ASSERT_EQ(selectedIds(), QStringList{first});

    runLoops(QStringLiteral("100000"));
    ASSERT_TRUE(Desktop::waitUntil([w] { return w->runsModel()->rowCount() == 2; }, 10000));
    EXPECT_NE(w->runsModel()->run(0).id, first);
    EXPECT_EQ(selectedIds(), QStringList{first});
    EXPECT_EQ(w->rowsModel()->rowCount(), 2);

    w->runsView()->selectRow(0);
    const int seen = w->rowsModel()->rowCount();
    ASSERT_TRUE(Desktop::waitUntil([w, seen] { return w->rowsModel()->rowCount() >= seen + 5; }, 10000))
        << seen << " rows when chosen, " << w->rowsModel()->rowCount() << " now";
    GuiDriver::click(execPage()->stopButton());
    ASSERT_TRUE(Desktop::waitUntil([this] { return !runActive(); }));
    const int rows = results()->rowCount() - 2;
    ASSERT_TRUE(Desktop::waitUntil([w] { return w->runsModel()->run(0).outcome == QLatin1String("stopped"); }, 10000));
    EXPECT_EQ(w->runsModel()->run(0).rows, rows);
    ASSERT_TRUE(Desktop::waitUntil([w, rows] { return w->rowsModel()->rowCount() == rows; }, 10000));
    // The last row as the Executive View shows it (its "Seq." counts on across runs).
    for (int c = 1; c < results()->columnCount(); ++c)
        EXPECT_EQ(w->rowsView()->model()->index(rows - 1, c).data().toString(), results()->cell(results()->rowCount() - 1, c)) << c;
    EXPECT_EQ(selectedIds(), QStringList{w->runsModel()->run(0).id});
}

// Another program holds the results file's write lock during a run: the
// operator is told once that rows are recorded again as soon as it can be
// written, the status bar counts what is missing, and once the lock is gone
// the run is closed by itself as interrupted and the next run is recorded
// whole.
TEST_F(ResultsHistory, ALockedDatabaseIsWaitedOutNotSwitchedOff)
{
    ASSERT_TRUE(startMeter());
    ASSERT_TRUE(startApp(example(QStringLiteral("capacitor.pro"))));
    auto *pane = mainWindow()->findChild<QLabel *>(QStringLiteral("resultsPane"));
    ASSERT_NE(pane, nullptr);
    runLoops(QStringLiteral("1"));
    ASSERT_TRUE(Desktop::waitUntil([this] { return results()->rowCount() == 1 && !runActive(); }, 10000));

    const QString db = HistoryTarget::defaultPath();
    SqliteLockHolder holder(db);
    ASSERT_TRUE(holder.held());
    const auto told = prompter.texts().size();
    runLoops(QStringLiteral("4"));
    ASSERT_TRUE(Desktop::waitUntil([this] { return results()->rowCount() == 1 + 4 && !runActive(); }, 30000));
    ASSERT_TRUE(Desktop::waitUntil([&] { return prompter.texts().size() > told; }, 30000));
    ASSERT_EQ(prompter.texts().size(), told + 1) << qPrintable(prompter.texts().join('|'));
    EXPECT_TRUE(prompter.texts().last().startsWith(db + QStringLiteral(" is locked by another program.\nRows are recorded again")))
        << qPrintable(prompter.texts().last());
    EXPECT_TRUE(pane->accessibleName().contains(QLatin1String("4 rows not recorded, trying again"))) << qPrintable(pane->accessibleName());
    EXPECT_TRUE(app->history()->writer()->isRecording());

    ASSERT_TRUE(holder.release());
    app->history()->showHistory();
    ResultsHistoryWindow *w = app->history()->historyWindow();
    ASSERT_TRUE(Desktop::waitUntil([&] {
        w->refresh();
        return w->runsModel()->rowCount() == 2 && w->runsModel()->run(0).outcome == QLatin1String("recording-interrupted");
    }, 15000)) << qPrintable(w->statusLabel()->text());
    EXPECT_EQ(w->runsModel()->run(0).unrecorded, 4);
    EXPECT_EQ(pane->accessibleName(), QStringLiteral("Results: %1").arg(db));

    runLoops(QStringLiteral("2"));
    ASSERT_TRUE(Desktop::waitUntil([this] { return results()->rowCount() == 1 + 4 + 2 && !runActive(); }, 10000));
    ASSERT_TRUE(Desktop::waitUntil([&] {
        w->refresh();
        return w->runsModel()->rowCount() == 3 && w->runsModel()->run(0).outcome == QLatin1String("completed");
    }, 10000));
    EXPECT_EQ(w->runsModel()->run(0).rows, 2);
    EXPECT_EQ(prompter.texts().size(), told + 1) << qPrintable(prompter.texts().join('|'));
}
