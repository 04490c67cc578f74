#include "cli/CliCommands.h"
#include "cli/CliHistory.h"
#include "cli/CliLink.h"

#include "analysis/LimitMask.h"
#include "analysis/SweepColumns.h"
#include "analysis/SweepCsv.h"

#include "document/Document.h"
#include "recording/RunRecording.h"
#include "plotter/PlotterCommands.h"
#include "plotter/PlotterState.h"
#include "session/QelSession.h"
#include "measurement/SweepSequencer.h"

#include <QBuffer>
#include <QEventLoop>

#include <cstdio>

namespace {

void printCells(const QStringList &cells)
{
    const QByteArray line = cells.join(QLatin1Char('\t')).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
}

// Chooses an entry of a Plotter View list by its text, as the operator would.
void choose(PlotterState &state, int id, const QString &text, const char *option)
{
    if (!state.selectText(id, text))
        throw CliError(ExitUsage, QStringLiteral("--%1 %2 is not offered here; the choices are: %3.")
                                      .arg(QLatin1String(option), text, state.items(id).join(QStringLiteral(", "))));
}

void setEdit(PlotterState &state, int id, const CliArgs &a, const char *option)
{
    if (a.has(QLatin1String(option)))
        state.editText(id, a.value(QLatin1String(option)));
}

void setupFromArgs(PlotterState &state, const CliArgs &a)
{
    choose(state, PlotterState::FirstItem, a.value(QStringLiteral("item")), "item");
    if (a.has(QStringLiteral("circuit")))
        choose(state, PlotterState::Circuit, a.value(QStringLiteral("circuit")), "circuit");
    choose(state, PlotterState::SecondItem, a.value(QStringLiteral("second"), QStringLiteral("off")), "second");
    const QString kind = a.value(QStringLiteral("kind"));
    if (kind != QLatin1String("freq") && kind != QLatin1String("volt"))
        throw CliError(ExitUsage, QStringLiteral("--kind must be freq or volt."));
    choose(state, PlotterState::SweepKind, kind == QLatin1String("freq") ? QStringLiteral("Freq.") : QStringLiteral("Volt."),
        "kind");
    setEdit(state, PlotterState::Start, a, "start");
    setEdit(state, PlotterState::End, a, "end");
    setEdit(state, PlotterState::Points, a, "points");
    if (a.has(QStringLiteral("unit")))
        choose(state, PlotterState::SweepUnit, a.value(QStringLiteral("unit")), "unit");
    setEdit(state, PlotterState::FixedFrequency, a, "fixed-freq");
    if (a.has(QStringLiteral("fixed-freq-unit")))
        choose(state, PlotterState::FixedFrequencyUnit, a.value(QStringLiteral("fixed-freq-unit")), "fixed-freq-unit");
    setEdit(state, PlotterState::FixedLevel, a, "fixed-level");
    if (a.has(QStringLiteral("fixed-level-unit")))
        choose(state, PlotterState::FixedLevelUnit, a.value(QStringLiteral("fixed-level-unit")), "fixed-level-unit");
    if (a.has(QStringLiteral("speed")))
        choose(state, PlotterState::Speed, a.value(QStringLiteral("speed")), "speed");
}

} // namespace

int cliSweep(const QStringList &args)
{
    CliArgs a(args, {CliRecording::flag(), QStringLiteral("log"), QStringLiteral("log-y")});
    a.allowOnly(CliRecording::sweepOptions() + QStringList{QStringLiteral("log"), QStringLiteral("log-y"), QStringLiteral("csv"),
        QStringLiteral("mask"), QStringLiteral("port"), QStringLiteral("settings"), QStringLiteral("item"), QStringLiteral("second"),
        QStringLiteral("circuit"), QStringLiteral("speed"), QStringLiteral("kind"), QStringLiteral("start"),
        QStringLiteral("end"), QStringLiteral("points"), QStringLiteral("unit"), QStringLiteral("fixed-freq"),
        QStringLiteral("fixed-freq-unit"), QStringLiteral("fixed-level"), QStringLiteral("fixed-level-unit"),
        QStringLiteral("draws"), QStringLiteral("pic"), QStringLiteral("xlsx"), QStringLiteral("png"),
        QStringLiteral("reply-timeout"), QStringLiteral("meter")});
    for (const char *required : {"port", "item", "kind", "start", "end", "points"})
        if (!a.has(QLatin1String(required)))
            throw CliError(ExitUsage, QStringLiteral("sweep needs --%1; see qel-cli --help.").arg(QLatin1String(required)));
    if (!a.positional.isEmpty())
        throw CliError(ExitUsage, QStringLiteral("sweep takes no file argument; see qel-cli --help."));
    const int draws = a.intValue(QStringLiteral("draws"), 1);
    const int replyTimeout = a.intValue(QStringLiteral("reply-timeout"), 10000);
    if (draws < 1)
        throw CliError(ExitUsage, QStringLiteral("--draws needs at least 1."));
    // The graph has four lines; one more draw would start them all afresh and
    // the earlier draws would be lost before anything is written.
    const bool twoItems = a.value(QStringLiteral("second"), QStringLiteral("off")) != QLatin1String("off");
    const int maxDraws = twoItems ? 2 : 4;
    if (draws > maxDraws)
        throw CliError(ExitUsage, QStringLiteral("--draws %1: the graph holds four lines, so at most %2 draws %3.")
                                      .arg(draws)
                                      .arg(maxDraws)
                                      .arg(twoItems ? QStringLiteral("with a second item") : QStringLiteral("of one item")));
    if (replyTimeout < 0)
        throw CliError(ExitUsage, QStringLiteral("--reply-timeout needs 0 (wait for ever) or more milliseconds."));
    const QString picPath = a.value(QStringLiteral("pic"));
    if (!picPath.isEmpty() && DocumentNames::fileType(DocumentNames::fileName(picPath)) != DocumentNames::FileType::Plot)
        throw CliError(ExitUsage, QStringLiteral("The plot file name %1 must end in \"pic\".").arg(picPath));
    // Outputs that cannot be written would throw away the whole sweep.
    for (const char *output : {"pic", "xlsx", "png", "csv"})
        if (a.has(QLatin1String(output)))
            checkOutputPath(a.value(QLatin1String(output)));

    // A mask that cannot be read is refused before the meter is touched.
    LimitMask mask;
    const QString maskPath = a.value(QStringLiteral("mask"));
    if (a.has(QStringLiteral("mask"))) {
        QString error;
        if (!mask.load(maskPath, &error))
            throw CliError(ExitUsage, error);
    }

    CliPrompter prompter;
    QelSession session(&prompter);
    PlotterState &state = session.plotter();
    setupFromArgs(state, a);
    if (a.has(QStringLiteral("log"))) {
        state.setup().logSpacing = true;
        if (!state.setup().usesLogSpacing())
            throw CliError(ExitUsage, QStringLiteral("--log steps geometrically, so --start and --end must both be above 0."));
    }
    PlotterCommands &commands = session.plotterCommands();
    if (!commands.checkPoints())
        throw CliError(ExitUsage, QStringLiteral("--points %1: %2").arg(a.value(QStringLiteral("points")), commands.lastRefusal()));

    const QString port = a.value(QStringLiteral("port"));
    chooseMeterOrThrow(session, a.value(QStringLiteral("meter")));
    connectOrThrow(session.connector(), port, a.value(QStringLiteral("settings"), QStringLiteral("9600,n,8,1")));
    session.setReplyTimeout(replyTimeout);
    CliRecording recording(a);
    SweepRecording recorded(recording.writer(), session, [&] { return recording.sweepContext(session.connector()); });

    bool interrupted = false;
    for (int d = 0; d < draws && !interrupted; ++d) {
        if (!commands.checkPoints())
            throw CliError(ExitUsage, commands.lastRefusal());
        QEventLoop loop;
        // How the sweep ended is said here, once.
        QObject::connect(&session, &QelSession::sweepEnded, &loop, [&](const EndReason &reason) {
            if (reason.cause == EndReason::Cause::Completed) {
                loop.exit(0);
                return;
            }
            if (reason.cause == EndReason::Cause::ReplyTimeout) {
                std::fprintf(stderr, "qel-cli: no reply from %s within %d ms; the sweep was stopped.\n", qPrintable(port),
                    replyTimeout);
            } else if (reason.cause == EndReason::Cause::MeterError) {
                std::fprintf(stderr, "qel-cli: %s\n", qPrintable(reason.text));
            } else {
                const QString kept = QStringLiteral("the sweep was stopped in draw %1 and the points taken are kept").arg(d + 1);
                std::fprintf(stderr, "qel-cli: %s\n", qPrintable(lostLinkSentence(port, reason.text, kept)));
            }
            loop.exit(1);
        });
        session.draw();
        if (!session.isSweeping() && !session.sweep().lastRefusal().isEmpty())
            throw CliError(ExitUsage, session.sweep().lastRefusal());
        if (!session.isSweeping())
            throw CliError(ExitUsage, commands.lastRefusal().isEmpty() ? QStringLiteral("The sweep did not start.") : commands.lastRefusal());
        interrupted = loop.exec() != 0;
    }
    recording.finish();

    const PlotTableModel &table = state.table();
    QStringList titles;
    for (int c = 0; c < table.columnCount(); ++c)
        titles << table.headerData(c, Qt::Horizontal).toString();
    printCells(titles);
    for (int r = 0; r < table.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table.columnCount(); ++c)
            cells << table.cell(r, c);
        printCells(cells);
    }
    std::fflush(stdout);

    if (!picPath.isEmpty()) {
        Document &doc = session.document();
        doc.onNewDocument();
        if (!doc.saveDocument(picPath))
            throw CliError(ExitUsage, cannotWrite(picPath, doc.lastError()));
    }
    if (a.has(QStringLiteral("xlsx"))) {
        QString error;
        if (!session.sweepOutputs().workbookToFile(a.value(QStringLiteral("xlsx")), &error))
            throw CliError(ExitUsage, cannotWrite(a.value(QStringLiteral("xlsx")), error));
    }
    if (a.has(QStringLiteral("csv"))) {
        QString error;
        if (!SweepCsv::write(state.table(), a.value(QStringLiteral("csv")), &error))
            throw CliError(ExitUsage, cannotWrite(a.value(QStringLiteral("csv")), error));
    }
    if (a.has(QStringLiteral("png"))) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        session.graphPicture(a.has(QStringLiteral("log")), a.has(QStringLiteral("log-y"))).save(&buffer, "PNG");
        writeFileAtomically(a.value(QStringLiteral("png")), bytes);
    }
    if (interrupted)
        return ExitInterrupted;
    if (a.has(QStringLiteral("mask"))) {
        const SweepColumns columns = SweepColumns::fromTable(state.table());
        QString error;
        if (!mask.checkAgainst(columns, maskPath, &error))
            throw CliError(ExitUsage, error);
        const LimitMask::Verdict verdict = mask.judge(columns);
        if (!verdict.passed()) {
            std::fprintf(stderr, "qel-cli: %s\n",
                qPrintable(QStringLiteral("The sweep fails the mask %1 at %2 of %3 judged points.")
                               .arg(maskPath)
                               .arg(verdict.failures.size())
                               .arg(verdict.judged)));
            for (const LimitMask::Failure &f : verdict.failures)
                std::fprintf(stderr, "  %s\n", qPrintable(LimitMask::describe(columns, f)));
            return ExitFailVerdict;
        }
    }
    return ExitOk;
}
