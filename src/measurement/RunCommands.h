#pragma once

#include "common/LegacyIds.h"

#include <QObject>
#include <QString>

class InstrumentLink;
class MeasurementSequencer;
class ProcedureModel;

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
                QObject *parent = nullptr);

    // Refuses without a connection, then without steps, then with a step the
    // meter cannot measure (lastRefusal() says which); otherwise starts a
    // run. True when a run was started.
    bool run();
    // Stops whatever the run is doing; always allowed, sends nothing.
    void emergencyStop();

    // The text of the last refusal of run(); the front end shows it.
    QString lastRefusal() const { return m_lastRefusal; }

    static QString exceptionCaption();
    static QString notConnectedText();
    static QString noProcedureText();

private:
    InstrumentLink &m_link;
    ProcedureModel &m_procedure;
    MeasurementSequencer &m_sequencer;
    QString m_lastRefusal;
};
