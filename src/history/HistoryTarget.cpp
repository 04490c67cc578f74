#include "history/HistoryTarget.h"

#include <QDir>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>

namespace {

QString dataFolder()
{
    // The same folder for the desktop program and qel-cli, whatever
    // organisation name each sets: "Qel" under the user's data location.
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return base + QStringLiteral("/Qel");
}

} // namespace

QString HistoryTarget::defaultPath()
{
    return dataFolder() + QStringLiteral("/results.sqlite");
}

QString HistoryTarget::spoolPath()
{
    return dataFolder() + QStringLiteral("/spool.sqlite");
}

HistoryTarget HistoryTarget::defaultTarget()
{
    HistoryTarget t;
    t.kind = Kind::SQLite;
    t.path = defaultPath();
    return t;
}

QString HistoryTarget::display() const
{
    switch (kind) {
    case Kind::SQLite:
        return path;
    case Kind::PostgreSQL:
        return key();
    case Kind::None:
        break;
    }
    return {};
}

QString HistoryTarget::key() const
{
    if (kind != Kind::PostgreSQL)
        return path;
    QString k = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        k += user + QLatin1Char('@');
    k += host.startsWith(QLatin1Char('/')) ? QString() : host;
    k += QStringLiteral(":%1/%2").arg(port).arg(dbName);
    if (host.startsWith(QLatin1Char('/')))
        k += QStringLiteral("?host=") + host;
    return k;
}

HistoryTarget HistoryTarget::parse(const QString &url, QString *error)
{
    HistoryTarget t;
    const QString u = url.trimmed();
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return HistoryTarget();
    };
    if (u.isEmpty())
        return fail(QStringLiteral("The results database URL is empty."));
    if (u.startsWith(QLatin1String("postgresql://")) || u.startsWith(QLatin1String("postgres://"))) {
        const QUrl q(u, QUrl::StrictMode);
        if (!q.isValid())
            return fail(QStringLiteral("%1 is not a PostgreSQL URL (postgresql://user@host:port/dbname).").arg(u));
        t.kind = Kind::PostgreSQL;
        t.host = q.host();
        t.port = q.port(5432);
        t.user = q.userName();
        t.password = q.password();
        t.dbName = q.path().mid(1);
        const QUrlQuery query(q);
        if (query.hasQueryItem(QStringLiteral("host")))
            t.host = query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded);
        if (t.host.isEmpty())
            t.host = QStringLiteral("localhost");
        if (t.dbName.isEmpty())
            return fail(QStringLiteral("%1 names no database (postgresql://user@host:port/dbname).").arg(u));
        return t;
    }
    if (u.contains(QLatin1String("://")))
        return fail(QStringLiteral("%1: only SQLite files and postgresql:// URLs are results databases.").arg(u));
    t.kind = Kind::SQLite;
    t.path = u.startsWith(QLatin1String("sqlite:")) ? u.mid(7) : u;
    if (t.path.isEmpty())
        return fail(QStringLiteral("The results database URL \"%1\" names no file.").arg(u));
    t.path = QDir::cleanPath(QDir::current().absoluteFilePath(t.path));
    return t;
}
