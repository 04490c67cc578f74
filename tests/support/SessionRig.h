#pragma once
// The session as a front end builds it, over the simulated meter, with a
// recorder on its signals: events holds what came in order ("runStarted",
// "row0", "runEnded", "runRefused", "sweepStarted", "point0", "sweepEnded",
// "idleLoss"), ends the reason of every end.
//
//   SessionRig rig({"--component", "C=100n", "--hangup-after", "2"});
//   ASSERT_TRUE(rig.connectMeter()) << qPrintable(rig.sim->errorText());
//   rig.setProcedure({stepWith({{ProcedureStep::FStd, "100"}})}, 5);
//   ASSERT_TRUE(rig.session.run());
//   ASSERT_TRUE(rig.waitForEnds(1));
//
// SessionRig() starts no simulator until startMeter(), which also replaces
// one (a meter that went away comes back); connectMeter() connects to the
// one running, or through device when given.

#include "MeterSim.h"
#include "ProcedureSteps.h"
#include "RecordingPrompter.h"

#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"
#include "session/QelSession.h"

#include <memory>

struct SessionRig
{
    explicit SessionRig(const QStringList &simArgs) : SessionRig() { startMeter(simArgs); }
    SessionRig()
    {
        QObject::connect(&session, &QelSession::runStarted, [this] { events << "runStarted"; });
        QObject::connect(&session, &QelSession::rowJudged,
            [this](int row, const PassEvaluator::Row &, const QDateTime &) { events << QStringLiteral("row%1").arg(row); });
        QObject::connect(&session, &QelSession::runEnded, [this](const EndReason &r) { ends << r; events << "runEnded"; });
        QObject::connect(&session, &QelSession::runRefused, [this](const EndReason &r) { ends << r; events << "runRefused"; });
        QObject::connect(&session, &QelSession::sweepStarted, [this] { events << "sweepStarted"; });
        QObject::connect(&session, &QelSession::pointTaken, [this](int i) { events << QStringLiteral("point%1").arg(i); });
        QObject::connect(&session, &QelSession::sweepEnded, [this](const EndReason &r) { ends << r; events << "sweepEnded"; });
        QObject::connect(&session, &QelSession::linkLostWhileIdle, [this](const EndReason &r) { ends << r; events << "idleLoss"; });
    }

    void startMeter(const QStringList &simArgs)
    {
        sim.reset();
        sim = std::make_unique<MeterSim>(simArgs);
    }

    // Connects as Setup > Communication does and waits for the identification.
    bool connectMeter(const QString &device = {})
    {
        if (!sim || !sim->isRunning())
            return false;
        session.link().settings().devicePath = device.isEmpty() ? sim->devicePath() : device;
        session.connector().setIdentificationDelay(300);
        return session.connector().connectToMeter()
            && MeterSim::waitUntil([this] { return !session.connector().isIdentifying(); }, 5000)
            && session.link().isConnected();
    }

    void setProcedure(const QVector<ProcedureStep> &steps, int loops = 1)
    {
        session.procedure().setSteps(steps);
        session.procedure().renumber();
        session.results().rebuildColumns(session.procedure());
        session.execution().setLoopText(QString::number(loops));
    }

    // Draw as the button does, then waits until the sweep is over.
    bool draw(int ms = 10000)
    {
        session.draw();
        return MeterSim::waitUntil([this] { return !session.isSweeping(); }, ms);
    }

    bool waitForEnds(int count, int ms = 10000)
    {
        return MeterSim::waitUntil([this, count] { return ends.size() >= count; }, ms);
    }

    std::unique_ptr<MeterSim> sim;
    RecordingPrompter prompter;
    QelSession session {&prompter};
    QStringList events;
    QList<EndReason> ends;
};
