// The dashboard's API over a line's history of 10,000 runs and 1,000,000
// rows (SQLite): all runs as history runs gives them, the page's newest 200,
// the stations, and one run's rows. Side by side in one run. The history is
// made once (about a minute) and kept in $QEL_BENCH_DB or the temp folder.
#include "dashboard/DashboardApi.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <benchmark/benchmark.h>

namespace {

constexpr int Runs = 10000;
constexpr int RowsPerRun = 100;
constexpr int Stations = 12;

QString dbPath()
{
    const QString env = qEnvironmentVariable("QEL_BENCH_DB");
    return env.isEmpty() ? QDir::tempPath() + QStringLiteral("/qel-bench-dashboard.sqlite") : env;
}

HistoryTarget target()
{
    HistoryTarget t;
    t.kind = HistoryTarget::Kind::SQLite;
    t.path = dbPath();
    return t;
}

QString g_runId;

bool makeHistory()
{
    if (QFile::exists(dbPath()))
        return true;
    HistoryDatabase db;
    QString error;
    if (!db.open(target(), HistoryDatabase::Mode::ReadWrite, &error)) {
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
    return db.commit(&error);
}

DashboardApi &api()
{
    // Kept to the end: its connection must not outlive the application.
    static DashboardApi &a = *new DashboardApi;
    static bool opened = [] {
        QString error;
        // Every iteration asks the database.
        a.setReuseMs(0);
        const bool ok = makeHistory() && a.open(target(), &error);
        if (!ok)
            qWarning("%s", qPrintable(error));
        return ok;
    }();
    Q_UNUSED(opened);
    return a;
}

void run(benchmark::State &state, const QByteArray &path, const QByteArray &query)
{
    DashboardApi &a = api();
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
}

void BM_AllRuns(benchmark::State &s) { run(s, "/api/runs", {}); }
void BM_Newest200Runs(benchmark::State &s) { run(s, "/api/runs", "limit=200"); }
void BM_LotRuns(benchmark::State &s) { run(s, "/api/runs", "lot=L42"); }
void BM_Stations(benchmark::State &s) { run(s, "/api/stations", {}); }
void BM_RunRows(benchmark::State &s)
{
    if (g_runId.isEmpty()) {
        const DashboardReply r = api().get("/api/runs", "limit=1");
        g_runId = QJsonDocument::fromJson(r.body).array().at(0).toObject().value(QStringLiteral("id")).toString();
    }
    run(s, "/api/runs/" + g_runId.toUtf8() + "/rows", {});
}

} // namespace

BENCHMARK(BM_AllRuns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Newest200Runs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LotRuns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Stations)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunRows)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
