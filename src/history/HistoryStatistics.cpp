#include "history/HistoryStatistics.h"

#include "statistics/Statistics.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace {

QVector<ProcedureStep> stepsFromJson(const QString &json)
{
    QVector<ProcedureStep> steps;
    for (const QJsonValue &step : QJsonDocument::fromJson(json.toUtf8()).array()) {
        const QJsonArray fields = step.toArray();
        ProcedureStep s;
        for (int k = 0; k < int(s.fields.size()) && k < fields.size(); ++k)
            s.fields[size_t(k)] = fields.at(k).toString();
        steps << s;
    }
    return steps;
}

bool sameColumns(const QVector<History::Column> &a, const QVector<History::Column> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i)
        if (a[i].step != b[i].step || a[i].item != b[i].item)
            return false;
    return true;
}

} // namespace

bool HistoryStatistics::compute(HistoryDatabase &db, const HistoryDatabase::Filter &filter, TableStatistics &out,
                                qint64 *skipped, QString *error)
{
    if (skipped)
        *skipped = 0;
    QVector<HistoryDatabase::RunSummary> runs;
    if (!db.listRuns(filter, runs, error))
        return false;
    out.setSteps({});
    if (runs.isEmpty())
        return true;
    const QString first = runs.constLast().id; // newest first: the last is the oldest
    QString stepsJson;
    QVector<History::Column> columns;
    if (!db.runSteps(first, stepsJson, error) || !db.runColumns(first, columns, error))
        return false;
    out.setSteps(stepsFromJson(stepsJson));

    QStringList cells;
    QVector<double> values;
    return db.forEachRow(filter, [&](const HistoryDatabase::StoredRow &row) {
        if (!row.columns || !sameColumns(*row.columns, columns)) {
            if (skipped)
                ++*skipped;
            return true;
        }
        cells.clear();
        values.clear();
        for (int i = 0; i < row.texts.size(); ++i) {
            cells << row.texts.at(i) << row.verdicts.value(i);
            bool ok = false;
            const double v = row.values.value(i).toDouble(&ok);
            values << (ok ? v : std::nan(""));
        }
        out.addJudged(cells, values);
        return true;
    }, error);
}

bool HistoryStatistics::computeFor(const HistoryTarget &target, const QString &lot, const QDate &from,
                                   const QDate &to, TableStatistics &out, QString *error)
{
    out.setSteps({});
    HistoryDatabase db;
    if (!db.open(target, HistoryDatabase::Mode::ReadOnly, error))
        return false;
    HistoryDatabase::Filter filter;
    filter.lot = lot;
    if (from.isValid())
        filter.since = History::boundText(from.toString(Qt::ISODate), false);
    if (to.isValid())
        filter.until = History::boundText(to.toString(Qt::ISODate), true);
    return compute(db, filter, out, nullptr, error);
}
