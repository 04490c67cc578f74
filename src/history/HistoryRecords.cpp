#include "history/HistoryRecords.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSysInfo>
#include <QTimeZone>
#include <QUuid>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <pwd.h>
#include <unistd.h>

namespace History {

QString timeText(const QDateTime &utc)
{
    // By hand: QDateTime::toString costs more than the rest of a row's insert.
    const qint64 ms = utc.toMSecsSinceEpoch();
    const time_t secs = time_t(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
    const int milli = int(ms - qint64(secs) * 1000);
    tm t{};
    gmtime_r(&secs, &t);
    char text[40];
    const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.tm_year + 1900, t.tm_mon + 1,
        t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, milli);
    return QString::fromLatin1(text, n);
}

QDateTime parseTime(const QString &text)
{
    QDateTime t = QDateTime::fromString(text, Qt::ISODateWithMs);
    return t.isValid() ? t.toUTC() : t;
}

QString boundText(const QString &iso, bool until)
{
    const QString s = iso.trimmed();
    const QDate date = QDate::fromString(s, Qt::ISODate);
    if (date.isValid() && s.size() == 10) {
        const QDateTime start(until ? date.addDays(1) : date, QTime(0, 0), Qt::LocalTime);
        return timeText(start);
    }
    QDateTime t = QDateTime::fromString(s, Qt::ISODateWithMs);
    if (!t.isValid())
        return {};
    return timeText(t);
}

QString newId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QString stationName()
{
    const QString host = QSysInfo::machineHostName();
    if (!host.isEmpty())
        return host;
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return QString::fromLocal8Bit(name);
}

QString loginName()
{
    if (const passwd *pw = getpwuid(getuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

QString baseUnit(const QString &item)
{
    static const QHash<QString, QString> units = {
        {QStringLiteral("C"), QStringLiteral("F")},   {QStringLiteral("L"), QStringLiteral("H")},
        {QStringLiteral("X"), QStringLiteral("O")},   {QStringLiteral("Z"), QStringLiteral("O")},
        {QStringLiteral("R"), QStringLiteral("O")},   {QStringLiteral("Rdc"), QStringLiteral("O")},
        {QStringLiteral("B"), QStringLiteral("S")},   {QStringLiteral("Y"), QStringLiteral("S")},
        {QStringLiteral("G"), QStringLiteral("S")},   {QStringLiteral("Angle"), QStringLiteral("deg")},
    };
    return units.value(item);
}

void appendEntry(QString &out, const QString &p)
{
    for (QChar c : p)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\\') || c == QLatin1Char('\n')) {
            out += joinList({p});
            return;
        }
    out += p;
}

void appendValue(QString &out, const std::optional<double> &value)
{
    if (!value || !std::isfinite(*value))
        return;
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, *value);
    out += QLatin1String(text, int(r.ptr - text));
}

QString joinList(const QStringList &parts)
{
    QString out;
    for (int i = 0; i < parts.size(); ++i) {
        if (i)
            out += QLatin1Char('\t');
        const QString &p = parts[i];
        bool plain = true;
        for (QChar c : p)
            if (c == QLatin1Char('\t') || c == QLatin1Char('\\') || c == QLatin1Char('\n')) {
                plain = false;
                break;
            }
        if (plain) {
            out += p;
            continue;
        }
        for (QChar c : p) {
            if (c == QLatin1Char('\t'))
                out += QLatin1String("\\t");
            else if (c == QLatin1Char('\n'))
                out += QLatin1String("\\n");
            else if (c == QLatin1Char('\\'))
                out += QLatin1String("\\\\");
            else
                out += c;
        }
    }
    return out;
}

QStringList splitList(const QString &joined)
{
    QStringList parts = joined.split(QLatin1Char('\t'));
    if (!joined.contains(QLatin1Char('\\')))
        return parts;
    for (QString &p : parts) {
        if (!p.contains(QLatin1Char('\\')))
            continue;
        QString u;
        for (int i = 0; i < p.size(); ++i) {
            if (p[i] == QLatin1Char('\\') && i + 1 < p.size()) {
                const QChar n = p[++i];
                u += n == QLatin1Char('t') ? QChar(u'\t') : n == QLatin1Char('n') ? QChar(u'\n') : n;
            } else {
                u += p[i];
            }
        }
        p = u;
    }
    return parts;
}

QString valueText(const std::optional<double> &value)
{
    if (!value || !std::isfinite(*value))
        return {};
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, *value);
    return QString::fromLatin1(text, int(r.ptr - text));
}

std::optional<double> parseValue(const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}

QString columnsJson(const QVector<Column> &columns)
{
    QJsonArray a;
    for (const Column &c : columns)
        a.append(QJsonObject{{QStringLiteral("step"), c.step}, {QStringLiteral("item"), c.item}, {QStringLiteral("unit"), c.unit}});
    return QString::fromUtf8(QJsonDocument(a).toJson(QJsonDocument::Compact));
}

QVector<Column> columnsFromJson(const QString &json)
{
    QVector<Column> out;
    const QJsonArray a = QJsonDocument::fromJson(json.toUtf8()).array();
    for (const QJsonValue &v : a) {
        const QJsonObject o = v.toObject();
        out.append(Column{o.value(QStringLiteral("step")).toInt(), o.value(QStringLiteral("item")).toString(),
            o.value(QStringLiteral("unit")).toString()});
    }
    return out;
}

const QStringList &runTableColumns()
{
    static const QStringList c = {"id", "started", "finished", "outcome", "station", "operator_name", "meter", "device",
        "procedure_name", "procedure_hash", "steps", "columns_json", "loops", "title", "company", "customer", "instrument",
        "part_no", "lot_no", "quantity", "remark", "unrecorded", "meter_profile"};
    return c;
}

const QStringList &rowTableColumns()
{
    static const QStringList c = {"run_id", "seq", "measured_at", "verdict", "texts", "vals", "verdicts", "serial", "bin"};
    return c;
}

const QStringList &sweepTableColumns()
{
    static const QStringList c = {"id", "started", "finished", "outcome", "station", "operator_name", "meter", "device",
        "settings"};
    return c;
}

const QStringList &pointTableColumns()
{
    static const QStringList c = {"sweep_id", "draw", "seq", "measured_at", "x", "first_text", "second_text"};
    return c;
}

QStringList startColumns(const QStringList &columns)
{
    QStringList out;
    for (const QString &c : columns)
        if (c != QLatin1String("finished") && c != QLatin1String("outcome") && c != QLatin1String("unrecorded"))
            out << c;
    return out;
}

QString placeholders(int n)
{
    QStringList p;
    for (int i = 0; i < n; ++i)
        p << QStringLiteral("?");
    return p.join(QStringLiteral(", "));
}

} // namespace History
