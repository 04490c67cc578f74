#pragma once
// The run layer as the session wires it, with a meter answering in-process
// (FakeSerialTransport): link, connector, settings cache, procedure, result
// table, execution state and sequencer. The fake meter identifies itself
// and answers each trigger with answer(n) (n counts from 1; no answer while
// answer is empty or gives no bytes). What the sequencer reports is kept.

#include "FakeSerialTransport.h"
#include "ProcedureSteps.h"
#include "RecordingPrompter.h"

#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "measurement/MeasurementSequencer.h"
#include "meter/InstrumentLink.h"
#include "meter/MeterConnector.h"
#include "meter/SettingsCache.h"
#include "procedure/ProcedureModel.h"

#include <QtCore/qtestsupport_core.h>

#include <functional>

// A step of item in unit, the rest as the editor fills it in.
inline ProcedureStep runStep(const QString &item = QStringLiteral("C"), const QString &unit = QStringLiteral("nF"))
{
    return stepWith({{ProcedureStep::FItem, item}, {ProcedureStep::FUnit, unit}});
}

struct RunRig
{
    RecordingPrompter prompter;
    FakeSerialTransport fake;
    InstrumentLink link{&prompter, &fake};
    MeterConnector connector{link};
    SettingsCache cache;
    ProcedureModel procedure;
    ResultTableModel results;
    ExecutionState exec;
    MeasurementSequencer sequencer{link, cache, procedure, results, exec};

    std::function<QByteArray(int)> answer = [](int) { return QByteArray("1.00000E-07\n"); };
    int triggers = 0;
    QList<int> rowsSeen;
    int finishedCount = 0;
    QStringList interruptions;

    RunRig()
    {
        fake.onWrite = [this](const QByteArray &line) { meterHears(line); };
        QObject::connect(&sequencer, &MeasurementSequencer::rowCompleted, [this](int row) { rowsSeen << row; });
        QObject::connect(&sequencer, &MeasurementSequencer::finished, [this] { ++finishedCount; });
        QObject::connect(&sequencer, &MeasurementSequencer::interrupted,
            [this](const QString &why) { interruptions << why; });
    }

    // What the meter does with a line; a test may put its own onWrite in place.
    void meterHears(const QByteArray &line)
    {
        if (line == "*IDN?\n") {
            fake.deliver("QEL 4400 meter\n");
        } else if (line == "MEAS:TRIG\n") {
            ++triggers;
            if (answer)
                fake.deliverLater(answer(triggers), 0);
        }
    }

    // Connects and identifies; the lines written so far are forgotten.
    bool connectMeter()
    {
        connector.setIdentificationDelay(0);
        if (!connector.connectToMeter() || !QTest::qWaitFor([this] { return link.isConnected(); }, 2000))
            return false;
        fake.writes.clear();
        return true;
    }

    void setProcedure(const QVector<ProcedureStep> &steps)
    {
        procedure.setSteps(steps);
        procedure.renumber();
        results.rebuildColumns(procedure);
    }

    // Starts a run and waits until it ends.
    bool runToEnd(int ms = 5000)
    {
        sequencer.start();
        return QTest::qWaitFor([this] { return !sequencer.isRunning(); }, ms);
    }
};
