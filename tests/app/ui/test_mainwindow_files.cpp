// File commands of the main window: Open keeps the page shown, Save proposes
// names in the document's folder, the recent-file list lives in the user's
// settings, and the title follows the document.

#include "DesktopRig.h"

#include "components/ui/Lamp.h"
#include "components/ui/PictureButton.h"
#include "components/ui/ProgressSlide.h"
#include "document/Document.h"
#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "execution/ui/ExecutiveView.h"
#include "plotter/PlotterState.h"
#include "plotter/ui/PlotterView.h"
#include "procedure/ProcedureModel.h"
#include "procedure/ui/ProcedureView.h"
#include "reports/ReportDescription.h"
#include "reports/ui/ReportDescriptionDialog.h"
#include "reports/ui/ReportPrinting.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>

using F = MainWindow;

namespace {

class MainWindowFiles : public DesktopRig
{
protected:
    QWidget *shownPage() const { return mainWindow()->findChild<QStackedWidget *>(QStringLiteral("pages"))->currentWidget(); }

    // Runs File Open (by the menu or by Ctrl+O) and picks `path` in the dialog;
    // an empty path cancels. Returns the folder the dialog started in.
    QString openThroughDialog(const QString &path, bool byKey = false)
    {
        QString startFolder;
        Desktop::ModalAnswer<QFileDialog> answer([&](QFileDialog *d) {
            startFolder = d->directory().absolutePath();
            if (path.isEmpty()) {
                d->reject();
                return;
            }
            Desktop::chooseFile(d, path);
        });
        if (byKey)
            Desktop::pressKey(mainWindow(), Qt::Key_O, Qt::ControlModifier);
        else
            trigger(F::FileOpen);
        Desktop::settle();
        EXPECT_TRUE(answer.seen()) << "no file dialog";
        return startFolder;
    }

    // Runs File Save; a Save As dialog, if one opens, is answered with its
    // proposal (or cancelled). Returns the proposal, empty when none opened.
    QString saveThroughDialog(bool acceptProposal = true)
    {
        QString proposed;
        Desktop::ModalAnswer<QFileDialog> answer([&](QFileDialog *d) {
            proposed = d->selectedFiles().value(0);
            if (acceptProposal)
                static_cast<QDialog *>(d)->accept();
            else
                d->reject();
        });
        trigger(F::FileSave);
        Desktop::settle();
        return proposed;
    }

    QStringList recentMenuTexts() const
    {
        QStringList out;
        if (auto *m = mainWindow()->findChild<QMenu *>(QStringLiteral("recentMenu")))
            for (QAction *a : m->actions())
                if (a->isEnabled())
                    out << a->text();
        return out;
    }

    int steps() const { return app->procedureView()->procedureModel()->stepCount(); }
    int resultRows() const { return app->procedureView()->resultModel()->rowCount(); }
    int plotRows() const { return app->plotter()->table().tableRowCount(); }

    static QByteArray bytesOf(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    void fixClock() { app->document()->setClock([] { return QDateTime(QDate(2026, 12, 6), QTime(9, 5)); }); }
};

} // namespace

TEST_F(MainWindowFiles, OpenWhileThePlotterViewIsShownKeepsItShown)
{
    ASSERT_TRUE(startApp({}, false));
    trigger(F::ViewPlotter);
    const QString pic = example(QStringLiteral("sweep.pic"));
    openThroughDialog(pic);
    EXPECT_EQ(mainWindow()->currentView(), F::PlotterPage);
    EXPECT_EQ(shownPage(), app->plotterView());
    EXPECT_TRUE(app->plotterView()->isVisible());
    EXPECT_TRUE(action(F::ViewPlotter)->isChecked());
    EXPECT_GT(plotRows(), 0);
    EXPECT_EQ(app->document()->pathName(), pic);

    // By the key as well, and with a procedure file.
    const QString pro = example(QStringLiteral("capacitor.pro"));
    openThroughDialog(pro, true);
    EXPECT_EQ(mainWindow()->currentView(), F::PlotterPage);
    EXPECT_EQ(shownPage(), app->plotterView());
    EXPECT_EQ(steps(), 6);
    EXPECT_TRUE(prompter.said.isEmpty()) << qPrintable(prompter.texts().join('|'));
}

TEST_F(MainWindowFiles, OpenOnTheExecutiveViewShowsTheLoadedRowsThere)
{
    const QString pro = example(QStringLiteral("capacitor.pro"));
    const QString rpt = example(QStringLiteral("capacitor_202612695.rpt"));
    ASSERT_TRUE(startApp(pro, false));
    trigger(F::ViewExecutive);
    // The dialog starts in the document's folder.
    EXPECT_EQ(openThroughDialog(rpt), QFileInfo(pro).absolutePath());
    EXPECT_EQ(mainWindow()->currentView(), F::ExecutivePage);
    EXPECT_EQ(shownPage(), app->executiveView());
    EXPECT_GT(resultRows(), 0);
    EXPECT_EQ(mainWindow()->windowTitle(), QStringLiteral("capacitor_202612695.rpt - Qel"));
}

TEST_F(MainWindowFiles, ARefusedOrCancelledOpenKeepsThePageAndTheData)
{
    ASSERT_TRUE(startApp({}, false));
    trigger(F::ViewExecutive);
    openThroughDialog(QString());
    EXPECT_EQ(mainWindow()->currentView(), F::ExecutivePage);
    EXPECT_EQ(shownPage(), app->executiveView());

    // A report before any procedure is refused with the file warning.
    openThroughDialog(example(QStringLiteral("capacitor_202612695.rpt")));
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(prompter.said[0].caption, QStringLiteral("Warning"));
    EXPECT_EQ(prompter.said[0].text, QStringLiteral("Can't open the file."));
    EXPECT_EQ(prompter.said[0].icon, Prompter::Icon::Error);
    EXPECT_EQ(mainWindow()->currentView(), F::ExecutivePage);
    EXPECT_EQ(resultRows(), 0);
    EXPECT_EQ(mainWindow()->windowTitle(), QStringLiteral("Untitled - Qel"));
}

TEST_F(MainWindowFiles, SaveOnTheExecutiveViewProposesATimeStampedReportBesideTheProcedure)
{
    const QString pro = example(QStringLiteral("capacitor.pro"));
    ASSERT_TRUE(startApp(pro, false));
    fixClock();
    trigger(F::ViewExecutive);
    const QString expected = dir.path() + QStringLiteral("/capacitor_202612695.rpt");
    EXPECT_EQ(saveThroughDialog(), expected);
    EXPECT_TRUE(QFileInfo::exists(expected));
    EXPECT_EQ(app->document()->pathName(), expected);
    EXPECT_EQ(mainWindow()->windowTitle(), QStringLiteral("capacitor_202612695.rpt - Qel"));
    // No rows yet: the empty report layout.
    EXPECT_EQ(bytesOf(expected), QByteArray("\0\0\0\0\0\0\0\0\0\0", 10));

    // Saving it again on the same page is the same name: written at once, no dialog.
    EXPECT_EQ(saveThroughDialog(), QString());
    EXPECT_TRUE(prompter.said.isEmpty()) << qPrintable(prompter.texts().join('|'));
}

TEST_F(MainWindowFiles, SaveOnTheOtherPagesFollowsTheNameShown)
{
    const QString pro = example(QStringLiteral("capacitor.pro"));
    ASSERT_TRUE(startApp(pro, false));
    fixClock();
    // The Plotter View turns the procedure name into a plot name.
    trigger(F::ViewPlotter);
    EXPECT_EQ(saveThroughDialog(false), dir.path() + QStringLiteral("/capacitor.pic"));
    EXPECT_FALSE(QFileInfo::exists(dir.path() + QStringLiteral("/capacitor.pic")));

    // From a report, the Procedure View proposes the procedure of its stem,
    // and writes the same bytes the procedure was read from.
    const QString rpt = example(QStringLiteral("capacitor_202612695.rpt"));
    ASSERT_TRUE(app->openFile(rpt));
    trigger(F::ViewProcedure);
    const QByteArray original = bytesOf(pro);
    QFile::remove(pro);
    EXPECT_EQ(saveThroughDialog(), pro);
    EXPECT_EQ(bytesOf(pro), original);
}

TEST_F(MainWindowFiles, SaveAsWritesTheTypeOfTheChosenName)
{
    ASSERT_TRUE(startApp(example(QStringLiteral("capacitor.pro")), false));
    const QString copy = dir.path() + QStringLiteral("/copy.pro");
    Desktop::ModalAnswer<QFileDialog> answer([&](QFileDialog *d) {
        Desktop::chooseFile(d, copy);
    });
    trigger(F::FileSaveAs);
    Desktop::settle();
    ASSERT_TRUE(answer.seen());
    EXPECT_EQ(bytesOf(copy), bytesOf(dir.path() + QStringLiteral("/capacitor.pro")));
    EXPECT_EQ(mainWindow()->windowTitle(), QStringLiteral("copy.pro - Qel"));
    EXPECT_EQ(DesktopApp::recentFiles().value(0), copy);
}

TEST_F(MainWindowFiles, RecentFilesAreKeptInTheUsersSettingsNewestFirstUpToFour)
{
    ASSERT_TRUE(startApp({}, false));
    // The list lives in the sandboxed configuration folder, never the tester's own.
    const QString settingsFile =
        QSettings(QStringLiteral("Local AppWizard-Generated Applications"), QStringLiteral("Qel")).fileName();
    EXPECT_TRUE(settingsFile.startsWith(settingsSandbox.configHome())) << qPrintable(settingsFile);
    EXPECT_TRUE(DesktopApp::recentFiles().isEmpty());

    QStringList opened;
    for (const QString &name : {QStringLiteral("a.pro"), QStringLiteral("b.pro"), QStringLiteral("c.pro"),
                                QStringLiteral("d.pro"), QStringLiteral("e.pro")}) {
        const QString path = dir.path() + QLatin1Char('/') + name;
        QFile::copy(qelSourceDir() + QStringLiteral("/examples/capacitor.pro"), path);
        ASSERT_TRUE(app->openFile(path)) << qPrintable(name);
        opened.prepend(path);
    }
    EXPECT_EQ(DesktopApp::recentFiles(), opened.mid(0, 4));
    EXPECT_EQ(recentMenuTexts(), (QStringList{"&1 e.pro", "&2 d.pro", "&3 c.pro", "&4 b.pro"}));
    EXPECT_TRUE(QFileInfo::exists(settingsFile));

    // Opening one again moves it to the top without a duplicate.
    ASSERT_TRUE(app->openFile(opened[2]));
    EXPECT_EQ(DesktopApp::recentFiles(), (QStringList{opened[2], opened[0], opened[1], opened[3]}));

    // A new program start reads the same list.
    app.reset();
    ASSERT_TRUE(startApp({}, false));
    EXPECT_EQ(recentMenuTexts(), (QStringList{"&1 c.pro", "&2 e.pro", "&3 d.pro", "&4 b.pro"}));
}

TEST_F(MainWindowFiles, ARecentFileOpensAndThePageShownStays)
{
    const QString pic = example(QStringLiteral("sweep.pic"));
    const QString pro = example(QStringLiteral("capacitor.pro"));
    ASSERT_TRUE(startApp(pic, false));
    ASSERT_TRUE(app->openFile(pro));
    ASSERT_EQ(recentMenuTexts(), (QStringList{"&1 capacitor.pro", "&2 sweep.pic"}));
    trigger(F::ViewPlotter);

    auto *menu = mainWindow()->findChild<QMenu *>(QStringLiteral("recentMenu"));
    ASSERT_NE(menu, nullptr);
    menu->actions().at(1)->trigger();
    Desktop::settle();
    EXPECT_EQ(app->document()->pathName(), pic);
    EXPECT_EQ(mainWindow()->currentView(), F::PlotterPage);
    EXPECT_EQ(shownPage(), app->plotterView());
    EXPECT_EQ(mainWindow()->windowTitle(), QStringLiteral("sweep.pic - Qel"));
}

TEST_F(MainWindowFiles, ClearingNamesTheDocumentInItsFolderAndListsIt)
{
    const QString pro = example(QStringLiteral("capacitor.pro"));
    ASSERT_TRUE(startApp({}, false));
    ASSERT_TRUE(app->openFile(pro));
    trigger(F::FileNew);
    EXPECT_EQ(steps(), 0);
    EXPECT_EQ(app->document()->pathName(), dir.path() + QStringLiteral("/Untitled.qel"));
    EXPECT_EQ(mainWindow()->windowTitle(), QStringLiteral("Untitled - Qel"));
    EXPECT_EQ(DesktopApp::recentFiles().value(0), dir.path() + QStringLiteral("/Untitled.qel"));
    // The file on disk is untouched.
    EXPECT_EQ(bytesOf(pro), bytesOf(qelSourceDir() + QStringLiteral("/examples/capacitor.pro")));
}

TEST_F(MainWindowFiles, AFileOpenedAtStartUpConnectsOnceAndTheMeterIsIdentifiedOnce)
{
    ASSERT_TRUE(startMeter());
    ASSERT_TRUE(startApp(example(QStringLiteral("capacitor.pro"))));
    EXPECT_EQ(app->procedureView()->procedureModel()->stepCount(), 6);
    ASSERT_TRUE(sim->waitForCommands(2));
    Desktop::settle(300);
    EXPECT_EQ(sim->commands(), (QList<QByteArray>{"*IDN?", "*LOC"}));
}

TEST_F(MainWindowFiles, SaveAskedForAnotherExistingFileAsksBeforeReplacingIt)
{
    const QString pro = example(QStringLiteral("capacitor.pro"));
    const QString rpt = example(QStringLiteral("capacitor_202612695.rpt"));
    ASSERT_TRUE(startApp(pro, false));
    ASSERT_TRUE(app->openFile(rpt));
    // From the report, the Procedure View proposes the procedure beside it,
    // which exists and is not the document's own file.
    trigger(F::ViewProcedure);
    QFile::remove(pro);
    {
        QFile f(pro);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }

    QString proposed;
    QStringList questions;
    QTimer answers;
    answers.setInterval(10);
    bool replace = false;
    int askedBefore = 0;
    QObject::connect(&answers, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            questions << box->text();
            box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
        } else if (auto *d = qobject_cast<QFileDialog *>(modal)) {
            if (proposed.isEmpty()) {
                proposed = d->selectedFiles().value(0);
                askedBefore = int(questions.size());
                // Accepted outside this timer, which must still answer the
                // question the acceptance opens.
                QTimer::singleShot(0, d, [d] { static_cast<QDialog *>(d)->accept(); });
            } else if (questions.size() > askedBefore) {
                d->reject(); // back in the dialog after "No"
            }
        }
    });
    answers.start();
    trigger(F::FileSave);
    Desktop::settle();
    EXPECT_EQ(proposed, pro);
    ASSERT_EQ(questions.size(), 1) << "no question before replacing " << qPrintable(pro);
    EXPECT_TRUE(questions[0].contains(QStringLiteral("already exists")));
    EXPECT_EQ(bytesOf(pro), QByteArray("keep me"));
    EXPECT_EQ(app->document()->pathName(), rpt);

    // Yes replaces it.
    proposed.clear();
    replace = true;
    trigger(F::FileSave);
    Desktop::settle();
    answers.stop();
    EXPECT_EQ(questions.size(), 2);
    EXPECT_EQ(app->document()->pathName(), pro);
    EXPECT_EQ(bytesOf(pro), bytesOf(qelSourceDir() + QStringLiteral("/examples/capacitor.pro")));
}

TEST_F(MainWindowFiles, OpeningAReportCountsItsRowsAndStartsTheExecutiveViewAfresh)
{
    const QString pro = example(QStringLiteral("capacitor.pro"));
    const QString rpt = example(QStringLiteral("capacitor_202612695.rpt"));
    ASSERT_TRUE(startApp(pro, false));
    trigger(F::ViewExecutive);
    // As a finished run leaves the page, with a loop count typed in.
    ExecutiveView *page = app->executiveView();
    GuiDriver::retype(page->loopEdit(), QStringLiteral("40"));
    app->procedureView()->executionState()->setProgress(37.5);
    app->procedureView()->executionState()->setFinishedLamp(true);
    ASSERT_EQ(page->loopCount(), 40);

    openThroughDialog(rpt);
    ASSERT_GT(resultRows(), 1);
    EXPECT_EQ(page, app->executiveView());
    EXPECT_EQ(page->loopEdit()->text(), QStringLiteral("1"));
    EXPECT_EQ(page->loopCount(), 1);
    EXPECT_DOUBLE_EQ(page->progress()->value(), 100.0);
    EXPECT_FALSE(page->finishedLamp()->value());
    EXPECT_TRUE(page->runButton()->isEnabled());

    // The report's sampling count is the table's row count, in the dialog
    // and in what is printed.
    EXPECT_EQ(app->printing()->description()->sampling(), QString::number(resultRows()));
    QString shown;
    Desktop::ModalAnswer<ReportDescriptionDialog> answer([&](ReportDescriptionDialog *d) {
        if (auto *edit = d->findChild<QLineEdit *>(QStringLiteral("edit1043")))
            shown = edit->text();
        d->reject();
    });
    trigger(F::ReportDescription);
    Desktop::settle();
    ASSERT_TRUE(answer.seen());
    EXPECT_EQ(shown, QString::number(resultRows()));
    EXPECT_TRUE(prompter.said.isEmpty()) << qPrintable(prompter.texts().join('|'));
}
