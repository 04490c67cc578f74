#pragma once

class CommunicationDialog;
class MeterConnector;
class MeterProfiles;

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

    // profiles: where the dialog's meter choice is looked up; null keeps
    // the link's profile.
    static Outcome run(MeterConnector &meter, CommunicationDialog &dialog, const MeterProfiles *profiles = nullptr);
};
