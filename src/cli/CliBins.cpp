#include "cli/CliCommands.h"

#include "procedure/ProcedureModel.h"
#include "session/QelSession.h"
#include "statistics/BinPlan.h"
#include "statistics/ControlChart.h"

#include <cstdio>

QStringList controlOptions()
{
    return {QStringLiteral("control"), QStringLiteral("subgroup"), QStringLiteral("baseline"), QStringLiteral("limits")};
}

bool controlSettings(const CliArgs &a, ControlSettings &settings)
{
    if (!a.has(QStringLiteral("control"))) {
        for (const QString &o : controlOptions())
            if (a.has(o))
                throw CliError(ExitUsage, QStringLiteral("--%1 goes with --control.").arg(o));
        return false;
    }
    settings.subgroup = a.intValue(QStringLiteral("subgroup"), 1);
    if (settings.subgroup < 1 || settings.subgroup > ControlChart::MaxSubgroup)
        throw CliError(ExitUsage, QStringLiteral("--subgroup needs 1 (individuals) to %1.").arg(ControlChart::MaxSubgroup));
    settings.baseline = a.intValue(QStringLiteral("baseline"), 0);
    if (a.has(QStringLiteral("baseline")) && settings.baseline < 1)
        throw CliError(ExitUsage, QStringLiteral("--baseline needs a number of subgroups, 1 or more."));
    if (a.has(QStringLiteral("limits"))) {
        if (a.has(QStringLiteral("baseline")))
            throw CliError(ExitUsage, QStringLiteral("--limits fixes the limits; --baseline cannot go with it."));
        QString error;
        const std::optional<ControlLimitsFile::Table> t = ControlLimitsFile::load(a.value(QStringLiteral("limits")), &error);
        if (!t)
            throw CliError(ExitUsage, error);
        settings.fixed = *t;
    }
    return true;
}

BinPlan loadBinPlan(const QString &path, const QVector<ProcedureStep> &steps)
{
    QString error;
    const std::optional<BinPlan> plan = BinPlan::load(path, &error);
    if (!plan)
        throw CliError(ExitUsage, error);
    const QString misfit = plan->checkAgainst(steps);
    if (!misfit.isEmpty())
        throw CliError(ExitUsage, QStringLiteral("%1: %2").arg(path, misfit));
    return *plan;
}

int cliBins(const QStringList &args)
{
    CliArgs a(args, {QStringLiteral("json")});
    a.allowOnly({QStringLiteral("procedure"), QStringLiteral("bins"), QStringLiteral("json")});
    if (a.positional.size() != 1 || !a.has(QStringLiteral("procedure")) || !a.has(QStringLiteral("bins")))
        throw CliError(ExitUsage, QStringLiteral("bins needs a report, its procedure and a bin plan: "
                                                 "qel-cli bins REPORT.rpt --procedure PROCEDURE.pro --bins PLAN.json [--json]"));
    QelSession session(nullptr);
    loadReportPair(session, a.positional[0], a.value(QStringLiteral("procedure")));
    const QVector<ProcedureStep> steps = session.procedure().steps();
    BinSorter sorter;
    sorter.setPlan(loadBinPlan(a.value(QStringLiteral("bins")), steps), steps);
    sorter.countTable(session.results());
    const QByteArray out = a.has(QStringLiteral("json")) ? sorter.toJson() : sorter.toText();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return ExitOk;
}
