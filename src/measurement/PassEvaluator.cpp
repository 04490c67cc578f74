#include "measurement/PassEvaluator.h"

#include "execution/ResultTableModel.h"
#include "meter/ReplySplitter.h"
#include "procedure/FieldParsing.h"

#include <QDate>
#include <QTime>

PassEvaluator::Row PassEvaluator::evaluate(const QVector<ProcedureStep> &steps, const QList<QByteArray> &replyLines)
{
    Row row;
    int k = 0;
    for (int j = 0; j < steps.size(); ++j) {
        const ProcedureStep &s = steps.at(j);
        const QByteArray line = j < replyLines.size() ? replyLines.at(j) : QByteArray();
        const ReplySplitter::Parts reply = ReplySplitter::split(line);

        const double first = reply.primaryValue();
        const Limits fl = limits(s[ProcedureStep::FStd], s[ProcedureStep::FLow], s[ProcedureStep::FHigh],
                                 s[ProcedureStep::FUnit], false);
        const QString fv = verdict(first, s[ProcedureStep::FStd], fl);
        row.cells << FieldParsing::formatReading(first, s[ProcedureStep::FUnit], false) << fv;
        row.values << first;
        if (fv != failText())
            ++k;

        if (s.hasSecondItem()) {
            const double second = reply.secondaryValue();
            const Limits sl = limits(s[ProcedureStep::SStd], s[ProcedureStep::SLow], s[ProcedureStep::SHigh],
                                     s[ProcedureStep::SUnit], true);
            const QString sv = verdict(second, s[ProcedureStep::SStd], sl);
            row.cells << FieldParsing::formatReading(second, s[ProcedureStep::SUnit], true) << sv;
            row.values << second;
            if (sv == failText())
                --k;
        }
    }
    row.passCount = k;
    row.image = k == steps.size() ? ResultTableModel::Passed : ResultTableModel::Failed;
    return row;
}

QString PassEvaluator::dateText(const QDate &date)
{
    return QStringLiteral("%1/%2/%3/").arg(date.year()).arg(date.month()).arg(date.day());
}

QString PassEvaluator::timeText(const QTime &time)
{
    return QStringLiteral("%1:%2:%3").arg(time.hour()).arg(time.minute()).arg(time.second());
}
