#pragma once

#include <optional>

#include "history/HistoryDatabase.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonArray>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>

#include <memory>

// One answer of the dashboard: a status, a content type, the body and any
// further headers.
struct DashboardReply
{
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;

    // {"error": "one sentence"} with its status.
    static DashboardReply error(int status, const QString &sentence);
};

// Answers given again to the same request for a short while, shared by the
// threads that answer (guarded): bounded by age and by bytes, so what was
// asked once is let go within the reuse time.
class DashboardAnswers
{
public:
    static constexpr qint64 MaxBytes = 16 * 1024 * 1024;
    // An answer larger than this is never kept.
    static constexpr qint64 MaxAnswerBytes = MaxBytes / 8;

    DashboardAnswers() { m_clock.start(); }
    void setReuseMs(int ms);
    int reuseMs() const;
    bool find(const QByteArray &key, DashboardReply &reply);
    void keep(const QByteArray &key, const DashboardReply &reply);
    // Drops what is older than the reuse time.
    void purge();
    qint64 bytes() const;

private:
    struct Kept
    {
        qint64 at = 0;
        quint64 order = 0; // which was kept first, within one millisecond too
        DashboardReply reply;
    };
    void purgeLocked(qint64 now);
    mutable QMutex m_mutex;
    QElapsedTimer m_clock;
    int m_reuseMs = 2000;
    qint64 m_bytes = 0;
    quint64 m_keptCount = 0;
    QHash<QByteArray, Kept> m_kept;
};

// The JSON API over one results database, opened read-only. Answers the
// same bytes as qel-cli history ... --json for the same query, through the
// same code (HistoryExport). Runs on the thread that opened it; answers
// may be shared with other threads' DashboardApi through setAnswers.
class DashboardApi
{
public:
    // Bounds on what a request may ask.
    static constexpr int MaxQueryBytes = 2048;
    static constexpr int MaxValueChars = 256;
    // A run's rows come in pages: this many without limit=, at most MaxPageRows.
    static constexpr int PageRows = 1000;
    static constexpr int MaxPageRows = 10000;

    bool open(const HistoryTarget &target, QString *error);
    const HistoryTarget &target() const { return m_target; }

    // path and query as they came (percent-encoded), path starting "/api/".
    DashboardReply get(const QByteArray &path, const QByteArray &query);

    // An answer is given again for this long to the same request, so many
    // pages refreshing at once cost the database one query each (0: never).
    void setReuseMs(int ms) { m_answers->setReuseMs(ms); }
    void setAnswers(std::shared_ptr<DashboardAnswers> answers) { m_answers = std::move(answers); }

private:
    struct Failed
    {
        QString sentence; // the database failed: worth one reconnect
    };
    DashboardReply route(const QByteArray &path, const QByteArray &query);
    DashboardReply runs(const QByteArray &query);
    DashboardReply rows(const QString &runId, const QByteArray &query);
    // Every measurement of one part: ?serial=S, as history rows --serial S --json.
    DashboardReply partRows(const QByteArray &query);
    DashboardReply stats(const QByteArray &query);
    // The lot and result column a chart asks for, with the lot's statistics
    // (readings kept); a reply when there is nothing to chart.
    std::optional<DashboardReply> lotColumn(const QHash<QString, QString> &p, const char *path,
                                            class TableStatistics &statistics, int &column);
    DashboardReply histogram(const QByteArray &query);
    DashboardReply stations(const QByteArray &query);
    DashboardReply control(const QByteArray &query);
    DashboardReply bins(const QByteArray &query);
    // The rules the last points of a run's newest rows complete, per column.
    QJsonArray alarms(const QString &runId, int rows);

    DashboardReply fresh(const QByteArray &path, const QByteArray &query);

    HistoryTarget m_target;
    HistoryDatabase m_db;
    std::shared_ptr<DashboardAnswers> m_answers = std::make_shared<DashboardAnswers>();
};
