#include "history/HistoryDatabase.h"

#include <QSqlError>
#include <QVariant>

#include <limits>

// The reading half of HistoryDatabase: runs listed by a filter, their
// columns and steps, their rows streamed or paged, recorded sweeps.

using namespace History;

namespace {

// A run's rows and fails: kept in the run once it has ended (version 2),
// counted while it runs or when it was cut off.
QString rowCount(bool kept)
{
    const QString live = QStringLiteral("(SELECT COUNT(*) FROM result_rows w WHERE w.run_id = r.id)");
    return kept ? QStringLiteral("COALESCE(r.row_count, %1)").arg(live) : live;
}

QString failCount(bool kept)
{
    const QString live = QStringLiteral("(SELECT COUNT(*) FROM result_rows w WHERE w.run_id = r.id AND w.verdict = 'fail')");
    return kept ? QStringLiteral("COALESCE(r.fail_count, %1)").arg(live) : live;
}

// The WHERE clause of a filter over runs r, with its values in order.
QString whereClause(const HistoryDatabase::Filter &f, QVariantList &values, bool kept, bool serials)
{
    QStringList terms;
    if (!f.serial.isEmpty()) {
        // Rows name their part from version 4 on; none before.
        if (serials) {
            terms << QStringLiteral("r.id IN (SELECT s.run_id FROM result_rows s WHERE s.serial = ?)");
            values << f.serial;
        } else {
            terms << QStringLiteral("1 = 0");
        }
    }
    if (!f.runId.isEmpty()) {
        terms << QStringLiteral("r.id = ?");
        values << f.runId;
    }
    if (!f.runIds.isEmpty()) {
        QStringList marks;
        for (const QString &id : f.runIds) {
            marks << QStringLiteral("?");
            values << id;
        }
        terms << QStringLiteral("r.id IN (%1)").arg(marks.join(QStringLiteral(", ")));
    }
    if (!f.since.isEmpty()) {
        terms << QStringLiteral("r.started >= ?");
        values << f.since;
    }
    if (!f.until.isEmpty()) {
        terms << QStringLiteral("r.started < ?");
        values << f.until;
    }
    if (!f.procedure.isEmpty()) {
        terms << QStringLiteral("(r.procedure_name = ? OR r.procedure_name = ?)");
        values << f.procedure << f.procedure + QStringLiteral(".pro");
    }
    if (!f.lot.isEmpty()) {
        terms << QStringLiteral("r.lot_no = ?");
        values << f.lot;
    }
    if (!f.station.isEmpty()) {
        terms << QStringLiteral("r.station = ?");
        values << f.station;
    }
    if (f.verdict == QLatin1String("pass") || f.verdict == QLatin1String("fail")) {
        terms << QStringLiteral("%1 %2 0").arg(failCount(kept), f.verdict == QLatin1String("pass") ? QStringLiteral("=") : QStringLiteral(">"));
    }
    return terms.isEmpty() ? QString() : QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
}

} // namespace

bool HistoryDatabase::listRuns(const Filter &filter, QVector<RunSummary> &out, QString *error, int limit, int offset)
{
    QVariantList values;
    const bool kept = m_version >= 2;
    QString sql = QStringLiteral(
        "SELECT r.id, r.started, r.finished, r.station, r.operator_name, r.meter, r.procedure_name, r.lot_no, r.outcome, "
        "%1, %2, %3, %4 FROM runs r").arg(rowCount(kept), failCount(kept),
        m_version >= 3 ? QStringLiteral("r.unrecorded") : QStringLiteral("NULL"),
        m_version >= 4 ? QStringLiteral("r.meter_profile") : QStringLiteral("NULL"));
    sql += whereClause(filter, values, kept, m_version >= 4);
    sql += QStringLiteral(" ORDER BY r.started DESC, r.id DESC");
    if (limit >= 0) {
        sql += QStringLiteral(" LIMIT ? OFFSET ?");
        values << limit << offset;
    }
    QSqlQuery q(database());
    q.setForwardOnly(true);
    q.prepare(sql);
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!exec(q, error))
        return false;
    while (q.next()) {
        RunSummary s;
        s.id = q.value(0).toString();
        s.started = q.value(1).toString();
        s.finished = q.value(2).toString();
        s.station = q.value(3).toString();
        s.operatorName = q.value(4).toString();
        s.meter = q.value(5).toString();
        s.procedure = q.value(6).toString();
        s.lot = q.value(7).toString();
        s.outcome = q.value(8).toString();
        s.rows = q.value(9).toLongLong();
        s.fails = q.value(10).toLongLong();
        s.unrecorded = q.value(11).toLongLong();
        s.meterProfile = q.value(12).toString();
        out.append(s);
    }
    return true;
}

bool HistoryDatabase::runColumns(const QString &runId, QVector<Column> &columns, QString *error)
{
    QSqlQuery q(database());
    q.prepare(QStringLiteral("SELECT columns_json FROM runs WHERE id = ?"));
    q.addBindValue(runId);
    if (!exec(q, error))
        return false;
    columns = q.next() ? columnsFromJson(q.value(0).toString()) : QVector<Column>();
    return true;
}

bool HistoryDatabase::runSteps(const QString &runId, QString &stepsJson, QString *error)
{
    QSqlQuery q(database());
    q.prepare(QStringLiteral("SELECT steps FROM runs WHERE id = ?"));
    q.addBindValue(runId);
    if (!exec(q, error))
        return false;
    stepsJson = q.next() ? q.value(0).toString() : QString();
    return true;
}

bool HistoryDatabase::forEachRow(const Filter &filter, const std::function<bool(const StoredRow &)> &row, QString *error,
                                 int afterSeq, int limit, bool raw)
{
    // The runs first, oldest first, then each run's rows in key order: no
    // sort over the rows, and PostgreSQL takes no second statement while
    // it streams a forward-only result.
    QVector<QPair<QString, QVector<Column>>> runs;
    {
        QVariantList values;
        QSqlQuery c(database());
        c.setForwardOnly(true);
        c.prepare(QStringLiteral("SELECT r.id, r.columns_json FROM runs r") + whereClause(filter, values, m_version >= 2, m_version >= 4)
                  + QStringLiteral(" ORDER BY r.started, r.id"));
        for (const QVariant &v : values)
            c.addBindValue(v);
        if (!exec(c, error))
            return false;
        while (c.next())
            runs.append({c.value(0).toString(), columnsFromJson(c.value(1).toString())});
    }
    const bool serials = m_version >= 4;
    QString sql = QStringLiteral("SELECT seq, measured_at, verdict, texts, vals, verdicts, %1 FROM result_rows "
                                 "WHERE run_id = ? AND seq > ?%2 ORDER BY seq")
                      .arg(serials ? QStringLiteral("serial, bin") : QStringLiteral("NULL, NULL"),
                          serials && !filter.serial.isEmpty() ? QStringLiteral(" AND serial = ?") : QString());
    if (limit >= 0)
        sql += QStringLiteral(" LIMIT ?");
    qint64 left = limit;
    StoredRow r;
    for (const auto &run : runs) {
        QSqlQuery q(database());
        q.setForwardOnly(true);
        q.prepare(sql);
        q.addBindValue(run.first);
        q.addBindValue(afterSeq);
        if (serials && !filter.serial.isEmpty())
            q.addBindValue(filter.serial);
        if (limit >= 0)
            q.addBindValue(left);
        if (!exec(q, error))
            return false;
        r.runId = run.first;
        r.columns = &run.second;
        while (q.next()) {
            r.seq = q.value(0).toInt();
            r.measuredAt = q.value(1).toString();
            r.verdict = q.value(2).toString();
            r.rawTexts = q.value(3).toString();
            r.rawValues = q.value(4).toString();
            r.rawVerdicts = q.value(5).toString();
            r.serial = q.value(6).toString();
            r.bin = q.value(7).toString();
            if (!raw) {
                r.texts = splitList(r.rawTexts);
                r.values = splitList(r.rawValues);
                r.verdicts = splitList(r.rawVerdicts);
            }
            if (!row(r))
                return true;
            if (limit >= 0 && --left <= 0)
                return true;
        }
    }
    return true;
}

bool HistoryDatabase::seqAfterOffset(const QString &runId, qint64 offset, qint64 listedRows, int &afterSeq, QString *error)
{
    afterSeq = 0;
    if (offset <= 0)
        return true;
    QSqlQuery q(database());
    q.setForwardOnly(true);
    auto first = [&](const QString &sql, const QVariantList &values, qint64 &out) {
        q.prepare(sql);
        for (const QVariant &v : values)
            q.addBindValue(v);
        if (!exec(q, error))
            return false;
        out = q.next() ? q.value(0).toLongLong() : 0;
        q.finish();
        return true;
    };
    if (offset <= listedRows) {
        // Counted first, then found numbered 1..count with nothing above:
        // rows only ever join, so the nth row is seq n.
        qint64 max = 0, min = 0;
        if (!first(QStringLiteral("SELECT MAX(seq) FROM result_rows WHERE run_id = ?"), {runId}, max)
            || !first(QStringLiteral("SELECT MIN(seq) FROM result_rows WHERE run_id = ?"), {runId}, min))
            return false;
        if (min >= 1 && max == listedRows) {
            afterSeq = int(offset);
            return true;
        }
    }
    qint64 seq = 0;
    q.prepare(QStringLiteral("SELECT seq FROM result_rows WHERE run_id = ? ORDER BY seq LIMIT 1 OFFSET ?"));
    q.addBindValue(runId);
    q.addBindValue(offset - 1);
    if (!exec(q, error))
        return false;
    seq = q.next() ? q.value(0).toLongLong() : std::numeric_limits<int>::max();
    q.finish();
    afterSeq = int(seq);
    return true;
}

bool HistoryDatabase::listSweeps(QVector<SweepSummary> &out, QString *error, int limit)
{
    QSqlQuery q(database());
    q.setForwardOnly(true);
    QString sql = QStringLiteral("SELECT s.id, s.started, s.station, s.operator_name, s.settings, "
                                 "(SELECT COUNT(*) FROM sweep_points p WHERE p.sweep_id = s.id) "
                                 "FROM sweeps s ORDER BY s.started DESC, s.id DESC");
    if (limit >= 0)
        sql += QStringLiteral(" LIMIT ?");
    q.prepare(sql);
    if (limit >= 0)
        q.addBindValue(limit);
    if (!exec(q, error))
        return false;
    while (q.next())
        out.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
            q.value(4).toString(), q.value(5).toLongLong()});
    return true;
}

bool HistoryDatabase::sweepPoints(const QString &sweepId, QVector<PointRecord> &out, QString *error)
{
    QSqlQuery q(database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT draw, seq, measured_at, x, first_text, second_text FROM sweep_points "
                             "WHERE sweep_id = ? ORDER BY draw, seq"));
    q.addBindValue(sweepId);
    if (!exec(q, error))
        return false;
    while (q.next()) {
        PointRecord p;
        p.sweepId = sweepId;
        p.draw = q.value(0).toInt();
        p.seq = q.value(1).toInt();
        p.measuredAt = parseTime(q.value(2).toString());
        p.x = q.value(3).toString();
        p.first = q.value(4).toString();
        p.second = q.value(5).toString();
        out.append(p);
    }
    return true;
}
