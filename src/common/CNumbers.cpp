#include "common/CNumbers.h"

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

} // namespace

namespace CNumbers {

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

} // namespace CNumbers
