#pragma once

class CCommDlg;
class MeterConnector;

// The Setup > Communication command: a connected link is disconnected at once
// (no dialog, nothing sent); otherwise the Communication Setup dialog is shown
// and OK connects with its values.
class CommunicationCommand
{
public:
    enum class Outcome {
        Disconnected, // was connected; the port is closed
        Cancelled,    // the dialog was closed without OK; nothing changed
        Connecting,   // the port is open and the identification check runs
        Failed        // the port could not be opened; the error was shown
    };

    static Outcome run(MeterConnector &meter, CCommDlg &dialog);
};
