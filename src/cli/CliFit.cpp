#include "cli/CliCommands.h"

#include "analysis/CircuitFit.h"
#include "analysis/FitReport.h"
#include "plotter/PlotterState.h"
#include "session/QelSession.h"

#include <QJsonDocument>

#include <cstdio>

int cliFit(const QStringList &args)
{
    CliArgs a(args, {QStringLiteral("json")});
    a.allowOnly({QStringLiteral("model"), QStringLiteral("draw"), QStringLiteral("json"), QStringLiteral("circuit")});
    if (a.positional.size() != 1 || !a.has(QStringLiteral("model")))
        throw CliError(ExitUsage, QStringLiteral("fit needs a plot file and a model: qel-cli fit PLOT.pic --model "
                                                 "capacitor|inductor|resistor [--draw N] [--json]"));
    CircuitFit::Model model;
    if (!CircuitFit::modelFromName(a.value(QStringLiteral("model")), &model))
        throw CliError(ExitUsage, QStringLiteral("--model %1: the models are capacitor, inductor and resistor.")
                                      .arg(a.value(QStringLiteral("model"))));
    const int draw = a.intValue(QStringLiteral("draw"), 0);
    if (a.has(QStringLiteral("draw")) && draw < 1)
        throw CliError(ExitUsage, QStringLiteral("--draw needs a draw number of 1 or more."));
    const QString circuit = a.value(QStringLiteral("circuit"), QStringLiteral("SER"));
    if (circuit != QLatin1String("SER") && circuit != QLatin1String("PAR"))
        throw CliError(ExitUsage, QStringLiteral("--circuit must be SER or PAR."));

    const QString path = a.positional[0];
    QelSession session(nullptr);
    const DocumentData data = loadPlot(session, path);
    const CircuitFit::Input in = CircuitFit::fromColumns(SweepColumns::fromTable(session.plotter().table()),
        data.plotSecondItem != QLatin1String("off"), circuit == QLatin1String("PAR"), draw);
    if (!in.refusal.isEmpty())
        throw CliError(ExitUsage, QStringLiteral("%1: %2").arg(path, in.refusal));
    const CircuitFit::Result r = CircuitFit::fit(model, in);
    if (!r.ok)
        throw CliError(ExitUsage, QStringLiteral("%1: %2").arg(path, r.refusal));

    QByteArray out;
    if (a.has(QStringLiteral("json"))) {
        out = QJsonDocument(FitReport::toJson(r)).toJson(QJsonDocument::Indented);
        // What the JSON does not say goes to stderr, on one line.
        QStringList said;
        if (r.leftOut > 0)
            said << QStringLiteral("%1 of draw %2 left out: %3 point(s) with empty or unreadable readings.")
                        .arg(path)
                        .arg(in.draw)
                        .arg(r.leftOut);
        else if (r.coarse > 0 || r.roundedToZero > 0)
            said << QStringLiteral("%1, draw %2:").arg(path).arg(in.draw);
        said << FitReport::warnings(r);
        if (!said.isEmpty())
            std::fprintf(stderr, "qel-cli: %s\n", qPrintable(said.join(QLatin1Char(' '))));
    } else {
        out = (QStringLiteral("draw %1 of %2\n").arg(in.draw).arg(path) + FitReport::text(r)).toUtf8();
    }
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return ExitOk;
}
