// The pages' button clicks reach the program's commands through one router:
// only with the click's dispatch id and only for the seven command ids.

#include "DesktopRig.h"

#include "app/ui/CommandRouter.h"
#include "components/ui/PictureButton.h"
#include "execution/ResultTableModel.h"
#include "execution/ui/CExecDlg.h"
#include "plotter/PlotterState.h"
#include "plotter/ui/CPlotDlg.h"
#include "procedure/ui/CQelView.h"

#include <QStackedWidget>

namespace {

const QList<int> kCommandIds = {1023, 1025, 1030, 1031, 1061, 1062, 1063};

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

TEST(CommandRouter, CallsTheHandlerOfAKnownIdOnlyWithTheClickDispatchId)
{
    CommandRouter router;
    QList<int> called;
    for (int id : kCommandIds + QList<int>{1024, 4242})
        router.setHandler(id, [&called, id] { called << id; });
    for (int id : kCommandIds + QList<int>{1024, 4242})
        EXPECT_EQ(router.route(id, -600), 0) << id;
    for (int dispatch : {0, 600, -601})
        EXPECT_EQ(router.route(1023, dispatch), 0);
    EXPECT_EQ(called, kCommandIds);

    // Ids without a handler are harmless.
    CommandRouter bare;
    for (int id : kCommandIds)
        EXPECT_EQ(bare.route(id, -600), 0);
}

TEST(CommandRouter, AHandlerMayReplaceItselfWhileItRuns)
{
    CommandRouter router;
    QStringList said;
    const QString first = QStringLiteral("first handler, after replacing itself");
    router.setHandler(1061, [&router, &said, first] {
        router.setHandler(1061, [&said] { said << QStringLiteral("second"); });
        // Its own captures are still in use after the replacement.
        said << first;
    });
    const auto send = router.sender();
    EXPECT_EQ(send(1061, -600), 0);
    EXPECT_EQ(send(1061, -600), 0);
    EXPECT_EQ(said, QStringList({first, QStringLiteral("second")}));
}

TEST_F(PageCommands, TheExecutivePageIsTheSecondPageAndItsClicksReachTheProgram)
{
    ASSERT_TRUE(startMeter()) << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp());
    CExecDlg *page = app->execDlg();
    ASSERT_NE(page, nullptr);
    auto *pages = frame()->findChild<QStackedWidget *>(QStringLiteral("pages"));
    ASSERT_NE(pages, nullptr);
    ASSERT_EQ(pages->count(), 3);
    EXPECT_EQ(pages->widget(0), app->view());
    EXPECT_EQ(pages->widget(1), page);
    EXPECT_EQ(pages->widget(2), app->plotDlg());
    EXPECT_EQ(page->resultModel(), &results());

    app->view()->addStep();
    addResultRow();
    addResultRow();
    trigger(CMainFrame::ExecutiveView);

    // Wrong dispatch ids reach nothing: no question, no run, no sweep.
    for (int id : kCommandIds)
        for (int dispatch : {0, 600, -601})
            EXPECT_EQ(app->router().route(id, dispatch), 0);
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
    trigger(CMainFrame::PlotterView);
    GuiDriver::click(app->plotDlg()->drawButton());
    EXPECT_FALSE(app->plotter()->drawEnabled());
    GuiDriver::click(app->plotDlg()->stopResetButton());
    EXPECT_TRUE(app->plotter()->drawEnabled());
    EXPECT_EQ(prompter.said.size(), 2) << qPrintable(prompter.texts().join('|'));
}
