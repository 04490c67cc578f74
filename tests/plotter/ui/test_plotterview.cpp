// The Plotter View page with its real widgets: what a fresh page shows, the
// setup rules as the operator meets them, the buttons, the check boxes, and
// a sweep's rows and curves arriving on screen.

#include "../../procedure/ui/GuiDriver.h"

#include "components/ui/Graph.h"
#include "components/ui/PictureButton.h"
#include "components/ui/ProgressSlide.h"
#include "plotter/PlotterCommands.h"
#include "plotter/PlotterState.h"
#include "plotter/SweepCollector.h"
#include "plotter/ui/PlotterView.h"

#include "../../support/RecordingPrompter.h"
#include "../../support/SweepRig.h"

#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineSeries>
#include <QTabBar>
#include <QTableView>
#include <QValueAxis>
#include <gtest/gtest.h>

#include <memory>

using S = PlotterState;
using namespace GuiDriver;

namespace {

class PlotPage : public ::testing::Test, protected PlotterBench
{
protected:
    QList<int> sent; // the ids of the buttons clicked, as the page said them
    std::unique_ptr<PlotterView> page;

    void SetUp() override
    {
        page = std::make_unique<PlotterView>(&state, &commands);
        // The commands carried out, as the program does.
        QObject::connect(page.get(), &PlotterView::drawClicked, [this] {
            sent << S::Draw;
            commands.draw();
        });
        QObject::connect(page.get(), &PlotterView::stopResetClicked, [this] {
            sent << S::StopReset;
            commands.stopReset();
        });
        QObject::connect(page.get(), &PlotterView::exportClicked, [this] { sent << S::ExportButton; });
        page->resize(1100, 700);
        page->show();
        QApplication::setActiveWindow(page.get());
    }
    template <typename T> T *ctl(int id) { return qobject_cast<T *>(page->control(id)); }
    QComboBox *combo(int id) { return ctl<QComboBox>(id); }
    QLineEdit *edit(int id) { return ctl<QLineEdit>(id); }
    QCheckBox *check(int id) { return ctl<QCheckBox>(id); }

    void retype(int id, const QString &text) { GuiDriver::retype(edit(id), text); }
};

} // namespace

TEST_F(PlotPage, AFreshPage)
{
    EXPECT_EQ(page->tabs()->count(), 2);
    EXPECT_EQ(page->tabs()->tabText(0), "Graph");
    EXPECT_EQ(page->tabs()->tabText(1), "Result");
    EXPECT_TRUE(page->graph()->isVisible());
    EXPECT_FALSE(page->resultList()->isVisible());
    EXPECT_EQ(items(combo(S::SweepKind)), QStringList({"Freq.", "Volt."}));
    EXPECT_EQ(combo(S::Speed)->currentText(), "MED");
    EXPECT_EQ(edit(S::Start)->text(), "20");
    EXPECT_EQ(edit(S::Points)->text(), "10");
    EXPECT_FALSE(edit(S::FixedFrequency)->isEnabled());
    EXPECT_FALSE(combo(S::FixedFrequencyUnit)->isEnabled());
    EXPECT_TRUE(edit(S::FixedLevel)->isEnabled());
    EXPECT_EQ(page->progress()->value(), 100.0);
    EXPECT_TRUE(page->drawButton()->isEnabled());
    EXPECT_EQ(page->drawButton()->text(), "Draw");
    EXPECT_EQ(page->stopResetButton()->text(), "Stop / Reset");
    EXPECT_EQ(page->exportButton()->text(), "Export to Excel");
    for (int id : {S::Line1, S::Line2, S::Line3, S::Line4, S::YAxisLock})
        EXPECT_TRUE(check(id)->isChecked()) << id;
    EXPECT_FALSE(check(S::Pointer)->isChecked());
    EXPECT_EQ(check(S::Line1)->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    EXPECT_EQ(check(S::Line3)->palette().color(QPalette::WindowText), QColor(128, 128, 0));
    EXPECT_EQ(check(S::Line3)->text(), "Line 3");
    EXPECT_EQ(page->resultList()->model()->headerData(1, Qt::Horizontal).toString(), "Frequence");
    EXPECT_EQ(page->resultList()->horizontalHeader()->defaultSectionSize(), 140);
    EXPECT_EQ(&state.graph(), static_cast<GraphSink *>(page->graph()));
    EXPECT_EQ(page->control(1047)->property("ctrlId").toInt(), 1047);
}

TEST_F(PlotPage, TabsSwapGraphAndList)
{
    page->tabs()->setCurrentIndex(1);
    EXPECT_TRUE(page->resultList()->isVisible());
    EXPECT_FALSE(page->graph()->isVisible());
    page->tabs()->setCurrentIndex(0);
    EXPECT_FALSE(page->resultList()->isVisible());
    EXPECT_TRUE(page->graph()->isVisible());
}

TEST_F(PlotPage, OperatorChangesReachTheStateAndComeBack)
{
    ASSERT_TRUE(choose(combo(S::SweepKind), "Volt."));
    EXPECT_EQ(edit(S::Start)->text(), "10");
    EXPECT_EQ(items(combo(S::SweepUnit)), QStringList({"mV", "V"}));
    EXPECT_TRUE(edit(S::FixedFrequency)->isEnabled());
    EXPECT_FALSE(combo(S::FixedLevelUnit)->isEnabled());
    EXPECT_EQ(page->resultList()->model()->headerData(1, Qt::Horizontal).toString(), "Voltage");

    ASSERT_TRUE(choose(combo(S::FirstItem), "Rdc"));
    EXPECT_EQ(items(combo(S::SweepKind)), QStringList({"Volt."}));
    EXPECT_FALSE(edit(S::FixedFrequency)->isEnabled());
    ASSERT_TRUE(choose(combo(S::FirstItem), "L"));
    EXPECT_EQ(items(combo(S::SweepKind)), QStringList({"Freq.", "Volt."}));
    ASSERT_TRUE(choose(combo(S::Circuit), "PAR"));
    EXPECT_EQ(items(combo(S::SecondItem)), QStringList({"off", "Q", "D", "R", "G"}));

    retype(S::End, "250");
    EXPECT_EQ(state.setup().end, 250);
    retype(S::Points, "7");
    EXPECT_EQ(state.text(S::Points), "7");
}

TEST_F(PlotPage, DrawChecksThePointsFirst)
{
    retype(S::Points, "1");
    click(page->drawButton());
    EXPECT_TRUE(sent.isEmpty());
    EXPECT_EQ(prompter.texts(), QStringList({"The value must over or equal 2 points"}));
    EXPECT_EQ(edit(S::Points)->text(), "2");
    EXPECT_TRUE(edit(S::Points)->hasFocus());
    retype(S::Points, "201");
    click(page->drawButton());
    EXPECT_EQ(prompter.texts().last(), "The value can't over 200 points");
    EXPECT_EQ(edit(S::Points)->text(), "200");
    EXPECT_TRUE(sent.isEmpty());
    retype(S::Points, "200");
    click(page->drawButton());
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0], 1061);
}

TEST_F(PlotPage, ButtonsSendTheirCommands)
{
    click(page->stopResetButton());
    click(page->exportButton());
    EXPECT_EQ(sent, (QList<int>{1062, 1063}));
}

TEST_F(PlotPage, ASweepShowsUpInTheListAndTheGraph)
{
    retype(S::Points, "3");
    click(page->drawButton());
    EXPECT_FALSE(page->drawButton()->isEnabled());
    EXPECT_FALSE(combo(S::FirstItem)->isEnabled());
    EXPECT_FALSE(edit(S::Start)->isEnabled());
    EXPECT_TRUE(combo(S::Speed)->isEnabled());
    EXPECT_EQ(page->progress()->minimum(), -20.0);
    EXPECT_EQ(page->progress()->maximum(), 100.0);
    finishSweep("1.234E-9");
    EXPECT_TRUE(page->drawButton()->isEnabled());
    QTableView *list = page->resultList();
    ASSERT_EQ(list->model()->rowCount(), 3);
    EXPECT_EQ(list->model()->headerData(2, Qt::Horizontal).toString(), "C1");
    EXPECT_EQ(list->model()->index(2, 1).data().toString(), "100.000000Hz");
    EXPECT_EQ(list->model()->index(0, 2).data().toString(), "1.234000nF");
    EXPECT_FALSE(list->model()->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_NEAR(page->progress()->value(), 100.0, 1e-4);
    page->graph()->flush();
    EXPECT_EQ(page->graph()->series(1)->count(), 3);
    EXPECT_EQ(page->graph()->axis(2)->titleText(), "\"nF\"");

    click(page->stopResetButton());
    EXPECT_EQ(list->model()->rowCount(), 0);
    EXPECT_EQ(list->model()->columnCount(), 2);
    EXPECT_EQ(page->graph()->series(1)->count(), 0);
    EXPECT_TRUE(combo(S::FirstItem)->isEnabled());
    EXPECT_EQ(page->progress()->value(), 100.0);
}

TEST_F(PlotPage, CheckBoxesActOnTheGraph)
{
    click(check(S::Line2));
    EXPECT_FALSE(page->graph()->series(2)->isVisible());
    EXPECT_FALSE(page->graph()->axis(3)->isVisible());
    EXPECT_TRUE(page->graph()->series(3)->isVisible());
    EXPECT_TRUE(page->graph()->axis(2)->isVisible());
    click(check(S::Pointer));
    EXPECT_TRUE(page->graph()->series(4)->pointsVisible());
    click(check(S::PrintMode));
    EXPECT_EQ(page->graph()->chart()->plotAreaBackgroundBrush().color(), QColor(Qt::white));
    EXPECT_EQ(page->graph()->series(1)->pen().color(), QColor(0, 128, 0));
    EXPECT_EQ(page->graph()->series(3)->pen().color(), QColor(128, 128, 0));
    click(check(S::PrintMode));
    EXPECT_EQ(page->graph()->series(1)->pen().color(), QColor(0, 255, 0));
}

TEST_F(PlotPage, RightButtonOnTheGraphRestoresTheRanges)
{
    retype(S::Points, "2");
    click(page->drawButton());
    finishSweep("5E-9");
    const double max = page->graph()->axisMaximum(2);
    page->graph()->setAxisMaximum(2, 1.0); // as after a zoom
    emit page->graph()->mouseReleased(1, 0, 10, 10);
    EXPECT_EQ(page->graph()->axisMaximum(2), 1.0);
    emit page->graph()->mouseReleased(2, 0, 10, 10);
    EXPECT_EQ(page->graph()->axisMaximum(2), max);
    EXPECT_EQ(page->graph()->axis(2)->max(), max);
}

TEST_F(PlotPage, CurvesOutliveThePage)
{
    retype(S::Points, "2");
    click(page->drawButton());
    finishSweep("5E-9");
    page.reset();
    EXPECT_EQ(&state.graph(), static_cast<GraphSink *>(&state.headlessGraph()));
    EXPECT_EQ(state.graph().pointCount(1), 2);
    EXPECT_EQ(state.graph().axisLabel(2), "\"nF\"");
    // A new page shows them again.
    PlotterView again(&state, &commands);
    EXPECT_EQ(again.graph()->series(1)->count(), 2);
}
