#pragma once

#include "analysis/CircuitFit.h"

#include <QJsonObject>
#include <QString>

// A fit as the operator reads it and as JSON:
// {"model": "capacitor", "points": N, "parameters": {"C": {"value": ..,
// "uncertainty": ..}, ...}, "srf": HZ, "residual": ...}, SI base units.
namespace FitReport {

QJsonObject toJson(const CircuitFit::Result &result);
// One line per value with its uncertainty and an engineering prefix, then
// the self-resonant frequency, the residual and the points used.
QString text(const CircuitFit::Result &result);
// 100.02n, 4.97M: three to five significant digits with a prefix letter.
QString engineering(double value, int digits = 5);

} // namespace FitReport
