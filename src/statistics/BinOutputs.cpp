#include "statistics/BinOutputs.h"

#include "sheets/WorkbookWriter.h"
#include "statistics/BinPlan.h"
#include "statistics/StatisticsJson.h"

#include <QPainter>

#include <algorithm>
#include <memory>

namespace BinOutputs {

namespace {

QString number(double v)
{
    return StatisticsJson::number(v);
}

QString shareText(const BinSorter &bins, int i)
{
    const std::optional<double> s = bins.share(i);
    return s ? number(*s) : QString();
}

void text(QPainter &p, double x, double y, const QString &s, Qt::Alignment align, double width)
{
    p.save();
    p.translate(x, y);
    p.scale(1, -1);
    p.drawText(QRectF(0, 0, width, 75), align | Qt::AlignVCenter | Qt::TextSingleLine, s);
    p.restore();
}

} // namespace

QString planText(const BinSorter &bins)
{
    const BinPlan &plan = bins.plan();
    QString s = QStringLiteral("Step %1, %2").arg(plan.step).arg(plan.mode == BinPlan::Mode::Nested
                                                                      ? QStringLiteral("nested around %1").arg(number(plan.nominal))
                                                                      : QStringLiteral("sequential"));
    if (plan.hasSecondary())
        s += QStringLiteral("; AUX: second item outside %1 .. %2")
                 .arg(plan.secondaryLow ? number(*plan.secondaryLow) : QStringLiteral("-"),
                      plan.secondaryHigh ? number(*plan.secondaryHigh) : QStringLiteral("-"));
    return s;
}

void writeSheet(const BinSorter &bins, WorkbookWriter &out)
{
    const BinPlan &plan = bins.plan();
    out.writeRow(1, {QStringLiteral("Bin"), QStringLiteral("Low"), QStringLiteral("High"), QStringLiteral("Count"),
                     QStringLiteral("Share")});
    out.blueRow(1);
    out.boldRow(1);
    int row = 2;
    for (int i = 0; i <= plan.out(); ++i) {
        const bool bin = i < plan.binCount();
        out.writeRow(row, {plan.name(i), bin ? number(plan.low(i)) : QString(), bin ? number(plan.high(i)) : QString(),
                           QString::number(qint64(bins.countOf(i))), shareText(bins, i)});
        out.numberRow(row++);
    }
    ++row;
    out.writeRow(row, {QStringLiteral("Rows"), QString(), QString(), QString::number(qint64(bins.rows()))});
    out.numberRow(row);
    out.boldRow(row++);
    out.writeRow(row, {QStringLiteral("Plan"), planText(bins)});
}

ReportPainter::Appendix appendix(const BinSorter &bins)
{
    ReportPainter::Appendix a;
    a.pages = 1;
    auto snapshot = std::make_shared<BinSorter>(bins);
    a.paint = [snapshot](QPainter &p, int, const QPointF &origin) {
        const BinSorter &b = *snapshot;
        const BinPlan &plan = b.plan();
        ReportPainter::setPageTransform(p, origin);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Qt::black, ReportPainter::ThinPen));
        p.setFont(ReportPainter::largeFont());
        text(p, 100, -100, QStringLiteral("Bins"), Qt::AlignHCenter, 1800);
        p.setFont(ReportPainter::smallFont());
        text(p, 100, -230, QStringLiteral("Rows: %1   %2").arg(b.rows()).arg(planText(b)), Qt::AlignLeft, 1800);

        static const char *const heads[] = {"Bin", "Low", "High", "Count", "Share"};
        static const int widths[] = {250, 400, 400, 300, 300};
        QFont cells = ReportPainter::smallFont();
        cells.setPixelSize(32);
        p.setFont(cells);
        const double top = -350;
        double x = 100;
        QVector<double> xs;
        for (int w : widths) {
            xs << x;
            x += w;
        }
        const int count = plan.out() + 1;
        for (int i = 0; i < 5; ++i)
            text(p, xs[i], top, QString::fromLatin1(heads[i]), Qt::AlignHCenter, widths[i]);
        for (int r = 0; r < count; ++r) {
            const bool bin = r < plan.binCount();
            const std::optional<double> share = b.share(r);
            const QStringList row = {plan.name(r), bin ? number(plan.low(r)) : QString(), bin ? number(plan.high(r)) : QString(),
                                     QString::number(qint64(b.countOf(r))),
                                     share ? QString::number(*share * 100, 'f', 2) + QLatin1Char('%') : QString()};
            for (int i = 0; i < 5; ++i)
                text(p, xs[i], top - 75 * (r + 1), row[i], Qt::AlignHCenter, widths[i]);
        }
        const double bottom = top - 75 * (count + 1);
        for (int r = 0; r <= count + 1; ++r)
            p.drawLine(QPointF(100, top - 75 * r), QPointF(x, top - 75 * r));
        for (double vx : xs)
            p.drawLine(QPointF(vx, top), QPointF(vx, bottom));
        p.drawLine(QPointF(x, top), QPointF(x, bottom));
        text(p, 100, bottom - 40, QStringLiteral("Low and high in base units (F, H, ohm, S, degrees; D and Q plain); bounds inclusive."),
             Qt::AlignLeft, 1800);

        // The shares as bars under the table.
        const double barsTop = bottom - 180, barsHeight = 700, slot = 1650.0 / count;
        qint64 most = 1;
        for (int r = 0; r < count; ++r)
            most = std::max<qint64>(most, b.countOf(r));
        p.drawLine(QPointF(100, barsTop - barsHeight), QPointF(1750, barsTop - barsHeight));
        for (int r = 0; r < count; ++r) {
            const double h = double(b.countOf(r)) / double(most) * (barsHeight - 80);
            const QRectF bar(100 + r * slot + slot * 0.2, barsTop - barsHeight, slot * 0.6, h);
            p.fillRect(bar, QColor(150, 150, 150));
            p.drawRect(bar);
            text(p, 100 + r * slot, barsTop - barsHeight - 20, plan.name(r), Qt::AlignHCenter, slot);
        }
    };
    return a;
}

ReportPainter::Appendix chain(const ReportPainter::Appendix &a, const ReportPainter::Appendix &b)
{
    if (a.pages <= 0)
        return b;
    if (b.pages <= 0)
        return a;
    ReportPainter::Appendix c;
    c.pages = a.pages + b.pages;
    c.paint = [a, b](QPainter &p, int index, const QPointF &origin) {
        if (index < a.pages)
            a.paint(p, index, origin);
        else
            b.paint(p, index - a.pages, origin);
    };
    return c;
}

} // namespace BinOutputs
