#include "meter/ui/CommunicationCommand.h"

#include "meter/InstrumentLink.h"
#include "meter/ui/CCommDlg.h"

CommunicationCommand::Outcome CommunicationCommand::run(InstrumentLink &link, CCommDlg &dialog)
{
    if (link.isConnected()) {
        link.disconnectFromMeter();
        return Outcome::Disconnected;
    }
    dialog.setSettings(link.settings());
    if (dialog.exec() != QDialog::Accepted)
        return Outcome::Cancelled;
    link.settings() = dialog.settings();
    return link.connectToMeter() ? Outcome::Connecting : Outcome::Failed;
}
