#include "procedure/FieldParsing.h"

#include <QByteArray>

#include <climits>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

namespace FieldParsing {

int leadingInt(const QString &text)
{
    const QByteArray b = text.toLatin1();
    int i = 0;
    while (i < b.size() && isBlank(b[i]))
        ++i;
    bool negative = false;
    if (i < b.size() && (b[i] == '+' || b[i] == '-'))
        negative = b[i++] == '-';
    long long v = 0;
    for (; i < b.size() && isDigit(b[i]); ++i) {
        v = v * 10 + (b[i] - '0');
        if (v > (long long)INT_MAX + 1)
            v = (long long)INT_MAX + 1;
    }
    if (negative)
        v = -v;
    return int(qBound((long long)INT_MIN, v, (long long)INT_MAX));
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
    bool ok = false;
    // QByteArray::toDouble is locale-independent; overflow gives inf like strtod.
    const double v = b.mid(start, end - start).toDouble(&ok);
    return v;
}

} // namespace FieldParsing
