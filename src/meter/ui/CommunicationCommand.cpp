#include "meter/ui/CommunicationCommand.h"

#include "meter/InstrumentLink.h"
#include "meter/MeterConnector.h"
#include "meter/ui/CCommDlg.h"

CommunicationCommand::Outcome CommunicationCommand::run(MeterConnector &meter, CCommDlg &dialog)
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
    return meter.connectToMeter() ? Outcome::Connecting : Outcome::Failed;
}
