// A misbehaving meter met through the whole desktop program: a reply that
// never comes, dirty or acknowledged replies, and a meter that hangs up in
// the middle of a run or a sweep.
// Whatever the meter does, the window keeps working, completed rows and
// points stay, and the operator can connect again.

#include "../../support/LinkProbe.h"
#include "DesktopRig.h"

#include "components/ui/Lamp.h"
#include "components/ui/PictureButton.h"
#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "execution/ui/ExecutiveView.h"
#include "measurement/PassEvaluator.h"
#include "meter/ui/CommunicationDialog.h"
#include "plotter/PlotterState.h"
#include "plotter/ui/PlotterView.h"
#include "procedure/ProcedureModel.h"
#include "procedure/ui/ProcedureView.h"

#include <QComboBox>
#include <QLineEdit>

using F = MainWindow;
using S = PlotterState;

namespace {

const QString kLostDuringRun = QStringLiteral("The connection to the meter was lost during the run");
const QString kLostDuringSweep = QStringLiteral("The connection to the meter was lost during the sweep");

QStringList meterArgs(const QStringList &faults)
{
    return QStringList{QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05")} + faults;
}

class DesktopFaults : public DesktopRig
{
protected:
    int triggers() const { return int(sim->commands().count("MEAS:TRIG")); }

    // One step with the editor's starting values, and the Executive View shown.
    void oneStepProcedureOnTheExecutiveView(const QString &loops)
    {
        app->procedureView()->addStep();
        ASSERT_EQ(app->procedureView()->procedureModel()->stepCount(), 1);
        trigger(F::ViewExecutive);
        GuiDriver::retype(execPage()->loopEdit(), loops);
    }

    void clickRun() { GuiDriver::click(execPage()->runButton()); }
    bool waitRunEnded(int ms = 10000) { return Desktop::waitUntil([this] { return !runActive(); }, ms); }

    // Setup > Communication with the dialog answered: the device typed, then OK.
    void reconnectThroughTheMenu(const QString &device)
    {
        ASSERT_FALSE(app->link().isConnected());
        Desktop::ModalAnswer<CommunicationDialog> answer([&](CommunicationDialog *d) {
            d->deviceBox()->setEditText(device);
            d->okButton()->click();
        });
        trigger(F::Communication);
        ASSERT_TRUE(answer.seen());
        ASSERT_TRUE(waitConnected()) << qPrintable(prompter.texts().join('|'));
        EXPECT_TRUE(action(F::Communication)->isChecked());
    }

    // Every message said so far that contains `part`.
    int saidContaining(const QString &part) const
    {
        int n = 0;
        for (const RecordingPrompter::Said &s : prompter.said)
            n += s.text.contains(part) ? 1 : 0;
        return n;
    }

    // The row each pass should give: its reply line as the meter sent it,
    // less the NUL bytes the link drops, judged by the rules.
    QStringList expectedCells(const QByteArray &line) const
    {
        QByteArray clean = line;
        clean.replace('\0', QByteArray());
        return PassEvaluator::evaluate(app->procedureView()->procedureModel()->steps(), {clean}).cells;
    }

    // The rows of the result table as their joined strings.
    QStringList rows() const
    {
        QStringList out;
        for (int r = 0; r < results()->rowCount(); ++r)
            out << results()->joinedRow(r);
        return out;
    }
};

} // namespace

TEST_F(DesktopFaults, ADroppedReplyLeavesTheRunWaitingUntilEmergencyStopAndTheNextRunWorks)
{
    ASSERT_TRUE(startMeter(meterArgs({QStringLiteral("--drop-every"), QStringLiteral("2")})))
        << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp());
    oneStepProcedureOnTheExecutiveView(QStringLiteral("1"));

    // Trigger 1 is answered: one row.
    clickRun();
    ASSERT_TRUE(waitRunEnded());
    ASSERT_EQ(results()->rowCount(), 1);
    const QString firstRow = results()->joinedRow(0);

    // Trigger 2 gets no reply: the run waits, the window goes on working.
    clickRun();
    ASSERT_TRUE(Desktop::waitUntil([this] { return triggers() == 2; }));
    Desktop::settle(400);
    EXPECT_TRUE(runActive());
    EXPECT_FALSE(execPage()->finishedLamp()->value());
    EXPECT_EQ(results()->rowCount(), 1);
    EXPECT_TRUE(prompter.said.isEmpty()) << qPrintable(prompter.texts().join('|'));
    EXPECT_EQ(triggers(), 2) << "nothing is sent again while waiting";
    EXPECT_FALSE(action(F::ViewProcedure)->isEnabled());

    GuiDriver::click(execPage()->stopButton());
    EXPECT_FALSE(runActive());
    EXPECT_TRUE(execPage()->finishedLamp()->value());
    EXPECT_TRUE(action(F::ViewProcedure)->isEnabled());
    EXPECT_TRUE(app->link().isConnected());
    EXPECT_EQ(results()->rowCount(), 1) << "a stopped pass writes no row";

    // Trigger 3 is answered again: the next run ends normally with a new row.
    clickRun();
    ASSERT_TRUE(waitRunEnded());
    ASSERT_EQ(results()->rowCount(), 2);
    EXPECT_EQ(results()->joinedRow(0), firstRow);
    EXPECT_EQ(results()->joinedRow(1), firstRow) << "the same component reads the same";
    EXPECT_EQ(triggers(), 3);
    EXPECT_TRUE(prompter.said.isEmpty()) << qPrintable(prompter.texts().join('|'));
}

TEST_F(DesktopFaults, ADroppedReplyInASweepWaitsUntilStopResetAndTheNextDrawWorks)
{
    ASSERT_TRUE(startMeter(meterArgs({QStringLiteral("--drop-every"), QStringLiteral("3")})))
        << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp());
    trigger(F::ViewPlotter);
    app->plotter()->editText(S::Points, QStringLiteral("5"));
    GuiDriver::click(app->plotterView()->drawButton());
    ASSERT_TRUE(Desktop::waitUntil([this] { return triggers() == 3; }));
    Desktop::settle(400);
    EXPECT_FALSE(app->plotter()->drawEnabled());
    EXPECT_EQ(app->plotter()->table().tableRowCount(), 2);
    EXPECT_EQ(triggers(), 3);

    GuiDriver::click(app->plotterView()->stopResetButton());
    EXPECT_TRUE(app->plotter()->drawEnabled());
    EXPECT_EQ(app->plotter()->table().tableRowCount(), 0) << "Stop / Reset empties the list";

    // Triggers 4 and 5 are answered: a two-point sweep ends normally.
    app->plotter()->editText(S::Points, QStringLiteral("2"));
    GuiDriver::click(app->plotterView()->drawButton());
    ASSERT_TRUE(Desktop::waitUntil([this] { return app->plotter()->drawEnabled(); }));
    EXPECT_EQ(app->plotter()->table().tableRowCount(), 2);
    EXPECT_TRUE(prompter.said.isEmpty()) << qPrintable(prompter.texts().join('|'));
}

TEST_F(DesktopFaults, RepliesInPiecesWithNulAndJunkBytesGiveOneRowPerPassJudgedAsSent)
{
    ASSERT_TRUE(startMeter(meterArgs({QStringLiteral("--split"), QStringLiteral("4"), QStringLiteral("--split-pause"),
        QStringLiteral("5"), QStringLiteral("--nul-every"), QStringLiteral("2"), QStringLiteral("--garbage-every"),
        QStringLiteral("3"), QStringLiteral("--garbage-bytes"), QStringLiteral("9"), QStringLiteral("--seed"),
        QStringLiteral("5")})))
        << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp());
    oneStepProcedureOnTheExecutiveView(QStringLiteral("6"));
    clickRun();
    ASSERT_TRUE(waitRunEnded(20000));
    ASSERT_EQ(results()->rowCount(), 6);
    EXPECT_TRUE(prompter.said.isEmpty()) << qPrintable(prompter.texts().join('|'));

    const QList<QByteArray> replies = sim->replyLines(6);
    ASSERT_EQ(replies.size(), 6);
    EXPECT_TRUE(replies[1].contains('\0'));
    EXPECT_GT(replies[2].size(), replies[0].size()) << "junk before the third reply";
    for (int r = 0; r < 6; ++r)
        EXPECT_EQ(results()->cells(r), expectedCells(replies[r])) << "pass " << r;
    // Replies without junk read as a clean meter's, NUL or not.
    EXPECT_EQ(results()->cells(1), results()->cells(0));
    EXPECT_EQ(results()->cells(3), results()->cells(0));
    EXPECT_NE(results()->cells(0).value(0), QString());
}

TEST_F(DesktopFaults, AMeterThatAcknowledgesSetCommandsGivesTheShiftedReadingAndTheNextRunEnds)
{
    ASSERT_TRUE(startMeter(meterArgs({QStringLiteral("--ack"), QStringLiteral("OK")}))) << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp());
    oneStepProcedureOnTheExecutiveView(QStringLiteral("1"));
    clickRun();
    ASSERT_TRUE(waitRunEnded());
    // The pass reads the first line in the buffer: the acknowledgement of
    // the first setting.
    ASSERT_EQ(results()->rowCount(), 1);
    EXPECT_EQ(results()->cells(0), expectedCells("OK\n"));
    EXPECT_TRUE(prompter.said.isEmpty()) << qPrintable(prompter.texts().join('|'));

    // The window keeps working: the next run ends with a row of its own.
    Desktop::settle(100);
    clickRun();
    ASSERT_TRUE(waitRunEnded());
    EXPECT_EQ(results()->rowCount(), 2);
    EXPECT_TRUE(action(F::ViewProcedure)->isEnabled());
    EXPECT_TRUE(app->link().isConnected());
}

TEST_F(DesktopFaults, AMeterHangingUpMidRunStopsItKeepsTheRowsAndAllowsAReconnect)
{
    ASSERT_TRUE(startMeter(meterArgs({QStringLiteral("--hangup-after"), QStringLiteral("3")})))
        << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp());
    oneStepProcedureOnTheExecutiveView(QStringLiteral("6"));
    clickRun();
    ASSERT_TRUE(waitRunEnded());

    // The three answered passes are rows; the fourth never came.
    EXPECT_EQ(results()->rowCount(), 3);
    EXPECT_EQ(results()->reportDates().size(), 3);
    ASSERT_EQ(saidContaining(kLostDuringRun), 1) << qPrintable(prompter.texts().join('|'));
    EXPECT_EQ(prompter.said.size(), 1) << "said once: " << qPrintable(prompter.texts().join('|'));
    EXPECT_EQ(prompter.said[0].caption, QStringLiteral("Exception"));
    EXPECT_FALSE(app->link().isOpen());
    EXPECT_FALSE(action(F::Communication)->isChecked());
    EXPECT_TRUE(action(F::ViewProcedure)->isEnabled());
    EXPECT_TRUE(execPage()->runButton()->isEnabled());
    const QStringList kept = rows();

    // Run without a meter is refused and changes nothing.
    prompter.clear();
    clickRun();
    EXPECT_EQ(prompter.texts(),
              QStringList{QStringLiteral("Not connect yet. Please setup and modify the communication status.")});
    EXPECT_EQ(prompter.said.value(0).caption, QStringLiteral("Exception"));
    EXPECT_EQ(prompter.said.value(0).icon, Prompter::Icon::Warning);
    EXPECT_EQ(rows(), kept);

    // A new meter on another line: Setup > Communication connects to it and the run goes on.
    ASSERT_TRUE(startMeter(meterArgs({}))) << qPrintable(sim->errorText());
    reconnectThroughTheMenu(sim->devicePath());
    prompter.clear();
    GuiDriver::retype(execPage()->loopEdit(), QStringLiteral("2"));
    clickRun();
    ASSERT_TRUE(waitRunEnded());
    EXPECT_EQ(results()->rowCount(), 5);
    EXPECT_EQ(rows().mid(0, 3), kept);
    EXPECT_TRUE(prompter.said.isEmpty()) << qPrintable(prompter.texts().join('|'));
    // The new meter was sent every setting again, not only what changed.
    EXPECT_TRUE(sim->commands().contains("MEAS:FUNC:C")) << qPrintable(QString::fromLatin1(sim->receivedBytes()));
}

TEST_F(DesktopFaults, AMeterHangingUpMidSweepStopsItKeepsThePointsAndAllowsAReconnect)
{
    ASSERT_TRUE(startMeter(meterArgs({QStringLiteral("--hangup-after"), QStringLiteral("4")})))
        << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp());
    trigger(F::ViewPlotter);
    app->plotter()->editText(S::Points, QStringLiteral("10"));
    GuiDriver::click(app->plotterView()->drawButton());
    ASSERT_TRUE(Desktop::waitUntil([this] { return app->plotter()->drawEnabled(); }, 10000));

    EXPECT_EQ(app->plotter()->table().tableRowCount(), 4);
    ASSERT_EQ(saidContaining(kLostDuringSweep), 1) << qPrintable(prompter.texts().join('|'));
    EXPECT_EQ(prompter.said.size(), 1) << "said once: " << qPrintable(prompter.texts().join('|'));
    EXPECT_EQ(prompter.said[0].caption, QStringLiteral("Exception"));
    EXPECT_FALSE(app->link().isOpen());
    EXPECT_FALSE(action(F::Communication)->isChecked());
    EXPECT_TRUE(action(F::ViewExecutive)->isEnabled());
    EXPECT_EQ(mainWindow()->currentView(), F::PlotterPage);
    QStringList points;
    for (int r = 0; r < 4; ++r)
        points << app->plotter()->table().cell(r, 2);
    for (const QString &p : points)
        EXPECT_TRUE(p.endsWith(QStringLiteral("F"))) << qPrintable(p);

    // Reconnect to a new meter; Draw adds a second line beside the kept points.
    ASSERT_TRUE(startMeter(meterArgs({}))) << qPrintable(sim->errorText());
    reconnectThroughTheMenu(sim->devicePath());
    prompter.clear();
    GuiDriver::click(app->plotterView()->drawButton());
    ASSERT_TRUE(Desktop::waitUntil([this] { return app->plotter()->drawEnabled(); }, 10000));
    EXPECT_EQ(app->plotter()->table().tableRowCount(), 10);
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(app->plotter()->table().cell(r, 2), points[r]) << "row " << r;
    EXPECT_FALSE(app->plotter()->table().cell(9, 3).isEmpty()) << "the second line is complete";
    EXPECT_TRUE(prompter.said.isEmpty()) << qPrintable(prompter.texts().join('|'));
}

TEST_F(DesktopFaults, AMeterGoneWhileIdleIsSaidOnceAndNothingIsLost)
{
    ASSERT_TRUE(startMeter(meterArgs({}))) << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp(example(QStringLiteral("capacitor.pro"))));
    trigger(F::ViewExecutive);
    clickRun();
    ASSERT_TRUE(waitRunEnded());
    ASSERT_EQ(results()->rowCount(), 1);
    const QStringList kept = rows();

    sim.reset();
    ASSERT_TRUE(Desktop::waitUntil([this] { return !app->link().isOpen(); }));
    Desktop::settle(100);
    ASSERT_EQ(prompter.said.size(), 1) << qPrintable(prompter.texts().join('|'));
    EXPECT_EQ(prompter.said[0].caption, QStringLiteral("Exception"));
    EXPECT_TRUE(prompter.said[0].text.contains(QStringLiteral("Setup > Communication")));
    EXPECT_EQ(rows(), kept);
    EXPECT_FALSE(action(F::Communication)->isChecked());
    EXPECT_EQ(mainWindow()->currentView(), F::ExecutivePage);
}

TEST_F(DesktopFaults, AMeterFloodingTheLineIsCutOffAndTheRowsStay)
{
    // From the second trigger on the meter sends bytes without ever ending a line.
    ASSERT_TRUE(startMeter(meterArgs({QStringLiteral("--flood-after"), QStringLiteral("2")})))
        << qPrintable(sim->errorText());
    ASSERT_TRUE(startApp());
    app->link().setReplyLimit(64 * 1024);
    oneStepProcedureOnTheExecutiveView(QStringLiteral("3"));
    clickRun();
    ASSERT_TRUE(waitRunEnded(20000));
    EXPECT_EQ(results()->rowCount(), 1);
    EXPECT_EQ(saidContaining(kLostDuringRun), 1) << qPrintable(prompter.texts().join('|'));
    EXPECT_EQ(prompter.said.size(), 1) << qPrintable(prompter.texts().join('|'));
    EXPECT_FALSE(app->link().isOpen());
    EXPECT_LE(LinkProbe::replyBuffer(app->link()).size(), 64 * 1024);
}

TEST_F(DesktopFaults, AMeterThatNeverIdentifiesIsReportedAndCommunicationTriesAgain)
{
    ASSERT_TRUE(startMeter(meterArgs({QStringLiteral("--no-idn")}))) << qPrintable(sim->errorText());
    ASSERT_FALSE(startApp());
    ASSERT_EQ(prompter.said.size(), 1) << qPrintable(prompter.texts().join('|'));
    EXPECT_EQ(prompter.said[0].caption, QStringLiteral("Exception"));
    EXPECT_EQ(prompter.said[0].text, QStringLiteral("Connecting Error!"));
    EXPECT_EQ(prompter.said[0].icon, Prompter::Icon::Error);
    EXPECT_FALSE(action(F::Communication)->isChecked());

    oneStepProcedureOnTheExecutiveView(QStringLiteral("1"));
    clickRun();
    EXPECT_EQ(prompter.said.size(), 2);
    EXPECT_EQ(results()->rowCount(), 0);
    EXPECT_EQ(triggers(), 0);

    // The port stayed open on the silent meter; when that meter goes away
    // the operator is told so.
    EXPECT_TRUE(app->link().isOpen());
    ASSERT_TRUE(startMeter(meterArgs({}))) << qPrintable(sim->errorText());
    ASSERT_TRUE(Desktop::waitUntil([this] { return !app->link().isOpen(); }));
    Desktop::settle(50);
    ASSERT_EQ(prompter.said.size(), 3) << qPrintable(prompter.texts().join(" | "));
    EXPECT_TRUE(prompter.said[2].text.contains(QStringLiteral("Setup > Communication")));

    // A meter that answers, chosen through Setup > Communication.
    reconnectThroughTheMenu(sim->devicePath());
    clickRun();
    ASSERT_TRUE(waitRunEnded());
    EXPECT_EQ(results()->rowCount(), 1);
    EXPECT_EQ(prompter.said.size(), 3) << qPrintable(prompter.texts().join(" | "));
}
