#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

// The common SCPI message grammar: program messages of units joined by
// ';', headers of long/short mnemonics with optional [nodes], parameters
// joined by ','. Knows no command's meaning, only which one was named.
namespace Scpi {

// One command of a table, in the usual notation: "[SOURce:]FREQuency[:CW]"
// or "FETCh[:IMPedance][:FORMatted]?"; common commands as "*IDN?".
struct TableCommand
{
    int id = 0;
    QString pattern;
    bool settable = true;  // accepts the form without '?'
    bool queryable = false; // accepts the form with '?'
};

struct Unit
{
    int id = -1;          // -1: no command of the table
    bool query = false;
    QString header;       // as sent
    QStringList params;   // trimmed, quotes kept
    int error = 0;        // a syntax error of this unit (-102 ...); 0: none
};

class CommandTable
{
public:
    // Patterns that cannot be read are a programming error: asserted.
    void add(int id, const QString &pattern, bool settable, bool queryable);
    // Splits a program message (one line, terminator removed) into units,
    // resolving a header without a leading ':' against the previous one's
    // path, as compound messages do.
    QVector<Unit> parse(const QByteArray &line) const;

private:
    struct Node
    {
        QString longForm;  // upper case
        QString shortForm; // upper case
        bool optional = false;
    };
    struct Entry
    {
        TableCommand command;
        QVector<Node> nodes;
        bool common = false;
    };
    int match(const QStringList &mnemonics, bool query, bool *queryMismatch) const;
    static bool matches(const QVector<Node> &nodes, int n, const QStringList &m, int i);
    QVector<Entry> m_entries;
};

// A decimal number with an optional unit suffix of the given family
// ("HZ": HZ KHZ MHZ; "V": V MV; "A": A MA; empty: none allowed).
// Not a number: none; error tells -104 (not numeric) or -131 (bad suffix).
std::optional<double> number(const QString &param, const QString &unit, int *error);

// Standard texts of the error codes the bridge raises.
QString errorText(int code);

// The error/event queue and the status bytes of IEEE 488.2.
class ErrorQueue
{
public:
    static constexpr int Capacity = 10;
    void push(int code);
    // "-113,\"Undefined header\"" or "0,\"No error\"".
    QString pop();
    bool isEmpty() const { return m_codes.isEmpty(); }
    void clear();
    // *ESR?: read and cleared.
    int takeEventStatus();
    void setOperationComplete() { m_esr |= 0x01; }
    int eventStatus() const { return m_esr; }

private:
    QVector<int> m_codes;
    int m_esr = 0;
};

} // namespace Scpi
