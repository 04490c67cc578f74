#pragma once

#include <QMetaType>
#include <QString>

// Why a run or sweep ended, or was refused, as one value every front end
// presents in its own place: the desktop program as a message box, qel-cli as
// one sentence and an exit status.
struct EndReason
{
    enum class Cause {
        Completed,        // the last pass or point was taken
        EmergencyStop,    // the operator stopped it (Emergency Stop, Stop / Reset)
        MeterLost,        // the link went away; detail holds the link's words
        ReplyTimeout,     // no reply within the reply timeout (detail: the milliseconds)
        ProcedureChanged, // the steps changed under a run
        NotConnected,     // refused: no meter connected
        NoProcedure,      // refused: no steps
        Unsupported,      // refused: a step the meter profile cannot measure (text says which)
        MeterError,       // the meter answered with an error status (text names it)
    };

    Cause cause = Cause::Completed;
    QString device; // the link's device path
    QString detail; // the cause's own words, without the operator text
    QString text;   // the operator text, exactly as the message box shows it

    bool endedEarly() const { return cause != Cause::Completed; }
};

Q_DECLARE_METATYPE(EndReason)
