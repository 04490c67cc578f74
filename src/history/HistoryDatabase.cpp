#include "history/HistoryDatabase.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QStorageInfo>
#include <QUrl>
#include <QVariant>

#include <algorithm>
#include <limits>
#include <mutex>

#include <sqlite3.h>

using namespace History;

namespace {

QAtomicInt connectionCounter;

QtMessageHandler previousHandler = nullptr;

// Qt's PostgreSQL driver prints lines of its own when a server goes away
// (a statement on a lost connection, a statement it cannot free); the
// history says what happened in one sentence where it is shown (status bar,
// window, qel-cli), so those lines are not passed on.
void withoutDriverLines(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg
        && (message.startsWith(QLatin1String("QSqlQuery::prepare: database not open"))
            || message.startsWith(QLatin1String("QSqlQuery::exec: database not open"))
            || message.startsWith(QLatin1String("Unable to free statement:"))
            || message.startsWith(QLatin1String("QPSQL"))))
        return;
    previousHandler(type, context, message);
}

void quietDriverLines()
{
    static std::once_flag once;
    std::call_once(once, [] { previousHandler = qInstallMessageHandler(withoutDriverLines); });
}

// Migrations: entry n - 1 takes a database from version n - 1 to n.
// Types are plain enough for both SQLite and PostgreSQL.
const QVector<QStringList> &migrations()
{
    static const QVector<QStringList> m = {
        {
            QStringLiteral("CREATE TABLE runs ("
                           "id TEXT PRIMARY KEY, started TEXT NOT NULL, finished TEXT, outcome TEXT, "
                           "station TEXT NOT NULL, operator_name TEXT NOT NULL, meter TEXT NOT NULL, "
                           "device TEXT NOT NULL, procedure_name TEXT NOT NULL, procedure_hash TEXT NOT NULL, "
                           "steps TEXT NOT NULL, columns_json TEXT NOT NULL, loops INTEGER NOT NULL, "
                           "title TEXT NOT NULL, company TEXT NOT NULL, customer TEXT NOT NULL, "
                           "instrument TEXT NOT NULL, part_no TEXT NOT NULL, lot_no TEXT NOT NULL, "
                           "quantity TEXT NOT NULL, remark TEXT NOT NULL)"),
            QStringLiteral("CREATE INDEX runs_started ON runs (started, id)"),
            QStringLiteral("CREATE INDEX runs_lot ON runs (lot_no, started, id)"),
            QStringLiteral("CREATE INDEX runs_procedure ON runs (procedure_name, started, id)"),
            QStringLiteral("CREATE TABLE result_rows ("
                           "run_id TEXT NOT NULL, seq INTEGER NOT NULL, measured_at TEXT NOT NULL, "
                           "verdict TEXT NOT NULL, texts TEXT NOT NULL, vals TEXT NOT NULL, verdicts TEXT NOT NULL, "
                           "PRIMARY KEY (run_id, seq))%1"),
            QStringLiteral("CREATE TABLE sweeps ("
                           "id TEXT PRIMARY KEY, started TEXT NOT NULL, finished TEXT, outcome TEXT, "
                           "station TEXT NOT NULL, operator_name TEXT NOT NULL, meter TEXT NOT NULL, "
                           "device TEXT NOT NULL, settings TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE sweep_points ("
                           "sweep_id TEXT NOT NULL, draw INTEGER NOT NULL, seq INTEGER NOT NULL, "
                           "measured_at TEXT NOT NULL, x TEXT NOT NULL, first_text TEXT NOT NULL, "
                           "second_text TEXT NOT NULL, PRIMARY KEY (sweep_id, draw, seq))%1"),
            QStringLiteral("CREATE TABLE spooled (id TEXT PRIMARY KEY, kind TEXT NOT NULL, target TEXT NOT NULL)"),
        },
        {
            // A finished run keeps its counts, so listing runs reads no rows;
            // the index makes counting a run's fails one seek.
            QStringLiteral("ALTER TABLE runs ADD COLUMN row_count INTEGER"),
            QStringLiteral("ALTER TABLE runs ADD COLUMN fail_count INTEGER"),
            QStringLiteral("CREATE INDEX result_rows_verdict ON result_rows (run_id, verdict)"),
            QStringLiteral("CREATE INDEX runs_station ON runs (station, started, id)"),
            QStringLiteral("UPDATE runs SET "
                           "row_count = (SELECT COUNT(*) FROM result_rows w WHERE w.run_id = runs.id), "
                           "fail_count = (SELECT COUNT(*) FROM result_rows w WHERE w.run_id = runs.id AND w.verdict = 'fail') "
                           "WHERE finished IS NOT NULL"),
        },
        {
            // Rows a run could not record (the database could not be written
            // for a while): NULL when every row was recorded.
            QStringLiteral("ALTER TABLE runs ADD COLUMN unrecorded INTEGER"),
        },
        {
            // NULL where nothing was recorded: the legacy meter's runs, parts
            // without a serial number, rows of a run without a bin plan.
            QStringLiteral("ALTER TABLE runs ADD COLUMN meter_profile TEXT"),
            QStringLiteral("ALTER TABLE result_rows ADD COLUMN serial TEXT"),
            QStringLiteral("ALTER TABLE result_rows ADD COLUMN bin TEXT"),
            QStringLiteral("CREATE INDEX result_rows_serial ON result_rows (serial)"),
        },
    };
    return m;
}

// An existing file whose folder cannot take new files (a read-only mount,
// or no permission), or which itself cannot be written.
bool onReadOnlyMedium(const QString &path)
{
    const QFileInfo file(path);
    if (!file.exists())
        return false;
    return QStorageInfo(file.absolutePath()).isReadOnly() || !QFileInfo(file.absolutePath()).isWritable() || !file.isWritable();
}

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

HistoryDatabase::HistoryDatabase()
    : m_name(QStringLiteral("qel-history-%1").arg(connectionCounter.fetchAndAddRelaxed(1))),
      m_queries(std::make_unique<QHash<QString, QSqlQuery>>())
{
}

HistoryDatabase::~HistoryDatabase()
{
    close();
}

QSqlDatabase HistoryDatabase::database() const
{
    return QSqlDatabase::database(m_name, false);
}

void HistoryDatabase::close()
{
    m_queries->clear();
    if (m_bulk) {
        sqlite3_finalize(m_bulk);
        m_bulk = nullptr;
    }
    m_sqlite = nullptr;
    if (QSqlDatabase::contains(m_name)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    m_open = false;
}

QString HistoryDatabase::describe(const QSqlError &error) const
{
    const QString where = m_target.display();
    if (m_target.kind == HistoryTarget::Kind::SQLite) {
        // The driver gives SQLite's extended codes: the primary one is the low byte.
        bool numeric = false;
        const int code = error.nativeErrorCode().toInt(&numeric) & 0xff;
        if (numeric && code == SQLITE_NOTADB)
            return QStringLiteral("%1 is not a results database (not an SQLite file).").arg(where);
        if (numeric && (code == SQLITE_BUSY || code == SQLITE_LOCKED))
            return QStringLiteral("%1 is locked by another program.").arg(where);
        if (numeric && code == SQLITE_FULL)
            return QStringLiteral("%1 cannot be written: the disk is full.").arg(where);
        // A file on a read-only medium cannot even be opened for writing: its
        // write-ahead log cannot be made beside it.
        if (numeric && (code == SQLITE_READONLY || (code == SQLITE_CANTOPEN && onReadOnlyMedium(m_target.path))))
            return QStringLiteral("%1 cannot be written: it is read-only.").arg(where);
    }
    QString why = error.databaseText().trimmed();
    if (why.isEmpty())
        why = error.driverText().trimmed();
    why = why.split(QLatin1Char('\n')).value(0).trimmed();
    while (why.endsWith(QLatin1Char('.')))
        why.chop(1);
    return QStringLiteral("The results database %1 failed: %2.").arg(where, why);
}

bool HistoryDatabase::exec(QSqlQuery &q, QString *error)
{
    if (q.exec())
        return true;
    if (error)
        *error = describe(q.lastError());
    return false;
}

QSqlQuery &HistoryDatabase::prepared(const QString &key, const QString &sql)
{
    auto it = m_queries->find(key);
    if (it == m_queries->end()) {
        QSqlQuery q(database());
        q.prepare(sql);
        it = m_queries->insert(key, q);
    }
    return *it;
}

bool HistoryDatabase::open(const HistoryTarget &target, Mode mode, QString *error)
{
    close();
    m_failedForGood = false;
    m_target = target;
    // The connection's handles must be gone before it can be removed.
    const bool ok = connectTo(mode, error);
    if (!ok)
        close();
    return ok;
}

bool HistoryDatabase::execSql(const QString &sql, QString *error)
{
    QSqlQuery q(database());
    if (q.exec(sql))
        return true;
    if (error)
        *error = describe(q.lastError());
    return false;
}

bool HistoryDatabase::connectTo(Mode mode, QString *error)
{
    const HistoryTarget &target = m_target;
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (target.kind == HistoryTarget::Kind::SQLite) {
        const QFileInfo info(target.path);
        if (mode == Mode::ReadOnly && !info.exists())
            return fail(QStringLiteral("%1 does not exist: nothing has been recorded there yet.").arg(target.path));
        if (info.isDir()) {
            m_failedForGood = true;
            return fail(QStringLiteral("%1 is a folder, not a results database.").arg(target.path));
        }
        // The file is never opened here but through SQLite: closing any other
        // descriptor of it drops every lock this process holds on it, and
        // another program closing the file then deletes the WAL and its index
        // under this process's connections (stale reads, "malformed", lost
        // rows). A foreign file is told by SQLite (SQLITE_NOTADB) below.
        if (info.exists() && !info.isReadable())
            return fail(QStringLiteral("%1 cannot be read: permission denied.").arg(target.path));
        if (mode == Mode::ReadWrite && !QDir().mkpath(info.absolutePath()))
            return fail(QStringLiteral("The folder of %1 cannot be made.").arg(target.path));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(target.path);
        QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeout);
        if (mode == Mode::ReadOnly)
            options += QStringLiteral(";QSQLITE_OPEN_READONLY");
        // On a read-only mount nothing can change the file, and its write-ahead
        // log's index cannot be made beside it: read it as it stands.
        if (mode == Mode::ReadOnly && QStorageInfo(info.absolutePath()).isReadOnly()) {
            db.setDatabaseName(QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded)
                               + QStringLiteral("?immutable=1"));
            options += QStringLiteral(";QSQLITE_OPEN_URI");
        }
        db.setConnectOptions(options);
        if (!db.open())
            return fail(describe(db.lastError()));
        const QVariant handle = db.driver()->handle();
        if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
            m_sqlite = *static_cast<sqlite3 *const *>(handle.data());
        // Reading the catalogue tells a locked or foreign file at once.
        {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
                m_failedForGood = (q.lastError().nativeErrorCode().toInt() & 0xff) == SQLITE_NOTADB;
                return fail(describe(q.lastError()));
            }
        }
        // WAL keeps readers and the writer apart; NORMAL keeps every
        // committed row through a killed program.
        if (mode == Mode::ReadWrite
            && (!execSql(QStringLiteral("PRAGMA journal_mode=WAL"), error)
                || !execSql(QStringLiteral("PRAGMA synchronous=NORMAL"), error)))
            return false;
    } else if (target.kind == HistoryTarget::Kind::PostgreSQL) {
        m_failedForGood = !QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"));
        if (m_failedForGood)
            return fail(QStringLiteral("PostgreSQL is not available: install the Qt PostgreSQL driver (libqt6sql6-psql)."));
        quietDriverLines();
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
        db.setHostName(target.host);
        db.setPort(target.port);
        db.setDatabaseName(target.dbName);
        if (!target.user.isEmpty())
            db.setUserName(target.user);
        if (!target.password.isEmpty())
            db.setPassword(target.password);
        db.setConnectOptions(QStringLiteral("connect_timeout=3;application_name=qel"));
        if (!db.open()) {
            // libpq: 'connection to server at "h", port p failed: WHY\n\tHINT'.
            QString why = db.lastError().databaseText().split(QLatin1Char('\n')).value(0).trimmed();
            const int at = why.lastIndexOf(QLatin1String("failed: "));
            if (at >= 0)
                why = why.mid(at + 8);
            if (why.startsWith(QLatin1String("FATAL:")))
                why = why.mid(6).trimmed();
            if (why.isEmpty())
                why = db.lastError().driverText();
            while (why.endsWith(QLatin1Char('.')))
                why.chop(1);
            if (why.contains(QLatin1String("password authentication failed")) || why.contains(QLatin1String("no password supplied")))
                return fail(QStringLiteral("The results database %1 refused the password of user \"%2\".")
                                .arg(target.display(), target.user));
            return fail(QStringLiteral("Cannot reach the results database %1: %2.").arg(target.display(), why));
        }
        if (mode == Mode::ReadOnly && !execSql(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"), error))
            return false;
    } else {
        m_failedForGood = true;
        return fail(QStringLiteral("No results database was chosen."));
    }
    m_open = true;
    return prepareSchema(mode, error);
}

bool HistoryDatabase::prepareSchema(Mode mode, QString *error)
{
    QSqlDatabase db = database();
    const bool exists = db.tables().contains(QStringLiteral("schema_version"));
    if (db.lastError().isValid() && db.lastError().type() != QSqlError::NoError) {
        if (error)
            *error = describe(db.lastError());
        return false;
    }
    m_version = 0;
    if (exists) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT MAX(version) FROM schema_version"));
        if (!exec(q, error))
            return false;
        if (q.next())
            m_version = q.value(0).toInt();
    }
    if (m_version > SchemaVersion) {
        m_failedForGood = true;
        if (error)
            *error = QStringLiteral("%1 holds results schema version %2, newer than this program reads (%3); use a newer Qel.")
                         .arg(m_target.display())
                         .arg(m_version)
                         .arg(SchemaVersion);
        return false;
    }
    if (m_version == SchemaVersion || (mode == Mode::ReadOnly && m_version >= OldestReadableVersion))
        return true;
    if (mode == Mode::ReadOnly) {
        if (error)
            *error = m_version == 0
                ? QStringLiteral("%1 is not a results database (it holds no results schema).").arg(m_target.display())
                : QStringLiteral("%1 holds an older results schema; record into it once to bring it up to date.")
                      .arg(m_target.display());
        return false;
    }
    if (!db.transaction()) {
        if (error)
            *error = describe(db.lastError());
        return false;
    }
    QSqlQuery q(db);
    // Statements that make tables cannot be prepared on PostgreSQL.
    auto run = [&](const QString &sql) { return execSql(sql, error); };
    bool ok = exists || run(QStringLiteral("CREATE TABLE schema_version (version INTEGER NOT NULL, applied TEXT NOT NULL)"));
    for (int v = m_version + 1; ok && v <= SchemaVersion; ++v) {
        // %1: SQLite keeps rows clustered by their key (one B-tree, not two).
        const QString clustered = m_target.isServer() ? QString() : QStringLiteral(" WITHOUT ROWID");
        for (const QString &sql : migrations().at(v - 1))
            if (!(ok = run(sql.contains(QLatin1String("%1")) ? sql.arg(clustered) : sql)))
                break;
        if (ok) {
            q.prepare(QStringLiteral("INSERT INTO schema_version (version, applied) VALUES (?, ?)"));
            q.addBindValue(v);
            q.addBindValue(timeText(QDateTime::currentDateTimeUtc()));
            ok = exec(q, error);
        }
    }
    if (!ok) {
        db.rollback();
        return false;
    }
    if (!db.commit()) {
        if (error)
            *error = describe(db.lastError());
        return false;
    }
    m_version = SchemaVersion;
    return true;
}

void HistoryDatabase::setBusyTimeout(int ms)
{
    m_busyTimeout = ms;
    if (m_sqlite)
        sqlite3_busy_timeout(m_sqlite, ms);
}

bool HistoryDatabase::begin()
{
    return database().transaction();
}

bool HistoryDatabase::commit(QString *error)
{
    QSqlDatabase db = database();
    if (db.commit())
        return true;
    if (error)
        *error = describe(db.lastError());
    db.rollback();
    return false;
}

void HistoryDatabase::rollback()
{
    database().rollback();
}

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
