#include "execution/PackedRows.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr char PassToken = PackedRows::PassToken;
constexpr char FailToken = PackedRows::FailToken;
constexpr char EscapeByte = PackedRows::EscapeByte;
// One transparent huge page: a million rows cost a few hundred page faults
// instead of tens of thousands.
constexpr size_t ChunkBytes = size_t(2) << 20;

inline bool isMark(unsigned c)
{
    return c - 1u < 3u;
}

// At most three bytes per UTF-16 unit, plus the line feed.
inline size_t packedBound(QStringView cell)
{
    return 3 * size_t(cell.size()) + 1;
}

char *packUtf8(QStringView text, char *d)
{
    const char16_t *p = text.utf16();
    const char16_t *end = p + text.size();
    while (p < end) {
        char32_t c = *p++;
        if (c < 0x80) {
            if (isMark(c))
                *d++ = EscapeByte;
            *d++ = char(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && p < end && *p >= 0xDC00 && *p <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (*p++ - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            *d++ = '?'; // a lone surrogate, as QString::toUtf8 writes it
            continue;
        }
        if (c < 0x800) {
            *d++ = char(0xC0 | (c >> 6));
        } else if (c < 0x10000) {
            *d++ = char(0xE0 | (c >> 12));
            *d++ = char(0x80 | ((c >> 6) & 0x3F));
        } else {
            *d++ = char(0xF0 | (c >> 18));
            *d++ = char(0x80 | ((c >> 12) & 0x3F));
            *d++ = char(0x80 | ((c >> 6) & 0x3F));
        }
        *d++ = char(0x80 | (c & 0x3F));
    }
    return d;
}

inline bool isWord(QStringView cell, const char (&word)[5])
{
    return cell.size() == 4 && cell[0] == QLatin1Char(word[0]) && cell[1] == QLatin1Char(word[1])
           && cell[2] == QLatin1Char(word[2]) && cell[3] == QLatin1Char(word[3]);
}

char *packCell(QStringView cell, bool terminated, char *d)
{
    if (terminated && isWord(cell, "pass")) {
        *d++ = PassToken;
    } else if (terminated && isWord(cell, "fail")) {
        *d++ = FailToken;
    } else {
        d = packUtf8(cell, d);
        if (terminated)
            *d++ = '\n';
    }
    return d;
}

// The text of packed bytes that hold no token (a cell's body).
QString unpackBody(std::string_view body)
{
    const char *p = body.data();
    const char *end = p + body.size();
    if (!memchr(p, EscapeByte, body.size()))
        return QString::fromUtf8(p, qsizetype(body.size()));
    std::string plain;
    plain.reserve(body.size());
    for (; p < end; ++p) {
        if (*p == EscapeByte && p + 1 < end)
            ++p;
        plain.push_back(*p);
    }
    return QString::fromUtf8(plain.data(), qsizetype(plain.size()));
}

} // namespace

bool PackedCell::is(std::string_view word) const
{
    if (kind == Pass)
        return word == "pass";
    if (kind == Fail)
        return word == "fail";
    return body == word;
}

QString PackedCell::text() const
{
    if (kind == Pass)
        return QStringLiteral("pass");
    if (kind == Fail)
        return QStringLiteral("fail");
    return unpackBody(body);
}

void PackedRows::append(const QStringList &cells, int image)
{
    size_t bound = 0;
    for (const QString &c : cells)
        bound += packedBound(c);
    char *const begin = rowSpace(bound);
    char *d = begin;
    for (const QString &c : cells)
        d = packCell(c, true, d);
    commitRow(size_t(d - begin), image);
}

void PackedRows::appendJoined(QStringView text, int image)
{
    char *const begin = rowSpace(packedBound(text));
    char *d = begin;
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype lf = text.indexOf(u'\n', pos);
        if (lf < 0) {
            d = packCell(text.mid(pos), false, d);
            break;
        }
        d = packCell(text.mid(pos, lf - pos), true, d);
        pos = lf + 1;
    }
    commitRow(size_t(d - begin), image);
}

void PackedRows::appendJoinedAscii(QByteArrayView joined, int image)
{
    const char *p = joined.data();
    const char *const end = p + joined.size();
    char *const begin = rowSpace(2 * size_t(joined.size()) + 1);
    char *d = begin;
    while (p < end) {
        const char *lf = static_cast<const char *>(memchr(p, '\n', size_t(end - p)));
        if (lf && lf - p == 4 && (memcmp(p, "pass", 4) == 0 || memcmp(p, "fail", 4) == 0)) {
            *d++ = *p == 'p' ? PassToken : FailToken;
        } else {
            for (const char *q = p, *stop = lf ? lf + 1 : end; q < stop; ++q) {
                if (isMark(static_cast<unsigned char>(*q)))
                    *d++ = EscapeByte;
                *d++ = *q;
            }
        }
        if (!lf)
            break;
        p = lf + 1;
    }
    commitRow(size_t(d - begin), image);
}

QString PackedRows::joined(int row) const
{
    const std::string_view packed = rowBytes(row);
    const char *p = packed.data();
    const char *end = p + packed.size();
    // Most rows are plain ASCII: widen them straight into the result.
    qsizetype length = 0;
    bool ascii = true;
    for (const char *q = p; q < end; ++q) {
        const unsigned char b = static_cast<unsigned char>(*q);
        if (b >= 0x80 || b == static_cast<unsigned char>(EscapeByte)) {
            ascii = false;
            break;
        }
        length += isMark(b) ? 5 : 1;
    }
    if (ascii) {
        QString out(length, Qt::Uninitialized);
        QChar *d = out.data();
        for (; p < end; ++p) {
            const char b = *p;
            const char *word = b == PassToken ? "pass\n" : b == FailToken ? "fail\n" : nullptr;
            if (!word) {
                *d++ = QLatin1Char(b);
                continue;
            }
            for (int k = 0; k < 5; ++k)
                *d++ = QLatin1Char(word[k]);
        }
        return out;
    }
    std::string plain;
    plain.reserve(packed.size() * 2);
    while (p < end) {
        const char *run = p;
        while (p < end && !isMark(static_cast<unsigned char>(*p)))
            ++p;
        plain.append(run, size_t(p - run));
        if (p == end)
            break;
        if (*p == PassToken)
            plain.append("pass\n", 5);
        else if (*p == FailToken)
            plain.append("fail\n", 5);
        else if (p + 1 < end)
            plain.push_back(*++p);
        ++p;
    }
    return QString::fromUtf8(plain.data(), qsizetype(plain.size()));
}

QStringList PackedRows::cells(int row) const
{
    QStringList out;
    // A row ending in a line feed has no empty piece after it; one that does
    // not end in one keeps its unterminated last cell.
    forEachCell(row, [&out](const PackedCell &c) {
        out << c.text();
        return true;
    });
    return out;
}

QString PackedRows::cell(int row, int index) const
{
    QString text;
    int i = 0;
    forEachCell(row, [&](const PackedCell &c) {
        if (i++ != index)
            return true;
        text = c.text();
        return false;
    });
    return text;
}

void PackedRows::clear()
{
    std::vector<Chunk>().swap(m_chunks);
    std::vector<RowRef>().swap(m_rows);
    std::vector<quint8>().swap(m_images);
}

void PackedRows::reserve(int rows)
{
    m_rows.reserve(size_t(std::max(0, rows)));
    m_images.reserve(size_t(std::max(0, rows)));
}

PackedRows PackedRows::shared() const
{
    PackedRows copy;
    copy.m_chunks = m_chunks;
    // Rows the copy appends go to chunks of its own, never into these.
    for (Chunk &c : copy.m_chunks)
        c.capacity = c.used;
    copy.m_rows = m_rows;
    copy.m_images = m_images;
    return copy;
}

void PackedRows::keepCells(int maxCells)
{
    for (size_t r = 0; r < m_rows.size(); ++r) {
        if (maxCells <= 0) {
            m_rows[r].length = 0;
            continue;
        }
        const std::string_view row = rowBytes(int(r));
        const char *const end = row.data() + row.size();
        int seen = 0;
        size_t cut = row.size();
        forEachCell(int(r), [&](const PackedCell &c) {
            if (++seen < maxCells)
                return true;
            // A token is one byte; a text cell keeps its line feed if it has one.
            const char *after = c.kind != PackedCell::Text ? c.body.data() + 1 : c.body.data() + c.body.size() + 1;
            cut = size_t(std::min(after, end) - row.data());
            return false;
        });
        m_rows[r].length = quint32(cut);
    }
}

void PackedRows::ChunkUnmap::operator()(char *memory) const
{
    munmap(memory, size);
}

char *PackedRows::rowSpace(size_t bound)
{
    if (m_chunks.empty() || m_chunks.back().capacity - m_chunks.back().used < bound) {
        // Straight from the kernel, so that removing the rows gives the
        // memory back; aligned to a huge page where one chunk fits in it.
        const size_t page = size_t(sysconf(_SC_PAGESIZE));
        const size_t size = std::max(ChunkBytes, (bound + page - 1) / page * page);
        const size_t slack = size == ChunkBytes ? ChunkBytes : 0;
        void *raw = mmap(nullptr, size + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED)
            throw std::bad_alloc();
        char *base = static_cast<char *>(raw);
        if (slack) {
            const uintptr_t at = reinterpret_cast<uintptr_t>(base);
            char *aligned = base + ((ChunkBytes - at % ChunkBytes) % ChunkBytes);
            if (aligned > base)
                munmap(base, size_t(aligned - base));
            if (aligned + size < base + size + slack)
                munmap(aligned + size, size_t(base + size + slack - (aligned + size)));
            base = aligned;
#ifdef MADV_HUGEPAGE
            madvise(base, size, MADV_HUGEPAGE);
#endif
        }
        m_chunks.push_back({std::shared_ptr<char>(base, ChunkUnmap{size}), size, 0});
    }
    Chunk &c = m_chunks.back();
    return c.memory.get() + c.used;
}

void PackedRows::commitRow(size_t length, int image)
{
    Chunk &c = m_chunks.back();
    m_rows.push_back({quint32(m_chunks.size() - 1), quint32(c.used), quint32(length)});
    c.used += length;
    m_images.push_back(quint8(image));
}
