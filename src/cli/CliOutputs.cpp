#include "cli/CliCommands.h"

#include "reports/GraphPrint.h"
#include "procedure/ProcedureModel.h"
#include "session/QelSession.h"
#include "statistics/BinPlan.h"

#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <sys/stat.h>

namespace {

// The report named first and its procedure named by --procedure.
void loadReport(const CliArgs &a, const char *usage, QelSession &session)
{
    if (a.positional.size() != 1 || !a.has(QStringLiteral("procedure")))
        throw CliError(ExitUsage, QString::fromLatin1(usage));
    loadReportPair(session, a.positional[0], a.value(QStringLiteral("procedure")));
}

// Prints into a hidden file beside the target and renames it into place, so
// a print that fails leaves no half-written PDF behind.
void printAtomically(const QString &out, const std::function<bool(const QString &)> &print)
{
    checkOutputPath(out);
    const QFileInfo target(out);
    QTemporaryFile part(target.absolutePath() + QLatin1String("/.") + target.fileName() + QLatin1String(".XXXXXX"));
    if (!part.open())
        throw CliError(ExitUsage, cannotWrite(out, part.errorString()));
    part.close();
    if (!print(part.fileName()))
        throw CliError(ExitUsage, cannotWrite(out, QStringLiteral("the PDF could not be drawn")));
    if (std::rename(QFile::encodeName(part.fileName()).constData(), QFile::encodeName(out).constData()) != 0)
        throw CliError(ExitUsage, cannotWrite(out, QString::fromLocal8Bit(std::strerror(errno))));
    part.setAutoRemove(false);
    // The temporary file was private; the PDF gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(QFile::encodeName(out).constData(), 0666 & ~mask);
}

} // namespace

int cliExport(const QStringList &args)
{
    CliArgs a(args, {});
    a.allowOnly({QStringLiteral("procedure"), QStringLiteral("xlsx"), QStringLiteral("csv"), QStringLiteral("bins")});
    const char *usage = "export needs a report, its procedure and an output: "
                        "qel-cli export REPORT.rpt --procedure PROCEDURE.pro --xlsx OUT.xlsx | --csv OUT.csv";
    const QString xlsx = a.value(QStringLiteral("xlsx"));
    const QString csv = a.value(QStringLiteral("csv"));
    if (xlsx.isEmpty() && csv.isEmpty())
        throw CliError(ExitUsage, QString::fromLatin1(usage));
    for (const QString &out : {xlsx, csv})
        if (!out.isEmpty())
            checkOutputPath(out);
    QelSession session(nullptr);
    loadReport(a, usage, session);
    if (a.has(QStringLiteral("bins")))
        session.setBinPlan(loadBinPlan(a.value(QStringLiteral("bins")), session.procedure().steps()));
    const ResultOutputs outputs = session.resultOutputs();
    QString error;
    if (!xlsx.isEmpty() && !outputs.workbookToFile(xlsx, &error))
        throw CliError(ExitUsage, cannotWrite(xlsx, error));
    if (!csv.isEmpty() && !outputs.csvToFile(csv, &error))
        throw CliError(ExitUsage, cannotWrite(csv, error));
    return ExitOk;
}

int cliPrint(const QStringList &args)
{
    static const QList<QPair<QString, ReportDescription::Field>> fields = {
        {QStringLiteral("title"), ReportDescription::Title},
        {QStringLiteral("company"), ReportDescription::Company},
        {QStringLiteral("customer"), ReportDescription::Customer},
        {QStringLiteral("instrument"), ReportDescription::Instrument},
        {QStringLiteral("date"), ReportDescription::Date},
        {QStringLiteral("part-no"), ReportDescription::PartNo},
        {QStringLiteral("lot-no"), ReportDescription::LotNo},
        {QStringLiteral("quantity"), ReportDescription::Quantity},
        {QStringLiteral("remark"), ReportDescription::Remark},
    };
    CliArgs a(args, {QStringLiteral("statistics")});
    QStringList allowed{QStringLiteral("procedure"), QStringLiteral("pdf"), QStringLiteral("statistics"), QStringLiteral("bins")};
    for (const auto &f : fields)
        allowed << f.first;
    a.allowOnly(allowed);
    const char *usage = "print needs a report, its procedure and an output: "
                        "qel-cli print REPORT.rpt --procedure PROCEDURE.pro --pdf OUT.pdf";
    if (!a.has(QStringLiteral("pdf")))
        throw CliError(ExitUsage, QString::fromLatin1(usage));
    QelSession session(nullptr);
    loadReport(a, usage, session);
    // Sampling has followed the rows taken; the operator's texts go over the defaults.
    for (const auto &f : fields)
        if (a.has(f.first))
            session.description().setText(f.second, a.value(f.first));
    const bool statistics = a.has(QStringLiteral("statistics"));
    const bool bins = a.has(QStringLiteral("bins"));
    if (bins)
        session.setBinPlan(loadBinPlan(a.value(QStringLiteral("bins")), session.procedure().steps()));
    printAtomically(a.value(QStringLiteral("pdf")),
        [&](const QString &file) { return session.printReport(file, statistics, bins); });
    return ExitOk;
}

int cliPrintGraph(const QStringList &args)
{
    CliArgs a(args, {QStringLiteral("landscape"), QStringLiteral("log-x"), QStringLiteral("log-y")});
    a.allowOnly({QStringLiteral("pdf"), QStringLiteral("landscape"), QStringLiteral("description"), QStringLiteral("log-x"),
        QStringLiteral("log-y")});
    if (a.positional.size() != 1 || !a.has(QStringLiteral("pdf")))
        throw CliError(ExitUsage,
            QStringLiteral("print-graph needs a plot file and an output: qel-cli print-graph PLOT.pic --pdf OUT.pdf"));
    QelSession session(nullptr);
    loadPlot(session, a.positional[0]);
    const QString description = a.value(QStringLiteral("description"), GraphPrint::defaultDescription());
    printAtomically(a.value(QStringLiteral("pdf")), [&](const QString &file) {
        return session.printGraph(file, description, a.has(QStringLiteral("landscape")), a.has(QStringLiteral("log-x")),
            a.has(QStringLiteral("log-y")));
    });
    return ExitOk;
}
