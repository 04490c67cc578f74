#include "cli/CliCommands.h"

#include "document/PageTransfer.h"
#include "execution/ResultCsvExport.h"
#include "execution/ResultExport.h"
#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"
#include "reports/ReportDescription.h"
#include "reports/ReportLayout.h"
#include "plotter/PlotterState.h"
#include "reports/GraphPrint.h"
#include "reports/ReportPainter.h"
#include "statistics/Statistics.h"
#include "statistics/StatisticsOutputs.h"

#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <sys/stat.h>

namespace {

// A report with the procedure it belongs to, in the models the desktop
// program uses. The name rule between the two files is the desktop's
// guard against mixing procedures; here the operator names both at once.
void loadReport(const CliArgs &a, const char *usage, ProcedureModel &procedure, ResultTableModel &results)
{
    if (a.positional.size() != 1 || !a.has(QStringLiteral("procedure")))
        throw CliError(ExitUsage, QString::fromLatin1(usage));
    DocumentData data;
    const QString pro = a.value(QStringLiteral("procedure"));
    if (readDocumentFile(pro, data) != DocumentNames::FileType::Procedure)
        throw CliError(ExitUsage, QStringLiteral("%1 is not a procedure file (.pro).").arg(pro));
    if (readDocumentFile(a.positional[0], data) != DocumentNames::FileType::Report)
        throw CliError(ExitUsage, QStringLiteral("%1 is not a report file (.rpt).").arg(a.positional[0]));
    PageTransfer::rebuild(data, procedure, results, nullptr);
}

// The size of the graph on the Plotter View, for pictures made without one.
const QSize GraphPictureSize(900, 560);

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
    a.allowOnly({QStringLiteral("procedure"), QStringLiteral("xlsx"), QStringLiteral("csv")});
    const char *usage = "export needs a report, its procedure and an output: "
                        "qel-cli export REPORT.rpt --procedure PROCEDURE.pro --xlsx OUT.xlsx | --csv OUT.csv";
    const QString xlsx = a.value(QStringLiteral("xlsx"));
    const QString csv = a.value(QStringLiteral("csv"));
    if (xlsx.isEmpty() && csv.isEmpty())
        throw CliError(ExitUsage, QString::fromLatin1(usage));
    for (const QString &out : {xlsx, csv})
        if (!out.isEmpty())
            checkOutputPath(out);
    ProcedureModel procedure;
    ResultTableModel results;
    loadReport(a, usage, procedure, results);
    QString error;
    if (!xlsx.isEmpty() && !StatisticsOutputs::exportToFile(procedure, results, xlsx, &error))
        throw CliError(ExitUsage, cannotWrite(xlsx, error));
    if (!csv.isEmpty() && !ResultCsvExport::exportToFile(procedure, results, csv, &error))
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
    QStringList allowed{QStringLiteral("procedure"), QStringLiteral("pdf"), QStringLiteral("statistics")};
    for (const auto &f : fields)
        allowed << f.first;
    a.allowOnly(allowed);
    const char *usage = "print needs a report, its procedure and an output: "
                        "qel-cli print REPORT.rpt --procedure PROCEDURE.pro --pdf OUT.pdf";
    if (!a.has(QStringLiteral("pdf")))
        throw CliError(ExitUsage, QString::fromLatin1(usage));
    ProcedureModel procedure;
    ResultTableModel results;
    loadReport(a, usage, procedure, results);
    ReportDescription description;
    description.setSampling(results.resultCount());
    for (const auto &f : fields)
        if (a.has(f.first))
            description.setText(f.second, a.value(f.first));
    const ReportLayout layout = ReportLayout::prepare(procedure, results);
    ReportPainter::Appendix appendix;
    if (a.has(QStringLiteral("statistics"))) {
        TableStatistics statistics;
        statistics.setSteps(procedure.steps());
        statistics.addTable(results);
        appendix = StatisticsOutputs::appendix(statistics);
    }
    printAtomically(a.value(QStringLiteral("pdf")),
        [&](const QString &file) { return printReportToPdf(layout, description.texts(), file, appendix); });
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
    DocumentData data;
    if (readDocumentFile(a.positional[0], data) != DocumentNames::FileType::Plot)
        throw CliError(ExitUsage, QStringLiteral("%1 is not a plot file (.pic).").arg(a.positional[0]));
    PlotterState plotter;
    plotter.restoreFromDocument(data.plotRows, data.plotColumnCount, data.plotFirstItem, data.plotSecondItem);
    plotter.headlessGraph().setAxisLog(1, a.has(QStringLiteral("log-x")));
    for (int axis = 2; axis <= GraphSink::AxisCount; ++axis)
        plotter.headlessGraph().setAxisLog(axis, a.has(QStringLiteral("log-y")));
    const QString description = a.value(QStringLiteral("description"), GraphPrint::defaultDescription());
    // Drawn in lines and text where the picture goes: sharp, and its values readable from the file.
    printAtomically(a.value(QStringLiteral("pdf")), [&](const QString &file) {
        return printGraphToPdf(plotter.headlessGraph(), GraphPictureSize, description, a.has(QStringLiteral("landscape")),
            file);
    });
    return ExitOk;
}
