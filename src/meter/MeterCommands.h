#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The meter's command lines: ASCII text ending in one line feed, never a
// carriage return. Setting commands are built without their line feed so
// the settings cache can compare them; SettingsCache adds it when it lets
// one through.
namespace MeterCommands {

// Families of setting commands, in the settings cache's order.
enum class Family { Circuit = 0, Function, Frequency, TestMode, Level, Speed };
constexpr int FamilyCount = 6;

struct Setting
{
    Family family;
    QByteArray text; // without the line feed
    // False for a circuit command without a circuit: the cache remembers
    // it but the meter never sees it.
    bool writable = true;

    bool operator==(const Setting &o) const
    {
        return family == o.family && text == o.text && writable == o.writable;
    }
};

// Complete lines that bypass the cache.
QByteArray identify(); // "*IDN?\n"
QByteArray local();    // "*LOC\n"
QByteArray trigger();  // "MEAS:TRIG\n"
// What an identification reply must contain.
QByteArray identityMark(); // "44"

// One setting command each, without its line feed.
Setting frequency(double hertz);                                    // "MEAS:FREQ 100000.000000"
Setting testMode(const QString &firstItem);                         // "MEAS:TEST:RDC" / "MEAS:TEST:AC"
Setting level(double volts);                                        // "MEAS:LEV 0.300000"
Setting function(const QString &firstItem, const QString &secondItem); // "MEAS:FUNC:C;D"
Setting circuit(const QString &circuitText);                        // "MEAS:EQU-CCT PAR"; empty: not writable
Setting speed(const QString &speedText);                            // "MEAS:SPEED MED"

// One point of a sweep, values already scaled to hertz and volts.
struct SweepPoint
{
    QString firstItem;
    QString secondItem;
    QString circuit;
    QString speed;
    double frequencyHz = 0.0;
    double levelVolts = 0.0;
};

// A sweep point's settings in sending order: test mode, frequency, level,
// function, circuit, speed.
QList<Setting> sweepSettings(const SweepPoint &point);

} // namespace MeterCommands
