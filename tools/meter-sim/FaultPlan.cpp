#include "FaultPlan.h"

FaultPlan::FaultPlan(const FaultOptions &options, unsigned seed) : m_options(options), m_rng(seed) {}

FaultPlan::Trigger FaultPlan::planTrigger(const std::string &reply)
{
    ++m_triggers;
    Trigger t;
    if (m_options.floodAfter > 0 && m_triggers >= m_options.floodAfter) {
        t.flood = true;
        return t;
    }
    t.hangup = m_options.hangupAfter > 0 && m_triggers >= m_options.hangupAfter;
    if (every(m_options.dropEvery, m_triggers)) {
        t.drop = true;
        return t;
    }

    std::string text = reply;
    if (every(m_options.nulEvery, m_triggers))
        text.insert(text.size() / 2, 1, '\0');
    if (every(m_options.garbageEvery, m_triggers)) {
        // Anything but a line feed or a NUL, high bytes included.
        std::uniform_int_distribution<int> byte(1, 255);
        std::string junk;
        while (int(junk.size()) < m_options.garbageBytes) {
            const int b = byte(m_rng);
            if (b != '\n')
                junk.push_back(char(b));
        }
        text.insert(0, junk);
    }

    const int n = m_options.splitPieces > 1 ? m_options.splitPieces : 1;
    const size_t size = text.size();
    size_t start = 0;
    for (int i = 0; i < n && start < size; ++i) {
        const size_t end = i == n - 1 ? size : (size * size_t(i + 1)) / size_t(n);
        if (end > start)
            t.pieces.push_back(text.substr(start, end - start));
        start = end;
    }
    return t;
}

std::string FaultPlan::floodBytes(size_t count)
{
    static const char pattern[] = "0123456789 ";
    std::string out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i)
        out.push_back(pattern[i % (sizeof pattern - 1)]);
    return out;
}
