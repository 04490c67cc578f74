// The cost of the results history, side by side in one run:
//
//   RecordedRun/0|1|2   a 10-step procedure (20 readings a row) against the
//                       zero-time simulator with recording off, into SQLite,
//                       and into a PostgreSQL server started here; us_per_row
//                       is the whole run's time per row (goal: recording adds
//                       under 0.2 ms a row); for PostgreSQL flush_ms is the
//                       time until the worker had forwarded everything after
//                       the run ended (not counted in us_per_row)
//   SqliteIngest        1,000,000 rows of 20 readings into a fresh SQLite
//                       file, 10,000 rows a transaction (goal: under 10 s):
//                       each row bound through Qt's driver (as before),
//                       insertRow each, insertRows
//   ForwardBacklog      100,000 spooled rows forwarded to PostgreSQL, one
//                       INSERT a row (as before) and 500 rows a statement
//   RowsCsv             `history rows --lot ... --csv` of a 100,000-row lot
//                       (goal: under 1 s)

#include "MeterSim.h"
#include "PostgresServer.h"

#include "common/Prompter.h"
#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "history/HistoryDatabase.h"
#include "history/HistoryExport.h"
#include "history/HistoryForwarder.h"
#include "history/HistoryWriter.h"
#include "recording/RunRecording.h"
#include "meter/InstrumentLink.h"
#include "meter/MeterConnector.h"
#include "procedure/ProcedureModel.h"
#include "session/QelSession.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

QTemporaryDir &scratch()
{
    static QTemporaryDir dir;
    return dir;
}

ProcedureStep benchStep(int index)
{
    ProcedureStep s;
    s[ProcedureStep::Step] = QString::number(index + 1);
    s[ProcedureStep::FItem] = QStringLiteral("C");
    s[ProcedureStep::FStd] = QStringLiteral("100");
    s[ProcedureStep::FLow] = QStringLiteral("-5%");
    s[ProcedureStep::FHigh] = QStringLiteral("+5%");
    s[ProcedureStep::FUnit] = QStringLiteral("nF");
    s[ProcedureStep::SItem] = QStringLiteral("D");
    s[ProcedureStep::SStd] = QStringLiteral("0.01");
    s[ProcedureStep::SLow] = QStringLiteral("-5%");
    s[ProcedureStep::SHigh] = QStringLiteral("+5%");
    s[ProcedureStep::SUnit] = QStringLiteral("D");
    s[ProcedureStep::Freq] = QStringLiteral("1KHz");
    s[ProcedureStep::Level] = QStringLiteral("1V");
    s[ProcedureStep::Circuit] = QStringLiteral("SER");
    s[ProcedureStep::Speed] = QStringLiteral("MED");
    s[ProcedureStep::Type] = QStringLiteral("%");
    s[ProcedureStep::Delay] = QStringLiteral("0");
    return s;
}

struct Runner
{
    explicit Runner(const QString &device)
        : session(&prompter), link(session.link()), procedure(session.procedure()), results(session.results()),
          exec(session.execution())
    {
        link.settings().devicePath = device;
        session.connector().setIdentificationDelay(300);
        QVector<ProcedureStep> steps;
        for (int i = 0; i < 10; ++i)
            steps << benchStep(i);
        procedure.setSteps(steps);
        results.rebuildColumns(procedure);
    }

    bool connectMeter()
    {
        if (!session.connector().connectToMeter())
            return false;
        QEventLoop loop;
        QObject::connect(&session.connector(), &MeterConnector::identificationFinished, &loop, &QEventLoop::quit);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        if (session.connector().isIdentifying())
            loop.exec();
        return link.isConnected();
    }

    bool runOnce(int loops)
    {
        results.removeAllRows();
        exec.setLoopText(QString::number(loops));
        QEventLoop loop;
        bool ok = false;
        auto done = QObject::connect(&session, &QelSession::runEnded, &loop, [&](const EndReason &r) {
            ok = r.cause == EndReason::Cause::Completed;
            loop.quit();
        });
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        if (session.run())
            loop.exec();
        QObject::disconnect(done);
        return ok;
    }

    SilentPrompter prompter;
    QelSession session;
    InstrumentLink &link;
    ProcedureModel &procedure;
    ResultTableModel &results;
    ExecutionState &exec;
    HistoryWriter writer;
    std::unique_ptr<RunRecording> recording;
};

void RecordedRun(benchmark::State &state)
{
    const int mode = int(state.range(0));
    static MeterSim sim;
    if (!sim.isRunning()) {
        state.SkipWithError("the simulator did not start");
        return;
    }
    std::unique_ptr<PostgresServer> pg;
    if (mode == 2) {
        pg = std::make_unique<PostgresServer>();
        if (!pg->isRunning()) {
            state.SkipWithError(pg->errorText().toStdString().c_str());
            return;
        }
    }
    Runner runner(sim.devicePath());
    if (!runner.connectMeter()) {
        state.SkipWithError("no meter");
        return;
    }
    if (mode > 0) {
        QString error;
        const HistoryTarget target = mode == 1
            ? HistoryTarget::parse(scratch().filePath(QStringLiteral("run.sqlite")), &error)
            : HistoryTarget::parse(pg->url(), &error);
        runner.writer.setTarget(target);
        runner.recording = std::make_unique<RunRecording>(runner.writer, runner.session,
            [] { return History::RunRecord(); });
    }
    const int loops = 300;
    qint64 rows = 0;
    double flushMs = 0;
    for (auto _ : state) {
        if (!runner.runOnce(loops)) {
            state.SkipWithError("the run did not finish");
            return;
        }
        rows += loops;
        if (mode == 2) {
            state.PauseTiming();
            QElapsedTimer t;
            t.start();
            runner.writer.flush(60000);
            flushMs += double(t.elapsed());
            state.ResumeTiming();
        }
    }
    state.counters["us_per_row"] = benchmark::Counter(double(rows) * 1e-6, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    if (mode == 2)
        state.counters["flush_ms"] = flushMs / double(state.iterations());
    state.SetLabel(mode == 0 ? "recording off" : mode == 1 ? "SQLite" : "PostgreSQL");
}
BENCHMARK(RecordedRun)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

History::RunRecord benchRun(const QString &lot)
{
    History::RunRecord r;
    r.id = History::newId();
    r.started = QDateTime::currentDateTimeUtc();
    r.station = QStringLiteral("bench");
    r.operatorName = QStringLiteral("bench");
    r.procedure = QStringLiteral("bench.pro");
    r.lotNo = lot;
    for (int s = 1; s <= 10; ++s)
        r.columns << History::Column{s, QStringLiteral("C"), QStringLiteral("F")} << History::Column{s, QStringLiteral("D"), QString()};
    return r;
}

History::RowRecord benchRow(const QString &runId)
{
    History::RowRecord row;
    row.runId = runId;
    row.verdict = QStringLiteral("pass");
    for (int i = 0; i < 10; ++i) {
        row.cells << History::Cell{QStringLiteral("100.123nF"), 1.00123e-7, QStringLiteral("pass")}
                  << History::Cell{QStringLiteral("0.00123D"), 0.00123, QStringLiteral("pass")};
    }
    return row;
}

enum class Way { ThroughQt, EachRow, Bulk };

// One row as the history inserted it before: bound through Qt's driver.
bool insertThroughQt(QSqlQuery &q, const History::RowRecord &r)
{
    QString texts, values, verdicts;
    for (int i = 0; i < r.cells.size(); ++i) {
        if (i) {
            texts += QLatin1Char('\t');
            values += QLatin1Char('\t');
            verdicts += QLatin1Char('\t');
        }
        History::appendEntry(texts, r.cells[i].text);
        History::appendValue(values, r.cells[i].value);
        History::appendEntry(verdicts, r.cells[i].verdict);
    }
    for (const QVariant &v : {QVariant(r.runId), QVariant(r.seq), QVariant(History::timeText(r.measuredAt)), QVariant(r.verdict),
             QVariant(texts), QVariant(values), QVariant(verdicts)})
        q.addBindValue(v);
    return q.exec();
}

// count rows of 20 readings into db, batch rows a transaction: all of a
// transaction's rows in insertRows (Bulk), one insertRow each, or each
// bound through Qt's driver as before.
bool ingest(HistoryDatabase &db, const History::RunRecord &run, int count, int batch, Way way = Way::Bulk)
{
    History::RowRecord row = benchRow(run.id);
    if (!db.insertRun(run, nullptr))
        return false;
    QSqlQuery qt(db.database());
    qt.prepare(QStringLiteral("INSERT INTO result_rows (run_id, seq, measured_at, verdict, texts, vals, verdicts) "
                              "VALUES (?, ?, ?, ?, ?, ?, ?) ON CONFLICT (run_id, seq) DO NOTHING"));
    QVector<History::RowRecord> rows;
    for (int done = 0; done < count;) {
        db.begin();
        rows.clear();
        for (int k = 0; k < batch && done < count; ++k) {
            row.seq = ++done;
            row.measuredAt = QDateTime::currentDateTimeUtc();
            if (way == Way::Bulk)
                rows.append(row);
            else if (!(way == Way::EachRow ? db.insertRow(row, nullptr) : insertThroughQt(qt, row)))
                return false;
        }
        if (way == Way::Bulk && !db.insertRows(rows, nullptr))
            return false;
        if (!db.commit(nullptr))
            return false;
    }
    return true;
}

void SqliteIngest(benchmark::State &state)
{
    const Way way = Way(state.range(1));
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString path = scratch().filePath(QStringLiteral("ingest-%1-%2.sqlite").arg(int(way)).arg(n++));
        HistoryDatabase db;
        db.open(HistoryTarget::parse(path), HistoryDatabase::Mode::ReadWrite, nullptr);
        state.ResumeTiming();
        if (!ingest(db, benchRun(QStringLiteral("ingest")), int(state.range(0)), 10000, way))
            state.SkipWithError("an insert failed");
        state.PauseTiming();
        db.close();
        for (const char *end : {"", "-wal", "-shm"})
            QFile::remove(path + QLatin1String(end));
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetLabel(way == Way::Bulk ? "insertRows" : way == Way::EachRow ? "insertRow each" : "through Qt's driver, as before");
}
BENCHMARK(SqliteIngest)->Args({100000, 0})->Args({100000, 1})->Args({100000, 2})->Args({1000000, 0})->Args({1000000, 1})->Args({1000000, 2})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// A backlog of 100,000 spooled rows (10 runs) forwarded to a PostgreSQL
// server: one INSERT a row (1) against 500 rows a statement (500).
void ForwardBacklog(benchmark::State &state)
{
    static PostgresServer pg;
    if (!pg.isRunning()) {
        state.SkipWithError(pg.errorText().toStdString().c_str());
        return;
    }
    const int perStatement = int(state.range(0));
    const HistoryTarget server = HistoryTarget::parse(pg.url());
    qint64 forwarded = 0;
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        HistoryDatabase spool;
        spool.open(HistoryTarget::parse(scratch().filePath(QStringLiteral("spool-%1-%2.sqlite").arg(perStatement).arg(n++))),
            HistoryDatabase::Mode::ReadWrite, nullptr);
        for (int r = 0; r < 10; ++r) {
            History::RunRecord run = benchRun(QStringLiteral("backlog"));
            spool.markSpooled(run.id, QStringLiteral("run"), server.key(), nullptr);
            ingest(spool, run, 10000, 10000);
            spool.finishRun(run.id, QDateTime::currentDateTimeUtc(), History::Outcome::completed(), nullptr, false);
        }
        HistoryDatabase db;
        QString error;
        if (!db.open(server, HistoryDatabase::Mode::ReadWrite, &error)) {
            state.SkipWithError(error.toStdString().c_str());
            return;
        }
        HistoryForwarder::setBatchRows(perStatement);
        state.ResumeTiming();
        qint64 rows = 0;
        if (!HistoryForwarder::forward(spool, db, &rows, &error))
            state.SkipWithError(error.toStdString().c_str());
        forwarded += rows;
    }
    HistoryForwarder::setBatchRows(500);
    state.SetItemsProcessed(forwarded);
    state.SetLabel(perStatement == 1 ? "one INSERT a row" : "500 rows a statement");
}
BENCHMARK(ForwardBacklog)->Arg(1)->Arg(500)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// What recording adds to one row, without the meter: HistoryWriter::writeRow
// (one committed insert) into SQLite (1) and into the spool for a server (2).
void RecordRow(benchmark::State &state)
{
    HistoryWriter writer;
    std::unique_ptr<PostgresServer> pg;
    if (state.range(0) == 2) {
        pg = std::make_unique<PostgresServer>();
        writer.setTarget(HistoryTarget::parse(pg->url()));
    } else {
        writer.setTarget(HistoryTarget::parse(scratch().filePath(QStringLiteral("rows.sqlite"))));
    }
    const History::RunRecord run = benchRun(QStringLiteral("rows"));
    writer.beginRun(run);
    History::RowRecord row;
    row.runId = run.id;
    row.verdict = QStringLiteral("pass");
    for (int i = 0; i < 10; ++i)
        row.cells << History::Cell{QStringLiteral("100.123nF"), 1.00123e-7, QStringLiteral("pass")}
                  << History::Cell{QStringLiteral("0.00123D"), 0.00123, QStringLiteral("pass")};
    int seq = 0;
    for (auto _ : state) {
        row.seq = ++seq;
        row.measuredAt = QDateTime::currentDateTimeUtc();
        writer.writeRow(row);
    }
    if (!writer.isRecording())
        state.SkipWithError(writer.lastProblem().toStdString().c_str());
    writer.flush(60000);
    state.SetLabel(state.range(0) == 1 ? "SQLite" : "PostgreSQL spool");
}
BENCHMARK(RecordRow)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(3000);

void RowsCsv(benchmark::State &state)
{
    const QString path = scratch().filePath(QStringLiteral("lot.sqlite"));
    {
        HistoryDatabase db;
        db.open(HistoryTarget::parse(path), HistoryDatabase::Mode::ReadWrite, nullptr);
        // The lot among other rows, as in a real history.
        ingest(db, benchRun(QStringLiteral("other")), 50000, 10000);
        ingest(db, benchRun(QStringLiteral("L100k")), 60000, 10000);
        ingest(db, benchRun(QStringLiteral("L100k")), 40000, 10000);
    }
    HistoryDatabase db;
    db.open(HistoryTarget::parse(path), HistoryDatabase::Mode::ReadOnly, nullptr);
    HistoryDatabase::Filter f;
    f.lot = QStringLiteral("L100k");
    qint64 rows = 0;
    for (auto _ : state) {
        QString error;
        if (!HistoryExport::writeRows(db, f, HistoryExport::Format::Csv, scratch().filePath(QStringLiteral("lot.csv")), &rows, &error))
            state.SkipWithError(error.toStdString().c_str());
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(RowsCsv)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(scratch().path()));
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
