#include "procedure/FieldParsing.h"

#include "common/LocaleNumbers.h"

#include <QByteArray>

#include <climits>
#include <clocale>
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

struct Prefix
{
    char letter;
    double toBase;
    double fromBase;
};

const Prefix prefixes[] = {
    {'p', 1e-12, 1e12},
    {'n', 1e-9, 1e9},
    {'u', 1e-6, 1e6},
    {'m', 1e-3, 1e3},
    {'K', 1e3, 1e-3},
    {'M', 1e6, 1e-6},
};

const Prefix *prefixOf(const QString &unit, bool secondItem)
{
    // Second-item units never carry p, n or u; skipping them keeps the
    // degree sign and "Q"/"D" at factor 1 whatever else is in the text.
    for (const Prefix &p : prefixes) {
        if (secondItem && (p.letter == 'p' || p.letter == 'n' || p.letter == 'u'))
            continue;
        if (unit.contains(QLatin1Char(p.letter)))
            return &p;
    }
    return nullptr;
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
    return LocaleNumbers::leadingDouble(text);
}

double unitToBase(const QString &unit, bool secondItem)
{
    const Prefix *p = prefixOf(unit, secondItem);
    return p ? p->toBase : 1.0;
}

double baseToUnit(const QString &unit, bool secondItem)
{
    const Prefix *p = prefixOf(unit, secondItem);
    return p ? p->fromBase : 1.0;
}

double frequencyFactor(const QString &text)
{
    if (text.contains(QLatin1Char('K')))
        return 1e3;
    if (text.contains(QLatin1Char('M')))
        return 1e6;
    return 1.0;
}

double levelFactor(const QString &text)
{
    return text.contains(QLatin1Char('m')) ? 0.001 : 1.0;
}

double frequencyHz(const QString &freqText)
{
    return double(leadingInt(freqText)) * frequencyFactor(freqText);
}

double levelVolts(const QString &levelText)
{
    return double(leadingInt(levelText)) * levelFactor(levelText);
}

double standardValue(const QString &text, const QString &unit, bool secondItem)
{
    return leadingDouble(text) * unitToBase(unit, secondItem);
}

double limitValue(const QString &text)
{
    const double v = leadingDouble(text);
    return text.contains(QLatin1Char('%')) ? v * 0.01 : v;
}

int delayMs(const QString &text)
{
    // A negative timer interval would turn into an endless wait.
    return qMax(0, leadingInt(text));
}

QByteArray formatFixedBytes(double value)
{
    return LocaleNumbers::formatFixedBytes(value);
}

QString formatFixed(double value)
{
    return QString::fromLatin1(formatFixedBytes(value));
}

QString formatReading(double base, const QString &unit, bool secondItem)
{
    QByteArray s = formatFixedBytes(base * baseToUnit(unit, secondItem));
    if (s.contains('.')) {
        int end = s.size();
        while (end > 0 && s[end - 1] == '0')
            --end;
        if (end > 0 && s[end - 1] == '.')
            --end;
        s.truncate(end);
    }
    return QString::fromLatin1(s) + unit;
}

EditValue readBackFrequency(const QString &freqText)
{
    EditValue v;
    QString t = freqText;
    t.remove(QStringLiteral("Hz"));
    if (t.contains(QLatin1Char('K'))) {
        v.unit = QStringLiteral("KHz");
        t.remove(QLatin1Char('K'));
    } else if (t.contains(QLatin1Char('M'))) {
        v.unit = QStringLiteral("MHz");
        t.remove(QLatin1Char('M'));
    } else {
        v.unit = QStringLiteral("Hz");
    }
    v.number = t;
    return v;
}

EditValue readBackLevel(const QString &levelText)
{
    EditValue v;
    QString t = levelText;
    t.remove(QLatin1Char('V'));
    if (t.contains(QLatin1Char('m'))) {
        v.unit = QStringLiteral("mV");
        t.remove(QLatin1Char('m'));
    } else {
        v.unit = QStringLiteral("V");
    }
    v.number = t;
    return v;
}

} // namespace FieldParsing
