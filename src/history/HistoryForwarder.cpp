#include "history/HistoryForwarder.h"

#include "history/HistoryDatabase.h"

#include <QAtomicInt>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

using namespace History;

namespace {

QAtomicInt batchRows = 500;

// A value read from one database for a statement on another: SQL NULL stays
// NULL, an empty text stays an empty text.
QVariant carried(const QSqlQuery &q, int i)
{
    if (q.isNull(i))
        return QVariant(QMetaType::fromType<QString>());
    const QVariant v = q.value(i);
    if (v.typeId() == QMetaType::QString && v.toString().isEmpty())
        return QVariant(QStringLiteral(""));
    return v;
}

struct Failure
{
    QString sentence;
};

void run(QSqlQuery &q, const HistoryDatabase &db)
{
    if (!q.exec())
        throw Failure{db.describe(q.lastError())};
}

// Copies the head record and its children of one spooled id; returns the
// children copied and whether the head had ended (so the spool may drop it).
struct Copied
{
    qint64 children = 0;
    QVariant lastA, lastB; // the last child's key (seq, or draw and seq)
    bool ended = false;
    bool present = false;
};

Copied copyOne(HistoryDatabase &spool, HistoryDatabase &server, const QString &id, bool isRun)
{
    const QString headTable = isRun ? QStringLiteral("runs") : QStringLiteral("sweeps");
    const QStringList &headCols = isRun ? runTableColumns() : sweepTableColumns();
    const QString childTable = isRun ? QStringLiteral("result_rows") : QStringLiteral("sweep_points");
    const QStringList &childCols = isRun ? rowTableColumns() : pointTableColumns();
    const QString parentKey = isRun ? QStringLiteral("run_id") : QStringLiteral("sweep_id");
    const QString childKey = isRun ? QStringLiteral("run_id, seq") : QStringLiteral("sweep_id, draw, seq");
    const QString order = isRun ? QStringLiteral("seq") : QStringLiteral("draw, seq");

    Copied c;
    QSqlQuery head(spool.database());
    head.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE id = ?").arg(headCols.join(QStringLiteral(", ")), headTable));
    head.addBindValue(id);
    run(head, spool);
    if (!head.next())
        return c;
    c.present = true;
    c.ended = !head.isNull(3);

    QSqlDatabase sdb = server.database();
    QString problem;
    if (!sdb.transaction())
        throw Failure{server.describe(sdb.lastError())};
    try {
        QSqlQuery up(sdb);
        up.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT (id) DO UPDATE SET "
                                  "finished = COALESCE(excluded.finished, %1.finished), "
                                  "outcome = COALESCE(excluded.outcome, %1.outcome)%4")
                       .arg(headTable, headCols.join(QStringLiteral(", ")), placeholders(int(headCols.size())),
                           isRun ? QStringLiteral(", unrecorded = COALESCE(excluded.unrecorded, runs.unrecorded)") : QString()));
        for (int i = 0; i < headCols.size(); ++i)
            up.addBindValue(carried(head, i));
        run(up, server);

        QSqlQuery children(spool.database());
        children.setForwardOnly(true);
        children.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? ORDER BY %4")
                             .arg(childCols.join(QStringLiteral(", ")), childTable, parentKey, order));
        children.addBindValue(id);
        run(children, spool);
        // Many rows a statement: one round trip to the server per batch, not per row.
        const int width = int(childCols.size());
        auto insert = [&](int rows) {
            QStringList tuples;
            for (int k = 0; k < rows; ++k)
                tuples << QLatin1Char('(') + placeholders(width) + QLatin1Char(')');
            return QStringLiteral("INSERT INTO %1 (%2) VALUES %3 ON CONFLICT (%4) DO NOTHING")
                .arg(childTable, childCols.join(QStringLiteral(", ")), tuples.join(QStringLiteral(", ")), childKey);
        };
        const int batch = std::max(1, batchRows.loadRelaxed());
        QSqlQuery full(sdb);
        bool fullReady = false;
        QVariantList values;
        values.reserve(batch * width);
        auto send = [&](int rows) {
            QSqlQuery part(sdb);
            QSqlQuery &q = rows == batch ? full : part;
            if (&q == &part || !fullReady) {
                q.prepare(insert(rows));
                fullReady = fullReady || &q == &full;
            }
            for (const QVariant &v : values)
                q.addBindValue(v);
            run(q, server);
            values.clear();
        };
        int inBatch = 0;
        while (children.next()) {
            for (int i = 0; i < width; ++i)
                values << carried(children, i);
            ++c.children;
            c.lastA = children.value(1);
            c.lastB = isRun ? QVariant() : children.value(2);
            if (++inBatch == batch) {
                send(batch);
                inBatch = 0;
            }
        }
        if (inBatch > 0)
            send(inBatch);
        if (isRun && c.ended && !server.countRun(id, &problem))
            throw Failure{problem};
        if (!sdb.commit())
            throw Failure{server.describe(sdb.lastError())};
    } catch (...) {
        sdb.rollback();
        throw;
    }
    return c;
}

void dropForwarded(HistoryDatabase &spool, const QString &id, bool isRun, const Copied &c)
{
    QSqlDatabase db = spool.database();
    if (!db.transaction())
        throw Failure{spool.describe(db.lastError())};
    try {
        QSqlQuery q(db);
        if (c.children > 0) {
            if (isRun) {
                q.prepare(QStringLiteral("DELETE FROM result_rows WHERE run_id = ? AND seq <= ?"));
                q.addBindValue(id);
                q.addBindValue(c.lastA);
            } else {
                q.prepare(QStringLiteral("DELETE FROM sweep_points WHERE sweep_id = ? AND (draw < ? OR (draw = ? AND seq <= ?))"));
                q.addBindValue(id);
                q.addBindValue(c.lastA);
                q.addBindValue(c.lastA);
                q.addBindValue(c.lastB);
            }
            run(q, spool);
        }
        if (c.ended || !c.present) {
            q.prepare(isRun ? QStringLiteral("DELETE FROM runs WHERE id = ?") : QStringLiteral("DELETE FROM sweeps WHERE id = ?"));
            q.addBindValue(id);
            run(q, spool);
            q.prepare(QStringLiteral("DELETE FROM spooled WHERE id = ?"));
            q.addBindValue(id);
            run(q, spool);
        }
        if (!db.commit())
            throw Failure{spool.describe(db.lastError())};
    } catch (...) {
        db.rollback();
        throw;
    }
}

} // namespace

bool HistoryForwarder::forward(HistoryDatabase &spool, HistoryDatabase &server, qint64 *rows, QString *error)
{
    if (rows)
        *rows = 0;
    try {
        QSqlQuery list(spool.database());
        list.prepare(QStringLiteral("SELECT id, kind FROM spooled WHERE target = ?"));
        list.addBindValue(server.target().key());
        run(list, spool);
        QVector<QPair<QString, bool>> ids;
        while (list.next())
            ids.append({list.value(0).toString(), list.value(1).toString() == QLatin1String("run")});
        list.finish();
        for (const auto &entry : ids) {
            const Copied c = copyOne(spool, server, entry.first, entry.second);
            dropForwarded(spool, entry.first, entry.second, c);
            if (rows)
                *rows += c.children;
        }
    } catch (const Failure &f) {
        if (error)
            *error = f.sentence;
        return false;
    }
    return true;
}

void HistoryForwarder::setBatchRows(int rows)
{
    batchRows.storeRelaxed(std::max(1, rows));
}

qint64 HistoryForwarder::pending(HistoryDatabase &spool, const QString &targetKey, QString *error)
{
    QSqlQuery q(spool.database());
    q.prepare(QStringLiteral("SELECT (SELECT COUNT(*) FROM result_rows w JOIN spooled s ON s.id = w.run_id WHERE s.target = ?) + "
                             "(SELECT COUNT(*) FROM sweep_points p JOIN spooled s ON s.id = p.sweep_id WHERE s.target = ?)"));
    q.addBindValue(targetKey);
    q.addBindValue(targetKey);
    if (!q.exec()) {
        if (error)
            *error = spool.describe(q.lastError());
        return -1;
    }
    return q.next() ? q.value(0).toLongLong() : 0;
}

HistoryForwarder::HistoryForwarder(const HistoryTarget &server, QObject *parent) : QObject(parent), m_server(server)
{
}

HistoryForwarder::~HistoryForwarder()
{
    stop();
}

void HistoryForwarder::stop()
{
    if (m_timer)
        m_timer->stop();
    m_serverDb.reset();
    m_spoolDb.reset();
}

void HistoryForwarder::kick()
{
    if (!m_timer) {
        // Made here, in the worker's thread, like the connections.
        m_timer = new QTimer(this);
        m_timer->setSingleShot(true);
        connect(m_timer, &QTimer::timeout, this, &HistoryForwarder::work);
    }
    // A retry already planned keeps its pace while the server is away.
    if (!m_timer->isActive())
        m_timer->start(0);
}

void HistoryForwarder::work()
{
    QString problem;
    if (!m_spoolDb) {
        m_spoolDb = std::make_unique<HistoryDatabase>();
        HistoryTarget spool;
        spool.kind = HistoryTarget::Kind::SQLite;
        spool.path = HistoryTarget::spoolPath();
        if (!m_spoolDb->open(spool, HistoryDatabase::Mode::ReadWrite, &problem)) {
            m_spoolDb.reset();
            emit progress(false, -1, problem);
            return;
        }
    }
    if (!m_serverDb) {
        m_serverDb = std::make_unique<HistoryDatabase>();
        if (!m_serverDb->open(m_server, HistoryDatabase::Mode::ReadWrite, &problem))
            m_serverDb.reset();
    }
    bool ok = false;
    if (m_serverDb) {
        ok = forward(*m_spoolDb, *m_serverDb, nullptr, &problem);
        if (!ok)
            m_serverDb.reset(); // opened afresh next time: the server may have restarted
    }
    const qint64 waiting = pending(*m_spoolDb, m_server.key());
    emit progress(ok, waiting, ok ? QString() : problem);
    if (!ok || waiting > 0)
        m_timer->start(ok ? 0 : 1000);
}
