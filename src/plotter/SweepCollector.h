#pragma once

#include <QString>

class PlotterState;

// What a sweep does with each reply, apart from talking to the meter: the
// row and its picture, the swept value, the readings in their cells, the
// axis labels and the points on the graph; then either the next point or
// the end of the sweep (ranges read and locked, Draw enabled again).
class SweepCollector
{
public:
    explicit SweepCollector(PlotterState &state) : m_state(state) {}

    // The meter's unit for the sweep point now due: frequency in hertz and
    // level in volts.
    double frequencyHz() const;
    double levelVolts() const;

    // Takes the reading of the current point into the table and the graph.
    void collect(const QString &primary, const QString &secondary);
    // After the last point (the caller has sent "*LOC\n" and emptied its
    // settings cache): fresh setup from the edits, Draw enabled, auto ranges
    // read, locked ranges computed and the Y ranges applied.
    void finish();
    // Otherwise: on to the next point.
    void advance(float step);
    // Moves the progress on by one step; done after either of the above.
    void addProgress(float step);

private:
    PlotterState &m_state;
};
