#pragma once

#include "meter/MeterConnector.h"

#include <QString>

class QelSession;

// Chooses the meter profile named by --meter (nothing when empty); throws
// CliError(ExitUsage) with the profiles' sentence for an unknown or broken one.
void chooseMeterOrThrow(QelSession &session, const QString &name);

// Connects as the desktop program does and waits for the identification
// check; throws CliError(ExitConnection) naming the device when it fails.
void connectOrThrow(MeterConnector &meter, const QString &device, const QString &settingsText);

// One sentence for a run or sweep that the link's loss ended early: the
// link's own words when they name the device, and what was kept.
QString lostLinkSentence(const QString &device, const QString &reason, const QString &kept);
