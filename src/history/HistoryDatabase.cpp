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

#include <mutex>

#include <sqlite3.h>

#include <dlfcn.h>

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

// A server that shuts down tells its idle connections so ("FATAL: terminating
// connection due to administrator command"), and libpq prints such notices on
// stderr by itself. The history says what a lost server means in its own
// sentence, so the connection's notices are dropped. libpq is reached
// through the driver that loaded it: Qel does not link it.
void quietServerNotices(const QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "PGconn*") != 0)
        return;
    using Processor = void (*)(void *, const char *);
    using Setter = Processor (*)(void *, Processor, void *);
    static const Setter setProcessor = [] {
        void *libpq = dlopen("libpq.so.5", RTLD_LAZY | RTLD_NOLOAD);
        return libpq ? reinterpret_cast<Setter>(dlsym(libpq, "PQsetNoticeProcessor")) : nullptr;
    }();
    if (setProcessor)
        setProcessor(*static_cast<void *const *>(handle.constData()), [](void *, const char *) {}, nullptr);
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
            // Only rows with a serial are indexed: most rows have none, and
            // indexing their NULLs made every insert dearer.
            QStringLiteral("CREATE INDEX result_rows_serial ON result_rows (serial) WHERE serial IS NOT NULL"),
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
        quietServerNotices(db);
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
