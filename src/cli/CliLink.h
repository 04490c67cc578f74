#pragma once

#include "instrument/InstrumentLink.h"

#include <QObject>
#include <QTimer>

#include <functional>

// Connects as the desktop program does and waits for the identification
// check; throws CliError(ExitConnection) naming the device when it fails.
void connectOrThrow(InstrumentLink &link, const QString &device, const QString &settingsText);

// One sentence for a run or sweep that the link's loss ended early: the
// link's own words when they name the device, and what was kept.
QString lostLinkSentence(const QString &device, const QString &reason, const QString &kept);

// Gives up a run or sweep that waits longer than the reply timeout for the
// meter; restarted by every step or point. Bytes alone do not restart it: a
// meter that sends without ever ending its line is as stuck as a silent one.
class ReplyWatchdog : public QObject
{
    Q_OBJECT
public:
    ReplyWatchdog(int timeoutMs, std::function<bool()> waiting, std::function<void()> expired);
    void restart();

private:
    void check();
    QTimer m_timer;
    std::function<bool()> m_waiting;
    std::function<void()> m_expired;
};
