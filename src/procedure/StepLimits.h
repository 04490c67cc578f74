#pragma once

#include <QString>

// How a step judges a reading: the limits its standard and deviations set,
// and the verdict word. Pure rules, shared by the run and the statistics.
namespace StepLimits {

struct Limits
{
    double low = 0.0;
    double high = 0.0;
};

// Limits in base units. The low text decides whether both deviations are
// percentages of the standard or plain base-unit offsets.
Limits limits(const QString &standard, const QString &low, const QString &high, const QString &unit,
              bool secondItem);

// "pass" only strictly inside the limits; empty when the standard is empty.
QString verdict(double value, const QString &standard, const Limits &limits);

inline QString passText() { return QStringLiteral("pass"); }
inline QString failText() { return QStringLiteral("fail"); }

} // namespace StepLimits
