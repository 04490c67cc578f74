#pragma once

#include <cstdio>
#include <string>

// Seconds on a monotonic clock since the simulator started.
double simClock();

// The simulator's log, one entry a line, flushed at once so a test can read
// it while the simulator runs:
//   <seconds> > <text>   a command received with its line feed
//   <seconds> + <text>   bytes received without a line feed (cut off)
//   <seconds> < <text>   bytes sent (line feeds shown as \n)
//   <seconds> # <text>   a note (client opened or closed, hang-up, flood)
// Text is escaped: \\ for a backslash, \r \n \t, \xHH for other bytes
// outside printable ASCII.
class SimLog
{
public:
    SimLog() = default;
    ~SimLog();
    SimLog(const SimLog &) = delete;
    SimLog &operator=(const SimLog &) = delete;

    bool open(const std::string &path, std::string *error);
    void received(const std::string &bytes, bool complete);
    void sent(const std::string &bytes);
    void note(const std::string &text);

    static std::string escape(const std::string &bytes);

private:
    void write(char mark, const std::string &text);
    FILE *m_file = nullptr;
};
