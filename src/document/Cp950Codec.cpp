#include "document/Cp950Codec.h"

#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {

const char *utf16Name()
{
    return QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";
}

// One converter pair per thread: an iconv descriptor carries state and must
// not be shared between threads.
struct Converters
{
    iconv_t toUnicode;
    iconv_t fromUnicode;
    Converters()
    {
        toUnicode = iconv_open(utf16Name(), "CP950");
        fromUnicode = iconv_open("CP950", utf16Name());
    }
    ~Converters()
    {
        if (toUnicode != iconv_t(-1))
            iconv_close(toUnicode);
        if (fromUnicode != iconv_t(-1))
            iconv_close(fromUnicode);
    }
};

Converters &converters()
{
    thread_local Converters c;
    return c;
}

constexpr char16_t Replacement = 0xFFFD;
constexpr char16_t Micro = 0x00B5;
constexpr char16_t GreekMu = 0x03BC;

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

    // Every byte yields at most one UTF-16 unit (the page maps into the BMP).
    QString out(size, Qt::Uninitialized);
    char16_t *dst = reinterpret_cast<char16_t *>(out.data());
    qsizetype written = 0;
    iconv_t cd = converters().toUnicode;
    if (cd == iconv_t(-1)) {
        for (qsizetype i = 0; i < size; ++i) {
            const unsigned char b = static_cast<unsigned char>(data[i]);
            dst[written++] = b < 0x80 ? char16_t(b) : Replacement;
        }
        out.truncate(written);
        return out;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);

    char *in = const_cast<char *>(data);
    size_t inLeft = size_t(size);
    while (inLeft > 0) {
        char *o = reinterpret_cast<char *>(dst + written);
        const size_t room = size_t(size - written) * 2;
        size_t outLeft = room;
        const size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
        written += qsizetype((room - outLeft) / 2);
        if (r != size_t(-1))
            break;
        if (errno == EILSEQ || errno == EINVAL) {
            // An invalid lead byte, or a lead byte cut off at the end.
            dst[written++] = Replacement;
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        } else {
            // E2BIG cannot happen with one unit per byte; stop rather than loop.
            break;
        }
    }
    out.truncate(written);
    return out;
}

qsizetype encodeInto(QStringView text, char *out)
{
    const qsizetype n = text.size();
    const char16_t *src = text.utf16();
    if (isAscii(text)) {
        for (qsizetype i = 0; i < n; ++i)
            out[i] = char(src[i]);
        return n;
    }

    iconv_t cd = converters().fromUnicode;
    qsizetype written = 0;
    if (cd == iconv_t(-1)) {
        for (qsizetype i = 0; i < n; ++i)
            out[written++] = src[i] < 0x80 ? char(src[i]) : '?';
        return written;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);

    // Convert run by run; a character without a code is written as '?'.
    qsizetype i = 0;
    char16_t unit;
    while (i < n) {
        unit = src[i] == Micro ? GreekMu : src[i];
        if (unit < 0x80) {
            out[written++] = char(unit);
            ++i;
            continue;
        }
        const bool pair = QChar::isHighSurrogate(unit) && i + 1 < n && QChar::isLowSurrogate(src[i + 1]);
        char16_t buf[2] = {unit, pair ? src[i + 1] : char16_t(0)};
        char *in = reinterpret_cast<char *>(buf);
        size_t inLeft = pair ? 4 : 2;
        char *o = out + written;
        size_t outLeft = 2;
        const size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
        if (r == size_t(-1) || inLeft != 0) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            out[written++] = '?';
        } else {
            written += qsizetype(2 - outLeft);
        }
        i += pair ? 2 : 1;
    }
    return written;
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
