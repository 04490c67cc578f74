#pragma once

#include "analysis/CircuitFit.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

// A fit as the operator reads it and as JSON:
// {"model": "capacitor", "points": N, "parameters": {"C": {"value": ..,
// "uncertainty": ..}, ...}, "srf": HZ, "residual": ...}, SI base units.
namespace FitReport {

QJsonObject toJson(const CircuitFit::Result &result);
// One line per value with its uncertainty and an engineering prefix, then
// the self-resonant frequency, the residual, the points used and the
// warnings.
QString text(const CircuitFit::Result &result);
// The same text as a window shows it: Ω, µ and ± for Ohm, u and +/-.
QString shownText(const CircuitFit::Result &result);
// Sentences about readings the plot's cells print coarsely or as 0.
QStringList warnings(const CircuitFit::Result &result);
// 100.02n, 4.97M: three to five significant digits with a prefix letter.
QString engineering(double value, int digits = 5);

} // namespace FitReport
