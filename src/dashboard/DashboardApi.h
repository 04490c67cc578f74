#pragma once

#include "history/HistoryDatabase.h"

#include <QByteArray>
#include <QString>

// One answer of the dashboard: a status, a content type and the body.
struct DashboardReply
{
    int status = 200;
    QByteArray contentType;
    QByteArray body;

    // {"error": "one sentence"} with its status.
    static DashboardReply error(int status, const QString &sentence);
};

// The JSON API over one results database, opened read-only. Answers the
// same bytes as qel-cli history ... --json for the same query, through the
// same code (HistoryExport). Runs on the thread that opened it.
class DashboardApi
{
public:
    // Bounds on what a request may ask.
    static constexpr int MaxQueryBytes = 2048;
    static constexpr int MaxValueChars = 256;

    bool open(const HistoryTarget &target, QString *error);
    const HistoryTarget &target() const { return m_target; }

    // path and query as they came (percent-encoded), path starting "/api/".
    DashboardReply get(const QByteArray &path, const QByteArray &query);

    // An answer is given again for this long to the same request, so many
    // pages refreshing at once cost the database one query each (0: never).
    void setReuseMs(int ms) { m_reuseMs = ms; }

private:
    struct Failed
    {
        QString sentence; // the database failed: worth one reconnect
    };
    DashboardReply route(const QByteArray &path, const QByteArray &query);
    DashboardReply runs(const QByteArray &query);
    DashboardReply rows(const QString &runId, const QByteArray &query);
    DashboardReply stats(const QByteArray &query);
    DashboardReply histogram(const QByteArray &query);
    DashboardReply stations(const QByteArray &query);

    DashboardReply fresh(const QByteArray &path, const QByteArray &query);

    HistoryTarget m_target;
    HistoryDatabase m_db;
    int m_reuseMs = 2000;
    struct Kept
    {
        qint64 at = 0;
        DashboardReply reply;
    };
    QHash<QByteArray, Kept> m_kept;
};
