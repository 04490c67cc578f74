#include "plotter/SweepSetup.h"

#include "procedure/FieldParsing.h"

#include <cmath>

void SweepSetup::parseStart(const QString &text)
{
    start = float(FieldParsing::leadingDouble(text));
    currentX = start;
}

void SweepSetup::parseEnd(const QString &text)
{
    end = FieldParsing::leadingInt(text);
}

void SweepSetup::parsePoints(const QString &text)
{
    points = FieldParsing::leadingInt(text);
    pointsRemaining = points;
}

void SweepSetup::restart()
{
    currentX = start;
    pointsRemaining = points;
    pointIndex = 0;
    logRun = usesLogSpacing();
}

float SweepSetup::stepFor(int end, const QString &startText, const QString &pointsText)
{
    const int intervals = FieldParsing::leadingInt(pointsText) - 1;
    if (intervals < 1)
        return 0.0f;
    return float(end - FieldParsing::leadingInt(startText)) / float(intervals);
}

float SweepSetup::progressStep() const
{
    if (points < 2)
        return 0.0f;
    return (float(end) - start) / float(points - 1);
}

bool SweepSetup::advance(float step)
{
    if (pointsRemaining <= 1)
        return true;
    ++pointIndex;
    --pointsRemaining;
    if (pointsRemaining == 1)
        currentX = float(end);
    else if (logRun && start > 0 && end > 0 && points > 1)
        currentX = float(double(start) * std::pow(double(end) / double(start), double(pointIndex) / (points - 1)));
    else
        currentX = currentX + step;
    return false;
}

double SweepSetup::frequencyHz(double value, const QString &unit)
{
    if (unit.contains(QLatin1Char('K')))
        return value * 1000.0;
    if (unit.contains(QLatin1Char('M')))
        return value * 1000000.0;
    return value;
}

double SweepSetup::levelVolts(double value, const QString &unit)
{
    if (unit.contains(QLatin1Char('m')))
        return value * 0.001;
    return value;
}

QString SweepSetup::kindText(int kind)
{
    return kind == Voltage ? QStringLiteral("Volt.") : QStringLiteral("Freq.");
}
