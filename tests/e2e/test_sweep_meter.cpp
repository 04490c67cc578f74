// Sweeps against the simulated meter over a real pseudo-terminal: what the
// meter received, and what the plotter's list and graph show.

#include "../support/SessionRig.h"

#include "measurement/SweepSequencer.h"
#include "plotter/PlotterCommands.h"
#include "plotter/PlotterState.h"

#include <gtest/gtest.h>

using S = PlotterState;

namespace {

// The session's Plotter View half over the simulated meter.
struct Rig : SessionRig
{
    explicit Rig(const QStringList &simArgs = {QStringLiteral("--component"), QStringLiteral("C=100n,esr=0.05")})
        // Engineering notation: the first reading's exponent names the prefix.
        : SessionRig(simArgs + QStringList{QStringLiteral("--engineering")})
    {
    }

    // Draw as the button does it, then wait for the sweep to end.
    bool draw(int ms = 10000) { return commands.checkPoints() && SessionRig::draw(ms); }

    // What the meter received after the connect's "*IDN?" and "*LOC".
    QList<QByteArray> sweepCommands() const { return sim->commands().mid(2); }
    bool waitForLog(int commandCount) { return sim->waitForCommands(commandCount + 2); }

    PlotterState &plotter = session.plotter();
    PlotterCommands &commands = session.plotterCommands();
    SweepSequencer &sequencer = session.sweep();
    SettingsCache &cache = session.cache();
    InstrumentLink &link = session.link();
};

QList<QByteArray> startingWith(const QList<QByteArray> &lines, const QByteArray &prefix)
{
    QList<QByteArray> out;
    for (const QByteArray &l : lines)
        if (l.startsWith(prefix))
            out << l;
    return out;
}

} // namespace

TEST(SweepOnMeter, ThreePointsFromOneToHundredAndOneLocAtTheEnd)
{
    Rig rig;
    ASSERT_TRUE(rig.connectMeter()) << qPrintable(rig.sim->errorText());
    rig.plotter.editText(S::Start, "1");
    rig.plotter.editText(S::Points, "3");
    ASSERT_TRUE(rig.draw());
    ASSERT_TRUE(rig.waitForLog(12));
    const QList<QByteArray> cmds = rig.sweepCommands();
    EXPECT_EQ(cmds,
              QList<QByteArray>({"MEAS:TEST:AC", "MEAS:FREQ 1.000000", "MEAS:LEV 0.010000", "MEAS:FUNC:C",
                                 "MEAS:EQU-CCT SER", "MEAS:SPEED MED", "MEAS:TRIG", "MEAS:FREQ 50.500000", "MEAS:TRIG",
                                 "MEAS:FREQ 100.000000", "MEAS:TRIG", "*LOC"}));
    EXPECT_EQ(rig.plotter.table().cell(0, 1), "1.000000Hz");
    EXPECT_EQ(rig.plotter.table().cell(1, 1), "50.500000Hz");
    EXPECT_EQ(rig.plotter.table().cell(2, 1), "100.000000Hz");
    // 100 nF at low frequency: the first reading sets the prefix.
    EXPECT_TRUE(rig.plotter.table().cell(0, 2).endsWith("nF")) << qPrintable(rig.plotter.table().cell(0, 2));
    EXPECT_NEAR(rig.plotter.headlessGraph().points(1).at(2).y(), 100.0, 0.5);
    EXPECT_EQ(rig.plotter.graph().axisLabel(2), "\"nF\"");
    EXPECT_TRUE(rig.plotter.drawEnabled());
    EXPECT_TRUE(rig.cache.isEmpty());
    EXPECT_TRUE(rig.prompter.said.isEmpty());
}

TEST(SweepOnMeter, TwentyToHundredInTenPointsAndOnlyTheFrequencyChanges)
{
    Rig rig;
    ASSERT_TRUE(rig.connectMeter()) << qPrintable(rig.sim->errorText());
    ASSERT_TRUE(rig.draw());
    ASSERT_TRUE(rig.waitForLog(6 + 10 + 9 + 1));
    const QList<QByteArray> cmds = rig.sweepCommands();
    // Single precision steps of 80 / 9 from 20, the last one exactly 100.
    QList<QByteArray> expected;
    float x = 20.0f;
    for (int i = 0; i < 9; ++i, x += 80.0f / 9.0f)
        expected << "MEAS:FREQ " + QByteArray::number(double(x), 'f', 6);
    expected << "MEAS:FREQ 100.000000";
    EXPECT_EQ(startingWith(cmds, "MEAS:FREQ"), expected);
    EXPECT_EQ(expected.at(1), "MEAS:FREQ 28.888889");
    // After the first point only the frequency and the trigger go out.
    const QList<QByteArray> later = cmds.mid(7);
    for (int i = 0; i + 1 < later.size(); i += 2) {
        EXPECT_TRUE(later.at(i).startsWith("MEAS:FREQ ")) << later.at(i).constData();
        EXPECT_EQ(later.at(i + 1), "MEAS:TRIG");
    }
    EXPECT_EQ(cmds.last(), "*LOC");
    EXPECT_EQ(cmds.count("*LOC"), 1);
    const PlotTableModel &t = rig.plotter.table();
    ASSERT_EQ(t.tableRowCount(), 10);
    EXPECT_EQ(t.cell(1, 1), "28.888889Hz");
    EXPECT_EQ(t.cell(8, 1), QString::fromLatin1(expected.at(8).mid(10)) + "Hz");
    EXPECT_TRUE(t.cell(8, 1).startsWith("91.11"));
    EXPECT_EQ(t.cell(9, 1), "100.000000Hz");
    EXPECT_EQ(t.cell(9, 0), "10");
    EXPECT_NEAR(rig.plotter.progressValue(), 100.0, 1e-3);
}

TEST(SweepOnMeter, VoltageSweepSendsTheLevelAndTheFixedFrequency)
{
    Rig rig;
    ASSERT_TRUE(rig.connectMeter()) << qPrintable(rig.sim->errorText());
    rig.plotter.selectText(S::SweepKind, "Volt.");
    rig.plotter.editText(S::Start, "100");
    rig.plotter.editText(S::End, "500");
    rig.plotter.editText(S::Points, "2");
    rig.plotter.editText(S::FixedFrequency, "1");
    rig.plotter.selectText(S::FixedFrequencyUnit, "KHz");
    ASSERT_TRUE(rig.draw());
    ASSERT_TRUE(rig.waitForLog(10));
    const QList<QByteArray> cmds = rig.sweepCommands();
    EXPECT_EQ(startingWith(cmds, "MEAS:FREQ"), QList<QByteArray>({"MEAS:FREQ 1000.000000"}));
    EXPECT_EQ(startingWith(cmds, "MEAS:LEV"), QList<QByteArray>({"MEAS:LEV 0.100000", "MEAS:LEV 0.500000"}));
    EXPECT_EQ(rig.plotter.table().cell(1, 1), "500.000000mV");
    EXPECT_EQ(rig.plotter.table().sweptTitle(), "Voltage");
}

TEST(SweepOnMeter, AnRdcSweepStepsTheLevelAtTheFixedFrequency)
{
    Rig rig({QStringLiteral("--component"), QStringLiteral("R=47")});
    ASSERT_TRUE(rig.connectMeter()) << qPrintable(rig.sim->errorText());
    // The fixed frequency is chosen while it can be edited; "Rdc" then
    // leaves only "Volt." and disables it, but it is still what is sent.
    rig.plotter.selectText(S::SweepKind, "Volt.");
    rig.plotter.editText(S::FixedFrequency, "1");
    rig.plotter.selectText(S::FixedFrequencyUnit, "KHz");
    rig.plotter.selectText(S::FirstItem, "Rdc");
    ASSERT_EQ(rig.plotter.items(S::SweepKind), QStringList({"Volt."}));
    rig.plotter.editText(S::Start, "100");
    rig.plotter.editText(S::End, "300");
    rig.plotter.editText(S::Points, "3");
    ASSERT_TRUE(rig.draw());
    ASSERT_TRUE(rig.waitForLog(11));
    QByteArray after = rig.sim->receivedBytes();
    after = after.mid(after.indexOf("*LOC\n") + 5); // past the connect
    EXPECT_EQ(after, QByteArray("MEAS:TEST:RDC\nMEAS:FREQ 1000.000000\nMEAS:LEV 0.100000\nMEAS:FUNC:Rdc\n"
                                "MEAS:SPEED MED\nMEAS:TRIG\n"
                                "MEAS:LEV 0.200000\nMEAS:TRIG\n"
                                "MEAS:LEV 0.300000\nMEAS:TRIG\n"
                                "*LOC\n"));
    EXPECT_EQ(rig.plotter.table().cell(2, 1), "300.000000mV");
    EXPECT_EQ(rig.plotter.table().tableRowCount(), 3);
    EXPECT_TRUE(rig.prompter.said.isEmpty()) << qPrintable(rig.prompter.texts().join('|'));
}

TEST(SweepOnMeter, SecondItemOffPlotsOnlyThePrimaryLine)
{
    Rig rig;
    ASSERT_TRUE(rig.connectMeter()) << qPrintable(rig.sim->errorText());
    rig.plotter.editText(S::Points, "3");
    ASSERT_TRUE(rig.draw());
    ASSERT_TRUE(rig.draw());
    const GraphData &g = rig.plotter.headlessGraph();
    EXPECT_EQ(g.pointCount(1), 3);
    EXPECT_EQ(g.pointCount(2), 3);
    EXPECT_EQ(g.pointCount(3), 0);
    EXPECT_EQ(rig.plotter.table().picture(0), 1); // a - 1 for line 2
    EXPECT_TRUE(startingWith(rig.sweepCommands(), "MEAS:FUNC").contains("MEAS:FUNC:C"));
}

TEST(SweepOnMeter, FiveOneItemDrawsThenTheFilledQuestionAndOkStartsAgain)
{
    Rig rig;
    ASSERT_TRUE(rig.connectMeter()) << qPrintable(rig.sim->errorText());
    rig.plotter.editText(S::Points, "2");
    for (int line = 1; line <= 4; ++line) {
        ASSERT_TRUE(rig.draw());
        EXPECT_EQ(rig.plotter.setup().firstItemLine, line);
    }
    EXPECT_TRUE(rig.prompter.said.isEmpty());
    rig.prompter.answers = {true};
    ASSERT_TRUE(rig.draw());
    EXPECT_EQ(rig.prompter.texts(), QStringList({"All the lines have be used, refresh the all the points and data?"}));
    EXPECT_EQ(rig.prompter.said.at(0).caption, "Filled exception");
    EXPECT_EQ(rig.plotter.setup().firstItemLine, 1);
    EXPECT_EQ(rig.plotter.setup().nextLine, 2);
    EXPECT_EQ(rig.plotter.table().columnTitles(), QStringList({"Step", "Frequence", "C1"}));
    EXPECT_EQ(rig.plotter.headlessGraph().pointCount(1), 2);
    EXPECT_EQ(rig.plotter.headlessGraph().pointCount(2), 0);
    EXPECT_TRUE(rig.sim->waitForLog([](const QList<MeterSim::Entry> &log) {
        int locs = 0;
        for (const MeterSim::Entry &e : log)
            locs += e.kind == '>' && e.bytes == "*LOC";
        return locs == 1 + 5;
    }));
}

TEST(SweepOnMeter, ThreeTwoItemDrawsAndCancelKeepsTheGraph)
{
    Rig rig;
    ASSERT_TRUE(rig.connectMeter()) << qPrintable(rig.sim->errorText());
    rig.plotter.editText(S::Points, "2");
    rig.plotter.selectText(S::SecondItem, "D");
    ASSERT_TRUE(rig.draw());
    ASSERT_TRUE(rig.draw());
    EXPECT_EQ(rig.plotter.table().columnTitles(), QStringList({"Step", "Frequence", "C1", "D2", "C3", "D4"}));
    EXPECT_EQ(rig.plotter.table().picture(1), 5);
    EXPECT_EQ(rig.plotter.graph().axisLabel(3), "\"D\"");
    EXPECT_TRUE(startingWith(rig.sweepCommands(), "MEAS:FUNC").contains("MEAS:FUNC:C;D"));
    rig.prompter.answers = {false};
    // The simulator logs what it received a moment after answering: let the
    // last draw's closing commands arrive before counting.
    MeterSim::waitUntil([] { return false; }, 300);
    const int sent = rig.sim->commands().size();
    rig.commands.draw();
    EXPECT_EQ(rig.prompter.said.size(), 1);
    EXPECT_FALSE(rig.sequencer.isRunning());
    EXPECT_EQ(rig.plotter.headlessGraph().pointCount(4), 2);
    MeterSim::waitUntil([] { return false; }, 100);
    EXPECT_EQ(rig.sim->commands().size(), sent);
}

TEST(SweepOnMeter, YAxisLockSharesTheRangeOfTwoComponents)
{
    // One capacitor measured twice with different speeds would read alike;
    // the lock is seen best on two lines of very different size: C then X.
    Rig rig;
    ASSERT_TRUE(rig.connectMeter()) << qPrintable(rig.sim->errorText());
    rig.plotter.editText(S::Start, "100");
    rig.plotter.editText(S::End, "10000");
    rig.plotter.editText(S::Points, "5");
    ASSERT_TRUE(rig.draw());
    ASSERT_TRUE(rig.draw());
    const GraphSink &g = rig.plotter.graph();
    EXPECT_EQ(g.axisMinimum(2), g.axisMinimum(3));
    EXPECT_EQ(g.axisMaximum(2), g.axisMaximum(3));
    rig.plotter.setChecked(S::YAxisLock, false);
    EXPECT_EQ(g.axisMaximum(2), rig.plotter.ranges().autoMax[1]);
    EXPECT_EQ(g.axisMaximum(3), rig.plotter.ranges().autoMax[2]);
}

TEST(SweepOnMeter, StopResetMidSweepSendsNothingMore)
{
    Rig rig({QStringLiteral("--component"), QStringLiteral("C=100n")});
    ASSERT_TRUE(rig.sim->isRunning());
    ASSERT_TRUE(rig.connectMeter()) << qPrintable(rig.sim->errorText());
    rig.plotter.editText(S::Points, "200");
    rig.commands.draw();
    ASSERT_TRUE(MeterSim::waitUntil([&] { return rig.plotter.setup().pointIndex >= 3; }));
    rig.commands.stopReset();
    EXPECT_FALSE(rig.sequencer.isRunning());
    MeterSim::waitUntil([] { return false; }, 50);
    const int sent = rig.sim->commands().size();
    MeterSim::waitUntil([] { return false; }, 200);
    EXPECT_EQ(rig.sim->commands().size(), sent);
    EXPECT_FALSE(rig.sim->commands().contains("*LOC") && rig.sim->commands().count("*LOC") > 1);
    EXPECT_EQ(rig.plotter.table().tableRowCount(), 0);
    EXPECT_FALSE(rig.cache.isEmpty()); // a stop leaves the cache alone
    // The next Draw starts again at the first point.
    rig.plotter.editText(S::Points, "2");
    ASSERT_TRUE(rig.draw());
    EXPECT_EQ(rig.plotter.table().tableRowCount(), 2);
    EXPECT_EQ(rig.plotter.table().cell(0, 1), "20.000000Hz");
}

TEST(SweepOnMeter, AMeterThatHangsUpStopsTheSweepAndKeepsItsPoints)
{
    Rig rig({QStringLiteral("--component"), QStringLiteral("C=100n"), QStringLiteral("--hangup-after"),
             QStringLiteral("4")});
    ASSERT_TRUE(rig.connectMeter()) << qPrintable(rig.sim->errorText());
    QStringList interruptions;
    QObject::connect(&rig.sequencer, &SweepSequencer::interrupted, [&](const QString &r) { interruptions << r; });
    rig.commands.draw();
    ASSERT_TRUE(MeterSim::waitUntil([&] { return !rig.sequencer.isRunning(); }, 10000));
    ASSERT_EQ(interruptions.size(), 1);
    EXPECT_TRUE(interruptions[0].contains("points already measured are kept")) << qPrintable(interruptions[0]);
    EXPECT_TRUE(rig.prompter.said.isEmpty()) << "the front end tells the reason";
    EXPECT_EQ(rig.plotter.table().tableRowCount(), 4);
    EXPECT_EQ(rig.plotter.headlessGraph().pointCount(1), 4);
    EXPECT_TRUE(rig.plotter.drawEnabled());
    EXPECT_FALSE(rig.link.isConnected());
    // Until the operator connects again, Draw is refused.
    rig.commands.draw();
    EXPECT_EQ(rig.prompter.said.last().text, "Not connect yet. Please setup and modify the communication status.");
}
