#pragma once
// The run layer as the session wires it: link, connector, settings cache,
// procedure, result table, execution state, sequencer and the Run and
// Emergency Stop commands. The meter answers in-process (FakeSerialTransport)
// unless the rig is made for a device (a simulated meter's pty): the fake
// identifies itself and answers each trigger with answer(n) (n counts from 1;
// no answer while answer is empty or gives no bytes). How runs ended is kept.

#include "FakeSerialTransport.h"
#include "ProcedureSteps.h"
#include "RecordingPrompter.h"

#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "measurement/MeasurementSequencer.h"
#include "measurement/RunCommands.h"
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

using StepFields = std::initializer_list<std::pair<ProcedureStep::Column, QString>>;

// A 100 nF step at freq judged within ±5 %, with the fields given changed.
inline ProcedureStep capacitorStep(const QString &freq, StepFields fields = {})
{
    ProcedureStep s = stepWith({{ProcedureStep::FStd, QStringLiteral("100")}, {ProcedureStep::FLow, QStringLiteral("-5%")},
        {ProcedureStep::FHigh, QStringLiteral("+5%")}, {ProcedureStep::Freq, freq}});
    for (const auto &f : fields)
        s[f.first] = f.second;
    return s;
}

struct RunRig
{
    enum class Meter { InProcess, OnDevice };

    explicit RunRig(Meter meter = Meter::InProcess) : link(&prompter, meter == Meter::InProcess ? &fake : nullptr)
    {
        // A real line needs the meter's time to answer the identification.
        connector.setIdentificationDelay(meter == Meter::InProcess ? 0 : 300);
        fake.onWrite = [this](const QByteArray &line) { meterHears(line); };
        QObject::connect(&sequencer, &MeasurementSequencer::rowCompleted, [this](int row) { rowsSeen << row; });
        QObject::connect(&sequencer, &MeasurementSequencer::finished, [this] { ++finishedCount; });
        QObject::connect(&sequencer, &MeasurementSequencer::interrupted,
            [this](const QString &why) { interruptions << why; });
    }

    RecordingPrompter prompter; // the link's and the connector's messages
    FakeSerialTransport fake;
    InstrumentLink link;
    MeterConnector connector{link};
    SettingsCache cache;
    ProcedureModel procedure;
    ResultTableModel results;
    ExecutionState exec;
    MeasurementSequencer sequencer{link, cache, procedure, results, exec};
    RunCommands commands{link, procedure, sequencer};

    std::function<QByteArray(int)> answer = [](int) { return QByteArray("1.00000E-07\n"); };
    int triggers = 0;
    QList<int> rowsSeen;
    int finishedCount = 0;
    QStringList interruptions; // why runs ended early, as the session tells it

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

    // Connects (to device, when given) and identifies; the fake forgets the
    // lines written so far.
    bool connectMeter(const QString &device = {})
    {
        if (!device.isEmpty())
            link.settings().devicePath = device;
        if (!connector.connectToMeter()
            || !QTest::qWaitFor([this] { return !connector.isIdentifying(); }, 5000) || !link.isConnected())
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

    // Run as the Run button does, and wait until the run ends; false when
    // the run was refused or did not end in time.
    bool runToEnd(int ms = 10000)
    {
        return commands.run() && QTest::qWaitFor([this] { return !sequencer.isRunning(); }, ms);
    }

    QList<QStringList> rows() const
    {
        QList<QStringList> out;
        for (int r = 0; r < results.resultCount(); ++r)
            out << results.cells(r);
        return out;
    }
};
