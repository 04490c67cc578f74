#pragma once

#include <QString>

// The sweep's settings as parsed from the Plotter View's edits, and the run
// state of the sweep under way. Start and the current x are single precision
// and the step is computed from the integer part of the Start text, so the
// points land where they always have; the last point is forced onto End.
struct SweepSetup
{
    enum Kind { Frequency = 0, Voltage = 1 };
    // The sweep kind list's texts: "Freq." and "Volt.".
    static QString kindText(int kind);

    // Settings.
    int kind = Frequency;
    float start = 20.0f;
    int end = 100;
    int points = 10;
    int fixedFrequency = 20;
    int fixedLevel = 10;
    // Geometric steps from start to end (both above 0); each point is
    // start * (end / start)^(i / (points - 1)), not a running sum.
    bool logSpacing = false;

    // Run state.
    float currentX = 20.0f;
    int pointsRemaining = 10;
    int pointIndex = 0;
    int nextLine = 1;
    int firstItemLine = 0;
    int secondItemLine = 0;
    // The spacing of the sweep under way, fixed when it starts: log steps
    // chosen meanwhile are for the next sweep.
    bool logRun = false;

    // The edit handlers: each re-parses its text. Start also restarts the
    // sweep at start, Points restarts the count down.
    void parseStart(const QString &text);
    void parseEnd(const QString &text);
    void parsePoints(const QString &text);

    // Puts the run state back to the first point, with the spacing chosen now.
    void restart();

    // (end - integer part of the Start text) / (points - 1), in single
    // precision. With fewer than two points there is no step: 0.
    static float stepFor(int end, const QString &startText, const QString &pointsText);
    // (end - start) / (points - 1) as the progress scale uses it; 0 below two points.
    float progressStep() const;

    // After a point was measured: true when it was the last one. Otherwise
    // moves to the next point; the last lands exactly on end.
    bool advance(float step);
    // Whether log spacing applies to the settings as they stand.
    bool usesLogSpacing() const { return logSpacing && start > 0 && end > 0 && points > 1; }

    // A value in a unit text as the meter takes it: "K" means kilo, else
    // "M" mega (frequency); "m" means milli (level).
    static double frequencyHz(double value, const QString &unit);
    static double levelVolts(double value, const QString &unit);
};
