// The main window's commands as the operator meets them: which are enabled
// or checked on each page and while a run or a sweep is going, through the
// menus' actions and through the keyboard.

#include "DesktopRig.h"

#include "components/ui/PictureButton.h"
#include "document/CQelDoc.h"
#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "execution/ui/CExecDlg.h"
#include "plotter/PlotterState.h"
#include "plotter/ui/CPlotDlg.h"
#include "procedure/ProcedureModel.h"
#include "procedure/ui/CQelView.h"
#include "reports/ui/ReportPrinting.h"

#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>

using F = CMainFrame;

namespace {

const QString kClearQuestion = QStringLiteral("Are you sure? All of the data will be lost on procedure and execute view");

class MainFrameCommands : public DesktopRig
{
protected:
    QWidget *shownPage() const { return frame()->findChild<QStackedWidget *>(QStringLiteral("pages"))->currentWidget(); }

    struct Checks
    {
        bool procedure, executive, plotter;
    };
    Checks checks() const
    {
        return {action(F::ProcedureView)->isChecked(), action(F::ExecutiveView)->isChecked(),
                action(F::PlotterView)->isChecked()};
    }
    bool enabled(int id) const { return action(id)->isEnabled(); }

    int steps() const { return app->view()->procedureModel()->stepCount(); }

    // The procedure and its first step, typed into the Procedure View and added.
    void addDefaultStep() { app->view()->addStep(); }
};

} // namespace

TEST_F(MainFrameCommands, ViewCommandsSwitchThePageAndMoveTheCheckMark)
{
    ASSERT_TRUE(startApp());
    EXPECT_EQ(frame()->currentView(), F::ProcedurePage);
    EXPECT_EQ(shownPage(), app->view());
    Checks c = checks();
    EXPECT_TRUE(c.procedure && !c.executive && !c.plotter);

    trigger(F::ExecutiveView);
    EXPECT_EQ(frame()->currentView(), F::ExecutivePage);
    EXPECT_EQ(shownPage(), app->execDlg());
    c = checks();
    EXPECT_TRUE(!c.procedure && c.executive && !c.plotter);

    trigger(F::PlotterView);
    EXPECT_EQ(frame()->currentView(), F::PlotterPage);
    EXPECT_EQ(shownPage(), app->plotDlg());
    c = checks();
    EXPECT_TRUE(!c.procedure && !c.executive && c.plotter);

    // Choosing the page already shown keeps it and its single check mark.
    trigger(F::PlotterView);
    c = checks();
    EXPECT_TRUE(!c.procedure && !c.executive && c.plotter);

    trigger(F::ProcedureView);
    EXPECT_EQ(frame()->currentView(), F::ProcedurePage);
    EXPECT_EQ(shownPage(), app->view());
    EXPECT_TRUE(app->view()->isVisible());
    EXPECT_FALSE(app->plotDlg()->isVisible());
}

TEST_F(MainFrameCommands, PrintingCommandsFollowThePageShown)
{
    ASSERT_TRUE(startApp());
    const int reportCommands[] = {F::FilePrint, F::FilePrintPreview, F::FilePrintSetup, F::ReportDescription};
    for (int page : {F::ProcedurePage, F::ExecutivePage, F::PlotterPage, F::ProcedurePage}) {
        frame()->showPage(page);
        for (int id : reportCommands)
            EXPECT_EQ(enabled(id), page == F::ExecutivePage) << "command " << id << " on page " << page;
        EXPECT_EQ(enabled(F::PrintGraph), page == F::PlotterPage) << "page " << page;
        EXPECT_EQ(enabled(F::FileNew), page == F::ProcedurePage) << "page " << page;
        // Nothing is running: every page can be reached from every page.
        EXPECT_TRUE(enabled(F::ProcedureView) && enabled(F::ExecutiveView) && enabled(F::PlotterView));
        EXPECT_TRUE(enabled(F::FileOpen));
    }
}

TEST_F(MainFrameCommands, EditCommandsStayDisabledAndTheToolbarKeepsItsOrder)
{
    ASSERT_TRUE(startApp());
    for (int page : {F::ProcedurePage, F::ExecutivePage, F::PlotterPage}) {
        frame()->showPage(page);
        for (int id : {F::EditUndo, F::EditCut, F::EditCopy, F::EditPaste})
            EXPECT_FALSE(enabled(id)) << id;
    }
    auto *bar = frame()->findChild<QToolBar *>(QStringLiteral("toolbar"));
    ASSERT_NE(bar, nullptr);
    QList<int> order;
    for (QAction *a : bar->actions())
        order << (a->isSeparator() ? 0 : a->data().toInt());
    EXPECT_EQ(order, (QList<int>{F::FileNew, F::FileOpen, F::FileSave, 0, F::EditCut, F::EditCopy, F::EditPaste, 0,
                                 F::FilePrint, F::AppAbout, 0, F::ProcedureView, F::ExecutiveView, F::PlotterView, 0,
                                 F::Communication}));
    // The bars can be hidden from the View menu and come back.
    trigger(F::ViewToolbar);
    EXPECT_FALSE(bar->isVisible());
    trigger(F::ViewToolbar);
    EXPECT_TRUE(bar->isVisible());
}

TEST_F(MainFrameCommands, CtrlNClearsOnlyOnTheProcedureView)
{
    ASSERT_TRUE(startApp(example(QStringLiteral("capacitor.pro")), false));
    ASSERT_EQ(steps(), 6);

    for (int page : {F::ExecutivePage, F::PlotterPage}) {
        frame()->showPage(page);
        EXPECT_FALSE(enabled(F::FileNew));
        Desktop::pressKey(frame(), Qt::Key_N, Qt::ControlModifier);
        trigger(F::FileNew);
        Desktop::settle();
        EXPECT_EQ(steps(), 6) << "page " << page;
        EXPECT_TRUE(prompter.said.isEmpty()) << qPrintable(prompter.texts().join('|'));
        EXPECT_EQ(frame()->currentView(), page);
    }

    // On the Procedure View the key asks first; Cancel keeps everything.
    frame()->showPage(F::ProcedurePage);
    prompter.answers = {false};
    Desktop::pressKey(frame(), Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(prompter.said[0].text, kClearQuestion);
    EXPECT_TRUE(prompter.said[0].question);
    EXPECT_EQ(steps(), 6);

    prompter.answers = {true};
    Desktop::pressKey(frame(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(prompter.said.size(), 2);
    EXPECT_EQ(steps(), 0);
    // The cleared document is named after the folder, the creation title and ".qel".
    EXPECT_TRUE(app->document()->pathName().endsWith(QStringLiteral("/.qel")))
        << qPrintable(app->document()->pathName());
    EXPECT_EQ(app->view()->resultModel()->columnCount(), 1);

    // An empty procedure is not asked about again.
    Desktop::pressKey(frame(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(prompter.said.size(), 2);
}

TEST_F(MainFrameCommands, SaveOnTheExecutiveViewNeedsAFolderAndNoPlotName)
{
    ASSERT_TRUE(startApp({}, false));
    frame()->showPage(F::ExecutivePage);
    EXPECT_FALSE(enabled(F::FileSave)) << "a new document has no path";
    frame()->showPage(F::ProcedurePage);
    EXPECT_TRUE(enabled(F::FileSave));
    frame()->showPage(F::PlotterPage);
    EXPECT_TRUE(enabled(F::FileSave));

    ASSERT_TRUE(app->openFile(example(QStringLiteral("capacitor.pro"))));
    frame()->showPage(F::ExecutivePage);
    EXPECT_TRUE(enabled(F::FileSave));

    ASSERT_TRUE(app->openFile(example(QStringLiteral("sweep.pic"))));
    EXPECT_FALSE(enabled(F::FileSave)) << qPrintable(app->document()->pathName());
    frame()->showPage(F::ProcedurePage);
    EXPECT_TRUE(enabled(F::FileSave));
    frame()->showPage(F::PlotterPage);
    EXPECT_TRUE(enabled(F::FileSave));

    // The keys follow the enabling: Ctrl+S on the Executive View with a plot
    // name opens no dialog and writes nothing.
    frame()->showPage(F::ExecutivePage);
    Desktop::ModalAnswer<QDialog> anyDialog([](QDialog *d) { d->reject(); });
    Desktop::pressKey(frame(), Qt::Key_S, Qt::ControlModifier);
    Desktop::settle(100);
    EXPECT_FALSE(anyDialog.seen());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

TEST_F(MainFrameCommands, PrintingCommandsOpenTheirDialogsAndCtrlPOnlyOnTheExecutiveView)
{
    ASSERT_TRUE(startApp(example(QStringLiteral("capacitor.pro")), false));
    QStringList opened;
    app->printing()->setDialogRunner([&](QDialog *d) {
        opened << QString::fromLatin1(d->metaObject()->className());
        return int(QDialog::Rejected);
    });
    frame()->showPage(F::ProcedurePage);
    Desktop::pressKey(frame(), Qt::Key_P, Qt::ControlModifier);
    frame()->showPage(F::PlotterPage);
    Desktop::pressKey(frame(), Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(opened.isEmpty()) << qPrintable(opened.join(','));

    frame()->showPage(F::ExecutivePage);
    Desktop::pressKey(frame(), Qt::Key_P, Qt::ControlModifier);
    trigger(F::FilePrintSetup);
    trigger(F::ReportDescription);
    EXPECT_EQ(opened, (QStringList{"QPrintDialog", "QPageSetupDialog", "CReptDlg"}));

    opened.clear();
    frame()->showPage(F::PlotterPage);
    trigger(F::PrintGraph);
    EXPECT_EQ(opened, (QStringList{"CPrtGraphDlg"}));
}

TEST_F(MainFrameCommands, TitleNamesTheDocument)
{
    ASSERT_TRUE(startApp({}, false));
    EXPECT_EQ(frame()->windowTitle(), QStringLiteral("Untitled - Qel"));
    ASSERT_TRUE(app->openFile(example(QStringLiteral("capacitor.pro"))));
    EXPECT_EQ(frame()->windowTitle(), QStringLiteral("capacitor.pro - Qel"));
    // A refused open leaves the title as it was.
    EXPECT_FALSE(app->openFile(dir.path() + QStringLiteral("/other_1.rpt")));
    EXPECT_EQ(frame()->windowTitle(), QStringLiteral("capacitor.pro - Qel"));
}

// --- with the simulated meter ---

TEST_F(MainFrameCommands, CommunicationIsCheckedWhileConnected)
{
    ASSERT_TRUE(startMeter()) << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp());
    EXPECT_TRUE(action(F::Communication)->isChecked());

    // A connected link is closed at once, without a dialog.
    {
        Desktop::ModalAnswer<QDialog> anyDialog([](QDialog *d) { d->reject(); });
        trigger(F::Communication);
        Desktop::settle(50);
        EXPECT_FALSE(anyDialog.seen());
    }
    EXPECT_FALSE(app->link().isOpen());
    EXPECT_FALSE(action(F::Communication)->isChecked());

    // Choosing it again shows the setup; OK connects to the device it names.
    Desktop::ModalAnswer<QDialog> ok([](QDialog *d) { d->accept(); });
    trigger(F::Communication);
    EXPECT_TRUE(ok.seen());
    ASSERT_TRUE(waitConnected());
    EXPECT_TRUE(action(F::Communication)->isChecked());
}

TEST_F(MainFrameCommands, ARunLocksThePageSwitchingUntilEmergencyStop)
{
    // The meter never answers a trigger, so the run stays in its first step.
    ASSERT_TRUE(startMeter({QStringLiteral("--component"), QStringLiteral("C=100n"), QStringLiteral("--drop-every"),
                            QStringLiteral("1")}))
        << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp(example(QStringLiteral("capacitor.pro"))));
    trigger(F::ExecutiveView);
    CExecDlg *page = app->execDlg();
    GuiDriver::click(page->runButton());
    ASSERT_FALSE(page->runButton()->isEnabled());
    ASSERT_TRUE(sim->waitForLog([](const QList<MeterSim::Entry> &log) {
        for (const MeterSim::Entry &e : log)
            if (e.kind == '>' && e.bytes == "MEAS:TRIG")
                return true;
        return false;
    }));

    EXPECT_FALSE(enabled(F::ProcedureView));
    EXPECT_FALSE(enabled(F::PlotterView));
    EXPECT_TRUE(enabled(F::ExecutiveView));
    EXPECT_TRUE(action(F::ExecutiveView)->isChecked());
    EXPECT_FALSE(enabled(F::FileOpen)) << "a load would empty the pages under the run";
    auto *recent = frame()->findChild<QMenu *>(QStringLiteral("recentMenu"));
    ASSERT_NE(recent, nullptr);
    ASSERT_FALSE(recent->actions().isEmpty());
    for (QAction *a : recent->actions())
        EXPECT_FALSE(a->isEnabled()) << qPrintable(a->text());
    // A disabled command cannot be reached by its menu item either.
    trigger(F::ProcedureView);
    trigger(F::PlotterView);
    EXPECT_EQ(frame()->currentView(), F::ExecutivePage);
    EXPECT_EQ(shownPage(), page);
    // Ctrl+O is refused too.
    Desktop::ModalAnswer<QDialog> anyDialog([](QDialog *d) { d->reject(); });
    Desktop::pressKey(frame(), Qt::Key_O, Qt::ControlModifier);
    Desktop::settle(50);
    EXPECT_FALSE(anyDialog.seen());

    GuiDriver::click(page->stopButton());
    EXPECT_TRUE(page->runButton()->isEnabled());
    EXPECT_TRUE(enabled(F::ProcedureView));
    EXPECT_TRUE(enabled(F::PlotterView));
    EXPECT_TRUE(enabled(F::FileOpen));
    for (QAction *a : recent->actions())
        EXPECT_TRUE(a->isEnabled()) << qPrintable(a->text());
    trigger(F::PlotterView);
    EXPECT_EQ(frame()->currentView(), F::PlotterPage);
    EXPECT_TRUE(prompter.said.isEmpty()) << qPrintable(prompter.texts().join('|'));
}

TEST_F(MainFrameCommands, ASweepLocksThePageSwitchingUntilStopReset)
{
    ASSERT_TRUE(startMeter({QStringLiteral("--component"), QStringLiteral("C=100n"), QStringLiteral("--drop-every"),
                            QStringLiteral("1")}))
        << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp());
    trigger(F::PlotterView);
    CPlotDlg *page = app->plotDlg();
    GuiDriver::click(page->drawButton());
    ASSERT_FALSE(app->plotter()->drawEnabled());

    EXPECT_FALSE(enabled(F::ProcedureView));
    EXPECT_FALSE(enabled(F::ExecutiveView));
    EXPECT_TRUE(enabled(F::PlotterView));
    EXPECT_TRUE(action(F::PlotterView)->isChecked());
    EXPECT_TRUE(enabled(F::PrintGraph));
    EXPECT_FALSE(enabled(F::FileOpen));
    trigger(F::ExecutiveView);
    EXPECT_EQ(frame()->currentView(), F::PlotterPage);

    GuiDriver::click(page->stopResetButton());
    EXPECT_TRUE(app->plotter()->drawEnabled());
    EXPECT_TRUE(enabled(F::ProcedureView));
    EXPECT_TRUE(enabled(F::ExecutiveView));
    trigger(F::ExecutiveView);
    EXPECT_EQ(frame()->currentView(), F::ExecutivePage);
}

TEST_F(MainFrameCommands, ARunOnOnePageDoesNotLockTheOtherPagesCommands)
{
    // The Executive View's run only locks switching away from the Executive View.
    ASSERT_TRUE(startMeter({QStringLiteral("--component"), QStringLiteral("C=100n"), QStringLiteral("--drop-every"),
                            QStringLiteral("1")}))
        << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp(example(QStringLiteral("capacitor.pro"))));
    trigger(F::ExecutiveView);
    GuiDriver::click(app->execDlg()->runButton());
    ASSERT_FALSE(app->view()->executionState()->runEnabled());
    // The page is shown by the program (as after an open), not by the operator.
    frame()->showPage(F::PlotterPage);
    EXPECT_TRUE(enabled(F::ExecutiveView));
    EXPECT_TRUE(enabled(F::ProcedureView)) << "the run is not on the page shown";
    frame()->showPage(F::ExecutivePage);
    GuiDriver::click(app->execDlg()->stopButton());
}

TEST_F(MainFrameCommands, ClosingTheWindowClosesThePort)
{
    ASSERT_TRUE(startMeter()) << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp());
    ASSERT_TRUE(app->link().isOpen());
    frame()->close();
    EXPECT_FALSE(app->link().isOpen());
    EXPECT_FALSE(app->link().isConnected());
    // The meter sees the line hang up and is free for the next program.
    CQelApp::Options o;
    o.device = sim->devicePath();
    RecordingPrompter other;
    CQelApp second(o, &other);
    second.session().connector().setIdentificationDelay(200);
    ASSERT_TRUE(second.start());
    EXPECT_TRUE(Desktop::waitUntil([&] { return !second.session().connector().isIdentifying(); }) && second.link().isConnected())
        << qPrintable(other.texts().join('|'));
}

TEST_F(MainFrameCommands, ExitClosesTheWindowAndThePort)
{
    ASSERT_TRUE(startMeter()) << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp());
    trigger(F::AppExit);
    EXPECT_FALSE(frame()->isVisible());
    EXPECT_FALSE(app->link().isOpen());
}


TEST_F(MainFrameCommands, EveryRunPutsTheEditorsInsertionRowBackToTheTop)
{
    ASSERT_TRUE(startMeter()) << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp());
    auto *freq = app->view()->findChild<QLineEdit *>(QStringLiteral("freqEdit"));
    ASSERT_NE(freq, nullptr);
    freq->setText(QStringLiteral("1"));
    addDefaultStep();
    ASSERT_EQ(app->view()->currentStep(), 1);

    // A one-step run: the sequencer's own step never leaves 0.
    trigger(F::ExecutiveView);
    CExecDlg *page = app->execDlg();
    GuiDriver::click(page->runButton());
    ASSERT_TRUE(Desktop::waitUntil([page] { return page->runButton()->isEnabled(); }, 10000));
    ASSERT_EQ(app->view()->resultModel()->rowCount(), 1);
    EXPECT_EQ(app->view()->currentStep(), 0);

    // So "Add / Insert" puts the next step in front of the first.
    trigger(F::ProcedureView);
    freq->setText(QStringLiteral("7"));
    addDefaultStep();
    ASSERT_EQ(steps(), 2);
    EXPECT_TRUE(app->view()->procedureModel()->text(0, ProcedureStep::Freq).startsWith("7"));
    EXPECT_TRUE(app->view()->procedureModel()->text(1, ProcedureStep::Freq).startsWith("1"));
    // Only the usual question before a step changes a procedure with results.
    EXPECT_EQ(prompter.said.size(), 1) << qPrintable(prompter.texts().join('|'));
}

TEST_F(MainFrameCommands, TheStatusBarShowsTheHintAndTheToolbarTheTooltip)
{
    ASSERT_TRUE(startApp({}, false));
    QMenu *file = frame()->menuBar()->findChildren<QMenu *>().value(0);
    for (QMenu *m : frame()->menuBar()->findChildren<QMenu *>())
        if (m->title() == QStringLiteral("&File"))
            file = m;
    ASSERT_NE(file, nullptr);
    file->popup(frame()->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(Desktop::waitUntil([file] { return file->isVisible(); }, 2000));
    // The pointer moves onto File > New, as a hand on the mouse would.
    const QPoint onNew = file->actionGeometry(action(F::FileNew)).center();
    QMouseEvent move(QEvent::MouseMove, QPointF(onNew), QPointF(file->mapToGlobal(onNew)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(file, &move);
    Desktop::settle();
    EXPECT_EQ(frame()->statusBar()->currentMessage(), QStringLiteral("Create a new document"));
    file->close();

    auto *bar = frame()->findChild<QToolBar *>(QStringLiteral("toolbar"));
    ASSERT_NE(bar, nullptr);
    const struct { int id; const char *tip; } tips[] = {
        {F::FileNew, "New"}, {F::FileOpen, "Open"}, {F::FileSave, "Save"}, {F::FilePrint, "Print"},
        {F::AppAbout, "About"}, {F::EditCut, "Cut"}};
    for (const auto &t : tips) {
        QWidget *button = bar->widgetForAction(action(t.id));
        ASSERT_NE(button, nullptr) << t.tip;
        EXPECT_EQ(button->toolTip(), QString::fromLatin1(t.tip));
        EXPECT_FALSE(action(t.id)->statusTip().contains(QLatin1Char('\n'))) << t.tip;
    }
    EXPECT_EQ(action(F::FileSaveAs)->statusTip(), QStringLiteral("Save the active document with a new name"));
}
