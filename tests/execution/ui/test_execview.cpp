// The Executive View page: what a fresh page shows, the loop edit, the
// controls that mirror the run state, the buttons and their arrangement.

#include "../../procedure/ui/GuiDriver.h"

#include "components/ui/Lamp.h"
#include "components/ui/PictureButton.h"
#include "components/ui/ProgressSlide.h"
#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "execution/ui/ExecutiveView.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <gtest/gtest.h>

namespace {

class ExecView : public ::testing::Test
{
protected:
    ResultTableModel results;
    ExecutionState state;
    ExecutiveView page{&results, &state};
    QList<int> sent; // the ids of the buttons clicked, as the page said them

    void SetUp() override
    {
        QObject::connect(&page, &ExecutiveView::runClicked, [this] { sent << 1023; });
        QObject::connect(&page, &ExecutiveView::emergencyStopClicked, [this] { sent << 1025; });
        QObject::connect(&page, &ExecutiveView::exportClicked, [this] { sent << 1030; });
        QObject::connect(&page, &ExecutiveView::removeAllClicked, [this] { sent << 1031; });
        page.resize(1000, 560);
        page.show();
    }
    QRect geometryOf(QWidget *w) { return QRect(w->mapTo(&page, QPoint(0, 0)), w->size()); }
};

} // namespace

TEST_F(ExecView, FreshPageShowsSeqLoopOneAndFullProgress)
{
    EXPECT_EQ(results.columnCount(), 1);
    EXPECT_EQ(page.resultTable()->model()->headerData(0, Qt::Horizontal).toString(), "Seq.");
    EXPECT_EQ(page.resultTable()->horizontalHeader()->sectionSize(0), 140);
    EXPECT_EQ(page.loopEdit()->text(), "1");
    EXPECT_EQ(page.loopCount(), 1);
    EXPECT_EQ(page.progress()->value(), 100.0);
    EXPECT_DOUBLE_EQ(page.progress()->fillFraction(), 1.0);
    EXPECT_TRUE(page.runButton()->isEnabled());
    EXPECT_EQ(page.findChild<QGroupBox *>(QStringLiteral("loopGroup"))->title(), "Loop");
    EXPECT_EQ(page.finishedLamp()->caption(), "finished");
    EXPECT_EQ(page.progress()->caption(), "Running Progress");

    const struct { QWidget *w; const char *caption; const char *picture; int id; } buttons[] = {
        {page.exportButton(), "Export to Excel", "excel", 1030}, {page.runButton(), "Run", "run", 1023},
        {page.removeAllButton(), "Remove all", "del", 1031}, {page.stopButton(), "Emergency Stop", "stop", 1025}};
    for (const auto &b : buttons) {
        auto *pb = qobject_cast<PictureButton *>(b.w);
        ASSERT_NE(pb, nullptr);
        EXPECT_EQ(pb->text(), b.caption);
        EXPECT_EQ(pb->picture(), b.picture);
        EXPECT_FALSE(pb->icon().isNull());
        EXPECT_EQ(pb->property("ctrlId").toInt(), b.id);
    }
}

TEST_F(ExecView, LoopEditTakesDigitsOnlyAndSetsTheLoopCount)
{
    GuiDriver::clearEdit(page.loopEdit());
    EXPECT_EQ(page.loopCount(), 0);
    GuiDriver::type(page.loopEdit(), "3a-5 ");
    EXPECT_EQ(page.loopEdit()->text(), "35");
    EXPECT_EQ(state.loopText(), "35");
    EXPECT_EQ(page.loopCount(), 35);

    // The sequencer counts down; a reload takes the edit's value again.
    state.setLoopCount(2);
    EXPECT_EQ(page.loopCount(), 2);
    page.reloadLoopCount();
    EXPECT_EQ(page.loopCount(), 35);

    // A loop text set from elsewhere (a loaded document, the command line) shows.
    state.setLoopText(QStringLiteral("7"));
    EXPECT_EQ(page.loopEdit()->text(), "7");
    EXPECT_EQ(page.loopCount(), 7);
}

TEST_F(ExecView, ControlsMirrorTheRunState)
{
    state.setProgress(0.0);
    EXPECT_EQ(page.progress()->value(), 0.0);
    state.addProgress(100.0 / 3.0);
    EXPECT_DOUBLE_EQ(page.progress()->value(), 100.0 / 3.0);
    state.setFinishedLamp(true);
    EXPECT_TRUE(page.finishedLamp()->value());
    state.setFinishedLamp(false);
    EXPECT_FALSE(page.finishedLamp()->value());

    state.setRunEnabled(false);
    EXPECT_FALSE(page.runButton()->isEnabled());
    GuiDriver::click(page.runButton());
    EXPECT_TRUE(sent.isEmpty());
    // The other buttons stay usable during a run.
    GuiDriver::click(page.stopButton());
    state.setRunEnabled(true);
    GuiDriver::click(page.runButton());
    EXPECT_EQ(sent, (QList<int>{1025, 1023}));
}

TEST_F(ExecView, EveryButtonSaysItsOwnCommand)
{
    GuiDriver::click(page.exportButton());
    GuiDriver::click(page.runButton());
    GuiDriver::click(page.removeAllButton());
    GuiDriver::click(page.stopButton());
    EXPECT_EQ(sent, (QList<int>{1030, 1023, 1031, 1025}));
}

TEST_F(ExecView, EveryInsertedRowReportsTheRowCount)
{
    QList<int> counts;
    QObject::connect(&page, &ExecutiveView::rowInserted, [&](int n) { counts << n; });
    results.setStepColumns({"C1", "P/F"});
    for (int i = 0; i < 3; ++i)
        results.appendRow({"120pF", "pass"}, ResultTableModel::Passed);
    EXPECT_EQ(counts, QList<int>({1, 2, 3}));
    results.removeAllRows();
    results.appendRow({"1pF", "fail"}, ResultTableModel::Failed);
    EXPECT_EQ(counts, QList<int>({1, 2, 3, 1}));
}

TEST_F(ExecView, ResultRowsShowTheirLampAndCells)
{
    results.setStepColumns({"C1", "P/F", "Q1", "P/F"});
    results.appendRow({"120pF", "pass", "3.2Q", "fail"}, ResultTableModel::Failed);
    results.appendRow({"121pF", "pass", "5Q", "pass"}, ResultTableModel::Passed);
    results.appendRow({"", "", "", ""}, ResultTableModel::Neutral);
    QHeaderView *h = page.resultTable()->horizontalHeader();
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(h->sectionSize(c), 140) << c;
    QAbstractItemModel *m = page.resultTable()->model();
    EXPECT_EQ(m->data(m->index(0, 0)).toString(), "1");
    EXPECT_EQ(m->data(m->index(1, 3)).toString(), "5Q");
    // The three lamps are three different pictures.
    QList<qint64> keys;
    for (int r = 0; r < 3; ++r) {
        const QIcon icon = m->data(m->index(r, 0), Qt::DecorationRole).value<QIcon>();
        ASSERT_FALSE(icon.isNull()) << r;
        keys << icon.pixmap(16, 16).toImage().cacheKey();
        EXPECT_EQ(icon.pixmap(16, 16).toImage().pixelColor(8, 8).isValid(), true);
    }
    const QColor failed = m->data(m->index(0, 0), Qt::DecorationRole).value<QIcon>().pixmap(16, 16).toImage().pixelColor(8, 9);
    const QColor passed = m->data(m->index(1, 0), Qt::DecorationRole).value<QIcon>().pixmap(16, 16).toImage().pixelColor(8, 9);
    EXPECT_GT(failed.red(), failed.green() + 80);
    EXPECT_GT(passed.green(), passed.red() + 80);
}

TEST_F(ExecView, ArrangementFollowsTheLegacyPage)
{
    const QRect table = geometryOf(page.resultTable());
    const QRect loop = geometryOf(page.findChild<QGroupBox *>(QStringLiteral("loopGroup")));
    const QRect exportB = geometryOf(page.exportButton());
    const QRect run = geometryOf(page.runButton());
    const QRect progress = geometryOf(page.progress());
    const QRect removeAll = geometryOf(page.removeAllButton());
    const QRect stop = geometryOf(page.stopButton());

    for (const QRect &r : {loop, exportB, run, progress, removeAll, stop})
        EXPECT_GT(r.top(), table.bottom());
    // Left to right on the lower line.
    EXPECT_LT(loop.right(), exportB.left());
    EXPECT_LT(exportB.right(), run.left());
    EXPECT_LT(run.right(), progress.left());
    EXPECT_LT(progress.right(), stop.left());
    EXPECT_NEAR(exportB.bottom(), stop.bottom(), 2);
    EXPECT_NEAR(run.bottom(), stop.bottom(), 2);
    // "Remove all" stands above "Emergency Stop".
    EXPECT_LT(removeAll.bottom(), stop.top());
    EXPECT_NEAR(removeAll.left(), stop.left(), 2);
    // The loop edit and lamp sit inside their group, edit above lamp.
    const QRect edit = geometryOf(page.loopEdit());
    const QRect lamp = geometryOf(page.finishedLamp());
    EXPECT_TRUE(loop.contains(edit));
    EXPECT_TRUE(loop.contains(lamp));
    EXPECT_LT(edit.bottom(), lamp.top());
    // Nothing is squeezed below what it needs.
    for (QWidget *w : {static_cast<QWidget *>(page.exportButton()), static_cast<QWidget *>(page.runButton()),
             static_cast<QWidget *>(page.removeAllButton()), static_cast<QWidget *>(page.stopButton()),
             static_cast<QWidget *>(page.progress()), static_cast<QWidget *>(page.finishedLamp())})
        EXPECT_GE(w->width(), w->minimumSizeHint().width()) << w->objectName().toStdString();

    // A larger page gives the room to the table.
    page.resize(1400, 900);
    EXPECT_GT(page.resultTable()->height(), table.height() + 300);
    EXPECT_GT(page.resultTable()->width(), table.width() + 350);
}
