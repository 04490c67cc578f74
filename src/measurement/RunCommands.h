#pragma once

#include <QObject>
#include <QString>

class InstrumentLink;
class MeasurementSequencer;
class ProcedureModel;

// The Executive View's Run and Emergency Stop commands: the checks before a
// run, then the sequencer does the work. The session calls them when the
// page's Run and Emergency Stop buttons are clicked.
class RunCommands : public QObject
{
    Q_OBJECT
public:
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
