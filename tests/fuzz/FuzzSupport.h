#pragma once
// Shared by the libFuzzer targets: a check that aborts with a message (so the
// fuzzer keeps the input), and the layout round trip every reader must pass.

#include "document/ArchiveError.h"
#include "document/DocumentData.h"
#include "document/DocumentLayouts.h"

#include <QBuffer>
#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <stdexcept>
#include <string>

#define FUZZ_CHECK(cond, what)                                          \
    do {                                                                \
        if (!(cond))                                                    \
            FuzzSupport::checkFailed(what, #cond, __FILE__, __LINE__); \
    } while (0)

namespace FuzzSupport {

// Under the fuzzer a failed check aborts, so the input is kept; the replay
// test sets this to get an exception it can report instead.
inline bool &throwOnFailure()
{
    static bool enabled = false;
    return enabled;
}

[[noreturn]] inline void checkFailed(const char *what, const char *cond, const char *file, int line)
{
    std::fprintf(stderr, "fuzz check failed: %s (%s) at %s:%d\n", what, cond, file, line);
    if (throwOnFailure())
        throw std::logic_error(std::string(what) + " (" + cond + ")");
    std::abort();
}

// The fuzzer's buffer, not copied, so a read one byte past its end is
// caught by the address sanitizer.
inline QByteArray view(const uint8_t *data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
}

inline QByteArray writeLayout(DocumentNames::FileType type, const DocumentData &data)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QString why;
    FUZZ_CHECK(DocumentLayouts::write(type, data, &buffer, &why), "a document read from a file writes back");
    return out;
}

// Reads bytes as a file of type. A damaged file must fail with ArchiveError
// at an offset inside the file; one that reads must keep the promises of the
// reader (arrays hold their counts) and survive being written and read back.
// Returns whether the bytes read.
inline bool readChecked(DocumentNames::FileType type, const QByteArray &bytes, DocumentData &out)
{
    try {
        DocumentLayouts::read(type, bytes, out);
    } catch (const ArchiveError &e) {
        FUZZ_CHECK(e.offset() >= 0 && e.offset() <= bytes.size(), "the error offset lies inside the file");
        FUZZ_CHECK(!e.reason().isEmpty(), "an error says why");
        return false;
    }
    return true;
}

// Writing what was read, reading it again and writing that once more gives
// the same bytes: text that survives one save survives every later one.
inline void checkStableRoundTrip(DocumentNames::FileType type, const DocumentData &read)
{
    const QByteArray first = writeLayout(type, read);
    DocumentData again;
    try {
        DocumentLayouts::read(type, first, again);
    } catch (const ArchiveError &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.describe()));
        checkFailed("what the writer wrote reads back", "read(write(document))", __FILE__, __LINE__);
    }
    const QByteArray second = writeLayout(type, again);
    FUZZ_CHECK(first == second, "a second save of a loaded file writes the same bytes");
}

// Bytes that are not code page 950 read as U+FFFD and are saved as '?':
// the one change a save may make to text it loaded.
inline QString asSaved(QString text)
{
    return text.replace(QChar(0xFFFD), QLatin1Char('?'));
}

inline QStringList asSaved(QStringList texts)
{
    for (QString &t : texts)
        t = asSaved(t);
    return texts;
}

// Picks small choices from the front of an input; zero once it runs out.
class Choices
{
public:
    Choices(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}
    uint8_t next()
    {
        if (m_pos >= m_size)
            return 0;
        return m_data[m_pos++];
    }
    size_t used() const { return m_pos; }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

} // namespace FuzzSupport
