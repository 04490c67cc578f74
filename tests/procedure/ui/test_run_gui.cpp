// Whole runs driven through the real pages: the procedure typed into the
// Procedure View, Run and Emergency Stop clicked on the Executive View (its
// clicks taken to the run commands as the program takes them), the simulated meter on a
// pseudo-terminal at the other end.

#include "../../support/MeterSim.h"
#include "../../support/RunRig.h"
#include "ViewFixture.h"

#include "components/ui/Lamp.h"
#include "components/ui/PictureButton.h"
#include "components/ui/ProgressSlide.h"
#include "execution/ui/ExecutiveView.h"
#include "procedure/ui/ProcedureView.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include <gtest/gtest.h>

namespace {

// The Procedure View and the Executive View over the run layer, connected
// to the simulated meter.
class RunGui : public ::testing::Test, protected RunRig, protected ProcedureViewControls
{
protected:
    RunGui() : RunRig(Meter::OnDevice) {}

    void SetUp() override
    {
        view.resize(1280, 760);
        view.show();
        QObject::connect(page, &ExecutiveView::runClicked, [this] { commands.run(); });
        QObject::connect(page, &ExecutiveView::emergencyStopClicked, [this] { commands.emergencyStop(); });
        ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
        ASSERT_TRUE(connectMeter(sim.devicePath()));
    }
    ProcedureView &shownView() override { return view; }

    // Two capacitor steps of 100 nF at 1 kHz and 2 kHz, typed as an operator would.
    void enterProcedure(const QString &firstDelay = QStringLiteral("0"))
    {
        choose("firstUnitCombo", "nF");
        typeInto("firstStdEdit", "100");
        typeInto("freqEdit", "1");
        choose("freqUnitCombo", "KHz");
        typeInto("delayEdit", firstDelay);
        add();
        typeInto("freqEdit", "2");
        typeInto("delayEdit", "0");
        add();
        ASSERT_EQ(procedure.stepCount(), 2);
    }

    void showExecutiveView()
    {
        page->resize(1000, 560);
        page->show();
    }

    void setLoops(const QString &text)
    {
        GuiDriver::retype(page->loopEdit(), text);
    }

    QString shown(int row, int column) const
    {
        return page->resultTable()->model()->index(row, column).data().toString();
    }

    MeterSim sim{{"--component", "C=100n"}};
    ProcedureView view{procedure, results, exec, &prompter};
    ExecutiveView execPage{&results, &exec};
    ExecutiveView *page = &execPage;
};

} // namespace

TEST_F(RunGui, RunButtonMeasuresEveryPassIntoTheTable)
{
    enterProcedure();
    showExecutiveView();
    setLoops("2");
    ASSERT_EQ(page->loopCount(), 2);
    QList<int> rowsInserted;
    QObject::connect(page, &ExecutiveView::rowInserted, [&](int n) { rowsInserted << n; });

    GuiDriver::click(page->runButton());
    EXPECT_FALSE(page->runButton()->isEnabled());
    EXPECT_FALSE(page->finishedLamp()->value());
    EXPECT_DOUBLE_EQ(page->progress()->value(), 0.0);

    ASSERT_TRUE(MeterSim::waitUntil([this] { return page->runButton()->isEnabled(); }, 10000));
    EXPECT_TRUE(page->finishedLamp()->value());
    EXPECT_NEAR(page->progress()->value(), 100.0, 1e-9);
    EXPECT_EQ(page->loopCount(), 2);
    EXPECT_EQ(rowsInserted, (QList<int>{1, 2}));

    QAbstractItemModel *table = page->resultTable()->model();
    ASSERT_EQ(table->rowCount(), 2);
    ASSERT_EQ(table->columnCount(), 5);
    EXPECT_EQ(table->headerData(1, Qt::Horizontal).toString(), "C1");
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(shown(row, 0), QString::number(row + 1));
        EXPECT_EQ(shown(row, 1), "100nF");
        EXPECT_EQ(shown(row, 2), "pass");
        EXPECT_EQ(shown(row, 3), "100nF");
        EXPECT_EQ(shown(row, 4), "pass");
    }
    EXPECT_TRUE(prompter.said.isEmpty()) << qPrintable(prompter.texts().join('|'));

    // The run's closing *LOC may still be on its way to the simulator.
    ASSERT_TRUE(MeterSim::waitUntil([this] { return sim.commands().mid(2).contains("*LOC"); }));
    const QList<QByteArray> cmds = sim.commands().mid(2);
    EXPECT_EQ(cmds.count("MEAS:TRIG"), 4);
    EXPECT_EQ(cmds.count("*LOC"), 1);
    EXPECT_EQ(cmds.last(), "*LOC");
}

TEST_F(RunGui, EveryNewRowIsScrolledIntoView)
{
    enterProcedure();
    showExecutiveView();
    setLoops("40");
    QTableView *table = page->resultTable();
    // Checked as each row arrives, while the run goes on.
    int hidden = 0;
    QObject::connect(page, &ExecutiveView::rowInserted, [&](int n) {
        const QRect row = table->visualRect(table->model()->index(n - 1, 0));
        hidden += table->viewport()->rect().contains(row) ? 0 : 1;
    });
    GuiDriver::click(page->runButton());
    ASSERT_TRUE(MeterSim::waitUntil([this] { return page->runButton()->isEnabled(); }, 20000));
    ASSERT_EQ(table->model()->rowCount(), 40);
    EXPECT_EQ(hidden, 0);
    const QRect last = table->visualRect(table->model()->index(39, 0));
    EXPECT_TRUE(table->viewport()->rect().contains(last));
    EXPECT_FALSE(table->viewport()->rect().intersects(table->visualRect(table->model()->index(0, 0))))
        << "forty rows do not fit: the first has scrolled away";
}

TEST_F(RunGui, EmergencyStopButtonEndsAPassWithoutARow)
{
    enterProcedure(QStringLiteral("500"));
    showExecutiveView();
    GuiDriver::click(page->runButton());
    ASSERT_TRUE(MeterSim::waitUntil([this] { return sequencer.currentStep() == 1; }));

    GuiDriver::click(page->stopButton());
    EXPECT_TRUE(page->runButton()->isEnabled());
    EXPECT_TRUE(page->finishedLamp()->value());
    EXPECT_DOUBLE_EQ(page->progress()->value(), 100.0);
    const qsizetype sent = sim.commands().size();
    MeterSim::waitUntil([] { return false; }, 700);
    EXPECT_EQ(sim.commands().size(), sent);
    EXPECT_EQ(page->resultTable()->model()->rowCount(), 0);
}

TEST_F(RunGui, RunButtonRefusesWithoutAConnectionThenWithoutSteps)
{
    showExecutiveView();
    connector.disconnectFromMeter();
    GuiDriver::click(page->runButton());
    EXPECT_EQ(commands.lastRefusal(), "Not connect yet. Please setup and modify the communication status.");
    ASSERT_TRUE(connectMeter());
    GuiDriver::click(page->runButton());
    EXPECT_EQ(commands.lastRefusal(), "No procedure in \"Procedure View\". Please edit your procedure in it.");
    EXPECT_TRUE(page->runButton()->isEnabled());
    EXPECT_EQ(page->resultTable()->model()->rowCount(), 0);
    EXPECT_TRUE(prompter.said.isEmpty()) << qPrintable(prompter.texts().join('|'));
}
