#include "dashboard/DashboardApi.h"

#include "history/HistoryExport.h"
#include "history/HistoryStatistics.h"
#include "statistics/ControlChart.h"
#include "statistics/Histogram.h"
#include "statistics/Statistics.h"
#include "statistics/StatisticsJson.h"

#include <QDate>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrlQuery>

#include <algorithm>
#include <limits>
#include <optional>

namespace {

const QByteArray Json = QByteArrayLiteral("application/json; charset=utf-8");
// A lot's control chart gives its newest points; a station is marked when
// one of the last few points of its newest rows completes a rule.
constexpr int MaxControlPoints = 1000;
constexpr int AlarmRows = 100;
constexpr int AlarmPoints = 5;

struct BadRequest
{
    DashboardReply reply;
};

// The query's parameters, each once, each one of allowed, each bounded.
QHash<QString, QString> parameters(const QByteArray &query, const QStringList &allowed)
{
    if (query.size() > DashboardApi::MaxQueryBytes)
        throw BadRequest{DashboardReply::error(400, QStringLiteral("The query is longer than %1 bytes.").arg(DashboardApi::MaxQueryBytes))};
    QHash<QString, QString> out;
    if (query.isEmpty())
        return out;
    const QUrlQuery q(QString::fromUtf8(query));
    for (const auto &item : q.queryItems(QUrl::FullyDecoded)) {
        if (!allowed.contains(item.first))
            throw BadRequest{DashboardReply::error(400,
                allowed.isEmpty() ? QStringLiteral("This address takes no parameters.")
                                  : QStringLiteral("Unknown parameter \"%1\"; this address takes %2.")
                                        .arg(item.first.left(40), allowed.join(QStringLiteral(", "))))};
        if (out.contains(item.first))
            throw BadRequest{DashboardReply::error(400, QStringLiteral("The parameter \"%1\" is given twice.").arg(item.first))};
        // An empty value is no selection at all: never "everything".
        if (item.second.isEmpty())
            throw BadRequest{DashboardReply::error(400, QStringLiteral("The parameter \"%1\" is empty; leave it out or give it a value.")
                                                          .arg(item.first))};
        if (item.second.size() > DashboardApi::MaxValueChars)
            throw BadRequest{DashboardReply::error(400, QStringLiteral("The parameter \"%1\" is longer than %2 characters.")
                                                          .arg(item.first)
                                                          .arg(DashboardApi::MaxValueChars))};
        out.insert(item.first, item.second);
    }
    return out;
}

HistoryDatabase::Filter filterOf(const QHash<QString, QString> &p)
{
    HistoryDatabase::Filter f;
    for (const char *bound : {"since", "until"}) {
        const QString value = p.value(QLatin1String(bound));
        if (value.isEmpty())
            continue;
        const QString text = History::boundText(value, bound[0] == 'u');
        if (text.isEmpty())
            throw BadRequest{DashboardReply::error(400,
                QStringLiteral("%1=%2 is not an ISO date (2026-12-07) or date and time (2026-12-07T14:30:00).")
                    .arg(QLatin1String(bound), value.left(40)))};
        (bound[0] == 'u' ? f.until : f.since) = text;
    }
    f.procedure = p.value(QStringLiteral("procedure"));
    f.lot = p.value(QStringLiteral("lot"));
    f.station = p.value(QStringLiteral("station"));
    f.serial = p.value(QStringLiteral("serial"));
    return f;
}

DashboardReply json(const QByteArray &body)
{
    return DashboardReply{200, Json, body};
}

} // namespace

DashboardReply DashboardReply::error(int status, const QString &sentence)
{
    return DashboardReply{status, Json,
        QJsonDocument(QJsonObject{{QStringLiteral("error"), sentence}}).toJson(QJsonDocument::Compact) + '\n'};
}

bool DashboardApi::open(const HistoryTarget &target, QString *error)
{
    m_target = target;
    return m_db.open(target, HistoryDatabase::Mode::ReadOnly, error);
}

void DashboardAnswers::setReuseMs(int ms)
{
    const QMutexLocker lock(&m_mutex);
    m_reuseMs = ms;
    purgeLocked(m_clock.elapsed());
}

int DashboardAnswers::reuseMs() const
{
    const QMutexLocker lock(&m_mutex);
    return m_reuseMs;
}

bool DashboardAnswers::find(const QByteArray &key, DashboardReply &reply)
{
    const QMutexLocker lock(&m_mutex);
    const qint64 now = m_clock.elapsed();
    purgeLocked(now);
    const auto it = m_kept.constFind(key);
    if (it == m_kept.constEnd())
        return false;
    reply = it->reply;
    return true;
}

void DashboardAnswers::keep(const QByteArray &key, const DashboardReply &reply)
{
    const qint64 size = reply.body.size() + key.size();
    const QMutexLocker lock(&m_mutex);
    if (m_reuseMs <= 0 || size > MaxAnswerBytes)
        return;
    const qint64 now = m_clock.elapsed();
    purgeLocked(now);
    const auto old = m_kept.constFind(key);
    if (old != m_kept.constEnd()) {
        m_bytes -= old->reply.body.size() + key.size();
        m_kept.erase(old);
    }
    // Full: the oldest answers go first.
    while (m_bytes + size > MaxBytes && !m_kept.isEmpty()) {
        auto oldest = m_kept.begin();
        for (auto it = m_kept.begin(); it != m_kept.end(); ++it)
            if (it->order < oldest->order)
                oldest = it;
        m_bytes -= oldest->reply.body.size() + oldest.key().size();
        m_kept.erase(oldest);
    }
    m_kept.insert(key, Kept{now, ++m_keptCount, reply});
    m_bytes += size;
}

void DashboardAnswers::purge()
{
    const QMutexLocker lock(&m_mutex);
    purgeLocked(m_clock.elapsed());
}

qint64 DashboardAnswers::bytes() const
{
    const QMutexLocker lock(&m_mutex);
    return m_bytes;
}

void DashboardAnswers::purgeLocked(qint64 now)
{
    for (auto it = m_kept.begin(); it != m_kept.end();) {
        if (now - it->at >= m_reuseMs) {
            m_bytes -= it->reply.body.size() + it.key().size();
            it = m_kept.erase(it);
        } else {
            ++it;
        }
    }
    if (m_kept.isEmpty())
        m_kept.squeeze();
}

DashboardReply DashboardApi::get(const QByteArray &path, const QByteArray &query)
{
    const QByteArray key = path + '?' + query;
    DashboardReply reply;
    if (m_answers->find(key, reply))
        return reply;
    reply = fresh(path, query);
    if (reply.status == 200)
        m_answers->keep(key, reply);
    return reply;
}

DashboardReply DashboardApi::fresh(const QByteArray &path, const QByteArray &query)
{
    try {
        try {
            return route(path, query);
        } catch (const Failed &) {
            // A server that went away and came back: one fresh connection.
            QString error;
            if (!m_db.open(m_target, HistoryDatabase::Mode::ReadOnly, &error))
                return DashboardReply::error(503, error);
            return route(path, query);
        }
    } catch (const BadRequest &b) {
        return b.reply;
    } catch (const Failed &f) {
        return DashboardReply::error(503, f.sentence);
    }
}

DashboardReply DashboardApi::route(const QByteArray &path, const QByteArray &query)
{
    if (!m_db.isOpen())
        throw Failed{QStringLiteral("The results database is not open.")};
    if (path == "/api/runs")
        return runs(query);
    if (path == "/api/stations")
        return stations(query);
    if (path == "/api/stats")
        return stats(query);
    if (path == "/api/histogram")
        return histogram(query);
    if (path == "/api/control")
        return control(query);
    if (path == "/api/bins")
        return bins(query);
    if (path == "/api/rows")
        return partRows(query);
    static const QRegularExpression rowsPath(QStringLiteral("^/api/runs/([A-Za-z0-9._~%-]{1,200})/rows$"));
    const QRegularExpressionMatch m = rowsPath.match(QString::fromLatin1(path));
    if (m.hasMatch())
        return rows(QUrl::fromPercentEncoding(m.captured(1).toLatin1()), query);
    return DashboardReply::error(404, QStringLiteral("There is nothing at this address; the API has /api/runs, "
                                                     "/api/runs/ID/rows, /api/rows, /api/stats, /api/histogram, /api/control, /api/bins and /api/stations."));
}

DashboardReply DashboardApi::runs(const QByteArray &query)
{
    const auto p = parameters(query, {QStringLiteral("since"), QStringLiteral("until"), QStringLiteral("procedure"),
        QStringLiteral("lot"), QStringLiteral("station"), QStringLiteral("serial"), QStringLiteral("limit")});
    const HistoryDatabase::Filter filter = filterOf(p);
    int limit = -1;
    if (p.contains(QStringLiteral("limit"))) {
        bool ok = false;
        limit = p.value(QStringLiteral("limit")).toInt(&ok);
        if (!ok || limit < 1 || limit > 100000)
            throw BadRequest{DashboardReply::error(400, QStringLiteral("limit must be a whole number from 1 to 100000."))};
    }
    QVector<HistoryDatabase::RunSummary> list;
    QString error;
    if (!m_db.listRuns(filter, list, &error, limit))
        throw Failed{error};
    return json(HistoryExport::runsJson(list));
}

DashboardReply DashboardApi::rows(const QString &runId, const QByteArray &query)
{
    const auto p = parameters(query, {QStringLiteral("offset"), QStringLiteral("limit")});
    auto whole = [&](const char *name, qint64 fallback, qint64 low, qint64 high) {
        if (!p.contains(QLatin1String(name)))
            return fallback;
        bool ok = false;
        const qint64 v = p.value(QLatin1String(name)).toLongLong(&ok);
        if (!ok || v < low || v > high)
            throw BadRequest{DashboardReply::error(400, QStringLiteral("%1 must be a whole number from %2 to %3.")
                                                          .arg(QLatin1String(name))
                                                          .arg(low)
                                                          .arg(high))};
        return v;
    };
    const qint64 offset = whole("offset", 0, 0, std::numeric_limits<int>::max());
    const int limit = int(whole("limit", PageRows, 1, MaxPageRows));
    HistoryDatabase::Filter filter;
    filter.runId = runId;
    QVector<HistoryDatabase::RunSummary> list;
    QString error;
    if (!m_db.listRuns(filter, list, &error, 1))
        throw Failed{error};
    if (list.isEmpty())
        return DashboardReply::error(404, QStringLiteral("There is no run %1.").arg(runId.left(80)));
    int afterSeq = 0;
    if (!m_db.seqAfterOffset(runId, offset, list[0].rows, afterSeq, &error))
        throw Failed{error};
    QByteArray body;
    qint64 count = 0;
    if (!HistoryExport::rowsJson(m_db, filter, afterSeq, limit, body, &count, &error))
        throw Failed{error};
    DashboardReply reply = json(body);
    // Counted before the page was read: a growing run may have more by now.
    const qint64 total = std::max(list[0].rows, offset + count);
    reply.headers.append({QByteArrayLiteral("X-Total-Count"), QByteArray::number(total)});
    if (offset + count < total) {
        const QByteArray next = "/api/runs/" + QUrl::toPercentEncoding(runId) + "/rows?offset=" + QByteArray::number(offset + count)
            + "&limit=" + QByteArray::number(limit);
        reply.headers.append({QByteArrayLiteral("Link"), '<' + next + ">; rel=\"next\""});
    }
    return reply;
}

DashboardReply DashboardApi::partRows(const QByteArray &query)
{
    const auto p = parameters(query, {QStringLiteral("serial")});
    HistoryDatabase::Filter filter;
    filter.serial = p.value(QStringLiteral("serial"));
    if (filter.serial.isEmpty())
        throw BadRequest{DashboardReply::error(400, QStringLiteral("/api/rows needs serial."))};
    QByteArray body;
    QString error;
    if (!HistoryExport::rowsJson(m_db, filter, body, &error))
        throw Failed{error};
    return json(body);
}

DashboardReply DashboardApi::stats(const QByteArray &query)
{
    const auto p = parameters(query, {QStringLiteral("run"), QStringLiteral("since"), QStringLiteral("until"),
        QStringLiteral("procedure"), QStringLiteral("lot"), QStringLiteral("station")});
    HistoryDatabase::Filter filter = filterOf(p);
    filter.runId = p.value(QStringLiteral("run"));
    if (p.isEmpty())
        throw BadRequest{DashboardReply::error(400, QStringLiteral("/api/stats needs run, lot, since, until, procedure or station."))};
    TableStatistics statistics;
    QString error;
    if (!HistoryStatistics::compute(m_db, filter, statistics, nullptr, &error))
        throw Failed{error};
    if (!filter.runId.isEmpty() && statistics.columns().isEmpty())
        return DashboardReply::error(404, QStringLiteral("There is no run %1.").arg(filter.runId.left(80)));
    return json(StatisticsJson::toJson(statistics));
}

std::optional<DashboardReply> DashboardApi::lotColumn(const QHash<QString, QString> &p, const char *path,
                                                      TableStatistics &statistics, int &column)
{
    const QString lot = p.value(QStringLiteral("lot"));
    if (lot.isEmpty() || !p.contains(QStringLiteral("column")))
        throw BadRequest{DashboardReply::error(400, QStringLiteral("%1 needs lot and column.").arg(QLatin1String(path)))};
    bool ok = false;
    column = p.value(QStringLiteral("column")).toInt(&ok);
    if (!ok || column < 0)
        throw BadRequest{DashboardReply::error(400, QStringLiteral("column must be a whole number from 0."))};
    HistoryDatabase::Filter filter;
    filter.lot = lot;
    statistics.setKeepReadings(true);
    QString error;
    if (!HistoryStatistics::compute(m_db, filter, statistics, nullptr, &error))
        throw Failed{error};
    if (statistics.columns().isEmpty())
        return DashboardReply::error(404, QStringLiteral("There is no lot %1.").arg(lot.left(80)));
    if (column >= statistics.columns().size())
        return DashboardReply::error(404, QStringLiteral("Lot %1 has columns 0 to %2.")
                                              .arg(lot.left(80))
                                              .arg(statistics.columns().size() - 1));
    return std::nullopt;
}

DashboardReply DashboardApi::histogram(const QByteArray &query)
{
    const auto p = parameters(query, {QStringLiteral("lot"), QStringLiteral("column")});
    TableStatistics statistics;
    int column = 0;
    if (const std::optional<DashboardReply> nothing = lotColumn(p, "/api/histogram", statistics, column))
        return *nothing;
    const ColumnStatistics &c = statistics.columns().at(column);
    std::vector<double> values = statistics.readings(column);
    const Histogram h = Histogram::of(values);
    QJsonArray bins;
    for (int i = 0; i < h.counts.size(); ++i)
        bins.append(QJsonObject{{QStringLiteral("from"), h.start + i * h.width},
            {QStringLiteral("to"), h.start + (i + 1) * h.width}, {QStringLiteral("count"), h.counts[i]}});
    auto optional = [](const std::optional<double> &v) { return v ? QJsonValue(*v) : QJsonValue(); };
    const QJsonObject out{{QStringLiteral("column"),
                              QJsonObject{{QStringLiteral("index"), column}, {QStringLiteral("step"), c.step},
                                  {QStringLiteral("item"), c.item}, {QStringLiteral("unit"), c.unit},
                                  {QStringLiteral("n"), double(c.stats.n)}}},
        {QStringLiteral("rule"), h.rule}, {QStringLiteral("bins"), bins}, {QStringLiteral("low"), optional(c.low)},
        {QStringLiteral("high"), optional(c.high)}, {QStringLiteral("standard"), optional(c.standard)}};
    return json(QJsonDocument(out).toJson(QJsonDocument::Indented));
}

DashboardReply DashboardApi::control(const QByteArray &query)
{
    const auto p = parameters(query, {QStringLiteral("lot"), QStringLiteral("column"), QStringLiteral("subgroup")});
    int subgroup = 1;
    if (p.contains(QStringLiteral("subgroup"))) {
        bool ok = false;
        subgroup = p.value(QStringLiteral("subgroup")).toInt(&ok);
        if (!ok || subgroup < 1 || subgroup > ControlChart::MaxSubgroup)
            throw BadRequest{DashboardReply::error(400, QStringLiteral("subgroup must be a whole number from 1 to 10."))};
    }
    TableStatistics statistics;
    int column = 0;
    if (const std::optional<DashboardReply> nothing = lotColumn(p, "/api/control", statistics, column))
        return *nothing;
    const ColumnStatistics &c = statistics.columns().at(column);
    ControlChart chart(subgroup);
    for (double v : statistics.readings(column))
        chart.add(v);
    // The newest points only: a lot's chart stays a page's worth.
    const int first = std::max(0, chart.points() - MaxControlPoints);
    QByteArray points = "[";
    for (int i = first; i < chart.points(); ++i)
        points += (i > first ? ", " : "") + StatisticsJson::number(chart.point(i)).toUtf8();
    points += "]";
    auto optional = [](const std::optional<double> &v) {
        return v ? StatisticsJson::number(*v).toUtf8() : QByteArrayLiteral("null");
    };
    const QByteArray body = "{\"column\": {\"index\": " + QByteArray::number(column) + ", \"step\": " + QByteArray::number(c.step)
        + ", \"item\": " + QJsonDocument(QJsonArray{c.item}).toJson(QJsonDocument::Compact).mid(1).chopped(1)
        + ", \"n\": " + QByteArray::number(qint64(c.stats.n)) + "}, \"low\": " + optional(c.low) + ", \"high\": "
        + optional(c.high) + ", \"control\": " + chart.toJson() + ", \"firstPoint\": " + QByteArray::number(first)
        + ", \"points\": " + points + "}\n";
    return json(body);
}

DashboardReply DashboardApi::bins(const QByteArray &query)
{
    const auto p = parameters(query, {QStringLiteral("lot")});
    const QString lot = p.value(QStringLiteral("lot"));
    if (lot.isEmpty())
        throw BadRequest{DashboardReply::error(400, QStringLiteral("/api/bins needs lot."))};
    HistoryDatabase::Filter filter;
    filter.lot = lot;
    QMap<QString, qint64> counts;
    qint64 rows = 0, unbinned = 0;
    QString error;
    // Raw reads: only the bin is wanted, not the cells.
    if (!m_db.forEachRow(filter, [&](const HistoryDatabase::StoredRow &row) {
            ++rows;
            if (row.bin.isEmpty())
                ++unbinned;
            else
                ++counts[row.bin];
            return true;
        }, &error, 0, -1, true))
        throw Failed{error};
    // BIN1..BIN9 in order, then AUX and OUT.
    QStringList names = counts.keys();
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        auto rank = [](const QString &n) { return n.startsWith(QLatin1String("BIN")) ? 0 : n == QLatin1String("AUX") ? 1 : 2; };
        return rank(a) != rank(b) ? rank(a) < rank(b) : a < b;
    });
    QJsonArray list;
    for (const QString &n : names)
        list.append(QJsonObject{{QStringLiteral("name"), n}, {QStringLiteral("count"), double(counts.value(n))},
                                {QStringLiteral("share"), double(counts.value(n)) / double(rows)}});
    const QJsonObject out{{QStringLiteral("lot"), lot}, {QStringLiteral("rows"), double(rows)},
                          {QStringLiteral("bins"), list}, {QStringLiteral("unbinned"), double(unbinned)}};
    return json(QJsonDocument(out).toJson(QJsonDocument::Indented));
}

QJsonArray DashboardApi::alarms(const QString &runId, int rows)
{
    HistoryDatabase::Filter filter;
    filter.runId = runId;
    // The newest rows only: what the station does now, at the same cost however long the run.
    int newest = 0;
    QSqlQuery q(m_db.database());
    q.prepare(QStringLiteral("SELECT MAX(seq) FROM result_rows WHERE run_id = ?"));
    q.addBindValue(runId);
    if (!q.exec())
        throw Failed{m_db.describe(q.lastError())};
    if (q.next())
        newest = q.value(0).toInt();
    q.finish();
    QVector<ControlChart> charts;
    QVector<QString> titles;
    QString error;
    const bool read = m_db.forEachRow(filter, [&](const HistoryDatabase::StoredRow &row) {
        if (charts.isEmpty() && row.columns) {
            for (const History::Column &c : *row.columns) {
                charts.append(ControlChart(1));
                titles.append(c.item + QString::number(c.step));
            }
        }
        for (int k = 0; k < charts.size() && k < row.values.size(); ++k) {
            bool ok = false;
            const double v = row.values.at(k).toDouble(&ok);
            if (ok && TableStatistics::usable(v))
                charts[k].add(v);
        }
        return true;
    }, &error, std::max(0, newest - rows));
    if (!read)
        throw Failed{error};
    QJsonArray out;
    for (int k = 0; k < charts.size(); ++k) {
        const ControlChart &chart = charts[k];
        const std::optional<ControlLimits> l = chart.limits();
        if (!l)
            continue;
        for (int i = std::max(0, chart.points() - AlarmPoints); i < chart.points(); ++i)
            for (int rule : chart.rulesAt(i, *l))
                out.append(QJsonObject{{QStringLiteral("column"), titles[k]}, {QStringLiteral("point"), i},
                                       {QStringLiteral("rule"), rule}});
    }
    return out;
}

DashboardReply DashboardApi::stations(const QByteArray &query)
{
    parameters(query, {});
    // Today is the server's local day; a run that began yesterday may add rows today.
    const QDate today = QDate::currentDate();
    const QString todayStart = History::boundText(today.toString(Qt::ISODate), false);
    const QString dayBefore = History::boundText(today.addDays(-1).toString(Qt::ISODate), false);
    QSqlQuery q(m_db.database());
    q.setForwardOnly(true);
    auto exec = [&](const QString &sql, const QVariantList &values) {
        q.prepare(sql);
        for (const QVariant &v : values)
            q.addBindValue(v);
        if (!q.exec())
            throw Failed{m_db.describe(q.lastError())};
    };
    QStringList stations;
    exec(QStringLiteral("SELECT DISTINCT station FROM runs ORDER BY station"), {});
    while (q.next())
        stations << q.value(0).toString();
    QHash<QString, qint64> runsToday, rowsToday, passToday;
    exec(QStringLiteral("SELECT station, COUNT(*) FROM runs WHERE started >= ? GROUP BY station"), {todayStart});
    while (q.next())
        runsToday.insert(q.value(0).toString(), q.value(1).toLongLong());
    auto add = [&] {
        while (q.next()) {
            rowsToday[q.value(0).toString()] += q.value(1).toLongLong();
            passToday[q.value(0).toString()] += q.value(2).toLongLong();
        }
    };
    if (m_db.schemaVersion() >= 2) {
        // Every row of a run begun today is today's: ended runs give their
        // kept counts; only runs going on over midnight are read row by row.
        exec(QStringLiteral("SELECT station, SUM(n), SUM(n - f) FROM (SELECT r.station, "
                            "COALESCE(r.row_count, (SELECT COUNT(*) FROM result_rows w WHERE w.run_id = r.id)) AS n, "
                            "COALESCE(r.fail_count, (SELECT COUNT(*) FROM result_rows w WHERE w.run_id = r.id AND w.verdict = 'fail')) AS f "
                            "FROM runs r WHERE r.started >= ?) t GROUP BY station"),
            {todayStart});
        add();
        exec(QStringLiteral("SELECT r.station, COUNT(*), SUM(CASE WHEN w.verdict = 'pass' THEN 1 ELSE 0 END) "
                            "FROM runs r JOIN result_rows w ON w.run_id = r.id "
                            "WHERE r.started >= ? AND r.started < ? AND (r.finished IS NULL OR r.finished >= ?) "
                            "AND w.measured_at >= ? GROUP BY r.station"),
            {dayBefore, todayStart, todayStart, todayStart});
        add();
    } else {
        exec(QStringLiteral("SELECT r.station, COUNT(*), SUM(CASE WHEN w.verdict = 'pass' THEN 1 ELSE 0 END) "
                            "FROM runs r JOIN result_rows w ON w.run_id = r.id "
                            "WHERE r.started >= ? AND w.measured_at >= ? GROUP BY r.station"),
            {dayBefore, todayStart});
        add();
    }
    q.finish();
    QJsonArray out;
    for (const QString &station : stations) {
        HistoryDatabase::Filter f;
        f.station = station;
        QVector<HistoryDatabase::RunSummary> last;
        QString error;
        if (!m_db.listRuns(f, last, &error, 1))
            throw Failed{error};
        if (last.isEmpty())
            continue;
        // The newest run as /api/runs gives it.
        const QJsonObject run = QJsonDocument::fromJson(HistoryExport::runsJson(last)).array().at(0).toObject();
        QString lastSeen = std::max(last[0].started, last[0].finished);
        // The newest row by its key: one seek, where the latest time read every row of a long run.
        exec(QStringLiteral("SELECT measured_at FROM result_rows WHERE run_id = ? ORDER BY seq DESC LIMIT 1"), {last[0].id});
        if (q.next())
            lastSeen = std::max(lastSeen, q.value(0).toString());
        q.finish();
        const qint64 rows = rowsToday.value(station);
        out.append(QJsonObject{{QStringLiteral("station"), station}, {QStringLiteral("lastSeen"), lastSeen},
            {QStringLiteral("lastRun"), run}, {QStringLiteral("runsToday"), double(runsToday.value(station))},
            {QStringLiteral("rowsToday"), double(rows)},
            {QStringLiteral("yieldToday"), rows ? QJsonValue(double(passToday.value(station)) / double(rows)) : QJsonValue()},
            {QStringLiteral("controlAlarms"), alarms(last[0].id, AlarmRows)}});
    }
    return json(QJsonDocument(out).toJson(QJsonDocument::Indented));
}
