#pragma once

#include "common/LegacyIds.h"

#include <QObject>
#include <QString>

class InstrumentLink;
class MeasurementSequencer;
class ProcedureModel;
class Prompter;

// The Executive View's Run and Emergency Stop commands: the checks before a
// run, then the sequencer does the work. The page buttons reach these
// through the form view's run command (ids 1023 and 1025).
class RunCommands : public QObject
{
    Q_OBJECT
public:
    static constexpr int RunId = LegacyId::Executive::Run;
    static constexpr int EmergencyStopId = LegacyId::Executive::EmergencyStop;

    RunCommands(InstrumentLink &link, ProcedureModel &procedure, MeasurementSequencer &sequencer,
                Prompter *prompter, QObject *parent = nullptr);

    // Refuses (with a message) without a connection, then without steps;
    // otherwise starts a run. True when a run was started.
    bool run();
    // Stops whatever the run is doing; always allowed, sends nothing.
    void emergencyStop();

    // The text of the last refusal of run(), for front ends without boxes.
    QString lastRefusal() const { return m_lastRefusal; }

    static QString exceptionCaption();
    static QString notConnectedText();
    static QString noProcedureText();

private:
    void tell(const QString &text);

    InstrumentLink &m_link;
    ProcedureModel &m_procedure;
    MeasurementSequencer &m_sequencer;
    Prompter *m_prompter;
    QString m_lastRefusal;
};
