#include "cli/CliCommands.h"

#include "document/PageTransfer.h"
#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"
#include "statistics/Statistics.h"
#include "statistics/StatisticsJson.h"

#include <cstdio>

int cliStats(const QStringList &args)
{
    CliArgs a(args, {QStringLiteral("json")});
    a.allowOnly({QStringLiteral("procedure"), QStringLiteral("json")});
    if (a.positional.size() != 1 || !a.has(QStringLiteral("procedure")))
        throw CliError(ExitUsage, QStringLiteral("stats needs a report and its procedure: "
                                                 "qel-cli stats REPORT.rpt --procedure PROCEDURE.pro [--json]"));
    DocumentData data;
    const QString pro = a.value(QStringLiteral("procedure"));
    if (readDocumentFile(pro, data) != DocumentNames::FileType::Procedure)
        throw CliError(ExitUsage, QStringLiteral("%1 is not a procedure file (.pro).").arg(pro));
    if (readDocumentFile(a.positional[0], data) != DocumentNames::FileType::Report)
        throw CliError(ExitUsage, QStringLiteral("%1 is not a report file (.rpt).").arg(a.positional[0]));
    ProcedureModel procedure;
    ResultTableModel results;
    PageTransfer::rebuild(data, procedure, results, nullptr);

    TableStatistics statistics;
    statistics.setSteps(procedure.steps());
    statistics.addTable(results);
    const QByteArray out = a.has(QStringLiteral("json")) ? StatisticsJson::toJson(statistics)
                                                         : StatisticsJson::toText(statistics);
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return ExitOk;
}
