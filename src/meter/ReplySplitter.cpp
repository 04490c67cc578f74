#include "meter/ReplySplitter.h"

#include "common/LocaleNumbers.h"

namespace {

// A meter that ends its lines with CR LF leaves the CR behind a line feed
// strip; it is removed too so it never shows up in a table cell.
QString stripped(QString text)
{
    text.remove(QLatin1Char(' '));
    text.remove(QLatin1Char('\n'));
    text.remove(QLatin1Char('\r'));
    return text;
}

} // namespace

double ReplySplitter::Parts::primaryValue() const
{
    return value(primary);
}

double ReplySplitter::Parts::secondaryValue() const
{
    return value(secondary);
}

ReplySplitter::Parts ReplySplitter::split(const QString &line)
{
    Parts p;
    const int comma = line.indexOf(QLatin1Char(','));
    if (comma < 0) {
        p.primary = stripped(line);
        return p;
    }
    p.primary = line.left(comma);
    p.secondary = stripped(line.mid(comma + 1));
    p.hasSecondary = true;
    return p;
}

ReplySplitter::Parts ReplySplitter::split(const QByteArray &line)
{
    return split(QString::fromLatin1(line));
}

double ReplySplitter::value(const QString &text)
{
    return LocaleNumbers::leadingDouble(text);
}
