#pragma once

#include "meter/MeterCommands.h"
#include "meter/MeterProfile.h"

#include <QByteArray>
#include <QList>
#include <QString>

// What one measurement is taken at, whatever the meter: the procedure
// step's or the sweep point's settings, values in hertz and volts (or
// amperes when current is set).
struct MeasureSettings
{
    QString firstItem;
    QString secondItem = QStringLiteral("off");
    QString circuit;
    QString speed = QStringLiteral("MED");
    double frequencyHz = 1000.0;
    double level = 1.0;
    bool current = false;
};

// A profile's side of a measurement: the setting lines for the settings
// cache, the trigger, and the reply read into a reading. Pure functions, so
// a run, a sweep or a remote client all drive a profile alike.
namespace ProfileDriver {

struct Reading
{
    enum class Kind { Value, Overload, Error };
    Kind kind = Kind::Value;
    // "primary[,secondary]\n" in the legacy reply's shape, which the result
    // table and the plotter read.
    QByteArray line;
    QString primary;
    QString secondary;
    bool hasSecondary = false;
    int status = 0;
    QString error; // Error: what the meter said, as a sentence part
};

// Everything a profile needs to measure at one set of settings, worked
// out once: a run keeps one per step and reuses it pass after pass.
struct Plan
{
    QList<MeterCommands::Setting> settings; // see settings()
    int primaryField = 1;
    int secondaryField = 2;
    bool secondOff = true;
};
Plan plan(const MeterProfile &profile, const MeasureSettings &settings);
Reading read(const MeterProfile &profile, const Plan &plan, const QByteArray &reply);

// Why the profile cannot measure these settings (naming what it lacks);
// empty when it can. Legacy can measure everything.
QString cannot(const MeterProfile &profile, const MeasureSettings &settings);
// The settings as cache entries; an entry's text may hold several lines
// separated by line feeds. Call cannot() first.
QList<MeterCommands::Setting> settings(const MeterProfile &profile, const MeasureSettings &settings);
// A line as it goes on the wire: the text and the profile's terminator.
QByteArray wire(const MeterProfile &profile, const QByteArray &text);
// Turns the profile's reply line into a reading.
Reading read(const MeterProfile &profile, const MeasureSettings &settings, const QByteArray &reply);
// "%g" of a number, as the profiles send numbers.
QByteArray number(double value);

} // namespace ProfileDriver
