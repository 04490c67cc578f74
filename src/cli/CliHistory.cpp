#include "cli/CliCommands.h"
#include "cli/CliHistory.h"

#include "document/DocumentNames.h"
#include "recording/RecordedRun.h"

#include "history/HistoryDatabase.h"
#include "history/HistoryExport.h"
#include "history/HistoryForwarder.h"
#include "history/HistoryStatistics.h"
#include "meter/InstrumentLink.h"
#include "meter/MeterConnector.h"
#include "statistics/ControlChart.h"
#include "statistics/Statistics.h"
#include "statistics/StatisticsJson.h"

#include <QFileInfo>
#include <QSet>
#include <QThread>

#include <cstdio>

namespace {

const QList<QPair<QString, QString History::RunRecord::*>> &descriptionOptions()
{
    static const QList<QPair<QString, QString History::RunRecord::*>> o = {
        {QStringLiteral("company"), &History::RunRecord::company},
        {QStringLiteral("customer"), &History::RunRecord::customer},
        {QStringLiteral("instrument"), &History::RunRecord::instrument},
        {QStringLiteral("part-no"), &History::RunRecord::partNo},
        {QStringLiteral("lot-no"), &History::RunRecord::lotNo},
        {QStringLiteral("quantity"), &History::RunRecord::quantity},
        {QStringLiteral("remark"), &History::RunRecord::remark},
    };
    return o;
}

void say(const QString &sentence)
{
    std::fprintf(stderr, "qel-cli: %s\n", qPrintable(asSentence(sentence)));
}

QString withoutStop(QString s)
{
    while (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s;
}

HistoryTarget parseTarget(const QString &url)
{
    QString error;
    const HistoryTarget t = HistoryTarget::parse(url, &error);
    if (!t.isValid())
        throw CliError(ExitUsage, error);
    return t;
}

void openOrThrow(HistoryDatabase &db, const HistoryTarget &target, HistoryDatabase::Mode mode)
{
    QString error;
    if (!db.open(target, mode, &error))
        throw CliError(target.isServer() ? ExitConnection : ExitUsage, error);
}

HistoryDatabase::Filter filterFrom(const CliArgs &a)
{
    HistoryDatabase::Filter f;
    for (const char *bound : {"since", "until"}) {
        if (!a.has(QLatin1String(bound)))
            continue;
        const QString text = History::boundText(a.value(QLatin1String(bound)), bound[0] == 'u');
        if (text.isEmpty())
            throw CliError(ExitUsage, QStringLiteral("--%1 %2 is not an ISO date (2026-12-07) or date and time (2026-12-07T14:30:00).")
                                          .arg(QLatin1String(bound), a.value(QLatin1String(bound))));
        (bound[0] == 'u' ? f.until : f.since) = text;
    }
    f.procedure = a.value(QStringLiteral("procedure"));
    f.lot = a.value(QStringLiteral("lot"));
    f.station = a.value(QStringLiteral("station"));
    f.serial = a.value(QStringLiteral("serial"));
    return f;
}

// A run id or at least one filter: rows and stats never take the whole history by accident.
HistoryDatabase::Filter selectionFrom(const CliArgs &a, const char *usage)
{
    if (a.positional.size() > 1)
        throw CliError(ExitUsage, QString::fromLatin1(usage));
    HistoryDatabase::Filter filter = filterFrom(a);
    filter.runId = a.positional.value(0);
    if (filter.runId.isEmpty() && filter.lot.isEmpty() && filter.since.isEmpty() && filter.until.isEmpty()
        && filter.procedure.isEmpty() && filter.station.isEmpty() && filter.serial.isEmpty())
        throw CliError(ExitUsage, QString::fromLatin1(usage));
    return filter;
}

int historyRuns(const QStringList &args)
{
    CliArgs a(args, {QStringLiteral("json")});
    a.allowOnly({QStringLiteral("db"), QStringLiteral("since"), QStringLiteral("until"), QStringLiteral("procedure"),
        QStringLiteral("lot"), QStringLiteral("station"), QStringLiteral("serial"), QStringLiteral("json")});
    if (!a.positional.isEmpty())
        throw CliError(ExitUsage, QStringLiteral("history runs takes no argument but options; see qel-cli --help."));
    const HistoryDatabase::Filter filter = filterFrom(a);
    HistoryDatabase db;
    openOrThrow(db, historyTarget(a), HistoryDatabase::Mode::ReadOnly);
    QVector<HistoryDatabase::RunSummary> runs;
    QString error;
    if (!db.listRuns(filter, runs, &error))
        throw CliError(ExitUsage, error);
    const QByteArray out = a.has(QStringLiteral("json")) ? HistoryExport::runsJson(runs) : HistoryExport::runsTsv(runs);
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return ExitOk;
}

int historyRows(const QStringList &args)
{
    CliArgs a(args, {QStringLiteral("json")});
    a.allowOnly({QStringLiteral("db"), QStringLiteral("since"), QStringLiteral("until"), QStringLiteral("procedure"),
        QStringLiteral("lot"), QStringLiteral("station"), QStringLiteral("serial"), QStringLiteral("json"), QStringLiteral("csv"),
        QStringLiteral("xlsx")});
    const char *usage = "history rows needs a selection and an output: qel-cli history rows (RUN-ID | --lot LOT | "
                        "--serial S | --since ISO-DATE ...) (--json | --csv OUT | --xlsx OUT)";
    const HistoryDatabase::Filter filter = selectionFrom(a, usage);
    const int outputs = int(a.has(QStringLiteral("json"))) + int(a.has(QStringLiteral("csv"))) + int(a.has(QStringLiteral("xlsx")));
    if (outputs != 1)
        throw CliError(ExitUsage, QString::fromLatin1(usage));
    HistoryExport::Format format = HistoryExport::Format::Json;
    QString out = QStringLiteral("-");
    if (a.has(QStringLiteral("csv"))) {
        format = HistoryExport::Format::Csv;
        out = a.value(QStringLiteral("csv"));
    } else if (a.has(QStringLiteral("xlsx"))) {
        format = HistoryExport::Format::Xlsx;
        out = a.value(QStringLiteral("xlsx"));
        if (out == QLatin1String("-"))
            throw CliError(ExitUsage, QStringLiteral("--xlsx needs a file name."));
    }
    if (out != QLatin1String("-"))
        checkOutputPath(out);
    HistoryDatabase db;
    openOrThrow(db, historyTarget(a), HistoryDatabase::Mode::ReadOnly);
    QString error;
    if (!filter.runId.isEmpty()) {
        QVector<HistoryDatabase::RunSummary> runs;
        if (!db.listRuns(filter, runs, &error))
            throw CliError(ExitUsage, error);
        if (runs.isEmpty())
            throw CliError(ExitUsage, QStringLiteral("%1 holds no run %2.").arg(db.target().display(), filter.runId));
    }
    if (!HistoryExport::writeRows(db, filter, format, out, nullptr, &error))
        throw CliError(ExitUsage, error);
    return ExitOk;
}

int historyStats(const QStringList &args)
{
    CliArgs a(args, {QStringLiteral("json"), QStringLiteral("control")});
    a.allowOnly(QStringList{QStringLiteral("db"), QStringLiteral("since"), QStringLiteral("until"), QStringLiteral("procedure"),
        QStringLiteral("lot"), QStringLiteral("station"), QStringLiteral("json")} + controlOptions());
    ControlSettings control;
    const bool charts = controlSettings(a, control);
    const char *usage = "history stats needs a selection: qel-cli history stats (RUN-ID | --lot LOT | --since ISO-DATE ...) [--json]";
    const HistoryDatabase::Filter filter = selectionFrom(a, usage);
    HistoryDatabase db;
    openOrThrow(db, historyTarget(a), HistoryDatabase::Mode::ReadOnly);
    TableStatistics statistics;
    statistics.setKeepReadings(charts);
    qint64 skipped = 0;
    QString error;
    if (!HistoryStatistics::compute(db, filter, statistics, &skipped, &error))
        throw CliError(ExitUsage, error);
    if (!filter.runId.isEmpty() && statistics.columns().isEmpty())
        throw CliError(ExitUsage, QStringLiteral("%1 holds no run %2.").arg(db.target().display(), filter.runId));
    if (skipped > 0)
        say(QStringLiteral("%1 row%2 of runs with other steps than the first selected run left out")
                .arg(skipped)
                .arg(skipped == 1 ? "" : "s"));
    const QVector<ControlChart> chartList = charts ? controlCharts(statistics, control) : QVector<ControlChart>();
    const QVector<ControlChart> *c = charts ? &chartList : nullptr;
    const QByteArray out = a.has(QStringLiteral("json")) ? StatisticsJson::toJson(statistics, c)
                                                         : StatisticsJson::toText(statistics, c);
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return ExitOk;
}

int historyReport(const QStringList &args)
{
    CliArgs a(args, {});
    a.allowOnly({QStringLiteral("db"), QStringLiteral("rpt"), QStringLiteral("pro")});
    if (a.positional.size() != 1 || !a.has(QStringLiteral("rpt")) || !a.has(QStringLiteral("pro")))
        throw CliError(ExitUsage, QStringLiteral("history report needs a run and two files: qel-cli history report RUN-ID --rpt OUT.rpt --pro OUT.pro"));
    const QString rpt = a.value(QStringLiteral("rpt")), pro = a.value(QStringLiteral("pro"));
    using DocumentNames::FileType;
    if (DocumentNames::fileType(DocumentNames::fileName(rpt)) != FileType::Report)
        throw CliError(ExitUsage, QStringLiteral("The report name %1 must end in \"rpt\".").arg(rpt));
    if (DocumentNames::fileType(DocumentNames::fileName(pro)) != FileType::Procedure)
        throw CliError(ExitUsage, QStringLiteral("The procedure name %1 must end in \"pro\".").arg(pro));
    // The pair must pass the open check the desktop makes between them.
    if (!DocumentNames::checkOpen(DocumentNames::fileName(pro), DocumentNames::fileName(rpt)).allowed)
        throw CliError(ExitUsage, QStringLiteral("The report name %1 must begin with the procedure's name %2, or the report "
                                                 "does not open beside it.")
                                      .arg(DocumentNames::fileName(rpt), DocumentNames::fileName(pro).remove(QStringLiteral(".pro"))));
    checkOutputPath(rpt);
    checkOutputPath(pro);
    HistoryDatabase db;
    openOrThrow(db, historyTarget(a), HistoryDatabase::Mode::ReadOnly);
    RecordedRun run;
    QString error;
    if (!run.read(db, a.positional[0], &error))
        throw CliError(ExitUsage, error);
    if (!run.save(pro, rpt, &error))
        throw CliError(ExitUsage, error);
    return ExitOk;
}

int historySync(const QStringList &args)
{
    CliArgs a(args, {});
    a.allowOnly({QStringLiteral("db")});
    if (!a.positional.isEmpty() || !a.has(QStringLiteral("db")))
        throw CliError(ExitUsage, QStringLiteral("history sync needs a server: qel-cli history sync --db postgresql://user@host:port/dbname"));
    const HistoryTarget server = parseTarget(a.value(QStringLiteral("db")));
    if (!server.isServer())
        throw CliError(ExitUsage, QStringLiteral("%1 is a file; only rows for a PostgreSQL server wait to be forwarded.").arg(server.display()));
    HistoryTarget spoolTarget;
    spoolTarget.kind = HistoryTarget::Kind::SQLite;
    spoolTarget.path = HistoryTarget::spoolPath();
    if (!QFileInfo::exists(spoolTarget.path)) {
        std::printf("0 rows forwarded to %s; none wait.\n", qPrintable(server.display()));
        return ExitOk;
    }
    HistoryDatabase spool;
    openOrThrow(spool, spoolTarget, HistoryDatabase::Mode::ReadWrite);
    HistoryDatabase db;
    openOrThrow(db, server, HistoryDatabase::Mode::ReadWrite);
    qint64 rows = 0;
    QString error;
    const bool ok = HistoryForwarder::forward(spool, db, &rows, &error);
    const qint64 left = HistoryForwarder::pending(spool, server.key());
    std::printf("%lld row%s forwarded to %s; %lld wait%s.\n", static_cast<long long>(rows), rows == 1 ? "" : "s",
        qPrintable(server.display()), static_cast<long long>(left), left == 1 ? "s" : "");
    std::fflush(stdout);
    if (!ok)
        throw CliError(ExitConnection, error);
    return ExitOk;
}

} // namespace

HistoryTarget historyTarget(const CliArgs &a)
{
    if (a.has(QStringLiteral("db")))
        return parseTarget(a.value(QStringLiteral("db")));
    const QString env = qEnvironmentVariable("QEL_DB");
    if (!env.isEmpty())
        return parseTarget(env);
    return HistoryTarget::defaultTarget();
}

QStringList CliRecording::sweepOptions()
{
    return {QStringLiteral("db"), QStringLiteral("operator"), flag()};
}

QStringList CliRecording::runOptions()
{
    QStringList o = sweepOptions();
    for (const auto &d : descriptionOptions())
        o << d.first;
    return o;
}

CliRecording::CliRecording(const CliArgs &args) : m_args(args)
{
    QObject::connect(&m_writer, &HistoryWriter::problem, &m_writer, [this](const QString &sentence) {
        say(withoutStop(sentence)
            + (m_writer.isWaiting() ? QStringLiteral("; rows are recorded again as soon as it can be written")
                                      : QStringLiteral("; nothing more of this run is recorded")));
        m_told = true;
    });
    if (args.has(flag()))
        return;
    m_writer.setTarget(historyTarget(args));
}

History::RunRecord CliRecording::runContext(const MeterConnector &meter, const QString &procedurePath, int loops) const
{
    History::RunRecord r;
    r.meter = QString::fromLatin1(meter.identification()).trimmed();
    r.device = meter.link().settings().devicePath;
    // Legacy runs stay as they always were recorded.
    if (!meter.link().profile().isLegacy())
        r.meterProfile = meter.link().profile().name;
    r.procedure = QFileInfo(procedurePath).fileName();
    r.loops = loops;
    r.operatorName = m_args.value(QStringLiteral("operator"));
    for (const auto &d : descriptionOptions())
        r.*(d.second) = m_args.value(d.first);
    return r;
}

History::SweepRecord CliRecording::sweepContext(const MeterConnector &meter) const
{
    History::SweepRecord s;
    s.meter = QString::fromLatin1(meter.identification()).trimmed();
    s.device = meter.link().settings().devicePath;
    s.operatorName = m_args.value(QStringLiteral("operator"));
    return s;
}

void CliRecording::warnRecordedSerials(const QStringList &serials) const
{
    const QString lot = m_args.value(QStringLiteral("lot-no"));
    if (lot.isEmpty() || !m_writer.isRecording())
        return;
    HistoryDatabase db;
    // Nothing recorded there yet, or not readable now: nothing to compare with.
    if (!db.open(m_writer.target(), HistoryDatabase::Mode::ReadOnly, nullptr))
        return;
    HistoryDatabase::Filter filter;
    filter.lot = lot;
    QSet<QString> asked;
    for (const QString &serial : serials) {
        if (asked.contains(serial))
            continue;
        asked.insert(serial);
        filter.serial = serial;
        qint64 rows = 0;
        if (!db.forEachRow(filter, [&](const HistoryDatabase::StoredRow &) { ++rows; return true; }, nullptr, 0, -1, true))
            return;
        if (rows > 0)
            say(QStringLiteral("serial %1 was measured before in lot %2 (%3 row%4); it is measured and recorded again")
                    .arg(serial, lot)
                    .arg(rows)
                    .arg(rows == 1 ? "" : "s"));
    }
}

void CliRecording::finish()
{
    // A run whose end the database did not take yet: a few more tries.
    for (int i = 0; i < 3 && m_writer.isRecording() && !m_writer.retryNow(); ++i)
        QThread::msleep(1000);
    if (!m_writer.isRecording() || !m_writer.target().isServer())
        return;
    if (m_writer.flush(5000))
        return;
    const qint64 waiting = m_writer.pending();
    if (waiting <= 0)
        return;
    QString why = withoutStop(m_writer.lastProblem());
    say(QStringLiteral("%1 %2 in %3 for %4 (%5); the next run or \"qel-cli history sync\" forwards them")
            .arg(waiting)
            .arg(waiting == 1 ? QStringLiteral("row waits") : QStringLiteral("rows wait"))
            .arg(HistoryTarget::spoolPath(), m_writer.target().display(),
                why.isEmpty() ? QStringLiteral("the server did not answer in time") : why));
}

int cliHistory(const QStringList &args)
{
    const QString sub = args.value(0);
    if (sub == QLatin1String("runs"))
        return historyRuns(args.mid(1));
    if (sub == QLatin1String("rows"))
        return historyRows(args.mid(1));
    if (sub == QLatin1String("sync"))
        return historySync(args.mid(1));
    if (sub == QLatin1String("stats"))
        return historyStats(args.mid(1));
    if (sub == QLatin1String("report"))
        return historyReport(args.mid(1));
    throw CliError(ExitUsage, QStringLiteral("history needs runs, rows, stats, report or sync; see qel-cli --help."));
}
