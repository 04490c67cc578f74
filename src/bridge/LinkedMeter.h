#pragma once

#include "bridge/BridgeInstrument.h"
#include "meter/MeterMeasurement.h"

class InstrumentLink;
class SettingsCache;

// The meter the link is connected to, as the bridge sees it: the common
// function tokens turned into the profile's items and circuit, one
// measurement through MeterMeasurement (legacy bytes and cache included).
class LinkedMeter : public BridgeMeter
{
    Q_OBJECT
public:
    // Limits of the common set the bridge accepts from any meter; a meter
    // that cannot reach a value says so itself.
    static constexpr double MinFrequency = 20;
    static constexpr double MaxFrequency = 2e6;
    static constexpr double MaxVoltage = 10;
    static constexpr double MaxCurrent = 0.1;

    LinkedMeter(InstrumentLink &link, SettingsCache &cache, const QString &identity, QObject *parent = nullptr);

    QString identity() const override { return m_identity; }
    int check(const BridgeSettings &settings) const override;
    void measure(const BridgeSettings &settings) override;
    // How long a reply may take before the measurement fails (0: for ever).
    void setReplyTimeout(int ms) { m_measurement.exchange().setReplyTimeout(ms); }
    // What ends the series (legacy: "*LOC").
    void finish() { m_measurement.finish(); }

    // The item, second item and circuit of a common function token, and
    // whether A is the meter's secondary reading (RX, GB); false for an
    // unknown token.
    static bool mapFunction(const QString &token, MeasureSettings &out, bool *swapped);
    static MeasureSettings toMeasure(const BridgeSettings &settings, bool *swapped);

private:
    void onMeasured(const ProfileDriver::Reading &reading);
    void fail(const QString &why);

    QString m_identity;
    MeterMeasurement m_measurement;
    bool m_swapped = false;
    bool m_busy = false; // one answer a measurement
};
