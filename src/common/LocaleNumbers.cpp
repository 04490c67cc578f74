#include "common/LocaleNumbers.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The process runs with the user's locale (setlocale(LC_ALL, "")), which may
// use a decimal comma; numbers in fields, files and commands never do.
locale_t cLocale()
{
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return loc;
}

inline char16_t unit(QChar c)
{
    return c.unicode();
}

inline char16_t unit(char c)
{
    return char16_t(static_cast<unsigned char>(c));
}

QString wide(QStringView text)
{
    return text.toString();
}

QString wide(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// One reading for both forms of text, so that they cannot disagree.
template<class Text>
std::optional<double> leadingNumberOf(Text text)
{
    // The same token as leadingDouble: blanks, sign, digits, point, digits,
    // exponent. Without digits there is no number.
    const qsizetype size = qsizetype(text.size());
    auto at = [&](qsizetype k) { return unit(text[k]); };
    auto digitAt = [&](qsizetype k) { return at(k) >= u'0' && at(k) <= u'9'; };
    qsizetype i = 0;
    while (i < size && at(i) < 0x80 && isBlank(char(at(i))))
        ++i;
    char buf[64];
    int len = 0;
    auto put = [&](char16_t c) {
        if (len < int(sizeof buf) - 1)
            buf[len++] = char(c);
    };
    if (i < size && (at(i) == u'+' || at(i) == u'-')) {
        if (at(i) == u'-')
            put('-');
        ++i;
    }
    const bool negative = len == 1; // the minus sign is all that was written
    // Clinger's fast path: a mantissa below 2^53 over a power of ten up to
    // 1e22 is one correctly rounded division, as strtod would round it.
    uint64_t mantissa = 0;
    int fraction = 0;
    bool fast = true;
    auto digit = [&](char16_t c, bool afterPoint) {
        put(c);
        if (mantissa > (uint64_t(1) << 53) / 10)
            fast = false;
        mantissa = mantissa * 10 + uint64_t(c - u'0');
        fraction += afterPoint;
    };
    int digits = 0;
    while (i < size && digitAt(i))
        digit(at(i++), false), ++digits;
    if (i < size && at(i) == u'.') {
        put('.');
        ++i;
        while (i < size && digitAt(i))
            digit(at(i++), true), ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    const bool exponent = i + 1 < size && (at(i) == u'e' || at(i) == u'E')
                          && (digitAt(i + 1)
                              || (i + 2 < size && (at(i + 1) == u'+' || at(i + 1) == u'-') && digitAt(i + 2)));
    if (fast && !exponent && fraction <= 22 && mantissa <= (uint64_t(1) << 53)) {
        static const double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        const double v = double(mantissa) / powers[fraction];
        return negative ? -v : v;
    }
    if (exponent) {
        qsizetype j = i + 1;
        put('e');
        if (at(j) == u'+' || at(j) == u'-') {
            if (at(j) == u'-')
                put('-');
            ++j;
        }
        while (j < size && digitAt(j))
            put(at(j++));
    }
    double v = 0;
    if (len >= int(sizeof buf) - 1) {
        // A long "%f" text (a huge reading): the C runtime reads it whole.
        v = LocaleNumbers::leadingDouble(wide(text));
    } else {
        buf[len] = '\0';
        const auto r = std::from_chars(buf, buf + len, v);
        if (r.ec == std::errc::result_out_of_range)
            v = LocaleNumbers::leadingDouble(wide(text));
    }
    if (!std::isfinite(v))
        return std::nullopt;
    return v;
}

} // namespace

namespace LocaleNumbers {

std::optional<double> leadingNumber(QStringView text)
{
    return leadingNumberOf(text);
}

std::optional<double> leadingNumber(std::string_view text)
{
    // The common reading ("100.123nF", "-0.000301"): at most fifteen digits,
    // so the mantissa is exact, and no exponent: one division, the same
    // value the general reading gives. Anything else goes the general way.
    const char *p = text.data();
    const char *const end = p + text.size();
    while (p < end && isBlank(*p))
        ++p;
    const bool negative = p < end && *p == '-';
    if (p < end && (*p == '+' || *p == '-'))
        ++p;
    uint64_t mantissa = 0;
    const char *q = p;
    while (q < end && isDigit(*q))
        mantissa = mantissa * 10 + uint64_t(*q++ - '0');
    ptrdiff_t digits = q - p;
    int fraction = 0;
    if (q < end && *q == '.') {
        const char *first = ++q;
        while (q < end && isDigit(*q))
            mantissa = mantissa * 10 + uint64_t(*q++ - '0');
        fraction = int(q - first);
        digits += fraction;
    }
    if (digits == 0)
        return std::nullopt;
    if (digits > 15 || (q < end && (*q == 'e' || *q == 'E')))
        return leadingNumberOf(text);
    static const double powers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const double v = double(mantissa) / powers[fraction];
    return negative ? -v : v;
}

double leadingDouble(const QString &text)
{
    const QByteArray b = text.toLatin1();
    int i = 0;
    while (i < b.size() && isBlank(b[i]))
        ++i;
    const int start = i;
    if (i < b.size() && (b[i] == '+' || b[i] == '-'))
        ++i;
    int digits = 0;
    while (i < b.size() && isDigit(b[i]))
        ++i, ++digits;
    if (i < b.size() && b[i] == '.') {
        ++i;
        while (i < b.size() && isDigit(b[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0.0;
    int end = i;
    if (i < b.size() && (b[i] == 'e' || b[i] == 'E')) {
        int j = i + 1;
        if (j < b.size() && (b[j] == '+' || b[j] == '-'))
            ++j;
        if (j < b.size() && isDigit(b[j])) {
            while (j < b.size() && isDigit(b[j]))
                ++j;
            end = j;
        }
    }
    // Only the scanned token goes to strtod, so its own extras (hex, inf,
    // nan) never apply, while rounding, overflow and underflow are exactly
    // the C runtime's.
    const QByteArray token = b.mid(start, end - start);
    if (const locale_t c = cLocale())
        return strtod_l(token.constData(), nullptr, c);
    return std::strtod(token.constData(), nullptr);
}

QByteArray formatFixedBytes(double value)
{
    // Sized by a first pass: "%f" of a large double runs to hundreds of
    // digits, which must never be cut short or overrun a buffer.
    // Without a C locale object uselocale(0) only queries, and the
    // process locale applies.
    const locale_t old = uselocale(cLocale());
    const int n = std::snprintf(nullptr, 0, "%f", value);
    QByteArray out(n, '\0');
    std::snprintf(out.data(), size_t(n) + 1, "%f", value);
    uselocale(old);
    return out;
}

} // namespace LocaleNumbers
