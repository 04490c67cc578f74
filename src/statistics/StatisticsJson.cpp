#include "statistics/StatisticsJson.h"

#include "statistics/ControlChart.h"
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

QByteArray toJson(const TableStatistics &st, const QList<ControlChart> *control)
{
    QByteArray out = "{\"rows\": " + QByteArray::number(qint64(st.rows())) + ", \"firstPassYield\": "
                     + json(st.firstPassYield()) + ", \"columns\": [";
    bool first = true;
    int k = 0;
    for (const ColumnStatistics &c : st.columns()) {
        if (!first)
            out += ", ";
        first = false;
        out += "{\"step\": " + QByteArray::number(c.step) + ", \"item\": " + string(c.item)
               + ", \"n\": " + QByteArray::number(qint64(c.stats.n)) + ", \"mean\": " + json(c.mean())
               + ", \"stdev\": " + json(c.stdev()) + ", \"min\": " + json(c.minimum()) + ", \"max\": "
               + json(c.maximum()) + ", \"cp\": " + json(c.cp()) + ", \"cpk\": " + json(c.cpk())
               + ", \"fails\": " + QByteArray::number(qint64(c.fails)) + ", \"yield\": " + json(c.yield());
        if (control && k < control->size())
            out += ", \"control\": " + control->at(k).toJson();
        out += "}";
        ++k;
    }
    out += "]}\n";
    return out;
}

QByteArray toText(const TableStatistics &st, const QList<ControlChart> *control)
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
    if (control) {
        lines << QStringLiteral("column\tchart\tpoints\tcenter\tUCL\tLCL\tR center\tR UCL\tR LCL\tviolations (point:rule)");
        auto opt = [](const std::optional<double> &v) { return v ? number(*v) : QStringLiteral("-"); };
        for (int k = 0; k < control->size() && k < st.columns().size(); ++k) {
            const ControlChart &ch = control->at(k);
            const std::optional<ControlLimits> l = ch.limits();
            QStringList broken;
            for (const RuleViolation &v : ch.violations())
                broken << QStringLiteral("%1:%2").arg(v.point).arg(v.rule);
            lines << QStringList{st.columns().at(k).title(), ch.kind() + (ch.subgroup() > 1 ? QStringLiteral(" n=%1").arg(ch.subgroup()) : QString()),
                                 QString::number(ch.points()), l ? number(l->center) : QStringLiteral("-"),
                                 l ? number(l->ucl) : QStringLiteral("-"), l ? number(l->lcl) : QStringLiteral("-"),
                                 l ? opt(l->rangeCenter) : QStringLiteral("-"), l ? opt(l->rangeUcl) : QStringLiteral("-"),
                                 l ? opt(l->rangeLcl) : QStringLiteral("-"),
                                 broken.isEmpty() ? QStringLiteral("none") : broken.join(QLatin1Char(' '))}
                         .join(QLatin1Char('\t'));
        }
    }
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

} // namespace StatisticsJson
