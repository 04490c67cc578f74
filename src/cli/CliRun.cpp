#include "cli/CliCommands.h"
#include "cli/CliHistory.h"
#include "cli/CliLink.h"

#include "document/CQelDoc.h"
#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "history/RunRecording.h"
#include "instrument/MeasurementSequencer.h"
#include "instrument/RunCommands.h"
#include "instrument/SettingsCache.h"
#include "procedure/ProcedureModel.h"

#include <QCoreApplication>
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

} // namespace

int cliRun(const QStringList &args)
{
    CliArgs a(args, {CliRecording::flag()});
    a.allowOnly(QStringList{QStringLiteral("port"), QStringLiteral("settings"), QStringLiteral("loops"), QStringLiteral("report"),
        QStringLiteral("reply-timeout")} + CliRecording::runOptions());
    if (a.positional.size() != 1 || !a.has(QStringLiteral("port")))
        throw CliError(ExitUsage, QStringLiteral("run needs a procedure and a device: qel-cli run PROCEDURE.pro --port DEVICE"));
    const QString procedurePath = a.positional[0];
    const int loops = a.intValue(QStringLiteral("loops"), 1);
    const int replyTimeout = a.intValue(QStringLiteral("reply-timeout"), 10000);
    const QString reportPath = a.value(QStringLiteral("report"));
    if (loops < 1)
        throw CliError(ExitUsage, QStringLiteral("--loops needs at least 1 pass."));
    if (replyTimeout < 0)
        throw CliError(ExitUsage, QStringLiteral("--reply-timeout needs 0 (wait for ever) or more milliseconds."));
    if (!reportPath.isEmpty() && DocumentNames::fileType(DocumentNames::fileName(reportPath)) != DocumentNames::FileType::Report)
        throw CliError(ExitUsage, QStringLiteral("The report name %1 must end in \"rpt\".").arg(reportPath));
    // A report that cannot be written would throw away the whole run.
    if (!reportPath.isEmpty())
        checkOutputPath(reportPath);
    if (DocumentNames::fileType(DocumentNames::fileName(procedurePath)) != DocumentNames::FileType::Procedure)
        throw CliError(ExitUsage, QStringLiteral("%1 is not a procedure file (.pro).").arg(procedurePath));

    CliPrompter prompter;
    ProcedureModel procedure;
    ResultTableModel results;
    CQelDoc doc(&procedure, &results, &prompter);
    doc.onNewDocument();
    if (!doc.openDocument(procedurePath)) {
        const QString why = doc.lastError();
        throw CliError(ExitUsage, why.contains(procedurePath) ? why : QStringLiteral("Cannot load %1: %2").arg(procedurePath, why));
    }
    if (procedure.stepCount() == 0)
        throw CliError(ExitUsage, QStringLiteral("%1 holds no steps.").arg(procedurePath));

    // A URL that cannot be read is refused before the meter is touched.
    CliRecording recording(a);
    InstrumentLink link(&prompter);
    connectOrThrow(link, a.value(QStringLiteral("port")), a.value(QStringLiteral("settings"), QStringLiteral("9600,n,8,1")));

    SettingsCache cache;
    ExecutionState exec;
    exec.setLoopText(QString::number(loops));
    MeasurementSequencer sequencer(link, cache, procedure, results, exec);
    RunCommands commands(link, procedure, sequencer, &prompter);
    RunRecording recorded(recording.recorder(), sequencer, procedure,
        [&] { return recording.runContext(link, procedurePath, loops); });

    printLine(results.columnTitles() << QStringLiteral("Date") << QStringLiteral("Time"));
    int status = ExitOk;
    QEventLoop loop;
    QObject::connect(&sequencer, &MeasurementSequencer::rowCompleted, &loop, [&](int row) {
        QStringList cells;
        for (int c = 0; c < results.columnCount(); ++c)
            cells << results.cell(row, c);
        cells << results.reportDates().value(row) << results.reportTimes().value(row);
        printLine(cells);
        if (results.image(row) == ResultTableModel::Failed && status == ExitOk)
            status = ExitFailVerdict;
    });
    QObject::connect(&sequencer, &MeasurementSequencer::finished, &loop, [&] { loop.exit(0); });
    QObject::connect(&sequencer, &MeasurementSequencer::interrupted, &loop, [&](const QString &reason) {
        const int rows = results.rowCount();
        const QString kept = QStringLiteral("the run was stopped after %1 completed row%2").arg(rows).arg(rows == 1 ? "" : "s");
        std::fprintf(stderr, "qel-cli: %s\n", qPrintable(lostLinkSentence(a.value(QStringLiteral("port")), reason, kept)));
        loop.exit(1);
    });
    ReplyWatchdog watchdog(replyTimeout, [&] { return sequencer.state() == MeasurementSequencer::State::Waiting; },
        [&] {
            std::fprintf(stderr, "qel-cli: no reply from %s within %d ms; the run was stopped.\n",
                qPrintable(a.value(QStringLiteral("port"))), replyTimeout);
            recorded.ended(RunEnd::ReplyTimeout);
            commands.emergencyStop();
            loop.exit(1);
        });
    QObject::connect(&sequencer, &MeasurementSequencer::currentStepChanged, &watchdog, &ReplyWatchdog::restart);
    QObject::connect(&sequencer, &MeasurementSequencer::rowCompleted, &watchdog, &ReplyWatchdog::restart);

    if (!commands.run())
        throw CliError(ExitUsage, prompter.messages.value(prompter.messages.size() - 1, QStringLiteral("The run did not start.")));
    recorded.started();
    watchdog.restart();
    const bool interrupted = loop.exec() != 0;
    recording.finish();

    if (!reportPath.isEmpty() && !doc.saveDocument(reportPath))
        throw CliError(ExitUsage, cannotWrite(reportPath, doc.lastError()));
    return interrupted ? int(ExitInterrupted) : status;
}
