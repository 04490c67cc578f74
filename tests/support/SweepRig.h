#pragma once
// A sweep as the program runs it, without a meter: Draw hands its plan to
// the runner (kept here), and each reply goes through SweepCollector the way
// SweepSequencer drives it: the reading recorded, then the end at the
// plan's last point or on by the plan's step, then the progress.
// PlotterBench is the Plotter View's core wired to such a runner.

#include "RecordingPrompter.h"

#include "plotter/PlotterCommands.h"
#include "plotter/PlotterState.h"
#include "plotter/SweepCollector.h"
#include "plotter/SweepRunner.h"

#include <QStringList>

#include <gtest/gtest.h>

class PlanRunner : public SweepRunner
{
public:
    bool connected = true;
    int starts = 0;
    int stops = 0;
    SweepPlan plan; // of the last start
    QString speed;  // the last one chosen during a sweep

    bool meterConnected() const override { return connected; }
    void startSweep(const SweepPlan &p) override
    {
        plan = p;
        ++starts;
    }
    void stopSweep() override { ++stops; }
    void setSpeed(const QString &s) override { speed = s; }
};

// The points of the sweep a runner started, answered one reply at a time.
class SweepRig
{
public:
    SweepRig(PlotterState &state, const PlanRunner &runner) : m_collector(state), m_runner(runner) {}

    // Answers the next point; true when it was the plan's last.
    bool answer(const QString &primary, const QString &secondary = {})
    {
        const SweepPlan &plan = m_runner.plan;
        m_collector.collect(primary, secondary);
        const bool last = ++m_point >= plan.points.size();
        if (last)
            m_collector.finish();
        else
            m_collector.advance(plan.step);
        m_collector.addProgress(plan.step);
        return last;
    }
    // Answers every point left with the same reply.
    void answerRest(const QString &primary, const QString &secondary = {})
    {
        ASSERT_FALSE(m_runner.plan.points.isEmpty()) << "no sweep was started";
        while (!answer(primary, secondary)) {
        }
    }
    // Answers with one reply a point, all the plan's points.
    void answerAll(const QStringList &primaries, const QStringList &secondaries = {})
    {
        ASSERT_EQ(primaries.size(), m_runner.plan.points.size()) << "one reply a point";
        for (int i = 0; i < primaries.size(); ++i)
            answer(primaries.at(i), secondaries.value(i));
    }
    // The meter went away: the sweep ends where it stands.
    void breakOff() { m_collector.finish(); }

    SweepCollector &collector() { return m_collector; }
    int answered() const { return m_point; }

private:
    SweepCollector m_collector;
    const PlanRunner &m_runner;
    int m_point = 0;
};

// The Plotter View's state and commands as the session wires them, the
// meter's side a PlanRunner.
struct PlotterBench
{
    PlotterState state;
    RecordingPrompter prompter;
    PlanRunner runner;
    PlotterCommands commands{state, prompter};

    PlotterBench() { commands.setRunner(&runner); }

    // Draws once and answers every point with the next of the replies.
    void sweep(const QStringList &primaries, const QStringList &secondaries = {})
    {
        commands.draw();
        SweepRig(state, runner).answerAll(primaries, secondaries);
    }
    // Answers every point left of the sweep Draw started with the same reply.
    void finishSweep(const QString &primary, const QString &secondary = {})
    {
        SweepRig(state, runner).answerRest(primary, secondary);
    }
};
