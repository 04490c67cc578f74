#include "statistics/ui/HistogramView.h"

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

void HistogramView::setData(std::vector<double> values, const Marks &marks, double toUnit, const QString &unit,
                            const QString &title)
{
    m_histogram = Histogram::of(values);
    m_marks = marks;
    m_toUnit = toUnit;
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
    const double dataLow = h.start;
    const double dataHigh = h.width > 0 ? h.start + h.width * bins : h.start;
    // The range shows the data and every mark, with a little room.
    double lo = dataLow, hi = dataHigh;
    for (const auto &m : {m_marks.low, m_marks.high, m_marks.standard}) {
        if (m) {
            lo = std::min(lo, *m);
            hi = std::max(hi, *m);
        }
    }
    if (hi == lo) {
        const double pad = lo == 0 ? 1 : std::fabs(lo) * 0.01;
        lo -= pad;
        hi += pad;
    }
    const double pad = (hi - lo) * 0.05;
    lo -= pad;
    hi += pad;

    const int maxCount = *std::max_element(h.counts.begin(), h.counts.end());
    const QRect plot = rect().adjusted(fm.horizontalAdvance(QString::number(maxCount)) + 14, fm.height() + 12,
                                       -14, -(2 * fm.height() + 12));
    auto xOf = [&](double v) { return plot.left() + (v - lo) / (hi - lo) * plot.width(); };
    auto yOf = [&](double c) { return plot.bottom() - c / std::max(1, maxCount) * plot.height(); };

    p.setPen(Qt::black);
    p.drawText(QRect(0, 2, width(), fm.height() + 4), Qt::AlignHCenter,
               QStringLiteral("%1: %2 bins (%3)").arg(m_title).arg(bins).arg(h.rule));

    // Bars.
    p.setPen(QPen(QColor(30, 60, 120), 1));
    p.setBrush(QColor(90, 140, 210));
    const double barWidth = h.width > 0 ? h.width : (hi - lo) / 100;
    for (int b = 0; b < bins; ++b) {
        const double x0 = xOf(h.start + b * h.width - (h.width > 0 ? 0 : barWidth / 2));
        const double x1 = xOf(h.start + b * h.width + (h.width > 0 ? h.width : barWidth / 2));
        p.drawRect(QRectF(QPointF(x0, yOf(h.counts[b])), QPointF(x1, plot.bottom())));
    }

    // Axes with a few labels.
    p.setBrush(Qt::NoBrush);
    p.setPen(Qt::black);
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());
    p.drawText(QRect(0, plot.top() - fm.height() / 2, plot.left() - 4, fm.height()), Qt::AlignRight,
               QString::number(maxCount));
    p.drawText(QRect(0, plot.bottom() - fm.height() / 2, plot.left() - 4, fm.height()), Qt::AlignRight,
               QStringLiteral("0"));
    const int ticks = 5;
    for (int i = 0; i <= ticks; ++i) {
        const double v = lo + (hi - lo) * i / ticks;
        const double x = xOf(v);
        p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 4));
        const QString label = QString::number(v * m_toUnit, 'g', 5) + m_unit;
        const int w = fm.horizontalAdvance(label);
        const double left = std::max(0.0, std::min(x - w / 2.0, double(width() - w)));
        p.drawText(QPointF(left, plot.bottom() + 6 + fm.ascent()), label);
    }

    // Limits and standard across the plot, labelled above it.
    auto mark = [&](const std::optional<double> &v, const QColor &colour, Qt::PenStyle style, const QString &name) {
        if (!v)
            return;
        const double x = xOf(*v);
        p.setPen(QPen(colour, 2, style));
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        const QString label = name + QLatin1Char(' ') + QString::number(*v * m_toUnit, 'g', 6) + m_unit;
        const int w = fm.horizontalAdvance(label);
        const double left = std::max(0.0, std::min(x - w / 2.0, double(width() - w)));
        p.drawText(QPointF(left, plot.bottom() + 8 + fm.height() + fm.ascent()), label);
    };
    mark(m_marks.low, QColor(200, 0, 0), Qt::SolidLine, QStringLiteral("Low"));
    mark(m_marks.high, QColor(200, 0, 0), Qt::SolidLine, QStringLiteral("High"));
    mark(m_marks.standard, QColor(0, 140, 0), Qt::DashLine, QStringLiteral("Std."));
}
