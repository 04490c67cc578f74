#include "cli/CliCommands.h"
#include "cli/CliHistory.h"
#include "cli/CliLink.h"

#include "document/Document.h"
#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "recording/RunRecording.h"
#include "measurement/MeasurementSequencer.h"
#include "procedure/ProcedureModel.h"
#include "session/QelSession.h"
#include "statistics/BinPlan.h"
#include "statistics/Statistics.h"
#include "statistics/StatisticsJson.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>

namespace {

void printLine(const QStringList &cells)
{
    const QByteArray line = cells.join(QLatin1Char('\t')).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

// One serial a line (surrounding blanks and blank lines left out), a pass
// each; a serial listed twice is measured twice, with a warning.
QStringList readSerials(const CliArgs &a)
{
    const QString path = a.value(QStringLiteral("serials"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CliError(ExitUsage, QStringLiteral("Cannot read %1: %2.").arg(path, file.errorString()));
    QStringList serials;
    QHash<QString, int> firstLine;
    int line = 0;
    for (const QByteArray &raw : file.readAll().split('\n')) {
        ++line;
        const QString serial = QString::fromUtf8(raw).trimmed();
        if (serial.isEmpty())
            continue;
        if (firstLine.contains(serial))
            std::fprintf(stderr, "qel-cli: serial %s is listed twice in %s (lines %d and %d); both passes are measured and recorded.\n",
                qPrintable(serial), qPrintable(path), firstLine.value(serial), line);
        else
            firstLine.insert(serial, line);
        serials << serial;
    }
    if (serials.isEmpty())
        throw CliError(ExitUsage, QStringLiteral("%1 holds no serial numbers.").arg(path));
    if (a.has(QStringLiteral("loops")) && a.intValue(QStringLiteral("loops"), 0) != serials.size())
        throw CliError(ExitUsage, QStringLiteral("--loops %1 does not match the %2 serial numbers in %3: a run with --serials "
                                                 "has one pass a serial.")
                                      .arg(a.value(QStringLiteral("loops")))
                                      .arg(serials.size())
                                      .arg(path));
    return serials;
}

} // namespace

int cliRun(const QStringList &args)
{
    CliArgs a(args, {CliRecording::flag()});
    a.allowOnly(QStringList{QStringLiteral("port"), QStringLiteral("settings"), QStringLiteral("loops"), QStringLiteral("report"),
        QStringLiteral("reply-timeout"), QStringLiteral("stats"), QStringLiteral("meter"), QStringLiteral("bins"), QStringLiteral("serials")} + CliRecording::runOptions());
    if (a.positional.size() != 1 || !a.has(QStringLiteral("port")))
        throw CliError(ExitUsage, QStringLiteral("run needs a procedure and a device: qel-cli run PROCEDURE.pro --port DEVICE"));
    const QString procedurePath = a.positional[0];
    const QStringList serials = a.has(QStringLiteral("serials")) ? readSerials(a) : QStringList();
    const int loops = serials.isEmpty() ? a.intValue(QStringLiteral("loops"), 1) : int(serials.size());
    const int replyTimeout = a.intValue(QStringLiteral("reply-timeout"), 10000);
    const QString reportPath = a.value(QStringLiteral("report"));
    const QString statsPath = a.value(QStringLiteral("stats"));
    if (loops < 1)
        throw CliError(ExitUsage, QStringLiteral("--loops needs at least 1 pass."));
    if (replyTimeout < 0)
        throw CliError(ExitUsage, QStringLiteral("--reply-timeout needs 0 (wait for ever) or more milliseconds."));
    if (!reportPath.isEmpty() && DocumentNames::fileType(DocumentNames::fileName(reportPath)) != DocumentNames::FileType::Report)
        throw CliError(ExitUsage, QStringLiteral("The report name %1 must end in \"rpt\".").arg(reportPath));
    // A report that cannot be written would throw away the whole run.
    if (!reportPath.isEmpty())
        checkOutputPath(reportPath);
    if (!statsPath.isEmpty())
        checkOutputPath(statsPath);
    if (DocumentNames::fileType(DocumentNames::fileName(procedurePath)) != DocumentNames::FileType::Procedure)
        throw CliError(ExitUsage, QStringLiteral("%1 is not a procedure file (.pro).").arg(procedurePath));

    CliPrompter prompter;
    QelSession session(&prompter);
    Document &doc = session.document();
    const ProcedureModel &procedure = session.procedure();
    const ResultTableModel &results = session.results();
    doc.onNewDocument();
    if (!doc.openDocument(procedurePath)) {
        const QString why = doc.lastError();
        throw CliError(ExitUsage, why.contains(procedurePath) ? why : QStringLiteral("Cannot load %1: %2").arg(procedurePath, why));
    }
    if (procedure.stepCount() == 0)
        throw CliError(ExitUsage, QStringLiteral("%1 holds no steps.").arg(procedurePath));

    // A plan that does not fit is refused before the meter is touched.
    std::optional<BinSorter> bins;
    if (a.has(QStringLiteral("bins"))) {
        bins.emplace();
        bins->setPlan(loadBinPlan(a.value(QStringLiteral("bins")), procedure.steps()), procedure.steps());
        // Each recorded row keeps its bin.
        session.setBinPlan(bins->plan());
    }

    // A URL that cannot be read is refused before the meter is touched.
    CliRecording recording(a);
    const QString port = a.value(QStringLiteral("port"));
    chooseMeterOrThrow(session, a.value(QStringLiteral("meter")));
    connectOrThrow(session.connector(), port, a.value(QStringLiteral("settings"), QStringLiteral("9600,n,8,1")));
    session.execution().setLoopText(QString::number(loops));
    session.setReplyTimeout(replyTimeout);
    RunRecording recorded(recording.writer(), session,
        [&] { return recording.runContext(session.connector(), procedurePath, loops); });
    if (!serials.isEmpty()) {
        recording.warnRecordedSerials(serials);
        // Each pass measures the part named by the next serial.
        session.setHoldBeforePass(true);
        QObject::connect(&session, &QelSession::passWaiting, &recorded, [&](int pass) {
            recorded.setPartSerial(serials.value(pass));
            session.resumePass();
        });
    }

    QStringList titles = results.columnTitles() << QStringLiteral("Date") << QStringLiteral("Time");
    if (bins)
        titles << QStringLiteral("Bin");
    int status = ExitOk;
    QEventLoop loop;
    QObject::connect(&session.measurement(), &MeasurementSequencer::rowCompleted, &loop, [&](int row) {
        QStringList cells;
        for (int c = 0; c < results.columnCount(); ++c)
            cells << results.cell(row, c);
        cells << results.reportDates().value(row) << results.reportTimes().value(row);
        if (bins) {
            const int bin = bins->sortTableRow(results, row);
            bins->count(bin);
            cells << bins->plan().name(bin);
        }
        printLine(cells);
        if (results.image(row) == ResultTableModel::Failed && status == ExitOk)
            status = ExitFailVerdict;
    });
    // How the run ended is said here, once.
    QObject::connect(&session, &QelSession::runEnded, &loop, [&](const EndReason &reason) {
        if (reason.cause == EndReason::Cause::Completed) {
            loop.exit(0);
            return;
        }
        if (reason.cause == EndReason::Cause::ReplyTimeout) {
            std::fprintf(stderr, "qel-cli: no reply from %s within %d ms; the run was stopped.\n", qPrintable(port),
                replyTimeout);
        } else if (reason.cause == EndReason::Cause::MeterError) {
            std::fprintf(stderr, "qel-cli: %s\n", qPrintable(reason.text));
        } else {
            const int rows = results.rowCount();
            const QString kept = QStringLiteral("the run was stopped after %1 completed row%2").arg(rows).arg(rows == 1 ? "" : "s");
            std::fprintf(stderr, "qel-cli: %s\n", qPrintable(lostLinkSentence(port, reason.text, kept)));
        }
        loop.exit(1);
    });
    EndReason refusal;
    QObject::connect(&session, &QelSession::runRefused, &loop, [&](const EndReason &reason) { refusal = reason; });

    if (!session.run())
        throw CliError(ExitUsage, refusal.text.isEmpty() ? QStringLiteral("The run did not start.") : refusal.text);
    // Only a run that started has a table: a refused one leaves stdout empty.
    printLine(titles);
    const bool interrupted = loop.exec() != 0;
    recording.finish();

    if (!reportPath.isEmpty() && !doc.saveDocument(reportPath))
        throw CliError(ExitUsage, cannotWrite(reportPath, doc.lastError()));
    if (!statsPath.isEmpty()) {
        // The readings as judged, as the results history records them.
        TableStatistics statistics;
        statistics.setSteps(procedure.steps());
        statistics.addTable(results);
        writeFileAtomically(statsPath, StatisticsJson::toJson(statistics));
    }
    return interrupted ? int(ExitInterrupted) : status;
}
