#include "cli/CliCommands.h"

#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"
#include "session/QelSession.h"
#include "statistics/ControlChart.h"
#include "statistics/Statistics.h"
#include "statistics/StatisticsJson.h"

#include <cstdio>

int cliStats(const QStringList &args)
{
    CliArgs a(args, {QStringLiteral("json"), QStringLiteral("control")});
    a.allowOnly(QStringList{QStringLiteral("procedure"), QStringLiteral("json")} + controlOptions());
    if (a.positional.size() != 1 || !a.has(QStringLiteral("procedure")))
        throw CliError(ExitUsage, QStringLiteral("stats needs a report and its procedure: "
                                                 "qel-cli stats REPORT.rpt --procedure PROCEDURE.pro [--json] [--control ...]"));
    ControlSettings control;
    const bool charts = controlSettings(a, control);
    QelSession session(nullptr);
    loadReportPair(session, a.positional[0], a.value(QStringLiteral("procedure")));

    TableStatistics statistics;
    statistics.setSteps(session.procedure().steps());
    statistics.setKeepReadings(charts);
    statistics.addTable(session.results());
    const QVector<ControlChart> chartList = charts ? controlCharts(statistics, control) : QVector<ControlChart>();
    const QVector<ControlChart> *c = charts ? &chartList : nullptr;
    const QByteArray out = a.has(QStringLiteral("json")) ? StatisticsJson::toJson(statistics, c)
                                                         : StatisticsJson::toText(statistics, c);
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return ExitOk;
}
