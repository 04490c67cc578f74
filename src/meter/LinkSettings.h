#pragma once

#include <QString>

// The twelve link settings, with their defaults. Only the port number and
// the settings text are edited by the operator; every program start begins
// with these defaults.
struct LinkSettings
{
    qint16 portNumber = 1;
    bool dtrEnable = true;
    qint32 handshaking = 0; // 0 none, 1 XON/XOFF, 2 RTS/CTS, 3 both
    qint16 inBufferSize = 1024;
    qint32 inputMode = 0; // text
    bool nullDiscard = false;
    qint16 outBufferSize = 512;
    QString parityReplace = QStringLiteral("?");
    qint16 rThreshold = 1;
    bool rtsEnable = false;
    QString settingsText = QStringLiteral("9600,n,8,1");
    qint16 sThreshold = 0;
    // A device path typed or picked by the operator; empty means the
    // default mapping of the port number (/dev/ttyS<n-1>).
    QString devicePath;
    // The meter profile to speak ("legacy", a profile's name, or "auto").
    QString meterProfile = QStringLiteral("legacy");
};
