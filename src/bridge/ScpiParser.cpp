#include "bridge/ScpiParser.h"

#include <QRegularExpression>

namespace Scpi {

namespace {

// A mnemonic's short form: its upper-case letters and digits ("FREQuency" -> "FREQ").
QString shortOf(const QString &mnemonic)
{
    QString s;
    for (QChar c : mnemonic)
        if (!c.isLower())
            s += c;
    return s;
}

// Splits text at sep outside quotes.
QStringList splitOutsideQuotes(const QString &text, QChar sep)
{
    QStringList parts;
    QString cur;
    QChar quote;
    for (QChar c : text) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
        } else if (c == sep) {
            parts << cur;
            cur.clear();
            continue;
        }
        cur += c;
    }
    parts << cur;
    return parts;
}

bool isHeaderChar(QChar c)
{
    return (c.unicode() < 128 && (c.isLetterOrNumber() || c == QLatin1Char('_'))) || c == QLatin1Char(':')
        || c == QLatin1Char('*') || c == QLatin1Char('?');
}

} // namespace

void CommandTable::add(int id, const QString &pattern, bool settable, bool queryable)
{
    Entry e;
    e.command = {id, pattern, settable, queryable};
    e.common = pattern.startsWith(QLatin1Char('*'));
    // "[SOURce:]FREQuency[:CW]": bracketed groups are optional nodes.
    static const QRegularExpression node(QStringLiteral(R"((\[)?:?(\*?[A-Za-z0-9]+):?(\])?)"));
    auto it = node.globalMatch(pattern);
    while (it.hasNext()) {
        const auto m = it.next();
        const QString mnemonic = m.captured(2);
        e.nodes.append({mnemonic.toUpper(), shortOf(mnemonic).toUpper(), !m.captured(1).isEmpty()});
    }
    Q_ASSERT(!e.nodes.isEmpty());
    m_entries.append(e);
}

bool CommandTable::matches(const QVector<Node> &nodes, int n, const QStringList &m, int i)
{
    if (n == nodes.size())
        return i == m.size();
    const Node &node = nodes[n];
    if (i < m.size()) {
        const QString &word = m[i];
        if ((word.compare(node.longForm, Qt::CaseInsensitive) == 0 || word.compare(node.shortForm, Qt::CaseInsensitive) == 0)
            && matches(nodes, n + 1, m, i + 1))
            return true;
    }
    return node.optional && matches(nodes, n + 1, m, i);
}

int CommandTable::match(const QStringList &mnemonics, bool query, bool *queryMismatch) const
{
    for (const Entry &e : m_entries) {
        if (!matches(e.nodes, 0, mnemonics, 0))
            continue;
        if ((query && e.command.queryable) || (!query && e.command.settable))
            return e.command.id;
        *queryMismatch = true;
    }
    return -1;
}

QVector<Unit> CommandTable::parse(const QByteArray &line) const
{
    QVector<Unit> units;
    QStringList path; // the previous header's nodes but its last
    for (QString text : splitOutsideQuotes(QString::fromLatin1(line), QLatin1Char(';'))) {
        text = text.trimmed();
        if (text.isEmpty())
            continue;
        Unit u;
        int end = 0;
        while (end < text.size() && isHeaderChar(text[end]))
            ++end;
        u.header = text.left(end);
        const QString rest = text.mid(end);
        if (!rest.isEmpty() && !rest[0].isSpace()) {
            u.error = -102; // "FREQ#1", junk glued to a header
            units.append(u);
            continue;
        }
        const QString params = rest.trimmed();
        if (!params.isEmpty())
            for (const QString &p : splitOutsideQuotes(params, QLatin1Char(',')))
                u.params << p.trimmed();
        QString h = u.header;
        u.query = h.endsWith(QLatin1Char('?'));
        if (u.query)
            h.chop(1);
        if (h.isEmpty() || h.contains(QLatin1Char('?')) || h.contains(QStringLiteral("::"))) {
            u.error = h.isEmpty() ? -102 : -113;
            units.append(u);
            continue;
        }
        bool mismatch = false;
        if (h.startsWith(QLatin1Char('*'))) {
            u.id = match({h}, u.query, &mismatch);
        } else {
            const bool absolute = h.startsWith(QLatin1Char(':'));
            const QStringList own = h.split(QLatin1Char(':'), Qt::SkipEmptyParts);
            bool relative = false;
            if (!absolute && !path.isEmpty()) {
                u.id = match(path + own, u.query, &mismatch);
                relative = u.id >= 0;
            }
            if (u.id < 0)
                u.id = match(own, u.query, &mismatch);
            if (u.id >= 0) {
                path = relative ? path + own : own;
                path.removeLast();
            }
        }
        if (u.id < 0)
            u.error = -113;
        units.append(u);
    }
    return units;
}

std::optional<double> number(const QString &param, const QString &unit, int *error)
{
    static const QRegularExpression form(
        QStringLiteral(R"(^([+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?)\s*([A-Za-z]*)$)"));
    const auto m = form.match(param);
    if (!m.hasMatch()) {
        *error = -104;
        return std::nullopt;
    }
    double v = m.captured(1).toDouble();
    const QString suffix = m.captured(2).toUpper();
    if (!suffix.isEmpty()) {
        double scale = 0;
        if (unit == QLatin1String("HZ"))
            scale = suffix == QLatin1String("HZ") ? 1 : suffix == QLatin1String("KHZ") ? 1e3 : suffix == QLatin1String("MHZ") ? 1e6 : 0;
        else if (!unit.isEmpty())
            scale = suffix == unit ? 1 : suffix == QLatin1Char('M') + unit ? 1e-3 : 0;
        if (scale == 0) {
            *error = -131;
            return std::nullopt;
        }
        v *= scale;
    }
    *error = 0;
    return v;
}

QString errorText(int code)
{
    switch (code) {
    case 0: return QStringLiteral("No error");
    case -100: return QStringLiteral("Command error");
    case -102: return QStringLiteral("Syntax error");
    case -104: return QStringLiteral("Data type error");
    case -108: return QStringLiteral("Parameter not allowed");
    case -109: return QStringLiteral("Missing parameter");
    case -113: return QStringLiteral("Undefined header");
    case -131: return QStringLiteral("Invalid suffix");
    case -200: return QStringLiteral("Execution error");
    case -222: return QStringLiteral("Data out of range");
    case -224: return QStringLiteral("Illegal parameter value");
    case -230: return QStringLiteral("Data corrupt or stale");
    case -240: return QStringLiteral("Hardware error");
    case -350: return QStringLiteral("Queue overflow");
    case -363: return QStringLiteral("Input buffer overrun");
    case -410: return QStringLiteral("Query INTERRUPTED");
    default: return QStringLiteral("Error");
    }
}

void ErrorQueue::push(int code)
{
    // The status bit each class of error sets.
    if (code <= -100 && code > -200)
        m_esr |= 0x20;
    else if (code <= -200 && code > -300)
        m_esr |= 0x10;
    else if (code <= -300 && code > -400)
        m_esr |= 0x08;
    else if (code <= -400 && code > -500)
        m_esr |= 0x04;
    if (m_codes.size() < Capacity - 1)
        m_codes.append(code);
    else if (m_codes.size() == Capacity - 1)
        m_codes.append(-350); // the last place tells that errors were lost
}

QString ErrorQueue::pop()
{
    const int code = m_codes.isEmpty() ? 0 : m_codes.takeFirst();
    return QStringLiteral("%1,\"%2\"").arg(code).arg(errorText(code));
}

void ErrorQueue::clear()
{
    m_codes.clear();
    m_esr = 0;
}

int ErrorQueue::takeEventStatus()
{
    const int esr = m_esr;
    m_esr = 0;
    return esr;
}

} // namespace Scpi
