#pragma once

#include "cli/CliCommon.h"
#include "procedure/ProcedureStep.h"

#include <QVector>

// Each command takes the arguments after its name and returns the exit status.
int cliShow(const QStringList &args);
int cliConvert(const QStringList &args);
int cliRun(const QStringList &args);
int cliSweep(const QStringList &args);
int cliExport(const QStringList &args);
int cliPrint(const QStringList &args);
int cliPrintGraph(const QStringList &args);
int cliHistory(const QStringList &args);
int cliStats(const QStringList &args);
int cliFit(const QStringList &args);
int cliServe(const QStringList &args);
int cliMeters(const QStringList &args);
int cliBins(const QStringList &args);
int cliBridge(const QStringList &args);

struct ControlSettings;
struct BinPlan;
// --control [--subgroup N] [--baseline K] [--limits FILE] of stats and
// history stats: the options, and the settings they give (none without --control).
QStringList controlOptions();
bool controlSettings(const CliArgs &a, ControlSettings &settings);
// A bin plan read and checked against the steps, or CliError(ExitUsage).
BinPlan loadBinPlan(const QString &path, const QVector<ProcedureStep> &steps);
