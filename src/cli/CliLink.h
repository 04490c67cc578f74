#pragma once

#include "instrument/InstrumentLink.h"

#include <QObject>
#include <QTimer>

#include <functional>

// Connects as the desktop program does and waits for the identification
// check; throws CliError(ExitConnection) naming the device when it fails.
void connectOrThrow(InstrumentLink &link, const QString &device, const QString &settingsText);

// Gives up a run or sweep that waits longer than the reply timeout for the
// meter; restarted by every received byte and every step.
class ReplyWatchdog : public QObject
{
    Q_OBJECT
public:
    ReplyWatchdog(InstrumentLink &link, int timeoutMs, std::function<bool()> waiting, std::function<void()> expired);
    void restart();

private:
    void check();
    QTimer m_timer;
    std::function<bool()> m_waiting;
    std::function<void()> m_expired;
};
