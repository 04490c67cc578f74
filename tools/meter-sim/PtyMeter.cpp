#include "PtyMeter.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {
// No client has the line open: poll reports a hang-up at once, so look again
// after this long rather than spinning.
const double kIdlePoll = 0.010;
// A line longer than this is not a command; it is logged and dropped.
const size_t kMaxLine = 65536;
const size_t kFloodChunk = 4096;

void sleepSeconds(double s)
{
    if (s <= 0)
        return;
    timespec ts;
    ts.tv_sec = time_t(s);
    ts.tv_nsec = long((s - double(ts.tv_sec)) * 1e9);
    nanosleep(&ts, nullptr);
}

int baudOf(speed_t s)
{
    switch (s) {
    case B50: return 50;
    case B75: return 75;
    case B110: return 110;
    case B134: return 134;
    case B150: return 150;
    case B200: return 200;
    case B300: return 300;
    case B600: return 600;
    case B1200: return 1200;
    case B1800: return 1800;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    case B921600: return 921600;
    default: return 0;
    }
}
} // namespace

PtyMeter::PtyMeter(CommandInterpreter &interpreter, FaultPlan &faults, const MeterTiming &timing, SimLog &log)
    : m_interpreter(interpreter), m_faults(faults), m_timing(timing), m_log(log)
{
}

PtyMeter::~PtyMeter()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_listen >= 0)
        ::close(m_listen);
}

bool PtyMeter::openTcp(int port, std::string *error)
{
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listen < 0) {
        *error = std::string("cannot create a socket: ") + std::strerror(errno);
        return false;
    }
    const int one = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(m_listen, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(m_listen, 4) != 0) {
        *error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    socklen_t len = sizeof a;
    getsockname(m_listen, reinterpret_cast<sockaddr *>(&a), &len);
    m_device = "tcp://127.0.0.1:" + std::to_string(ntohs(a.sin_port));
    // Bytes cross a socket at once; there is no line rate to pace at.
    m_timing.pace = false;
    return true;
}

bool PtyMeter::acceptClient(volatile std::sig_atomic_t *stop)
{
    while (!*stop) {
        pollfd p {m_listen, POLLIN, 0};
        const int r = poll(&p, 1, -1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        m_master = fd;
        m_clientPresent = true;
        m_log.note("client opened the line");
        return true;
    }
    return false;
}

bool PtyMeter::open(std::string *error)
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        *error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    char name[128];
    if (ptsname_r(m_master, name, sizeof name) != 0) {
        *error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    m_device = name;
    // Raw from the start (on Linux the master reaches the slave's settings): an
    // echoing line would feed our own replies back to us as commands.
    termios t;
    if (tcgetattr(m_master, &t) == 0) {
        cfmakeraw(&t);
        cfsetspeed(&t, B9600);
        tcsetattr(m_master, TCSANOW, &t);
    }
    return true;
}

double PtyMeter::charTime()
{
    if (!m_timing.pace)
        return 0;
    int baud = m_timing.baud;
    int bits = 10;
    termios t;
    if (tcgetattr(m_master, &t) == 0) {
        if (baud <= 0)
            baud = baudOf(cfgetospeed(&t));
        const int data = (t.c_cflag & CSIZE) == CS5 ? 5 : (t.c_cflag & CSIZE) == CS6 ? 6 : (t.c_cflag & CSIZE) == CS7 ? 7 : 8;
        bits = 1 + data + ((t.c_cflag & PARENB) ? 1 : 0) + ((t.c_cflag & CSTOPB) ? 2 : 1);
    }
    if (baud <= 0)
        baud = 9600;
    return double(bits) / double(baud);
}

double PtyMeter::measureTime() const
{
    const std::string &s = m_interpreter.setup().speed;
    const int i = s == "SLOW" ? 0 : s == "MED" ? 1 : s == "FAST" ? 2 : 3;
    return m_timing.measureSeconds[i];
}

void PtyMeter::queue(double due, std::string bytes, bool hangup, bool flood)
{
    Out o;
    // The line is serial: nothing overtakes what is already queued.
    o.due = m_out.empty() ? due : std::max(due, m_out.back().due);
    o.bytes = std::move(bytes);
    o.charTime = charTime();
    o.hangup = hangup;
    o.flood = flood;
    m_out.push_back(std::move(o));
}

void PtyMeter::onBytes(const char *data, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        if (data[i] == '\n') {
            handleLine(m_line);
            m_line.clear();
        } else {
            m_line.push_back(data[i]);
            if (m_line.size() >= kMaxLine) {
                m_log.received(m_line, false);
                m_line.clear();
            }
        }
    }
}

void PtyMeter::handleLine(const std::string &line)
{
    m_log.received(line, true);
    const double now = simClock();
    double start = std::max(now, m_busyUntil);
    if (m_timing.pace) {
        // The command is complete only once its last byte has crossed the line.
        m_inputDone = std::max(now, m_inputDone) + double(line.size() + 1) * charTime();
        start = std::max(start, m_inputDone);
    }

    using K = CommandInterpreter::Action::Kind;
    const CommandInterpreter::Action a = m_interpreter.handle(line);
    const FaultOptions &f = m_faults.options();
    switch (a.kind) {
    case K::Identify:
        if (!f.noIdentification)
            queue(start + f.identificationDelayMs / 1000.0, a.reply);
        break;
    case K::Query:
        queue(start, a.reply);
        break;
    case K::Set:
        if (!f.acknowledge.empty())
            queue(start, f.acknowledge + "\n");
        break;
    case K::Trigger: {
        const double ready = start + measureTime();
        m_busyUntil = ready;
        FaultPlan::Trigger t = m_faults.planTrigger(a.reply);
        if (t.flood) {
            queue(ready, std::string(), false, true);
        } else if (t.pieces.empty()) {
            if (t.hangup)
                queue(ready, std::string(), true);
        } else {
            const double pause = f.splitPauseMs / 1000.0;
            for (size_t i = 0; i < t.pieces.size(); ++i)
                queue(ready + double(i) * pause, t.pieces[i], t.hangup && i + 1 == t.pieces.size());
        }
        break;
    }
    case K::Local:
    case K::None:
        break;
    }
}

double PtyMeter::nextDue() const
{
    return m_out.empty() ? -1 : m_out.front().due;
}

bool PtyMeter::writeDue(double now)
{
    m_writeBlocked = false;
    while (!m_out.empty() && m_out.front().due <= now) {
        Out &o = m_out.front();
        if (o.flood && o.written >= o.bytes.size()) {
            o.bytes = m_faults.floodBytes(o.charTime > 0 ? 1 : kFloodChunk);
            o.written = 0;
        }
        size_t want = o.bytes.size() - o.written;
        if (o.charTime > 0 && want > 1)
            want = 1;
        if (want > 0) {
            const ssize_t n = ::write(m_master, o.bytes.data() + o.written, want);
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK) {
                    m_writeBlocked = true;
                    return true;
                }
                if (errno == EINTR)
                    continue;
                // EIO: nobody has the line open any more.
                clientGone();
                return true;
            }
            o.written += size_t(n);
            if (o.charTime > 0)
                o.due += o.charTime;
        }
        if (o.flood)
            continue;
        if (o.written < o.bytes.size())
            continue;
        if (!o.bytes.empty())
            m_log.sent(o.bytes);
        const bool hangup = o.hangup;
        m_out.pop_front();
        if (hangup) {
            hangUp();
            return false;
        }
    }
    return true;
}

void PtyMeter::clientGone()
{
    if (!m_line.empty()) {
        m_log.received(m_line, false);
        m_line.clear();
    }
    // Replies still queued were meant for the client that left.
    m_out.clear();
    m_busyUntil = 0;
    m_inputDone = 0;
    if (m_clientPresent)
        m_log.note("client closed the line");
    m_clientPresent = false;
    if (m_listen >= 0 && m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

void PtyMeter::hangUp()
{
    // Closing the master throws away what the client has not read yet; give it
    // up to a second to take the last reply first.
    for (int i = 0; i < 1000; ++i) {
        int pending = 0;
        if (ioctl(m_master, TIOCOUTQ, &pending) != 0 || pending <= 0)
            break;
        sleepSeconds(0.001);
    }
    sleepSeconds(0.020);
    m_log.note("hung up");
    ::close(m_master);
    m_master = -1;
    if (m_listen >= 0) {
        ::close(m_listen);
        m_listen = -1;
    }
}

int PtyMeter::run(volatile std::sig_atomic_t *stop, bool exitWhenClosed)
{
    char buf[4096];
    while (!*stop) {
        if (m_listen >= 0 && m_master < 0) {
            if (!acceptClient(stop))
                return 0;
            continue;
        }
        const double now = simClock();
        if (!writeDue(now))
            return 0;
        double wait = -1;
        if (!m_out.empty())
            wait = std::max(0.0, nextDue() - now);
        if (m_writeBlocked)
            wait = -1;

        pollfd p {m_master, short(POLLIN | (m_writeBlocked ? POLLOUT : 0)), 0};
        const int timeoutMs = wait < 0 ? (m_clientPresent ? -1 : int(kIdlePoll * 1000)) : int(std::ceil(wait * 1000));
        const int r = poll(&p, 1, timeoutMs);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return 1;
        }
        if (r == 0) {
            // A line nobody holds reports a hang-up at once; silence means a client.
            if (!m_clientPresent) {
                m_clientPresent = true;
                m_log.note("client opened the line");
            }
            continue;
        }
        if (p.revents & POLLIN) {
            for (;;) {
                const ssize_t n = ::read(m_master, buf, sizeof buf);
                if (n > 0) {
                    if (!m_clientPresent) {
                        m_clientPresent = true;
                        m_log.note("client opened the line");
                    }
                    onBytes(buf, size_t(n));
                    continue;
                }
                // A socket's peer that closed reads as the end of the stream.
                if (m_listen >= 0 && (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))) {
                    clientGone();
                    if (exitWhenClosed)
                        return 0;
                }
                break; // EAGAIN, or EIO when the client is gone
            }
        }
        if (m_listen >= 0) {
            if (m_master >= 0 && (p.revents & (POLLHUP | POLLERR))) {
                clientGone();
                if (exitWhenClosed)
                    return 0;
            }
            continue;
        }
        if (p.revents & POLLHUP) {
            if (m_clientPresent) {
                clientGone();
                if (exitWhenClosed)
                    return 0;
            }
            // Not open yet, or closed: poll again shortly for the next client.
            double idle = kIdlePoll;
            if (!m_out.empty())
                idle = std::min(idle, std::max(0.0, nextDue() - simClock()));
            sleepSeconds(idle);
        } else if (!m_clientPresent) {
            m_clientPresent = true;
            m_log.note("client opened the line");
        }
    }
    return 0;
}
