// The dashboard's API over a line's history of 10,000 runs and 1,000,000
// rows (SQLite): all runs as history runs gives them, the page's newest 200,
// a lot's runs, the stations, and one run's rows. Side by side in one run:
// the history at schema version 1 as an older program left it (/v1: runs'
// counts read from their rows) and at version 2 (/v2: counts kept with each
// ended run, an index on rows by run and verdict). The history is made once
// (a few minutes) and kept in $QEL_BENCH_DB (or the temp folder), with the
// version-1 copy beside it.
#include "dashboard/DashboardApi.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>

#include <benchmark/benchmark.h>

namespace {

constexpr int Runs = 10000;
constexpr int RowsPerRun = 100;
constexpr int Stations = 12;

QString dbPath(int version)
{
    const QString env = qEnvironmentVariable("QEL_BENCH_DB");
    const QString path = env.isEmpty() ? QDir::tempPath() + QStringLiteral("/qel-bench-dashboard-v2.sqlite") : env;
    return version == 2 ? path : path + QStringLiteral(".v1");
}

HistoryTarget target(int version)
{
    HistoryTarget t;
    t.kind = HistoryTarget::Kind::SQLite;
    t.path = dbPath(version);
    return t;
}

QString g_runId;

// Version 1 as a program of that version left it: no kept counts, no index.
bool downgrade()
{
    if (QFile::exists(dbPath(1)))
        return true;
    if (!QFile::copy(dbPath(2), dbPath(1)))
        return false;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("downgrade"));
    db.setDatabaseName(dbPath(1));
    bool ok = db.open();
    {
        QSqlQuery q(db);
        // Everything after version 1 goes, the later versions' columns too:
        // an older program never saw them.
        for (const char *sql : {"DROP INDEX result_rows_verdict", "DROP INDEX runs_station", "ALTER TABLE runs DROP COLUMN row_count",
                 "ALTER TABLE runs DROP COLUMN fail_count", "ALTER TABLE runs DROP COLUMN unrecorded",
                 "DROP INDEX result_rows_serial", "ALTER TABLE runs DROP COLUMN meter_profile",
                 "ALTER TABLE result_rows DROP COLUMN serial", "ALTER TABLE result_rows DROP COLUMN bin",
                 "DELETE FROM schema_version WHERE version >= 2", "VACUUM"})
            ok = ok && q.exec(QLatin1String(sql));
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("downgrade"));
    return ok;
}

bool makeHistory()
{
    if (QFile::exists(dbPath(2)))
        return downgrade();
    HistoryDatabase db;
    QString error;
    if (!db.open(target(2), HistoryDatabase::Mode::ReadWrite, &error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    const QVector<History::Column> columns = {{1, QStringLiteral("C"), QStringLiteral("F")}, {1, QStringLiteral("D"), QString()},
        {2, QStringLiteral("C"), QStringLiteral("F")}, {2, QStringLiteral("D"), QString()}};
    // The newest run ends now; one run every 30 seconds before it.
    const QDateTime end = QDateTime::currentDateTimeUtc();
    db.begin();
    for (int r = 0; r < Runs; ++r) {
        History::RunRecord run;
        run.id = History::newId();
        run.started = end.addSecs(-30LL * (Runs - r));
        run.station = QStringLiteral("bench-%1").arg(r % Stations, 2, 10, QLatin1Char('0'));
        run.operatorName = QStringLiteral("op");
        run.meter = QStringLiteral("METER,44,1.0");
        run.device = QStringLiteral("/dev/ttyUSB0");
        run.procedure = QStringLiteral("capacitor-%1.pro").arg(r % 5);
        run.steps = QStringLiteral("[]");
        run.columns = columns;
        run.lotNo = QStringLiteral("L%1").arg(r / 100);
        if (!db.insertRun(run, &error))
            return qWarning("%s", qPrintable(error)), false;
        for (int s = 1; s <= RowsPerRun; ++s) {
            History::RowRecord row;
            row.runId = run.id;
            row.seq = s;
            row.measuredAt = run.started.addMSecs(200LL * s);
            row.verdict = (r * 7 + s) % 37 == 0 ? QStringLiteral("fail") : QStringLiteral("pass");
            const double c = 100e-9 * (1 + 0.0001 * (s % 50));
            row.cells = {{QStringLiteral("%1nF").arg(c * 1e9, 0, 'f', 3), c, QStringLiteral("pass")},
                {QStringLiteral("0.0012"), 0.0012, QString()}, {QStringLiteral("%1nF").arg(c * 1e9, 0, 'f', 3), c, row.verdict},
                {QStringLiteral("0.0013"), 0.0013, QString()}};
            if (!db.insertRow(row, &error))
                return qWarning("%s", qPrintable(error)), false;
        }
        db.finishRun(run.id, run.started.addSecs(25), History::Outcome::completed(), &error);
        if (r % 500 == 499) {
            db.commit(&error);
            db.begin();
        }
    }
    const bool ok = db.commit(&error);
    db.close(); // its last rows out of the WAL before the copy
    return ok && downgrade();
}

DashboardApi &api(int version)
{
    // Kept to the end: their connections must not outlive the application.
    static DashboardApi &v1 = *new DashboardApi;
    static DashboardApi &v2 = *new DashboardApi;
    static bool opened = [] {
        QString error;
        // Every iteration asks the database.
        v1.setReuseMs(0);
        v2.setReuseMs(0);
        const bool ok = makeHistory() && v1.open(target(1), &error) && v2.open(target(2), &error);
        if (!ok)
            qWarning("%s", qPrintable(error));
        return ok;
    }();
    Q_UNUSED(opened);
    return version == 1 ? v1 : v2;
}

void run(benchmark::State &state, const QByteArray &path, const QByteArray &query)
{
    DashboardApi &a = api(int(state.range(0)));
    qint64 bytes = 0;
    for (auto _ : state) {
        const DashboardReply r = a.get(path, query);
        if (r.status != 200) {
            state.SkipWithError(r.body.constData());
            return;
        }
        bytes = r.body.size();
    }
    state.counters["bytes"] = double(bytes);
    state.SetLabel(state.range(0) == 1 ? "schema v1" : "schema v2");
}

void BM_AllRuns(benchmark::State &s) { run(s, "/api/runs", {}); }
void BM_Newest200Runs(benchmark::State &s) { run(s, "/api/runs", "limit=200"); }
void BM_LotRuns(benchmark::State &s) { run(s, "/api/runs", "lot=L42"); }
void BM_Stations(benchmark::State &s) { run(s, "/api/stations", {}); }
void BM_RunRows(benchmark::State &s)
{
    if (g_runId.isEmpty()) {
        const DashboardReply r = api(2).get("/api/runs", "limit=1");
        g_runId = QJsonDocument::fromJson(r.body).array().at(0).toObject().value(QStringLiteral("id")).toString();
    }
    run(s, "/api/runs/" + g_runId.toUtf8() + "/rows", {});
}

} // namespace

BENCHMARK(BM_AllRuns)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Newest200Runs)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LotRuns)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Stations)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunRows)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
