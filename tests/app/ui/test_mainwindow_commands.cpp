// The main window's commands as the operator meets them: which are enabled
// or checked on each page and while a run or a sweep is going, through the
// menus' actions and through the keyboard.

#include "DesktopRig.h"

#include "components/ui/PictureButton.h"
#include "document/Document.h"
#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "execution/ui/ExecutiveView.h"
#include "plotter/PlotterState.h"
#include "plotter/ui/PlotterView.h"
#include "procedure/ProcedureModel.h"
#include "procedure/ui/ProcedureView.h"
#include "reports/ui/ReportPrinting.h"

#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>

using F = MainWindow;

namespace {

const QString kClearQuestion = QStringLiteral("Are you sure? All of the data will be lost on procedure and execute view");

class MainWindowCommands : public DesktopRig
{
protected:
    QWidget *shownPage() const { return mainWindow()->findChild<QStackedWidget *>(QStringLiteral("pages"))->currentWidget(); }

    struct Checks
    {
        bool procedure, executive, plotter;
    };
    Checks checks() const
    {
        return {action(F::ViewProcedure)->isChecked(), action(F::ViewExecutive)->isChecked(),
                action(F::ViewPlotter)->isChecked()};
    }
    bool enabled(int id) const { return action(id)->isEnabled(); }

    int steps() const { return app->procedureView()->procedureModel()->stepCount(); }

    // The procedure and its first step, typed into the Procedure View and added.
    void addDefaultStep() { app->procedureView()->addStep(); }
};

} // namespace

TEST_F(MainWindowCommands, ViewCommandsSwitchThePageAndMoveTheCheckMark)
{
    ASSERT_TRUE(startApp());
    EXPECT_EQ(mainWindow()->currentView(), F::ProcedurePage);
    EXPECT_EQ(shownPage(), app->procedureView());
    Checks c = checks();
    EXPECT_TRUE(c.procedure && !c.executive && !c.plotter);

    trigger(F::ViewExecutive);
    EXPECT_EQ(mainWindow()->currentView(), F::ExecutivePage);
    EXPECT_EQ(shownPage(), app->executiveView());
    c = checks();
    EXPECT_TRUE(!c.procedure && c.executive && !c.plotter);

    trigger(F::ViewPlotter);
    EXPECT_EQ(mainWindow()->currentView(), F::PlotterPage);
    EXPECT_EQ(shownPage(), app->plotterView());
    c = checks();
    EXPECT_TRUE(!c.procedure && !c.executive && c.plotter);

    // Choosing the page already shown keeps it and its single check mark.
    trigger(F::ViewPlotter);
    c = checks();
    EXPECT_TRUE(!c.procedure && !c.executive && c.plotter);

    trigger(F::ViewProcedure);
    EXPECT_EQ(mainWindow()->currentView(), F::ProcedurePage);
    EXPECT_EQ(shownPage(), app->procedureView());
    EXPECT_TRUE(app->procedureView()->isVisible());
    EXPECT_FALSE(app->plotterView()->isVisible());
}

TEST_F(MainWindowCommands, PrintingCommandsFollowThePageShown)
{
    ASSERT_TRUE(startApp());
    const int reportCommands[] = {F::FilePrint, F::FilePrintPreview, F::FilePrintSetup, F::ReportDescription};
    for (int page : {F::ProcedurePage, F::ExecutivePage, F::PlotterPage, F::ProcedurePage}) {
        mainWindow()->showPage(page);
        for (int id : reportCommands)
            EXPECT_EQ(enabled(id), page == F::ExecutivePage) << "command " << id << " on page " << page;
        EXPECT_EQ(enabled(F::PrintGraph), page == F::PlotterPage) << "page " << page;
        EXPECT_EQ(enabled(F::FileNew), page == F::ProcedurePage) << "page " << page;
        // Nothing is running: every page can be reached from every page.
        EXPECT_TRUE(enabled(F::ViewProcedure) && enabled(F::ViewExecutive) && enabled(F::ViewPlotter));
        EXPECT_TRUE(enabled(F::FileOpen));
    }
}

TEST_F(MainWindowCommands, EditCommandsStayDisabledAndTheToolbarKeepsItsOrder)
{
    ASSERT_TRUE(startApp());
    for (int page : {F::ProcedurePage, F::ExecutivePage, F::PlotterPage}) {
        mainWindow()->showPage(page);
        for (int id : {F::EditUndo, F::EditCut, F::EditCopy, F::EditPaste})
            EXPECT_FALSE(enabled(id)) << id;
    }
    auto *bar = mainWindow()->findChild<QToolBar *>(QStringLiteral("toolbar"));
    ASSERT_NE(bar, nullptr);
    QList<int> order;
    for (QAction *a : bar->actions())
        order << (a->isSeparator() ? 0 : a->data().toInt());
    EXPECT_EQ(order, (QList<int>{F::FileNew, F::FileOpen, F::FileSave, 0, F::EditCut, F::EditCopy, F::EditPaste, 0,
                                 F::FilePrint, F::AppAbout, 0, F::ViewProcedure, F::ViewExecutive, F::ViewPlotter, 0,
                                 F::Communication}));
    // The bars can be hidden from the View menu and come back.
    trigger(F::ViewToolbar);
    EXPECT_FALSE(bar->isVisible());
    trigger(F::ViewToolbar);
    EXPECT_TRUE(bar->isVisible());
}

TEST_F(MainWindowCommands, CtrlNClearsOnlyOnTheProcedureView)
{
    ASSERT_TRUE(startApp(example(QStringLiteral("capacitor.pro")), false));
    ASSERT_EQ(steps(), 6);

    for (int page : {F::ExecutivePage, F::PlotterPage}) {
        mainWindow()->showPage(page);
        EXPECT_FALSE(enabled(F::FileNew));
        Desktop::pressKey(mainWindow(), Qt::Key_N, Qt::ControlModifier);
        trigger(F::FileNew);
        Desktop::settle();
        EXPECT_EQ(steps(), 6) << "page " << page;
        EXPECT_TRUE(prompter.said.isEmpty()) << qPrintable(prompter.texts().join('|'));
        EXPECT_EQ(mainWindow()->currentView(), page);
    }

    // On the Procedure View the key asks first; Cancel keeps everything.
    mainWindow()->showPage(F::ProcedurePage);
    prompter.answers = {false};
    Desktop::pressKey(mainWindow(), Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(prompter.said[0].text, kClearQuestion);
    EXPECT_TRUE(prompter.said[0].question);
    EXPECT_EQ(steps(), 6);

    prompter.answers = {true};
    Desktop::pressKey(mainWindow(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(prompter.said.size(), 2);
    EXPECT_EQ(steps(), 0);
    // The cleared document is named after the folder, the creation title and ".qel".
    EXPECT_TRUE(app->document()->pathName().endsWith(QStringLiteral("/.qel")))
        << qPrintable(app->document()->pathName());
    EXPECT_EQ(app->procedureView()->resultModel()->columnCount(), 1);

    // An empty procedure is not asked about again.
    Desktop::pressKey(mainWindow(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(prompter.said.size(), 2);
}

TEST_F(MainWindowCommands, SaveOnTheExecutiveViewNeedsAFolderAndNoPlotName)
{
    ASSERT_TRUE(startApp({}, false));
    mainWindow()->showPage(F::ExecutivePage);
    EXPECT_FALSE(enabled(F::FileSave)) << "a new document has no path";
    mainWindow()->showPage(F::ProcedurePage);
    EXPECT_TRUE(enabled(F::FileSave));
    mainWindow()->showPage(F::PlotterPage);
    EXPECT_TRUE(enabled(F::FileSave));

    ASSERT_TRUE(app->openFile(example(QStringLiteral("capacitor.pro"))));
    mainWindow()->showPage(F::ExecutivePage);
    EXPECT_TRUE(enabled(F::FileSave));

    ASSERT_TRUE(app->openFile(example(QStringLiteral("sweep.pic"))));
    EXPECT_FALSE(enabled(F::FileSave)) << qPrintable(app->document()->pathName());
    mainWindow()->showPage(F::ProcedurePage);
    EXPECT_TRUE(enabled(F::FileSave));
    mainWindow()->showPage(F::PlotterPage);
    EXPECT_TRUE(enabled(F::FileSave));

    // The keys follow the enabling: Ctrl+S on the Executive View with a plot
    // name opens no dialog and writes nothing.
    mainWindow()->showPage(F::ExecutivePage);
    Desktop::ModalAnswer<QDialog> anyDialog([](QDialog *d) { d->reject(); });
    Desktop::pressKey(mainWindow(), Qt::Key_S, Qt::ControlModifier);
    Desktop::settle(100);
    EXPECT_FALSE(anyDialog.seen());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

TEST_F(MainWindowCommands, PrintingCommandsOpenTheirDialogsAndCtrlPOnlyOnTheExecutiveView)
{
    ASSERT_TRUE(startApp(example(QStringLiteral("capacitor.pro")), false));
    QStringList opened;
    app->printing()->setDialogRunner([&](QDialog *d) {
        opened << QString::fromLatin1(d->metaObject()->className());
        return int(QDialog::Rejected);
    });
    mainWindow()->showPage(F::ProcedurePage);
    Desktop::pressKey(mainWindow(), Qt::Key_P, Qt::ControlModifier);
    mainWindow()->showPage(F::PlotterPage);
    Desktop::pressKey(mainWindow(), Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(opened.isEmpty()) << qPrintable(opened.join(','));

    mainWindow()->showPage(F::ExecutivePage);
    Desktop::pressKey(mainWindow(), Qt::Key_P, Qt::ControlModifier);
    trigger(F::FilePrintSetup);
    trigger(F::ReportDescription);
    EXPECT_EQ(opened, (QStringList{"QPrintDialog", "QPageSetupDialog", "ReportDescriptionDialog"}));

    opened.clear();
    mainWindow()->showPage(F::PlotterPage);
    trigger(F::PrintGraph);
    EXPECT_EQ(opened, (QStringList{"PrintGraphDialog"}));
}

TEST_F(MainWindowCommands, TitleNamesTheDocument)
{
    ASSERT_TRUE(startApp({}, false));
    EXPECT_EQ(mainWindow()->windowTitle(), QStringLiteral("Untitled - Qel"));
    ASSERT_TRUE(app->openFile(example(QStringLiteral("capacitor.pro"))));
    EXPECT_EQ(mainWindow()->windowTitle(), QStringLiteral("capacitor.pro - Qel"));
    // A refused open leaves the title as it was.
    EXPECT_FALSE(app->openFile(dir.path() + QStringLiteral("/other_1.rpt")));
    EXPECT_EQ(mainWindow()->windowTitle(), QStringLiteral("capacitor.pro - Qel"));
}

// --- with the simulated meter ---

TEST_F(MainWindowCommands, CommunicationIsCheckedWhileConnected)
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

TEST_F(MainWindowCommands, ARunLocksThePageSwitchingUntilEmergencyStop)
{
    // The meter never answers a trigger, so the run stays in its first step.
    ASSERT_TRUE(startMeter({QStringLiteral("--component"), QStringLiteral("C=100n"), QStringLiteral("--drop-every"),
                            QStringLiteral("1")}))
        << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp(example(QStringLiteral("capacitor.pro"))));
    trigger(F::ViewExecutive);
    ExecutiveView *page = app->executiveView();
    GuiDriver::click(page->runButton());
    ASSERT_FALSE(page->runButton()->isEnabled());
    ASSERT_TRUE(sim->waitForLog([](const QList<MeterSim::Entry> &log) {
        for (const MeterSim::Entry &e : log)
            if (e.kind == '>' && e.bytes == "MEAS:TRIG")
                return true;
        return false;
    }));

    EXPECT_FALSE(enabled(F::ViewProcedure));
    EXPECT_FALSE(enabled(F::ViewPlotter));
    EXPECT_TRUE(enabled(F::ViewExecutive));
    EXPECT_TRUE(action(F::ViewExecutive)->isChecked());
    EXPECT_FALSE(enabled(F::FileOpen)) << "a load would empty the pages under the run";
    auto *recent = mainWindow()->findChild<QMenu *>(QStringLiteral("recentMenu"));
    ASSERT_NE(recent, nullptr);
    ASSERT_FALSE(recent->actions().isEmpty());
    for (QAction *a : recent->actions())
        EXPECT_FALSE(a->isEnabled()) << qPrintable(a->text());
    // A disabled command cannot be reached by its menu item either.
    trigger(F::ViewProcedure);
    trigger(F::ViewPlotter);
    EXPECT_EQ(mainWindow()->currentView(), F::ExecutivePage);
    EXPECT_EQ(shownPage(), page);
    // Ctrl+O is refused too.
    Desktop::ModalAnswer<QDialog> anyDialog([](QDialog *d) { d->reject(); });
    Desktop::pressKey(mainWindow(), Qt::Key_O, Qt::ControlModifier);
    Desktop::settle(50);
    EXPECT_FALSE(anyDialog.seen());

    GuiDriver::click(page->stopButton());
    EXPECT_TRUE(page->runButton()->isEnabled());
    EXPECT_TRUE(enabled(F::ViewProcedure));
    EXPECT_TRUE(enabled(F::ViewPlotter));
    EXPECT_TRUE(enabled(F::FileOpen));
    for (QAction *a : recent->actions())
        EXPECT_TRUE(a->isEnabled()) << qPrintable(a->text());
    trigger(F::ViewPlotter);
    EXPECT_EQ(mainWindow()->currentView(), F::PlotterPage);
    EXPECT_TRUE(prompter.said.isEmpty()) << qPrintable(prompter.texts().join('|'));
}

TEST_F(MainWindowCommands, ASweepLocksThePageSwitchingUntilStopReset)
{
    ASSERT_TRUE(startMeter({QStringLiteral("--component"), QStringLiteral("C=100n"), QStringLiteral("--drop-every"),
                            QStringLiteral("1")}))
        << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp());
    trigger(F::ViewPlotter);
    PlotterView *page = app->plotterView();
    GuiDriver::click(page->drawButton());
    ASSERT_FALSE(app->plotter()->drawEnabled());

    EXPECT_FALSE(enabled(F::ViewProcedure));
    EXPECT_FALSE(enabled(F::ViewExecutive));
    EXPECT_TRUE(enabled(F::ViewPlotter));
    EXPECT_TRUE(action(F::ViewPlotter)->isChecked());
    EXPECT_TRUE(enabled(F::PrintGraph));
    EXPECT_FALSE(enabled(F::FileOpen));
    trigger(F::ViewExecutive);
    EXPECT_EQ(mainWindow()->currentView(), F::PlotterPage);

    GuiDriver::click(page->stopResetButton());
    EXPECT_TRUE(app->plotter()->drawEnabled());
    EXPECT_TRUE(enabled(F::ViewProcedure));
    EXPECT_TRUE(enabled(F::ViewExecutive));
    trigger(F::ViewExecutive);
    EXPECT_EQ(mainWindow()->currentView(), F::ExecutivePage);
}

TEST_F(MainWindowCommands, ARunOnOnePageDoesNotLockTheOtherPagesCommands)
{
    // The Executive View's run only locks switching away from the Executive View.
    ASSERT_TRUE(startMeter({QStringLiteral("--component"), QStringLiteral("C=100n"), QStringLiteral("--drop-every"),
                            QStringLiteral("1")}))
        << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp(example(QStringLiteral("capacitor.pro"))));
    trigger(F::ViewExecutive);
    GuiDriver::click(app->executiveView()->runButton());
    ASSERT_FALSE(app->procedureView()->executionState()->runEnabled());
    // The page is shown by the program (as after an open), not by the operator.
    mainWindow()->showPage(F::PlotterPage);
    EXPECT_TRUE(enabled(F::ViewExecutive));
    EXPECT_TRUE(enabled(F::ViewProcedure)) << "the run is not on the page shown";
    mainWindow()->showPage(F::ExecutivePage);
    GuiDriver::click(app->executiveView()->stopButton());
}

TEST_F(MainWindowCommands, ClosingTheWindowClosesThePort)
{
    ASSERT_TRUE(startMeter()) << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp());
    ASSERT_TRUE(app->link().isOpen());
    mainWindow()->close();
    EXPECT_FALSE(app->link().isOpen());
    EXPECT_FALSE(app->link().isConnected());
    // The meter sees the line hang up and is free for the next program.
    DesktopApp::Options o;
    o.device = sim->devicePath();
    RecordingPrompter other;
    DesktopApp second(o, &other);
    second.session().connector().setIdentificationDelay(200);
    ASSERT_TRUE(second.start());
    EXPECT_TRUE(Desktop::waitUntil([&] { return !second.session().connector().isIdentifying(); }) && second.link().isConnected())
        << qPrintable(other.texts().join('|'));
}

TEST_F(MainWindowCommands, ExitClosesTheWindowAndThePort)
{
    ASSERT_TRUE(startMeter()) << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp());
    trigger(F::AppExit);
    EXPECT_FALSE(mainWindow()->isVisible());
    EXPECT_FALSE(app->link().isOpen());
}

TEST_F(MainWindowCommands, EveryRunPutsTheEditorsInsertionRowBackToTheTop)
{
    ASSERT_TRUE(startMeter()) << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp());
    auto *freq = app->procedureView()->findChild<QLineEdit *>(QStringLiteral("freqEdit"));
    ASSERT_NE(freq, nullptr);
    freq->setText(QStringLiteral("1"));
    addDefaultStep();
    ASSERT_EQ(app->procedureView()->currentStep(), 1);

    // A one-step run: the sequencer's own step never leaves 0.
    trigger(F::ViewExecutive);
    ExecutiveView *page = app->executiveView();
    GuiDriver::click(page->runButton());
    ASSERT_TRUE(Desktop::waitUntil([page] { return page->runButton()->isEnabled(); }, 10000));
    ASSERT_EQ(app->procedureView()->resultModel()->rowCount(), 1);
    EXPECT_EQ(app->procedureView()->currentStep(), 0);

    // So "Add / Insert" puts the next step in front of the first.
    trigger(F::ViewProcedure);
    freq->setText(QStringLiteral("7"));
    addDefaultStep();
    ASSERT_EQ(steps(), 2);
    EXPECT_TRUE(app->procedureView()->procedureModel()->text(0, ProcedureStep::Freq).startsWith("7"));
    EXPECT_TRUE(app->procedureView()->procedureModel()->text(1, ProcedureStep::Freq).startsWith("1"));
    // Only the usual question before a step changes a procedure with results.
    EXPECT_EQ(prompter.said.size(), 1) << qPrintable(prompter.texts().join('|'));
}

TEST_F(MainWindowCommands, TheStatusBarShowsTheHintAndTheToolbarTheTooltip)
{
    ASSERT_TRUE(startApp({}, false));
    QMenu *file = mainWindow()->menuBar()->findChildren<QMenu *>().value(0);
    for (QMenu *m : mainWindow()->menuBar()->findChildren<QMenu *>())
        if (m->title() == QStringLiteral("&File"))
            file = m;
    ASSERT_NE(file, nullptr);
    file->popup(mainWindow()->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(Desktop::waitUntil([file] { return file->isVisible(); }, 2000));
    // The pointer moves onto File > New, as a hand on the mouse would.
    const QPoint onNew = file->actionGeometry(action(F::FileNew)).center();
    QMouseEvent move(QEvent::MouseMove, QPointF(onNew), QPointF(file->mapToGlobal(onNew)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(file, &move);
    Desktop::settle();
    EXPECT_EQ(mainWindow()->statusBar()->currentMessage(), QStringLiteral("Create a new document"));
    file->close();

    auto *bar = mainWindow()->findChild<QToolBar *>(QStringLiteral("toolbar"));
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
