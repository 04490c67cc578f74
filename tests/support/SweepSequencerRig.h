#pragma once
// The sweep layer as the session wires it, over an in-process meter: link,
// connector, settings cache, the Plotter View's state and commands, and the
// sweep sequencer. The fake meter identifies itself and answers each trigger
// with the next of replies, a reply in the pieces given, each piece in a
// receive event of its own; once replies is empty it answers everyReply, or
// nothing. It goes away when a line starting with lostAt is written. The
// points taken and why sweeps ended are kept.

#include "FakeSerialTransport.h"
#include "MeterSim.h"
#include "RecordingPrompter.h"

#include "measurement/SweepSequencer.h"
#include "meter/InstrumentLink.h"
#include "meter/MeterConnector.h"
#include "meter/SettingsCache.h"
#include "plotter/PlotterCommands.h"
#include "plotter/PlotterState.h"

struct SweepSequencerRig
{
    SweepSequencerRig()
    {
        commands.setRunner(&sequencer);
        connector.setIdentificationDelay(20);
        fake.onWrite = [this](const QByteArray &line) { meterHears(line); };
        QObject::connect(&sequencer, &SweepSequencer::pointTaken, [this](int i) { points << i; });
        QObject::connect(&sequencer, &SweepSequencer::interrupted, [this](const QString &r) { interruptions << r; });
    }

    RecordingPrompter prompter;
    FakeSerialTransport fake; // outlives the link, which closes it on the way out
    InstrumentLink link{&prompter, &fake};
    MeterConnector connector{link};
    SettingsCache cache;
    PlotterState plotter;
    PlotterCommands commands{plotter, prompter};
    SweepSequencer sequencer{link, cache, plotter};

    QList<QList<QByteArray>> replies;
    QByteArray everyReply;
    QByteArray lostAt;
    int triggers = 0;
    QList<int> points;
    QStringList interruptions;

    void meterHears(const QByteArray &line)
    {
        if (!lostAt.isEmpty() && line.startsWith(lostAt)) {
            fake.fail(SerialTransport::Fault::DeviceLost, QStringLiteral("The device /dev/fake went away."));
            return;
        }
        if (line == "*IDN?\n")
            fake.deliverLater("QEL-44 SIM\n");
        if (line != "MEAS:TRIG\n")
            return;
        ++triggers;
        if (replies.isEmpty()) {
            if (!everyReply.isEmpty())
                fake.deliverLater(everyReply);
            return;
        }
        int delay = 0;
        for (const QByteArray &piece : replies.takeFirst())
            fake.deliverLater(piece, delay++);
    }

    bool connectMeter()
    {
        return connector.connectToMeter() && MeterSim::waitUntil([this] { return !connector.isIdentifying(); })
            && link.isConnected();
    }

    // Draws as the button does (the points checked first) with these
    // replies, and waits for the sweep to end.
    bool draw(const QList<QList<QByteArray>> &script = {})
    {
        if (!script.isEmpty())
            replies = script;
        if (!commands.checkPoints())
            return false;
        commands.draw();
        return MeterSim::waitUntil([this] { return !sequencer.isRunning(); });
    }

    // The lines written since the given count of writes.
    QList<QByteArray> sentSince(int writes) const { return fake.writes.mid(writes); }
};

// One reply a trigger, each whole.
inline QList<QList<QByteArray>> wholeReplies(const QList<QByteArray> &lines)
{
    QList<QList<QByteArray>> out;
    for (const QByteArray &l : lines)
        out << QList<QByteArray>{l};
    return out;
}
