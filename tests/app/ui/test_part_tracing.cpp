// Tracing parts through the desktop program: an operator signed in for a
// lot, each part's serial typed (as a scanner types it) before its pass,
// a serial measured twice, a run stopped at the entry, and a recorded run
// opened again into the Executive View.
#include "DesktopRig.h"

#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "execution/ui/ExecutiveView.h"
#include "history/HistoryDatabase.h"
#include "history/HistoryModels.h"
#include "history/HistoryWriter.h"
#include "history/ui/ResultsHistoryWindow.h"
#include "procedure/ProcedureModel.h"
#include "procedure/ui/ProcedureView.h"
#include "components/ui/PictureButton.h"
#include "recording/ui/HistoryDesktop.h"
#include "recording/ui/OperatorWindow.h"
#include "document/Document.h"

#include "plotter/PlotterState.h"
#include "plotter/ui/PlotterView.h"

#include <QInputDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>

using F = MainWindow;

namespace {

class PartTracing : public DesktopRig
{
protected:
    void SetUp() override
    {
        DesktopRig::SetUp();
        // A results file of this test's own.
        QSettings().setValue(QStringLiteral("Results/Database"), dir.path() + QStringLiteral("/results.sqlite"));
    }
    void TearDown() override
    {
        QSettings().remove(QStringLiteral("Results/Database"));
        OperatorWindow::signOut();
        QSettings().remove(QStringLiteral("Operator/AskSerials"));
        DesktopRig::TearDown();
    }
    HistoryDesktop *history() const { return app->history(); }

    // Waits for the serial entry, types the serial and presses Enter, as a scanner does.
    bool scan(const QString &serial)
    {
        if (!Desktop::waitUntil([this] { return history()->serialDialog() && history()->serialDialog()->isVisible(); }, 10000))
            return false;
        PartSerialDialog *d = history()->serialDialog();
        if (QApplication::focusWidget() != d->serialEdit())
            Desktop::waitUntil([d] { return QApplication::focusWidget() == d->serialEdit(); }, 2000);
        GuiDriver::type(d->serialEdit(), serial);
        Desktop::pressKey(d->serialEdit(), Qt::Key_Return);
        return Desktop::waitUntil([d = QPointer<PartSerialDialog>(d)] { return !d || !d->isVisible(); }, 5000);
    }

    // The serial of every recorded row, oldest first ("" for none).
    QStringList recordedSerials()
    {
        QStringList serials;
        HistoryDatabase db;
        HistoryDatabase::Filter all;
        all.since = QStringLiteral("2000");
        if (db.open(history()->writer()->target(), HistoryDatabase::Mode::ReadOnly, nullptr))
            db.forEachRow(all, [&](const HistoryDatabase::StoredRow &r) { serials << r.serial; return true; }, nullptr);
        return serials;
    }

    QVector<HistoryDatabase::RunSummary> recordedRuns()
    {
        QVector<HistoryDatabase::RunSummary> runs;
        HistoryDatabase db;
        QString error;
        if (db.open(history()->writer()->target(), HistoryDatabase::Mode::ReadOnly, &error))
            db.listRuns({}, runs, &error);
        return runs;
    }
};

} // namespace

// Signed in, runs record the operator and lot; signed out, the login name
// and the description's lot again. Each pass asks for its serial; Enter
// measures it, a repeat is said in the status bar, Stop Run ends the run.
TEST_F(PartTracing, OperatorLotAndSerialsAreRecordedWithTheRows)
{
    ASSERT_TRUE(startMeter());
    ASSERT_TRUE(startApp(example(QStringLiteral("capacitor.pro"))));
    ASSERT_NE(history()->operatorAction(), nullptr);
    Desktop::ModalAnswer<OperatorWindow> signIn([](OperatorWindow *w) {
        EXPECT_FALSE(w->signInButton()->isEnabled());
        w->nameEdit()->setText(QStringLiteral("Ann O'Neil"));
        w->lotEdit()->setText(QStringLiteral("L-42"));
        w->signInButton()->click();
    });
    history()->operatorAction()->trigger();
    ASSERT_TRUE(signIn.seen());

    history()->askSerialsAction()->trigger();
    ASSERT_TRUE(history()->askSerialsAction()->isChecked());
    runLoops(QStringLiteral("3"));
    for (const QString &serial : {QStringLiteral("SN-001"), QStringLiteral("SN-002"), QStringLiteral("SN-001")})
        ASSERT_TRUE(scan(serial)) << qPrintable(serial);
    ASSERT_TRUE(Desktop::waitUntil([this] { return results()->rowCount() == 3 && !runActive(); }, 10000));
    EXPECT_TRUE(mainWindow()->statusBar()->currentMessage().contains(QLatin1String("SN-001"))) << qPrintable(mainWindow()->statusBar()->currentMessage());

    QVector<HistoryDatabase::RunSummary> runs = recordedRuns();
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].operatorName, QStringLiteral("Ann O'Neil"));
    EXPECT_EQ(runs[0].lot, QStringLiteral("L-42"));
    EXPECT_EQ(runs[0].rows, 3);
    EXPECT_EQ(recordedSerials(), (QStringList{QStringLiteral("SN-001"), QStringLiteral("SN-002"), QStringLiteral("SN-001")}));

    // Stop Run at the second part: one row, the run stored as stopped.
    runLoops(QStringLiteral("5"));
    ASSERT_TRUE(scan(QStringLiteral("SN-003")));
    ASSERT_TRUE(Desktop::waitUntil([this] { return history()->serialDialog() && history()->serialDialog()->isVisible(); }, 10000));
    history()->serialDialog()->reject();
    ASSERT_TRUE(Desktop::waitUntil([this] { return !runActive(); }, 10000));
    EXPECT_EQ(results()->rowCount(), 4);
    runs = recordedRuns();
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0].rows, 1);
    EXPECT_EQ(runs[0].outcome, QStringLiteral("stopped"));
    EXPECT_EQ(recordedSerials().value(3), QStringLiteral("SN-003"));

    // Signed out and no serials asked: as before this option existed.
    OperatorWindow::signOut();
    history()->askSerialsAction()->trigger();
    runLoops(QStringLiteral("1"));
    ASSERT_TRUE(Desktop::waitUntil([this] { return results()->rowCount() == 5 && !runActive(); }, 10000));
    EXPECT_TRUE(!history()->serialDialog() || !history()->serialDialog()->isVisible());
    runs = recordedRuns();
    ASSERT_EQ(runs.size(), 3);
    EXPECT_EQ(runs[0].lot, QStringLiteral("0"));
    EXPECT_EQ(runs[0].operatorName, History::loginName());
    EXPECT_EQ(recordedSerials().size(), 5);
    EXPECT_EQ(recordedSerials().value(4), QString());
}

// A recorded run opened from Results History: its procedure and rows in the
// Executive View as the run left them, from files of their own.
TEST_F(PartTracing, ARecordedRunOpensAsAReport)
{
    ASSERT_TRUE(startMeter());
    ASSERT_TRUE(startApp(example(QStringLiteral("capacitor.pro"))));
    runLoops(QStringLiteral("3"));
    ASSERT_TRUE(Desktop::waitUntil([this] { return results()->rowCount() == 3 && !runActive(); }, 10000));
    QStringList cells;
    for (int r = 0; r < 3; ++r)
        cells << results()->joinedRow(r);
    const QStringList dates = results()->reportDates(), times = results()->reportTimes();
    // The table moves on: another run's rows below.
    runLoops(QStringLiteral("2"));
    ASSERT_TRUE(Desktop::waitUntil([this] { return results()->rowCount() == 5 && !runActive(); }, 10000));

    history()->historyAction()->trigger();
    ResultsHistoryWindow *w = history()->historyWindow();
    ASSERT_TRUE(w && w->isVisible());
    ASSERT_EQ(w->runsModel()->rowCount(), 2);
    GuiDriver::clickRow(w->runsView(), 1); // the older run
    ASSERT_TRUE(w->openReportButton()->isEnabled());
    w->openReportButton()->click();
    ASSERT_TRUE(Desktop::waitUntil([this] { return results()->rowCount() == 3; }, 10000)) << qPrintable(prompter.texts().join('|'));
    EXPECT_EQ(mainWindow()->currentView(), int(F::ExecutivePage));
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(results()->joinedRow(r), cells[r]) << r;
    EXPECT_EQ(results()->reportDates(), dates);
    EXPECT_EQ(results()->reportTimes(), times);
    EXPECT_EQ(app->procedureView()->procedureModel()->stepCount(), 6);
    EXPECT_TRUE(app->document()->pathName().endsWith(QLatin1String(".rpt"))) << qPrintable(app->document()->pathName());
    EXPECT_TRUE(app->document()->pathName().contains(QLatin1String("/reopened/"))) << qPrintable(app->document()->pathName());
}

// A recorded sweep chosen in Results History opens into the Plotter View
// with the points as the sweep listed them, after the list moved on.
TEST_F(PartTracing, ARecordedSweepOpensIntoThePlotterView)
{
    ASSERT_TRUE(startMeter());
    ASSERT_TRUE(startApp());
    trigger(F::ViewPlotter);
    app->plotter()->editText(PlotterState::Points, QStringLiteral("6"));
    GuiDriver::click(app->plotterView()->drawButton());
    ASSERT_TRUE(Desktop::waitUntil([this] { return app->plotter()->drawEnabled(); }, 10000));
    const PlotTableModel &table = app->plotter()->table();
    ASSERT_EQ(table.tableRowCount(), 6);
    QStringList listed;
    for (int r = 0; r < 6; ++r)
        listed << table.cell(r, 1) + QLatin1Char('|') + table.cell(r, 2);
    GuiDriver::click(app->plotterView()->stopResetButton());
    ASSERT_EQ(table.tableRowCount(), 0);

    history()->historyAction()->trigger();
    ResultsHistoryWindow *w = history()->historyWindow();
    ASSERT_TRUE(w && w->isVisible());
    Desktop::ModalAnswer<QInputDialog> choose([](QInputDialog *d) {
        EXPECT_EQ(d->comboBoxItems().size(), 1);
        EXPECT_TRUE(d->comboBoxItems().value(0).contains(QLatin1String("6 points"))) << qPrintable(d->comboBoxItems().value(0));
        d->accept();
    });
    w->openSweepButton()->click();
    ASSERT_TRUE(choose.seen());
    ASSERT_TRUE(Desktop::waitUntil([&] { return table.tableRowCount() == 6; }, 10000)) << qPrintable(prompter.texts().join('|'));
    EXPECT_EQ(mainWindow()->currentView(), int(F::PlotterPage));
    for (int r = 0; r < 6; ++r)
        EXPECT_EQ(table.cell(r, 1) + QLatin1Char('|') + table.cell(r, 2), listed[r]) << r;
    EXPECT_TRUE(app->document()->pathName().endsWith(QLatin1String("/sweep.pic"))) << qPrintable(app->document()->pathName());
}
