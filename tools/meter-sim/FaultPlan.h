#pragma once

#include <random>
#include <string>
#include <vector>

// Misbehaviour on request, so the program's handling of a bad meter or a bad
// line can be tried. Counts start at the first trigger after start-up.
struct FaultOptions
{
    bool noIdentification = false; // never answer *IDN?
    int identificationDelayMs = 0; // answer *IDN? this late
    int dropEvery = 0;             // no reply to every Nth trigger
    int splitPieces = 0;           // send each reply in this many pieces
    int splitPauseMs = 20;         // pause between the pieces
    int nulEvery = 0;              // a NUL byte inside every Nth reply
    int garbageEvery = 0;          // junk bytes before every Nth reply
    int garbageBytes = 8;
    std::string acknowledge;       // a line after every set command
    int hangupAfter = 0;           // close the line after the Nth trigger's reply
    int floodAfter = 0;            // from the Nth trigger on, bytes without a line feed
};

class FaultPlan
{
public:
    struct Trigger
    {
        bool drop = false;
        bool flood = false;
        bool hangup = false;                // hang up once these pieces are out
        std::vector<std::string> pieces;    // the reply as sent, in order
    };

    FaultPlan(const FaultOptions &options, unsigned seed);

    // Decides what happens to the reply of the next trigger.
    Trigger planTrigger(const std::string &reply);
    int triggers() const { return m_triggers; }
    const FaultOptions &options() const { return m_options; }

    // Bytes for a flood: digits and blanks, never a line feed or a NUL.
    std::string floodBytes(size_t count);

private:
    static bool every(int n, int count) { return n > 0 && count % n == 0; }

    FaultOptions m_options;
    int m_triggers = 0;
    std::mt19937 m_rng;
};
