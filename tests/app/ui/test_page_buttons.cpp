// The pages' buttons reach the program's commands.

#include "DesktopRig.h"

#include "components/ui/PictureButton.h"
#include "execution/ResultTableModel.h"
#include "execution/ui/ExecutiveView.h"
#include "plotter/PlotterState.h"
#include "plotter/ui/PlotterView.h"
#include "procedure/ui/ProcedureView.h"

#include <QStackedWidget>

namespace {

class PageCommands : public DesktopRig
{
protected:
    ResultTableModel &results() { return app->session().results(); }
    void addResultRow()
    {
        const int row = results().appendRow({QStringLiteral("120pF"), QStringLiteral("pass")}, ResultTableModel::Passed);
        results().setRowDateTime(row, QStringLiteral("2012/3/7/"), QStringLiteral("9:5:3"));
    }
    int meterTriggers() const { return int(sim->commands().count("MEAS:TRIG")); }
};

} // namespace

TEST_F(PageCommands, TheExecutivePageIsTheSecondPageAndItsClicksReachTheProgram)
{
    ASSERT_TRUE(startMeter()) << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp());
    ExecutiveView *page = app->executiveView();
    ASSERT_NE(page, nullptr);
    auto *pages = mainWindow()->findChild<QStackedWidget *>(QStringLiteral("pages"));
    ASSERT_NE(pages, nullptr);
    ASSERT_EQ(pages->count(), 3);
    EXPECT_EQ(pages->widget(0), app->procedureView());
    EXPECT_EQ(pages->widget(1), page);
    EXPECT_EQ(pages->widget(2), app->plotterView());
    EXPECT_EQ(page->resultModel(), &results());

    app->procedureView()->addStep();
    addResultRow();
    addResultRow();
    trigger(MainWindow::ViewExecutive);

    // Showing the page asks nothing, runs nothing, sweeps nothing.
    Desktop::settle(50);
    EXPECT_TRUE(prompter.said.isEmpty()) << qPrintable(prompter.texts().join('|'));
    EXPECT_EQ(results().resultCount(), 2);
    EXPECT_TRUE(page->runButton()->isEnabled());
    EXPECT_TRUE(app->plotter()->drawEnabled());
    EXPECT_EQ(meterTriggers(), 0);

    // "Remove all" asks first and empties the table only when answered OK.
    prompter.answers = {false};
    GuiDriver::click(page->removeAllButton());
    EXPECT_EQ(prompter.texts(), QStringList({"Are you sure?"}));
    EXPECT_EQ(results().resultCount(), 2);
    prompter.answers = {true};
    GuiDriver::click(page->removeAllButton());
    EXPECT_EQ(prompter.said.size(), 2);
    EXPECT_EQ(results().resultCount(), 0);

    // Run measures the step once.
    GuiDriver::click(page->runButton());
    ASSERT_TRUE(Desktop::waitUntil([page] { return page->runButton()->isEnabled(); }, 10000));
    EXPECT_EQ(results().resultCount(), 1);
    EXPECT_EQ(meterTriggers(), 1);

    // Draw on the Plotter View starts a sweep; Stop/Reset ends it.
    trigger(MainWindow::ViewPlotter);
    GuiDriver::click(app->plotterView()->drawButton());
    EXPECT_FALSE(app->plotter()->drawEnabled());
    GuiDriver::click(app->plotterView()->stopResetButton());
    EXPECT_TRUE(app->plotter()->drawEnabled());
    EXPECT_EQ(prompter.said.size(), 2) << qPrintable(prompter.texts().join('|'));
}
