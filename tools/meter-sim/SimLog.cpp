#include "SimLog.h"

#include <cerrno>
#include <chrono>
#include <cstring>

double simClock()
{
    static const auto start = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

SimLog::~SimLog()
{
    if (m_file)
        std::fclose(m_file);
}

bool SimLog::open(const std::string &path, std::string *error)
{
    m_file = std::fopen(path.c_str(), "w");
    if (!m_file && error)
        *error = "cannot write the log " + path + ": " + std::strerror(errno);
    return m_file != nullptr;
}

std::string SimLog::escape(const std::string &bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c >= 0x20 && c < 0x7f) {
                out.push_back(char(c));
            } else {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                out += hex;
            }
        }
    }
    return out;
}

void SimLog::write(char mark, const std::string &text)
{
    if (!m_file)
        return;
    std::fprintf(m_file, "%.6f %c %s\n", simClock(), mark, text.c_str());
    std::fflush(m_file);
}

void SimLog::received(const std::string &bytes, bool complete)
{
    write(complete ? '>' : '+', escape(bytes));
}

void SimLog::sent(const std::string &bytes)
{
    write('<', escape(bytes));
}

void SimLog::note(const std::string &text)
{
    write('#', text);
}
