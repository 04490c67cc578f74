#include "history/HistoryDatabase.h"

#include <QSqlError>
#include <QVariant>

#include <algorithm>

#include <sqlite3.h>

// The writing half of HistoryDatabase: new runs, rows, sweeps and points,
// and the ends and counts added to them later.

using namespace History;

namespace {

QVariant orNull(const QString &s)
{
    return s.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(s);
}

QVariant text(const QString &s)
{
    // NOT NULL columns: an empty text is stored as an empty text.
    return s.isNull() ? QVariant(QStringLiteral("")) : QVariant(s);
}

} // namespace

namespace {

// A new run or sweep: the columns it starts with, kept when it is there already.
QString headInsert(const QString &table, const QStringList &columns)
{
    const QStringList start = startColumns(columns);
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT (id) DO NOTHING")
        .arg(table, start.join(QStringLiteral(", ")), placeholders(int(start.size())));
}

const QString &pointInsert()
{
    static const QString sql =
        QStringLiteral("INSERT INTO sweep_points (%1) VALUES (%2) ON CONFLICT (sweep_id, draw, seq) DO NOTHING")
            .arg(pointTableColumns().join(QStringLiteral(", ")), placeholders(int(pointTableColumns().size())));
    return sql;
}

} // namespace

bool HistoryDatabase::insertRun(const RunRecord &r, QString *error)
{
    QSqlQuery &q = prepared(QStringLiteral("run"),
        headInsert(QStringLiteral("runs"), runTableColumns()));
    for (const QVariant &v : {text(r.id), text(timeText(r.started)), text(r.station), text(r.operatorName), text(r.meter),
             text(r.device), text(r.procedure), text(r.procedureHash), text(r.steps), text(columnsJson(r.columns)),
             QVariant(r.loops), text(r.title), text(r.company), text(r.customer), text(r.instrument), text(r.partNo),
             text(r.lotNo), text(r.quantity), text(r.remark), orNull(r.meterProfile)})
        q.addBindValue(v);
    return exec(q, error);
}

// A run's kept counts, from its rows.
#define RunCounts                                                                                                      \
    "row_count = (SELECT COUNT(*) FROM result_rows w WHERE w.run_id = runs.id), "                                     \
    "fail_count = (SELECT COUNT(*) FROM result_rows w WHERE w.run_id = runs.id AND w.verdict = 'fail') "

bool HistoryDatabase::finishRun(const QString &id, const QDateTime &finished, const QString &outcome, QString *error,
                                bool count, qint64 unrecorded)
{
    QSqlQuery &q = count
        ? prepared(QStringLiteral("finishRunCounted"),
              QStringLiteral("UPDATE runs SET finished = ?, outcome = ?, unrecorded = ?, " RunCounts "WHERE id = ?"))
        : prepared(QStringLiteral("finishRun"),
              QStringLiteral("UPDATE runs SET finished = ?, outcome = ?, unrecorded = ? WHERE id = ?"));
    q.addBindValue(timeText(finished));
    q.addBindValue(outcome);
    q.addBindValue(unrecorded > 0 ? QVariant(unrecorded) : QVariant(QMetaType::fromType<qlonglong>()));
    q.addBindValue(id);
    return exec(q, error);
}

bool HistoryDatabase::countRun(const QString &id, QString *error)
{
    QSqlQuery &q = prepared(QStringLiteral("countRun"),
        QStringLiteral("UPDATE runs SET " RunCounts "WHERE id = ? AND finished IS NOT NULL"));
    q.addBindValue(id);
    return exec(q, error);
}

namespace {

const QString RowInsert =
    QStringLiteral("INSERT INTO result_rows (%1) VALUES ").arg(rowTableColumns().join(QStringLiteral(", ")));
const QString RowTuple = QLatin1Char('(') + placeholders(int(rowTableColumns().size())) + QLatin1Char(')');
const QString RowKept = QStringLiteral(" ON CONFLICT (run_id, seq) DO NOTHING");

// A row's readings as the three stored lists.
void rowLists(const RowRecord &r, QString &texts, QString &values, QString &verdicts)
{
    texts.clear();
    values.clear();
    verdicts.clear();
    texts.reserve(r.cells.size() * 12);
    values.reserve(r.cells.size() * 12);
    verdicts.reserve(r.cells.size() * 5);
    for (int i = 0; i < r.cells.size(); ++i) {
        const Cell &c = r.cells[i];
        if (i) {
            texts += QLatin1Char('\t');
            values += QLatin1Char('\t');
            verdicts += QLatin1Char('\t');
        }
        appendEntry(texts, c.text);
        appendValue(values, c.value);
        appendEntry(verdicts, c.verdict);
    }
}

void bindRow(QSqlQuery &q, const RowRecord &r)
{
    QString texts, values, verdicts;
    rowLists(r, texts, values, verdicts);
    q.addBindValue(r.runId);
    q.addBindValue(r.seq);
    q.addBindValue(timeText(r.measuredAt));
    q.addBindValue(r.verdict);
    q.addBindValue(text(texts));
    q.addBindValue(text(values));
    q.addBindValue(text(verdicts));
    q.addBindValue(orNull(r.serial));
    q.addBindValue(orNull(r.bin));
}

QString rowsInsert(int rows)
{
    QString sql = RowInsert;
    for (int i = 0; i < rows; ++i) {
        if (i)
            sql += QStringLiteral(", ");
        sql += RowTuple;
    }
    return sql + RowKept;
}

} // namespace

bool HistoryDatabase::insertRow(const RowRecord &r, QString *error)
{
    if (m_sqlite)
        return insertRowsSqlite(&r, 1, error);
    static const QString sql = rowsInsert(1);
    QSqlQuery &q = prepared(QStringLiteral("row"), sql);
    bindRow(q, r);
    return exec(q, error);
}

bool HistoryDatabase::insertRowsSqlite(const RowRecord *rows, qsizetype count, QString *error)
{
    // Through Qt's driver a value costs more than the library's whole insert
    // (variants, UTF-16): the same statement, bound here as the UTF-8 the
    // file stores.
    sqlite3 *db = m_sqlite;
    auto failed = [&] {
        if (error)
            *error = describe(QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(db)), QSqlError::StatementError,
                QString::number(sqlite3_errcode(db) & 0xff)));
        if (m_bulk)
            sqlite3_reset(m_bulk);
        return false;
    };
    if (!m_bulk) {
        const QByteArray sql = rowsInsert(1).toUtf8();
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &m_bulk, nullptr) != SQLITE_OK)
            return failed();
    }
    QString texts, values, verdicts;
    QByteArray id, at, verdict, t, v, p, serial, bin;
    auto bindOptional = [&](int index, const QString &text, QByteArray &utf8) {
        if (text.isEmpty()) {
            sqlite3_bind_null(m_bulk, index);
            return;
        }
        utf8 = text.toUtf8();
        sqlite3_bind_text(m_bulk, index, utf8.constData(), int(utf8.size()), SQLITE_STATIC);
    };
    for (const RowRecord *r = rows; r != rows + count; ++r) {
        rowLists(*r, texts, values, verdicts);
        id = r->runId.toUtf8();
        at = timeText(r->measuredAt).toLatin1();
        verdict = r->verdict.toUtf8();
        t = texts.toUtf8();
        v = values.toUtf8();
        p = verdicts.toUtf8();
        sqlite3_bind_text(m_bulk, 1, id.constData(), int(id.size()), SQLITE_STATIC);
        sqlite3_bind_int64(m_bulk, 2, r->seq);
        sqlite3_bind_text(m_bulk, 3, at.constData(), int(at.size()), SQLITE_STATIC);
        sqlite3_bind_text(m_bulk, 4, verdict.constData(), int(verdict.size()), SQLITE_STATIC);
        sqlite3_bind_text(m_bulk, 5, t.constData(), int(t.size()), SQLITE_STATIC);
        sqlite3_bind_text(m_bulk, 6, v.constData(), int(v.size()), SQLITE_STATIC);
        sqlite3_bind_text(m_bulk, 7, p.constData(), int(p.size()), SQLITE_STATIC);
        bindOptional(8, r->serial, serial);
        bindOptional(9, r->bin, bin);
        if (sqlite3_step(m_bulk) != SQLITE_DONE)
            return failed();
        sqlite3_reset(m_bulk);
    }
    return true;
}

bool HistoryDatabase::insertRows(const QVector<RowRecord> &rows, QString *error)
{
    if (m_sqlite)
        return insertRowsSqlite(rows.constData(), rows.size(), error);
    // Many rows a statement: the cost of a statement is paid once for them all.
    constexpr int PerStatement = 64;
    for (qsizetype done = 0; done < rows.size();) {
        const int n = int(std::min<qsizetype>(PerStatement, rows.size() - done));
        static const QString full = rowsInsert(PerStatement);
        QSqlQuery &q = n == PerStatement ? prepared(QStringLiteral("rows"), full)
                                         : prepared(QStringLiteral("rows%1").arg(n), rowsInsert(n));
        for (int k = 0; k < n; ++k)
            bindRow(q, rows[done + k]);
        if (!exec(q, error))
            return false;
        done += n;
    }
    return true;
}

bool HistoryDatabase::insertSweep(const SweepRecord &s, QString *error)
{
    QSqlQuery &q = prepared(QStringLiteral("sweep"),
        headInsert(QStringLiteral("sweeps"), sweepTableColumns()));
    for (const QVariant &v : {text(s.id), text(timeText(s.started)), text(s.station), text(s.operatorName), text(s.meter),
             text(s.device), text(s.settings)})
        q.addBindValue(v);
    return exec(q, error);
}

bool HistoryDatabase::finishSweep(const QString &id, const QDateTime &finished, const QString &outcome, QString *error)
{
    QSqlQuery &q = prepared(QStringLiteral("finishSweep"),
        QStringLiteral("UPDATE sweeps SET finished = ?, outcome = ? WHERE id = ?"));
    q.addBindValue(timeText(finished));
    q.addBindValue(outcome);
    q.addBindValue(id);
    return exec(q, error);
}

bool HistoryDatabase::insertPoint(const PointRecord &p, QString *error)
{
    QSqlQuery &q = prepared(QStringLiteral("point"),
        pointInsert());
    for (const QVariant &v : {text(p.sweepId), QVariant(p.draw), QVariant(p.seq), text(timeText(p.measuredAt)), text(p.x),
             text(p.first), text(p.second)})
        q.addBindValue(v);
    return exec(q, error);
}

bool HistoryDatabase::markSpooled(const QString &id, const QString &kind, const QString &targetKey, QString *error)
{
    QSqlQuery &q = prepared(QStringLiteral("spooled"),
        QStringLiteral("INSERT INTO spooled (id, kind, target) VALUES (?, ?, ?) ON CONFLICT (id) DO NOTHING"));
    q.addBindValue(id);
    q.addBindValue(kind);
    q.addBindValue(targetKey);
    return exec(q, error);
}
