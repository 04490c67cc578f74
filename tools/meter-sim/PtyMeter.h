#pragma once

#include "CommandInterpreter.h"
#include "FaultPlan.h"
#include "SimLog.h"

#include <csignal>
#include <deque>
#include <string>

struct MeterTiming
{
    // Measuring time of one trigger per speed, SLOW MED FAST MAX, in seconds.
    double measureSeconds[4] = {0.400, 0.150, 0.060, 0.025};
    // Pace bytes in both directions at the line's rate, as a real line would.
    bool pace = false;
    // The rate to pace at; 0 takes the rate the client set on the line.
    int baud = 0;
};

// The meter on the master side of a pseudo-terminal. Single-threaded: one
// poll loop reads commands, and writes replies when they fall due.
class PtyMeter
{
public:
    PtyMeter(CommandInterpreter &interpreter, FaultPlan &faults, const MeterTiming &timing, SimLog &log);
    ~PtyMeter();

    bool open(std::string *error);
    // Serves on 127.0.0.1:port (0: a free port) instead, one client at a
    // time; devicePath() is then "tcp://127.0.0.1:PORT".
    bool openTcp(int port, std::string *error);
    const std::string &devicePath() const { return m_device; }

    // Runs until *stop becomes non-zero, a planned hang-up, or (with
    // exitWhenClosed) the first client closing the line. Returns an exit code.
    int run(volatile std::sig_atomic_t *stop, bool exitWhenClosed);

private:
    struct Out
    {
        double due = 0;
        std::string bytes;
        double charTime = 0; // pacing: seconds per byte, 0 for all at once
        bool flood = false;
        bool hangup = false;
        size_t written = 0;
    };

    void onBytes(const char *data, size_t n);
    void handleLine(const std::string &line);
    void queue(double due, std::string bytes, bool hangup = false, bool flood = false);
    // Writes what is due; false when the planned hang-up happened.
    bool writeDue(double now);
    double nextDue() const;
    void clientGone();
    void hangUp();
    double charTime();
    double measureTime() const;

    CommandInterpreter &m_interpreter;
    FaultPlan &m_faults;
    MeterTiming m_timing;
    SimLog &m_log;
    // Waits for the next client on the socket; false when stopped.
    bool acceptClient(volatile std::sig_atomic_t *stop);

    int m_master = -1; // the pseudo-terminal's master, or the client's socket
    int m_listen = -1; // the listening socket (TCP only)
    std::string m_device;
    std::string m_line;
    std::deque<Out> m_out;
    bool m_clientPresent = false;
    bool m_writeBlocked = false;
    double m_busyUntil = 0;
    double m_inputDone = 0;
};
