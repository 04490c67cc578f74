#pragma once
// Another program holding an SQLite file's write lock: a Python process with
// a transaction open, so the lock is held by a real process, as a second
// bench or a backup tool would hold it.

#include <QProcess>
#include <QString>

class SqliteLockHolder
{
public:
    enum class Kind {
        // BEGIN IMMEDIATE until release(): writers wait or fail, readers go on.
        Write,
        // The file made in exclusive locking mode and kept so: nobody else
        // reads or writes it until the holder ends.
        Exclusive,
    };

    explicit SqliteLockHolder(const QString &db, Kind kind = Kind::Write)
    {
        const QString begin = kind == Kind::Write
            ? QStringLiteral("c.execute('BEGIN IMMEDIATE'); ")
            : QStringLiteral("c.execute('PRAGMA locking_mode=EXCLUSIVE'); c.execute('BEGIN EXCLUSIVE'); "
                             "c.execute('CREATE TABLE t (x)'); ");
        m_process.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"),
                QStringLiteral("import sqlite3,sys; c=sqlite3.connect(sys.argv[1], isolation_level=None); ") + begin
                    + QStringLiteral("print('held', flush=True); sys.stdin.readline(); "
                                     "c.execute('ROLLBACK'); c.close(); print('released', flush=True)"),
                db});
    }
    ~SqliteLockHolder()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

    // Waits until the lock is held.
    bool held() { return m_process.waitForReadyRead(10000) && m_process.readLine().trimmed() == "held"; }
    // Lets go of the lock and waits for the holder to end.
    bool release()
    {
        m_process.write("\n");
        m_process.closeWriteChannel();
        return m_process.waitForFinished(10000) && m_process.readAll().trimmed() == "released";
    }

private:
    QProcess m_process;
};
