#pragma once

#include "cli/CliCommon.h"

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
