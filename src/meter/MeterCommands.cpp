#include "meter/MeterCommands.h"

#include "common/LocaleNumbers.h"

namespace MeterCommands {

namespace {

// Field texts are 8-bit; anything a file smuggled in beyond Latin-1 goes
// out as '?' rather than as multi-byte garbage.
QByteArray bytes(const QString &text)
{
    return text.toLatin1();
}

} // namespace

QByteArray identify()
{
    return QByteArrayLiteral("*IDN?\n");
}

QByteArray local()
{
    return QByteArrayLiteral("*LOC\n");
}

QByteArray trigger()
{
    return QByteArrayLiteral("MEAS:TRIG\n");
}

QByteArray identityMark()
{
    return QByteArrayLiteral("44");
}

Setting frequency(double hertz)
{
    return {Family::Frequency, "MEAS:FREQ " + LocaleNumbers::formatFixedBytes(hertz)};
}

Setting testMode(const QString &firstItem)
{
    return {Family::TestMode,
        firstItem == QLatin1String("Rdc") ? QByteArrayLiteral("MEAS:TEST:RDC") : QByteArrayLiteral("MEAS:TEST:AC")};
}

Setting level(double volts)
{
    return {Family::Level, "MEAS:LEV " + LocaleNumbers::formatFixedBytes(volts)};
}

Setting function(const QString &firstItem, const QString &secondItem)
{
    QByteArray t = "MEAS:FUNC:" + bytes(firstItem);
    if (secondItem != QLatin1String("off"))
        t += ';' + bytes(secondItem);
    return {Family::Function, t};
}

Setting circuit(const QString &circuitText)
{
    return {Family::Circuit, "MEAS:EQU-CCT " + bytes(circuitText), !circuitText.isEmpty()};
}

Setting speed(const QString &speedText)
{
    return {Family::Speed, "MEAS:SPEED " + bytes(speedText)};
}

QList<Setting> sweepSettings(const SweepPoint &point)
{
    return {
        testMode(point.firstItem),
        frequency(point.frequencyHz),
        level(point.levelVolts),
        function(point.firstItem, point.secondItem),
        circuit(point.circuit),
        speed(point.speed),
    };
}

} // namespace MeterCommands
