#include "cli/CliCommands.h"

#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"
#include "session/QelSession.h"
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
    QelSession session(nullptr);
    loadReportPair(session, a.positional[0], a.value(QStringLiteral("procedure")));

    TableStatistics statistics;
    statistics.setSteps(session.procedure().steps());
    statistics.addTable(session.results());
    const QByteArray out = a.has(QStringLiteral("json")) ? StatisticsJson::toJson(statistics)
                                                         : StatisticsJson::toText(statistics);
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return ExitOk;
}
