// Sweeps against a simulated meter that misbehaves: dropped, cut, dirty or
// acknowledged replies, a hang-up and a flood. A sweep may stop, but it never
// hangs beyond Stop / Reset, never loses a point it took, and the next Draw
// (after a reconnect where the line went away) works.

#include "../support/LinkProbe.h"
#include "../support/SessionRig.h"

#include "meter/ReplySplitter.h"
#include "measurement/SweepSequencer.h"
#include "plotter/GraphData.h"
#include "plotter/PlotterCommands.h"
#include "plotter/PlotterState.h"
#include "plotter/SweepReading.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using S = PlotterState;

namespace {

// The session's Plotter View half and a simulated 100 nF capacitor behind a
// fixed device name, so a meter that went away can be replaced.
struct Bench : SessionRig
{
    explicit Bench(const QStringList &faults)
    {
        startMeter(faults);
        link.setReplyLimit(64 * 1024);
        plotter.editText(S::Start, "1");
        plotter.editText(S::End, "100");
        QObject::connect(&sequencer, &SweepSequencer::interrupted, [this](const QString &r) { stops << r; });
    }

    void startMeter(const QStringList &faults)
    {
        SessionRig::startMeter(QStringList{"--component", "C=100n", "--link", device()} + faults);
    }
    QString device() const { return dir.filePath(QStringLiteral("meter")); }
    bool connectMeter() { return SessionRig::connectMeter(device()); }

    // Draw as the button does, and wait until the sweep is no longer running.
    bool draw(int points, int ms = 10000)
    {
        plotter.editText(S::Points, QString::number(points));
        return commands.checkPoints() && SessionRig::draw(ms);
    }

    static void idle(int ms) { MeterSim::waitUntil([] { return false; }, ms); }

    int triggers() const { return int(sim->commands().count("MEAS:TRIG")); }
    QString cell(int row, int column) const { return plotter.table().cell(row, column); }
    int rows() const { return plotter.table().tableRowCount(); }
    const QVector<QPointF> &points(int plot) { return plotter.headlessGraph().points(plot); }

    // What the rules make of a reply line, given the cell of row 0 on line
    // 1 (empty for the very first reading of a table).
    SweepReading reading(QByteArray line, const QString &reference) const
    {
        line.replace('\0', QByteArray()); // the link drops NUL bytes
        const ReplySplitter::Parts parts = ReplySplitter::split(line);
        return SweepReading::make(parts.primary, parts.secondary, false, reference, plotter.firstItemIndex(),
            plotter.secondItemIndex());
    }
    // The cell of a clean reply of the simulated 100 nF.
    QString clean(const QString &reference) const { return reading(cleanReply, reference).primaryCell; }
    QString clean(int row) const { return clean(row == 0 ? QString() : cell(0, 2)); }

    const QByteArray cleanReply = "1.00000E-07\n";
    QTemporaryDir dir;
    PlotterState &plotter = session.plotter();
    PlotterCommands &commands = session.plotterCommands();
    SweepSequencer &sequencer = session.sweep();
    SettingsCache &cache = session.cache();
    InstrumentLink &link = session.link();
    QStringList stops;
};

#define REQUIRE_METER(bench) ASSERT_TRUE((bench).connectMeter()) << qPrintable((bench).sim->errorText())

} // namespace

TEST(SweepFaults, ADroppedReplyWaitsUntilStopResetAndTheNextDrawWorks)
{
    // The third trigger, the first point of the second line, gets no answer.
    Bench bench({"--drop-every", "3"});
    REQUIRE_METER(bench);
    ASSERT_TRUE(bench.draw(2));
    ASSERT_EQ(bench.rows(), 2);
    EXPECT_EQ(bench.sim->replyLines(2), (QList<QByteArray>{bench.cleanReply, bench.cleanReply}));
    const QString first = bench.cell(0, 2), second = bench.cell(1, 2);
    EXPECT_EQ(first, bench.clean(0));
    EXPECT_EQ(second, bench.clean(1));

    bench.plotter.editText(S::Points, "2");
    bench.commands.draw();
    ASSERT_TRUE(MeterSim::waitUntil([&] { return bench.triggers() == 3; }));
    Bench::idle(500);
    EXPECT_EQ(bench.sequencer.state(), SweepSequencer::State::Waiting);
    EXPECT_FALSE(bench.plotter.drawEnabled());
    EXPECT_EQ(bench.triggers(), 3);
    EXPECT_EQ(bench.cell(0, 2), first) << "the first line stays while the second waits";
    EXPECT_EQ(bench.cell(0, 3), QString());
    EXPECT_TRUE(bench.prompter.said.isEmpty());

    bench.commands.stopReset();
    EXPECT_FALSE(bench.sequencer.isRunning());
    EXPECT_TRUE(bench.plotter.drawEnabled());
    EXPECT_EQ(bench.plotter.setup().nextLine, 1);

    ASSERT_TRUE(bench.draw(2));
    EXPECT_EQ(bench.triggers(), 5);
    ASSERT_EQ(bench.rows(), 2);
    EXPECT_EQ(bench.cell(0, 2), first);
    EXPECT_EQ(bench.cell(1, 2), second);
    EXPECT_EQ(bench.points(1).size(), 2);
    EXPECT_TRUE(bench.plotter.drawEnabled());
    EXPECT_TRUE(bench.stops.isEmpty());
}

TEST(SweepFaults, PiecesNulAndGarbageAreReadAsTheRulesSayAndEveryPointIsTaken)
{
    Bench bench({"--split", "5", "--split-pause", "3", "--nul-every", "2", "--garbage-every", "3",
        "--garbage-bytes", "6", "--seed", "5"});
    REQUIRE_METER(bench);
    ASSERT_TRUE(bench.draw(6));
    ASSERT_EQ(bench.rows(), 6);
    ASSERT_EQ(bench.points(1).size(), 6);
    EXPECT_TRUE(bench.sim->sentBytes().contains('\0'));

    // Each point reads the line the meter sent for it (the link drops NULs),
    // in the unit of the first row.
    const QList<QByteArray> lines = bench.sim->replyLines(6);
    ASSERT_EQ(lines.size(), 6);
    for (int p = 0; p < 6; ++p) {
        const SweepReading r = bench.reading(lines[p], p == 0 ? QString() : bench.cell(0, 2));
        EXPECT_EQ(bench.cell(p, 2), r.primaryCell) << "point " << p;
        EXPECT_DOUBLE_EQ(bench.points(1).at(p).y(), r.primaryValue) << "point " << p;
    }
    // Points 1, 2, 4 and 5 came clean or with a NUL only.
    for (int p : {0, 1, 3, 4})
        EXPECT_EQ(bench.cell(p, 2), bench.clean(p)) << "point " << p;
    EXPECT_EQ(lines[2].size(), bench.cleanReply.size() + 6) << "junk before the third reply";
    EXPECT_TRUE(bench.stops.isEmpty());
}

TEST(SweepFaults, AMeterThatAcknowledgesSetCommandsReadsItsFirstLineAsTheRulesSay)
{
    Bench bench({"--ack", "OK"});
    REQUIRE_METER(bench);
    ASSERT_TRUE(bench.draw(3));
    ASSERT_EQ(bench.rows(), 3);
    // The first line after the first trigger is an acknowledgement: shown as
    // sent with the unit letter, plotted as 0.
    EXPECT_EQ(bench.cell(0, 2), "OKF");
    EXPECT_EQ(bench.points(1).at(0).y(), 0.0);
    for (int p = 1; p < 3; ++p)
        EXPECT_TRUE(bench.cell(p, 2).endsWith('F')) << qPrintable(bench.cell(p, 2));
    ASSERT_TRUE(bench.sim->waitForCommands(2 + 6 + 1 + 2 * 2 + 1));
    EXPECT_EQ(bench.sim->commands().last(), "*LOC");
    EXPECT_TRUE(bench.plotter.drawEnabled());
    EXPECT_TRUE(bench.cache.isEmpty());
}

TEST(SweepFaults, AHangUpMidSweepKeepsItsPointsAndAReconnectDrawsTheNextLine)
{
    Bench bench({"--hangup-after", "2"});
    REQUIRE_METER(bench);
    ASSERT_TRUE(bench.draw(4));

    ASSERT_EQ(bench.stops.size(), 1);
    EXPECT_TRUE(bench.stops[0].contains("lost")) << qPrintable(bench.stops[0]);
    EXPECT_TRUE(bench.prompter.said.isEmpty()) << "the front end tells the reason";
    EXPECT_FALSE(bench.link.isOpen());
    EXPECT_FALSE(bench.link.isConnected());
    ASSERT_EQ(bench.rows(), 2);
    const QString first = bench.cell(0, 2), second = bench.cell(1, 2);
    EXPECT_EQ(first, bench.clean(0));
    EXPECT_EQ(second, bench.clean(1));
    EXPECT_EQ(bench.points(1).size(), 2);
    EXPECT_TRUE(bench.plotter.drawEnabled());

    // Draw without the meter is refused and changes nothing.
    bench.prompter.clear();
    bench.commands.draw();
    EXPECT_EQ(bench.prompter.texts(),
        QStringList{"Not connect yet. Please setup and modify the communication status."});
    EXPECT_EQ(bench.rows(), 2);

    ASSERT_TRUE(bench.sim->waitForExit());
    bench.startMeter({});
    REQUIRE_METER(bench);
    ASSERT_TRUE(bench.draw(4));
    // Line 2 takes all four points; line 1 keeps its two.
    ASSERT_EQ(bench.rows(), 4);
    for (int p = 0; p < 4; ++p)
        EXPECT_EQ(bench.cell(p, 3), bench.clean(first)) << "point " << p;
    EXPECT_EQ(bench.cell(0, 2), first);
    EXPECT_EQ(bench.cell(1, 2), second);
    EXPECT_EQ(bench.cell(3, 2), QString());
    EXPECT_EQ(bench.cell(3, 1), "100.000000Hz");
    EXPECT_EQ(bench.points(1).size(), 2);
    EXPECT_EQ(bench.points(2).size(), 4);
    EXPECT_EQ(bench.stops.size(), 1);
}

TEST(SweepFaults, AFloodWithoutLineFeedIsCutAtTheReplyLimitAndTheTakenPointsStay)
{
    Bench bench({"--flood-after", "3"});
    REQUIRE_METER(bench);
    ASSERT_TRUE(bench.draw(5));

    ASSERT_EQ(bench.stops.size(), 1);
    EXPECT_EQ(bench.rows(), 2);
    EXPECT_EQ(bench.points(1).size(), 2);
    EXPECT_LE(LinkProbe::replyBuffer(bench.link).size(), bench.link.replyLimit());
    EXPECT_FALSE(bench.link.isOpen());
    EXPECT_TRUE(bench.stops[0].contains("65536")) << qPrintable(bench.stops[0]);
    EXPECT_TRUE(bench.plotter.drawEnabled());
}
