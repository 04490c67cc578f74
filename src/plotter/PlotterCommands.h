#pragma once

#include <QObject>
#include <QString>

class PlotterState;
class Prompter;
class SweepRunner;

// The Plotter View's run commands: Draw (1061) and Stop / Reset (1062),
// and the point-count check the Draw button makes before it sends 1061.
// The view registers draw() and stopReset() as its command handlers.
class PlotterCommands : public QObject
{
    Q_OBJECT
public:
    PlotterCommands(PlotterState &state, Prompter &prompter, QObject *parent = nullptr);

    // Without a runner the meter counts as not connected.
    void setRunner(SweepRunner *runner) { m_runner = runner; }
    SweepRunner *runner() const { return m_runner; }

    // Points below 2 or above 200: says so under "Exception", puts the
    // limit into the Points edit and returns false. The page then puts the
    // focus on the Points edit.
    bool checkPoints();
    void draw();
    void stopReset();

    // The text of the last refusal told (points out of range, no meter), so
    // a front end without message boxes can say it in its own way.
    QString lastRefusal() const { return m_lastRefusal; }

private:
    void refuse(const QString &text);

    PlotterState &m_state;
    Prompter &m_prompter;
    SweepRunner *m_runner = nullptr;
    QString m_lastRefusal;
};
