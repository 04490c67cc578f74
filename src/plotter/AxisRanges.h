#pragma once

#include <array>

// The four range tables of the Plotter View, indexed by axis number - 1:
// index 0 is the X axis (start and end), 1 to 4 the Y axes of lines 1 to 4.
// "auto" holds what the graph chose by itself after a sweep; "locked" the
// common ranges the Y axis lock applies.
struct AxisRanges
{
    static constexpr int Count = 5;

    std::array<double, Count> autoMin{};
    std::array<double, Count> autoMax{};
    std::array<double, Count> lockedMin{};
    std::array<double, Count> lockedMax{};

    // Start and end go into index 0 of all four tables.
    void setXMinimum(double start);
    void setXMaximum(double end);

    // After a sweep drew line a (and line b when secondItem): the locked
    // range of every line below nextLine. With a second item, odd lines
    // share the widest range of lines 1 and 3 (3 only when a is 3) and even
    // lines that of 2 and 4 (4 only when b is 4); with one item, all lines
    // share the widest range of lines 1 to nextLine - 1.
    void computeLocked(int a, int b, bool secondItem, int nextLine);
};
