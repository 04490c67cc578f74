#pragma once

#include <QString>
#include <QVector>

// A sweep as the meter is to be driven through it, fixed when Draw starts
// it: what is read, in which circuit and at what speed, and per point the
// swept value with the frequency and level sent for it. Built by
// PlotterState from the page's settings; whoever measures it never reads
// the page.
struct SweepPlan
{
    enum Kind { Frequency = 0, Voltage = 1 };

    struct Point
    {
        float x = 0.0f;           // the swept value, as the list shows it
        double frequencyHz = 0.0;
        double levelVolts = 0.0;
    };

    int kind = Frequency;
    bool logSpacing = false;
    QString firstItem;
    QString secondItem;
    QString circuit;
    // The speed list stays enabled during a sweep: a change applies from
    // the next point on (SweepRunner::setSpeed).
    QString speed;
    // The linear step between points, also the progress made per point.
    float step = 0.0f;
    QVector<Point> points;
};
