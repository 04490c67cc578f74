#include "../support/LinkProbe.h"
#include "../support/RunRig.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

namespace {

class SequencerTest : public ::testing::Test, protected RunRig
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(connectMeter());
        sequencer.setClock([] { return QDateTime(QDate(2012, 3, 7), QTime(9, 5, 3)); });
    }
};

} // namespace

TEST_F(SequencerTest, OnePassSendsChangedSettingsTriggersAndEndsWithLocal)
{
    setProcedure({capacitorStep("1KHz"), capacitorStep("1KHz"), capacitorStep("10KHz")});
    ASSERT_TRUE(runToEnd());

    const QList<QByteArray> expected{
        "MEAS:FREQ 1000.000000\n", "MEAS:TEST:AC\n", "MEAS:LEV 1.000000\n", "MEAS:FUNC:C\n",
        "MEAS:EQU-CCT SER\n", "MEAS:SPEED MED\n", "MEAS:TRIG\n",
        // The second step is identical: only the trigger.
        "MEAS:TRIG\n",
        "MEAS:FREQ 10000.000000\n", "MEAS:TRIG\n",
        "*LOC\n",
    };
    EXPECT_EQ(fake.writes, expected);
    EXPECT_EQ(results.resultCount(), 1);
    EXPECT_EQ(results.cells(0), (QStringList{"100nF", "pass", "100nF", "pass", "100nF", "pass"}));
    EXPECT_EQ(results.image(0), ResultTableModel::Passed);
    EXPECT_EQ(results.reportDates(), QStringList{"2012/3/7/"});
    EXPECT_EQ(results.reportTimes(), QStringList{"9:5:3"});
    EXPECT_EQ(rowsSeen, QList<int>{0});
    EXPECT_EQ(finishedCount, 1);
    EXPECT_TRUE(interruptions.isEmpty());
    // The end of a run forgets what was sent.
    EXPECT_TRUE(cache.isEmpty());
}

TEST_F(SequencerTest, StartResetsTheRunStateAndEndRestoresIt)
{
    setProcedure({capacitorStep("1KHz")});
    answer = nullptr;
    fake.deliver("stale bytes\n");
    exec.setFinishedLamp(true);
    sequencer.start();
    EXPECT_TRUE(sequencer.isRunning());
    EXPECT_EQ(sequencer.currentStep(), 0);
    EXPECT_DOUBLE_EQ(exec.progress(), 0.0);
    EXPECT_FALSE(exec.finishedLamp());
    EXPECT_FALSE(exec.runEnabled());
    EXPECT_TRUE(LinkProbe::replyBuffer(link).isEmpty());

    ASSERT_TRUE(QTest::qWaitFor([this] { return triggers == 1; }, 2000));
    fake.deliver("9.6E-08\n");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !sequencer.isRunning(); }, 2000));
    EXPECT_DOUBLE_EQ(exec.progress(), 100.0);
    EXPECT_TRUE(exec.finishedLamp());
    EXPECT_TRUE(exec.runEnabled());
    // The stale line was dropped by the start, so the row holds the reply.
    EXPECT_EQ(results.cells(0).at(0), "96nF");
}

TEST_F(SequencerTest, LoopsAppendOneRowPerPassAndSendLocalOnce)
{
    setProcedure({capacitorStep("1KHz"), capacitorStep("2KHz"), capacitorStep("3KHz")});
    exec.setLoopText("2");
    int row = 0;
    answer = [&](int n) { return QByteArray::number(90 + n) + "E-09\n"; };
    QObject::connect(&sequencer, &MeasurementSequencer::rowCompleted, [&](int r) { row = r; });
    ASSERT_TRUE(runToEnd());

    EXPECT_EQ(results.resultCount(), 2);
    EXPECT_EQ(row, 1);
    EXPECT_EQ(results.cells(0), (QStringList{"91nF", "fail", "92nF", "fail", "93nF", "fail"}));
    EXPECT_EQ(results.cells(1), (QStringList{"94nF", "fail", "95nF", "fail", "96nF", "pass"}));
    EXPECT_EQ(fake.writes.count("*LOC\n"), 1);
    EXPECT_EQ(fake.writes.last(), "*LOC\n");
    EXPECT_EQ(fake.writes.count("MEAS:TRIG\n"), 6);
    // The cache carries over between passes: the second pass re-sends only
    // the frequency of its first step.
    EXPECT_EQ(fake.writes.count("MEAS:FREQ 1000.000000\n"), 2);
    EXPECT_EQ(fake.writes.count("MEAS:LEV 1.000000\n"), 1);
    EXPECT_NEAR(exec.progress(), 100.0, 1e-9);
    EXPECT_EQ(exec.loopCount(), 2);
    EXPECT_EQ(finishedCount, 1);
    EXPECT_EQ(results.reportDates().size(), 2);
}

TEST_F(SequencerTest, ProgressRisesByItsShareAfterEveryStep)
{
    setProcedure({capacitorStep("1KHz"), capacitorStep("2KHz")});
    exec.setLoopText("2");
    QList<double> seen;
    QObject::connect(&exec, &ExecutionState::progressChanged, [&](double v) { seen << v; });
    ASSERT_TRUE(runToEnd());
    ASSERT_EQ(seen.size(), 5);
    EXPECT_DOUBLE_EQ(seen[0], 0.0);
    EXPECT_DOUBLE_EQ(seen[1], 25.0);
    EXPECT_DOUBLE_EQ(seen[2], 50.0);
    EXPECT_DOUBLE_EQ(seen[3], 75.0);
    EXPECT_DOUBLE_EQ(seen[4], 100.0);
}

TEST_F(SequencerTest, ALoopEditWithoutAPositiveNumberRunsOnePassWithFiniteProgress)
{
    setProcedure({capacitorStep("1KHz"), capacitorStep("2KHz")});
    for (const QString &text : {QStringLiteral("0"), QString(), QStringLiteral("-3"), QStringLiteral("x")}) {
        exec.setLoopText(text);
        const int before = results.resultCount();
        ASSERT_TRUE(runToEnd()) << qPrintable(text);
        EXPECT_EQ(results.resultCount(), before + 1) << qPrintable(text);
        EXPECT_DOUBLE_EQ(exec.progress(), 100.0) << qPrintable(text);
    }
    EXPECT_EQ(finishedCount, 4);
}

TEST_F(SequencerTest, ChangingTheLoopEditDuringARunTakesEffectAtOnce)
{
    setProcedure({capacitorStep("1KHz")});
    exec.setLoopText("5");
    answer = [this](int n) {
        if (n == 1)
            exec.setLoopText("2");
        return QByteArray("1.0E-07\n");
    };
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(results.resultCount(), 2);
    EXPECT_EQ(exec.loopCount(), 2);
}

TEST_F(SequencerTest, ALineFeedIsFoundInAnyPieceReceivedSinceTheTrigger)
{
    setProcedure({capacitorStep("1KHz"), capacitorStep("2KHz")});
    // The line feed arrives in the middle piece, more bytes of the next
    // reply follow before anyone looks.
    answer = nullptr;
    fake.onWrite = [this](const QByteArray &line) {
        if (line != "MEAS:TRIG\n")
            return;
        ++triggers;
        if (triggers == 1) {
            fake.deliverLater("1.0", 5);
            fake.deliverLater("1E-07\n9.", 10);
            fake.deliverLater("9E-08", 15);
        } else {
            fake.deliverLater("\n", 40);
        }
    };
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(results.cells(0), (QStringList{"101nF", "pass", "99nF", "pass"}));
}

TEST_F(SequencerTest, BytesWithoutALineFeedKeepTheRunWaiting)
{
    setProcedure({capacitorStep("1KHz")});
    answer = nullptr;
    sequencer.start();
    ASSERT_TRUE(QTest::qWaitFor([this] { return triggers == 1; }, 2000));
    // Bytes without a line feed keep the run waiting, however many.
    fake.deliver("1.02E-07");
    fake.deliver("   ");
    QTest::qWait(30);
    EXPECT_EQ(sequencer.state(), MeasurementSequencer::State::Waiting);
    fake.deliver("\n");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !sequencer.isRunning(); }, 2000));
    EXPECT_EQ(results.cells(0).at(0), "102nF");
}

TEST_F(SequencerTest, TheDelayIsWaitedAfterTheReplyBeforeTheNextStep)
{
    setProcedure({capacitorStep("1KHz", {{ProcedureStep::Delay, "150"}}), capacitorStep("2KHz", {{ProcedureStep::Delay, "80"}})});
    QElapsedTimer clock;
    clock.start();
    QList<QPair<QByteArray, qint64>> when;
    fake.onWrite = [&](const QByteArray &line) {
        when << qMakePair(line, clock.elapsed());
        meterHears(line);
    };
    qint64 firstReply = -1;
    QObject::connect(&link, &InstrumentLink::received, [&] {
        if (firstReply < 0)
            firstReply = clock.elapsed();
    });
    qint64 rowAt = -1;
    QObject::connect(&sequencer, &MeasurementSequencer::rowCompleted, [&] { rowAt = clock.elapsed(); });
    ASSERT_TRUE(runToEnd());

    qint64 secondStepAt = -1;
    for (const auto &w : when)
        if (w.first == "MEAS:FREQ 2000.000000\n")
            secondStepAt = w.second;
    ASSERT_GE(firstReply, 0);
    ASSERT_GE(secondStepAt, 0);
    EXPECT_GE(secondStepAt - firstReply, 150);
    // The last step's delay comes before the row.
    EXPECT_GE(rowAt - secondStepAt, 80);
}

TEST_F(SequencerTest, NegativeOrTextDelaysDoNotStallTheRun)
{
    setProcedure({capacitorStep("1KHz", {{ProcedureStep::Delay, "-200"}}), capacitorStep("2KHz", {{ProcedureStep::Delay, "soon"}})});
    ASSERT_TRUE(runToEnd(2000));
    EXPECT_EQ(results.resultCount(), 1);
}

TEST_F(SequencerTest, EmergencyStopMidPassWritesNoRowAndTheNextRunStartsOver)
{
    setProcedure({capacitorStep("1KHz"), capacitorStep("2KHz"), capacitorStep("3KHz")});
    exec.setLoopText("3");
    answer = [](int n) { return n == 2 ? QByteArray() : QByteArray("1.0E-07\n"); };
    sequencer.start();
    ASSERT_TRUE(QTest::qWaitFor([this] { return triggers == 2; }, 2000));
    EXPECT_EQ(sequencer.currentStep(), 1);
    exec.setLoopCount(2); // as if a pass had already counted down
    const qsizetype writesBefore = fake.writes.size();

    sequencer.stop();
    EXPECT_FALSE(sequencer.isRunning());
    EXPECT_DOUBLE_EQ(exec.progress(), 100.0);
    EXPECT_TRUE(exec.finishedLamp());
    EXPECT_TRUE(exec.runEnabled());
    EXPECT_EQ(exec.loopCount(), 3);
    // The reply that was due arrives late and is ignored.
    fake.deliver("1.0E-07\n");
    QTest::qWait(30);
    EXPECT_EQ(fake.writes.size(), writesBefore);
    EXPECT_EQ(results.resultCount(), 0);
    EXPECT_EQ(finishedCount, 0);
    // The cache is kept as the interrupted pass left it.
    EXPECT_EQ(cache.entry(MeterCommands::Family::Frequency), "MEAS:FREQ 2000.000000");

    exec.setLoopText("1");
    fake.writes.clear();
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(results.resultCount(), 1);
    EXPECT_EQ(fake.writes.first(), "MEAS:FREQ 1000.000000\n");
    EXPECT_FALSE(fake.writes.contains("MEAS:LEV 1.000000\n"));
}

TEST_F(SequencerTest, RunningTwiceAppendsRows)
{
    setProcedure({capacitorStep("1KHz")});
    ASSERT_TRUE(runToEnd());
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(results.resultCount(), 2);
    EXPECT_EQ(results.cell(1, 0), "2");
    EXPECT_EQ(rowsSeen, (QList<int>{0, 1}));
    EXPECT_EQ(results.reportTimes().size(), 2);
}

TEST_F(SequencerTest, LosingTheMeterStopsTheRunAndKeepsTheRows)
{
    setProcedure({capacitorStep("1KHz"), capacitorStep("2KHz")});
    exec.setLoopText("3");
    answer = [](int n) { return n <= 3 ? QByteArray("1.0E-07\n") : QByteArray(); };
    sequencer.start();
    ASSERT_TRUE(QTest::qWaitFor([this] { return triggers == 4; }, 2000));
    fake.fail(SerialTransport::Fault::DeviceLost, QStringLiteral("Device unplugged."));

    EXPECT_FALSE(sequencer.isRunning());
    ASSERT_EQ(interruptions.size(), 1);
    EXPECT_TRUE(interruptions.first().contains("Device unplugged."));
    EXPECT_EQ(results.resultCount(), 1);
    EXPECT_TRUE(exec.runEnabled());
    EXPECT_TRUE(exec.finishedLamp());
    EXPECT_EQ(exec.loopCount(), 3);
    EXPECT_EQ(finishedCount, 0);
    EXPECT_FALSE(fake.writes.contains("*LOC\n"));
    // A loss while idle is none of the sequencer's business.
    fake.fail(SerialTransport::Fault::DeviceLost, QStringLiteral("again"));
    EXPECT_EQ(interruptions.size(), 1);
}

TEST_F(SequencerTest, LineErrorsDoNotDisturbTheRun)
{
    setProcedure({capacitorStep("1KHz")});
    answer = nullptr;
    sequencer.start();
    ASSERT_TRUE(QTest::qWaitFor([this] { return triggers == 1; }, 2000));
    fake.fail(SerialTransport::Fault::LineError, QStringLiteral("parity"));
    EXPECT_TRUE(sequencer.isRunning());
    fake.deliver("1.0E-07\n");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !sequencer.isRunning(); }, 2000));
    EXPECT_EQ(results.resultCount(), 1);
}

TEST_F(SequencerTest, AProcedureEmptiedUnderARunStopsItWithoutARow)
{
    setProcedure({capacitorStep("1KHz"), capacitorStep("2KHz")});
    answer = nullptr;
    sequencer.start();
    ASSERT_TRUE(QTest::qWaitFor([this] { return triggers == 1; }, 2000));
    procedure.clear();
    fake.deliver("1.0E-07\n");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !sequencer.isRunning(); }, 2000));
    EXPECT_EQ(results.resultCount(), 0);
    EXPECT_EQ(interruptions.size(), 1);
    EXPECT_TRUE(exec.runEnabled());
}
