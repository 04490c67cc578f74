#include "statistics/ui/HistogramView.h"

#include "common/AxisTicks.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

HistogramView::HistogramView(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(320, 180);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

void HistogramView::setData(std::vector<double> values, const Marks &marks, const QString &unit, const QString &title)
{
    m_histogram = Histogram::of(values);
    m_marks = marks;
    m_unit = unit;
    m_title = title;
    m_message = m_histogram.counts.isEmpty() ? QStringLiteral("No readings with a number in this column.") : QString();
    update();
}

void HistogramView::clear(const QString &message)
{
    m_histogram = Histogram();
    m_message = message;
    update();
}

QString HistogramView::baseUnit(const QString &unit)
{
    // "nF" -> "F", "KO" -> "O"; Q and D are plain numbers.
    if (unit == QLatin1String("Q") || unit == QLatin1String("D"))
        return QString();
    if (unit.size() > 1 && QStringLiteral("pnumKM").contains(unit.front()))
        return unit.mid(1);
    return unit;
}

AxisTicks::Scale HistogramView::valueScale() const
{
    const Histogram &h = m_histogram;
    // The range shows the data and every mark, on whole ticks.
    double lo = h.start;
    double hi = h.width > 0 ? h.start + h.width * double(h.counts.size()) : h.start;
    for (const auto &m : {m_marks.low, m_marks.high, m_marks.standard}) {
        if (m) {
            lo = std::min(lo, *m);
            hi = std::max(hi, *m);
        }
    }
    return AxisTicks::linear(lo, hi, baseUnit(m_unit), 6);
}

void HistogramView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QFontMetrics fm(font());
    if (!m_message.isEmpty() || m_histogram.counts.isEmpty()) {
        p.setPen(Qt::darkGray);
        p.drawText(rect(), Qt::AlignCenter, m_message);
        return;
    }
    const Histogram &h = m_histogram;
    const int bins = int(h.counts.size());
    const QString unit = baseUnit(m_unit);
    const AxisTicks::Scale xs = valueScale();
    const double lo = xs.lo, hi = xs.hi;

    const int maxCount = *std::max_element(h.counts.begin(), h.counts.end());
    // Counts tick on whole numbers: 1, 2 or 5 times a power of ten.
    const AxisTicks::Scale ys = AxisTicks::linear(0, std::max(maxCount, 5), QString(), 6);
    int countLabelWidth = 0;
    for (const QString &l : ys.labels)
        countLabelWidth = std::max(countLabelWidth, fm.horizontalAdvance(l));
    const int line = fm.height();
    const int left = line + countLabelWidth + 14, right = width() - 14;
    auto xOf = [&](double v) { return left + (v - lo) / (hi - lo) * (right - left); };

    // The marks' labels, each on the first row below the axis title where it
    // clears the labels already there.
    struct MarkLabel
    {
        double x;
        QColor colour;
        Qt::PenStyle style;
        QString text;
        QRectF box;
        int row = 0;
    };
    QVector<MarkLabel> marks;
    auto addMark = [&](const std::optional<double> &v, const QColor &colour, Qt::PenStyle style, const QString &name) {
        if (v)
            marks.append({xOf(*v), colour, style, name + QLatin1Char(' ') + AxisTicks::format(*v, unit, 6), {}, 0});
    };
    addMark(m_marks.low, QColor(0xd5, 0x5e, 0x00), Qt::SolidLine, QStringLiteral("Low"));
    addMark(m_marks.high, QColor(0xd5, 0x5e, 0x00), Qt::SolidLine, QStringLiteral("High"));
    addMark(m_marks.standard, QColor(0x00, 0x9e, 0x73), Qt::DashLine, QStringLiteral("Std."));
    int markRows = 0;
    for (int i = 0; i < marks.size(); ++i) {
        const int w = fm.horizontalAdvance(marks[i].text);
        const double x = std::max(0.0, std::min(marks[i].x - w / 2.0, double(width() - w)));
        auto taken = [&](int row) {
            for (int k = 0; k < i; ++k)
                if (marks[k].row == row && marks[k].box.left() < x + w + 6 && x < marks[k].box.right() + 6)
                    return true;
            return false;
        };
        int row = 0;
        while (taken(row))
            ++row;
        marks[i].row = row;
        marks[i].box = QRectF(x, row * line, w, line);
        markRows = std::max(markRows, row + 1);
    }

    // Room: title above; tick labels, the axis title and the marks' labels
    // below; the count's title and labels on the left.
    const QRect plot(QPoint(left, line + 12), QPoint(right, height() - (2 + markRows) * line - 16));
    auto yOf = [&](double c) { return plot.bottom() - c / ys.hi * plot.height(); };

    p.setPen(Qt::black);
    p.drawText(QRect(0, 2, width(), line + 4), Qt::AlignHCenter,
               QStringLiteral("%1: %2 bins (%3)").arg(m_title).arg(bins).arg(h.rule));

    // Grid at the count ticks, then the bars over it.
    p.setPen(QPen(QColor(225, 225, 225), 1));
    for (double c : ys.major)
        p.drawLine(QPointF(plot.left(), yOf(c)), QPointF(plot.right(), yOf(c)));
    p.setPen(QPen(QColor(0x00, 0x4a, 0x75), 1));
    p.setBrush(QColor(0x00, 0x72, 0xb2));
    const double barWidth = h.width > 0 ? h.width : (hi - lo) / 100;
    for (int b = 0; b < bins; ++b) {
        const double x0 = xOf(h.start + b * h.width - (h.width > 0 ? 0 : barWidth / 2));
        const double x1 = xOf(h.start + b * h.width + (h.width > 0 ? h.width : barWidth / 2));
        p.drawRect(QRectF(QPointF(x0, yOf(h.counts[b])), QPointF(x1, plot.bottom())));
    }

    // Axes, their ticks in engineering notation with the unit, and titles.
    p.setBrush(Qt::NoBrush);
    p.setPen(Qt::black);
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());
    for (int i = 0; i < ys.major.size(); ++i) {
        const double y = yOf(ys.major[i]);
        p.drawLine(QPointF(plot.left() - 4, y), QPointF(plot.left(), y));
        p.drawText(QRectF(0, y - line / 2.0, plot.left() - 6, line), Qt::AlignRight | Qt::AlignVCenter, ys.labels[i]);
    }
    p.save();
    p.translate(2, plot.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-plot.height() / 2.0, 0, plot.height(), line), Qt::AlignCenter, QStringLiteral("Count"));
    p.restore();
    for (int i = 0; i < xs.major.size(); ++i) {
        const double x = xOf(xs.major[i]);
        p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 4));
        const QString &label = xs.labels[i];
        const int w = fm.horizontalAdvance(label);
        const double left = std::max(0.0, std::min(x - w / 2.0, double(width() - w)));
        p.drawText(QPointF(left, plot.bottom() + 6 + fm.ascent()), label);
    }
    const QString sign = AxisTicks::unitSign(unit);
    p.drawText(QRectF(plot.left(), plot.bottom() + 8 + line, plot.width(), line), Qt::AlignHCenter,
               sign.isEmpty() ? m_title : QStringLiteral("%1 (%2)").arg(m_title, sign));

    // Limits and standard across the plot, labelled below the axis title.
    for (const MarkLabel &m : marks) {
        p.setPen(QPen(m.colour, 2, m.style));
        p.drawLine(QPointF(m.x, plot.top()), QPointF(m.x, plot.bottom()));
        p.drawText(m.box.translated(0, plot.bottom() + 10 + 2 * line), Qt::AlignLeft | Qt::AlignVCenter, m.text);
    }
}
