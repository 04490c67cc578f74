#pragma once

#include "meter/MeterExchange.h"
#include "meter/ProfileDriver.h"

#include <QObject>

class InstrumentLink;
class SettingsCache;

// "Apply these settings, measure once, give me the reading" on whatever
// meter the link speaks: the legacy command set (its bytes and settings
// cache, as a sweep point sends them) or the link's profile. For callers
// that are neither a procedure run nor a sweep, such as a remote client
// of the bench; each caller has its own over the shared link and cache.
class MeterMeasurement : public QObject
{
    Q_OBJECT
public:
    MeterMeasurement(InstrumentLink &link, SettingsCache &cache, QObject *parent = nullptr);

    // Why the link's meter cannot measure these settings; empty when it can.
    QString cannot(const MeasureSettings &settings) const;
    // Sends the settings that changed and the trigger; the answer comes as
    // measured() or failed(). False when refused (see cannot()) or the link
    // went away under the write.
    bool measure(const MeasureSettings &settings);
    // Sends what ends a series of measurements (legacy: "*LOC"); the cache
    // is emptied.
    void finish() { m_exchange.finish(); }

    MeterExchange &exchange() { return m_exchange; }

signals:
    // A reading (Value or Overload); for legacy the status is always 0.
    void measured(const ProfileDriver::Reading &reading);
    // No reading: the meter's error status, no reply in time, or the loss.
    void failed(const QString &reason);

private:
    void onReplied(const QByteArray &line);

    InstrumentLink &m_link;
    MeterExchange m_exchange;
    MeasureSettings m_pending;
};
