#include "document/Cp950Codec.h"

#include <QSysInfo>

#include <cstring>
#include <iconv.h>
#include <vector>

namespace {

constexpr char16_t Replacement = 0xFFFD;
constexpr char16_t Micro = 0x00B5;
constexpr char16_t GreekMu = 0x03BC;

constexpr int LeadFirst = 0x81, LeadLast = 0xFE;
constexpr int TrailFirst = 0x40, TrailLast = 0xFE;
constexpr int TrailCount = TrailLast - TrailFirst + 1;

const char *utf16Name()
{
    return QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";
}

// The code page as two lookup tables, filled once from the C library's
// converter: after that a conversion is a table lookup per character, with
// no converter state and no call per string.
struct Tables
{
    // Byte 0x80..0xFF alone (0: not a character by itself).
    char16_t single[128] = {};
    // Lead 0x81..0xFE with trail 0x40..0xFE (0: no such character).
    std::vector<char16_t> pair;
    // BMP character to its code: below 0x100 one byte, else lead << 8 | trail; 0: none.
    std::vector<quint16> code;

    Tables() : pair(size_t(LeadLast - LeadFirst + 1) * TrailCount, 0), code(0x10000, 0)
    {
        iconv_t toU = iconv_open(utf16Name(), "CP950");
        iconv_t fromU = iconv_open("CP950", utf16Name());
        if (toU != iconv_t(-1)) {
            for (int b = 0x80; b <= 0xFF; ++b) {
                const char in[1] = {char(b)};
                single[b - 0x80] = convertToUnicode(toU, in, 1);
            }
            for (int lead = LeadFirst; lead <= LeadLast; ++lead) {
                for (int trail = TrailFirst; trail <= TrailLast; ++trail) {
                    const char in[2] = {char(lead), char(trail)};
                    pair[size_t(lead - LeadFirst) * TrailCount + size_t(trail - TrailFirst)]
                        = convertToUnicode(toU, in, 2);
                }
            }
            iconv_close(toU);
        }
        if (fromU != iconv_t(-1)) {
            for (int u = 0x80; u <= 0xFFFF; ++u) {
                if (u >= 0xD800 && u <= 0xDFFF)
                    continue;
                code[size_t(u)] = convertFromUnicode(fromU, char16_t(u));
            }
            iconv_close(fromU);
        }
    }

    static char16_t convertToUnicode(iconv_t cd, const char *bytes, size_t n)
    {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char16_t out[4];
        char *in = const_cast<char *>(bytes);
        char *o = reinterpret_cast<char *>(out);
        size_t inLeft = n, outLeft = sizeof out;
        if (iconv(cd, &in, &inLeft, &o, &outLeft) == size_t(-1) || inLeft != 0 || sizeof out - outLeft != 2)
            return 0;
        return out[0] == Replacement ? 0 : out[0];
    }

    static quint16 convertFromUnicode(iconv_t cd, char16_t u)
    {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char16_t buf[1] = {u};
        unsigned char out[4];
        char *in = reinterpret_cast<char *>(buf);
        char *o = reinterpret_cast<char *>(out);
        size_t inLeft = 2, outLeft = sizeof out;
        if (iconv(cd, &in, &inLeft, &o, &outLeft) == size_t(-1) || inLeft != 0)
            return 0;
        const size_t n = sizeof out - outLeft;
        if (n == 1)
            return out[0];
        if (n == 2)
            return quint16(out[0] << 8 | out[1]);
        return 0;
    }
};

const Tables &tables()
{
    static const Tables t;
    return t;
}

} // namespace

namespace Cp950Codec {

bool isAscii(const char *data, qsizetype size)
{
    // Eight bytes at a time: any high bit set means a non-ASCII byte.
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 w;
        memcpy(&w, data + i, 8);
        if (w & 0x8080808080808080ull)
            return false;
    }
    for (; i < size; ++i)
        if (static_cast<unsigned char>(data[i]) & 0x80)
            return false;
    return true;
}

bool isAscii(QStringView text)
{
    const char16_t *p = text.utf16();
    for (qsizetype i = 0, n = text.size(); i < n; ++i)
        if (p[i] >= 0x80)
            return false;
    return true;
}

QString decode(const char *data, qsizetype size)
{
    if (size <= 0)
        return {};
    if (isAscii(data, size))
        return QString::fromLatin1(data, size);

    const Tables &t = tables();
    // Every byte yields at most one UTF-16 unit (the page maps into the BMP).
    QString out(size, Qt::Uninitialized);
    char16_t *dst = reinterpret_cast<char16_t *>(out.data());
    const unsigned char *p = reinterpret_cast<const unsigned char *>(data);
    qsizetype w = 0;
    for (qsizetype i = 0; i < size;) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            dst[w++] = b;
            ++i;
            continue;
        }
        if (b >= LeadFirst && b <= LeadLast && i + 1 < size && p[i + 1] >= TrailFirst && p[i + 1] <= TrailLast) {
            const char16_t c = t.pair[size_t(b - LeadFirst) * TrailCount + size_t(p[i + 1] - TrailFirst)];
            if (c) {
                dst[w++] = c;
                i += 2;
                continue;
            }
        }
        // A byte that stands alone, or else an invalid or cut-off lead byte:
        // it alone is replaced and the next byte is read afresh.
        const char16_t s = t.single[b - 0x80];
        dst[w++] = s ? s : Replacement;
        ++i;
    }
    out.truncate(w);
    return out;
}

qsizetype encodeInto(QStringView text, char *out)
{
    const qsizetype n = text.size();
    const char16_t *src = text.utf16();
    // ASCII is copied in the same pass that looks for anything else.
    qsizetype i = 0;
    while (i < n && src[i] < 0x80) {
        out[i] = char(src[i]);
        ++i;
    }
    if (i == n)
        return n;

    const Tables &t = tables();
    qsizetype w = i;
    for (; i < n; ++i) {
        char16_t u = src[i];
        if (u < 0x80) {
            out[w++] = char(u);
            continue;
        }
        if (u == Micro)
            u = GreekMu;
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(src[i + 1]))
            ++i; // outside the page: one '?' for the pair
        const quint16 c = QChar::isSurrogate(u) ? 0 : t.code[u];
        if (c == 0) {
            out[w++] = '?';
        } else if (c < 0x100) {
            out[w++] = char(c);
        } else {
            out[w++] = char(c >> 8);
            out[w++] = char(c & 0xFF);
        }
    }
    return w;
}

void encodeAppend(QStringView text, QByteArray &out)
{
    const qsizetype start = out.size();
    out.resize(start + maxEncodedSize(text));
    const qsizetype written = encodeInto(text, out.data() + start);
    out.truncate(start + written);
}

QByteArray encode(QStringView text)
{
    QByteArray out;
    encodeAppend(text, out);
    return out;
}

} // namespace Cp950Codec
