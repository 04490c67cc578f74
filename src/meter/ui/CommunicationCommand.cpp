#include "meter/ui/CommunicationCommand.h"

#include "meter/InstrumentLink.h"
#include "meter/MeterConnector.h"
#include "meter/ui/CommunicationDialog.h"

CommunicationCommand::Outcome CommunicationCommand::run(MeterConnector &meter, CommunicationDialog &dialog,
                                                       const MeterProfiles *profiles)
{
    InstrumentLink &link = meter.link();
    if (link.isConnected()) {
        meter.disconnectFromMeter();
        return Outcome::Disconnected;
    }
    dialog.setSettings(link.settings());
    if (dialog.exec() != QDialog::Accepted)
        return Outcome::Cancelled;
    link.settings() = dialog.settings();
    if (profiles) {
        const QString chosen = link.settings().meterProfile;
        const MeterProfile *profile = profiles->find(chosen);
        meter.setAutomatic(chosen == MeterProfile::autoName(), profiles);
        link.setProfile(profile ? *profile : MeterProfile::legacy());
    }
    return meter.connectToMeter() ? Outcome::Connecting : Outcome::Failed;
}
