#pragma once
// PostgresServer: a throwaway PostgreSQL server for one test program, in a
// temporary folder, listening on 127.0.0.1 and a Unix socket in that folder.
//
//   static PostgresServer &pg = PostgresServer::shared(); // started once
//   ASSERT_TRUE(pg.isRunning()) << qPrintable(pg.errorText());
//   pg.url()                      // postgresql://postgres@127.0.0.1:PORT/qel
//   pg.query("SELECT count(*) FROM result_rows") // psql -At, lines
//   pg.stop(); pg.start();        // take it away mid-test and bring it back
//
// As root it runs as the "postgres" user (runuser); otherwise as the caller.
// A watcher process stops the server when the test program ends in any way,
// so a crashed test never leaves a server behind.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

class PostgresServer
{
public:
    static QString binDir() { return QStringLiteral("/usr/lib/postgresql/15/bin"); }

    // One server per test program, made on first use.
    static PostgresServer &shared()
    {
        static PostgresServer server;
        return server;
    }

    PostgresServer()
    {
        if (!QFile::exists(binDir() + QStringLiteral("/initdb"))) {
            m_error = QStringLiteral("PostgreSQL 15 is not installed (scripts/setup installs it)");
            return;
        }
        m_dir.setAutoRemove(true);
        m_port = freePort();
        if (getuid() == 0) {
            const passwd *pw = getpwnam("postgres");
            if (!pw) {
                m_error = QStringLiteral("there is no postgres user");
                return;
            }
            if (chown(QFile::encodeName(m_dir.path()).constData(), pw->pw_uid, pw->pw_gid) != 0) {
                m_error = QStringLiteral("cannot hand %1 to postgres").arg(m_dir.path());
                return;
            }
        }
        if (!asOwner(binDir() + QStringLiteral("/initdb"),
                {QStringLiteral("-D"), dataDir(), QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-U"),
                    QStringLiteral("postgres"), QStringLiteral("--no-sync"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                    QStringLiteral("--locale=C")}))
            return;
        if (!start())
            return;
        watch();
        if (!run(QStringLiteral("createdb"), {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                QString::number(m_port), QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("qel")}))
            return;
        m_ready = true;
    }

    ~PostgresServer() { stop(); }

    bool isRunning() const { return m_ready && m_started; }
    QString errorText() const { return m_error; }
    int port() const { return m_port; }
    QString url(const QString &db = QStringLiteral("qel")) const
    {
        return QStringLiteral("postgresql://postgres@127.0.0.1:%1/%2").arg(m_port).arg(db);
    }

    bool start()
    {
        if (m_started)
            return true;
        m_started = asOwner(binDir() + QStringLiteral("/pg_ctl"),
            {QStringLiteral("-D"), dataDir(), QStringLiteral("-l"), m_dir.path() + QStringLiteral("/log"), QStringLiteral("-w"),
                QStringLiteral("-o"),
                QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off").arg(m_port).arg(m_dir.path()),
                QStringLiteral("start")});
        return m_started;
    }

    bool stop()
    {
        if (!m_started)
            return true;
        m_started = !asOwner(binDir() + QStringLiteral("/pg_ctl"),
            {QStringLiteral("-D"), dataDir(), QStringLiteral("-w"), QStringLiteral("-m"), QStringLiteral("fast"),
                QStringLiteral("stop")});
        return !m_started;
    }

    // A role that must give its password over TCP (everyone else stays
    // trusted); false when the server would not take it.
    bool requirePassword(const QString &user, const QString &password)
    {
        if (query(QStringLiteral("CREATE ROLE \"%1\" LOGIN SUPERUSER PASSWORD '%2'").arg(user, password)) != QStringList{QStringLiteral("CREATE ROLE")})
            return false;
        QFile hba(dataDir() + QStringLiteral("/pg_hba.conf"));
        if (!hba.open(QIODevice::ReadOnly))
            return false;
        // The first line that matches decides.
        const QByteArray rest = hba.readAll();
        hba.close();
        if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        hba.write(QStringLiteral("host all %1 127.0.0.1/32 scram-sha-256\n").arg(user).toUtf8() + rest);
        hba.close();
        return asOwner(binDir() + QStringLiteral("/pg_ctl"), {QStringLiteral("-D"), dataDir(), QStringLiteral("reload")});
    }

    // psql -At: one line per result row, fields joined by "|".
    QStringList query(const QString &sql, const QString &db = QStringLiteral("qel")) const
    {
        QProcess p;
        p.start(QStringLiteral("psql"), {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
            QString::number(m_port), QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-d"), db,
            QStringLiteral("-At"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-c"), sql});
        p.waitForFinished(30000);
        QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        if (p.exitCode() != 0)
            lines.prepend(QStringLiteral("ERROR: ") + QString::fromUtf8(p.readAllStandardError()));
        return lines;
    }

private:
    QString dataDir() const { return m_dir.path() + QStringLiteral("/data"); }

    static int freePort()
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = 0;
        socklen_t len = sizeof a;
        int port = 0;
        if (::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0
            && ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        ::close(s);
        return port;
    }

    bool run(const QString &program, const QStringList &args)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, args);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            m_error = QStringLiteral("%1 failed: %2").arg(program, QString::fromLocal8Bit(p.readAll()));
            return false;
        }
        return true;
    }

    bool asOwner(const QString &program, const QStringList &args)
    {
        if (getuid() == 0)
            return run(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), program} + args);
        return run(program, args);
    }

    // Stops the server once this process is gone, however it ended.
    void watch()
    {
        const QString stop = QStringLiteral("%1/pg_ctl -D %2 -m immediate stop").arg(binDir(), dataDir());
        const QString as = getuid() == 0 ? QStringLiteral("runuser -u postgres -- ") : QString();
        const QString script = QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 1; done; %2%3 >/dev/null 2>&1; rm -rf %4")
                                   .arg(getpid())
                                   .arg(as, stop, m_dir.path());
        QProcess::startDetached(QStringLiteral("sh"), {QStringLiteral("-c"), script});
    }

    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/qel-pg-XXXXXX")};
    int m_port = 0;
    bool m_started = false;
    bool m_ready = false;
    QString m_error;
};
