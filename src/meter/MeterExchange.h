#pragma once

#include "meter/MeterCommands.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTimer>

class InstrumentLink;
class SettingsCache;

// One requester's conversation with the meter: the settings that changed
// (through the shared cache), then a trigger, then exactly one reply line.
// A reply is the bytes after this requester's trigger up to the first line
// feed, searched over everything that arrived since the trigger (not just
// the latest chunk). Bytes that arrive while nothing is awaited are kept for
// takeFirstLine() but never reported as a reply.
//
// The run and the sweep each have their own exchange over the shared link
// and cache, so neither ever takes the other's reply.
class MeterExchange : public QObject
{
    Q_OBJECT
public:
    MeterExchange(InstrumentLink &link, SettingsCache &cache, QObject *parent = nullptr);

    InstrumentLink &link() const { return m_link; }
    SettingsCache &cache() const { return m_cache; }

    // Writes the settings the cache lets through, one line at a time, then
    // empties the latest chunk and writes the trigger. False, with nothing
    // more written, when the link was lost or cancel() was called during a
    // write: the caller's state may have changed under it.
    bool request(const QList<MeterCommands::Setting> &settings);
    // Stops waiting for a reply; nothing is sent.
    void cancel();
    bool isWaiting() const { return m_waiting; }

    // What the end of a run or sweep sends: "*LOC\n"; the cache is emptied
    // so the next run or sweep sends every setting.
    void finish();

    // Empties the bytes kept from the meter.
    void clearReplies();
    // Removes and returns the oldest kept line (through its line feed); empty
    // when none is complete. Lines come in arrival order, whatever they
    // answered.
    QByteArray takeFirstLine();

    // Milliseconds to wait for a reply before timedOut(); 0 waits for ever.
    int replyTimeout() const { return m_timeoutMs; }
    void setReplyTimeout(int ms) { m_timeoutMs = ms < 0 ? 0 : ms; }

signals:
    // The awaited reply: the bytes after the trigger through the first line
    // feed. Emitted from the link's receive notification.
    void replied(const QByteArray &line);
    // No line feed came within the reply timeout; waiting has stopped.
    void timedOut();
    // The link went away (the port is closed already); waiting has stopped.
    // Emitted whether or not a reply was awaited, possibly from inside a write.
    void lost(const QString &fault);

private:
    void onReceived();
    void onLinkLost(const QString &message);
    void onTimeout();

    InstrumentLink &m_link;
    SettingsCache &m_cache;
    QTimer m_timeout;
    int m_timeoutMs = 0;
    bool m_waiting = false;
    // Bumped by every loss and cancel: a write that saw it change stops.
    quint64 m_interruptions = 0;
    // Reply bytes before m_replyStart were there before the trigger; up to
    // m_scanned they have been searched for the line feed already.
    qsizetype m_replyStart = 0;
    qsizetype m_scanned = 0;
};
