#pragma once

#include "procedure/ProcedureStep.h"
#include "procedure/StepLimits.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

class QDate;
class QTime;

// Judges one pass of a procedure: turns the reply lines of its steps (one
// per step, in step order) into the cells and the lamp of one result row.
// Pure logic, so the arithmetic can be checked without a meter.
class PassEvaluator
{
public:
    using Limits = StepLimits::Limits;

    struct Row
    {
        QStringList cells; // columns 1.. of the result row
        int image = 0;     // ResultTableModel::Failed or ::Passed
        int passCount = 0; // one per judged-or-unjudged first item, minus one per failed second item
        // The readings in base units, one per reading cell in cell order, as
        // judged (statistics and records use these, not the rounded texts).
        QVector<double> values;
    };

    // The step's rules (see StepLimits), under the names the run uses.
    static Limits limits(const QString &standard, const QString &low, const QString &high,
                         const QString &unit, bool secondItem)
    {
        return StepLimits::limits(standard, low, high, unit, secondItem);
    }
    static QString verdict(double value, const QString &standard, const Limits &limits)
    {
        return StepLimits::verdict(value, standard, limits);
    }

    // A missing line reads as an empty reply (value 0).
    static Row evaluate(const QVector<ProcedureStep> &steps, const QList<QByteArray> &replyLines);

    // "2012/3/7/" and "9:5:3": no leading zeros, the date with a closing slash.
    static QString dateText(const QDate &date);
    static QString timeText(const QTime &time);

    static QString passText() { return StepLimits::passText(); }
    static QString failText() { return StepLimits::failText(); }
};
