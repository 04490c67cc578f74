#include "statistics/StatisticsJson.h"

#include "statistics/Statistics.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QLocale>

namespace StatisticsJson {

QString number(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

namespace {

QByteArray json(const Figure &f)
{
    return f.defined() ? number(*f.value).toUtf8() : QByteArrayLiteral("null");
}

QByteArray string(const QString &s)
{
    // QJsonDocument escapes as JSON wants; strip the array brackets.
    const QByteArray a = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
    return a.mid(1, a.size() - 2);
}

QString text(const Figure &f)
{
    return f.defined() ? number(*f.value) : QStringLiteral("-");
}

} // namespace

QByteArray toJson(const TableStatistics &st)
{
    QByteArray out = "{\"rows\": " + QByteArray::number(qint64(st.rows())) + ", \"firstPassYield\": "
                     + json(st.firstPassYield()) + ", \"columns\": [";
    bool first = true;
    for (const ColumnStatistics &c : st.columns()) {
        if (!first)
            out += ", ";
        first = false;
        out += "{\"step\": " + QByteArray::number(c.step) + ", \"item\": " + string(c.item)
               + ", \"n\": " + QByteArray::number(qint64(c.stats.n)) + ", \"mean\": " + json(c.mean())
               + ", \"stdev\": " + json(c.stdev()) + ", \"min\": " + json(c.minimum()) + ", \"max\": "
               + json(c.maximum()) + ", \"cp\": " + json(c.cp()) + ", \"cpk\": " + json(c.cpk())
               + ", \"fails\": " + QByteArray::number(qint64(c.fails)) + ", \"yield\": " + json(c.yield()) + "}";
    }
    out += "]}\n";
    return out;
}

QByteArray toText(const TableStatistics &st)
{
    QStringList lines;
    lines << QStringLiteral("rows %1, passed %2, first-pass yield %3")
                 .arg(st.rows())
                 .arg(st.passedRows())
                 .arg(text(st.firstPassYield()));
    lines << QStringLiteral("column\tn\tmean\tstdev\tmin\tmax\tCp\tCpk\tfails\tyield");
    for (const ColumnStatistics &c : st.columns()) {
        lines << QStringList{c.title(), QString::number(c.stats.n), text(c.mean()), text(c.stdev()),
                             text(c.minimum()), text(c.maximum()), text(c.cp()), text(c.cpk()),
                             QString::number(c.fails), text(c.yield())}
                     .join(QLatin1Char('\t'));
    }
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

} // namespace StatisticsJson
