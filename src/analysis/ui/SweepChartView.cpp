#include "analysis/ui/SweepChartView.h"

#include "analysis/SweepAnalysis.h"
#include "analysis/ui/SweepChartBuilder.h"

#include <QMouseEvent>
#include <QValueAxis>

#include <cmath>

SweepChartView::SweepChartView(QChart *chart, SweepAnalysis &analysis, QWidget *parent)
    : QChartView(chart, parent), m_analysis(analysis)
{
    setRenderHint(QPainter::Antialiasing);
    setMouseTracking(false);
}

double SweepChartView::pixelOf(double x) const
{
    const QRectF area = chart()->plotArea();
    const QList<QAbstractAxis *> axes = chart()->axes(Qt::Horizontal);
    auto *axis = axes.isEmpty() ? nullptr : qobject_cast<QValueAxis *>(axes[0]);
    if (!axis || axis->max() == axis->min() || (m_logX && !(x > 0)))
        return area.left();
    const double v = m_logX ? std::log10(x) : x;
    return area.left() + area.width() * (v - axis->min()) / (axis->max() - axis->min());
}

double SweepChartView::valueAt(double pixelX) const
{
    const QRectF area = chart()->plotArea();
    const QList<QAbstractAxis *> axes = chart()->axes(Qt::Horizontal);
    auto *axis = axes.isEmpty() ? nullptr : qobject_cast<QValueAxis *>(axes[0]);
    if (!axis || area.width() <= 0)
        return 0;
    const double v = axis->min() + (pixelX - area.left()) / area.width() * (axis->max() - axis->min());
    return m_logX ? std::pow(10.0, v) : v;
}

void SweepChartView::updateMarkerStrip(double x)
{
    const QRectF area = chart()->plotArea();
    const double px = pixelOf(x);
    viewport()->update(QRectF(px - 4, area.top() - 2, 90, area.height() + 4).toAlignedRect());
}

void SweepChartView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !chart()->plotArea().contains(event->position())) {
        QChartView::mousePressEvent(event);
        return;
    }
    const double px = event->position().x();
    for (int i = 0; i < m_analysis.markers().size(); ++i)
        if (std::fabs(pixelOf(m_analysis.markers()[i].x) - px) <= 6) {
            m_dragging = i;
            return;
        }
    emit addRequested(valueAt(px));
}

void SweepChartView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging >= 0)
        emit dragged(m_dragging, valueAt(event->position().x()));
    else
        QChartView::mouseMoveEvent(event);
}

void SweepChartView::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = -1;
    QChartView::mouseReleaseEvent(event);
}

void SweepChartView::drawForeground(QPainter *painter, const QRectF &)
{
    const QRectF area = chart()->plotArea();
    painter->save();
    QFont f = painter->font();
    f.setPixelSize(11);
    painter->setFont(f);
    for (int i = 0; i < m_analysis.markers().size(); ++i) {
        const SweepAnalysis::Marker &m = m_analysis.markers()[i];
        const double x = pixelOf(m.x);
        painter->setPen(QPen(SweepChartStyle::Marker, 1.5, Qt::DashDotDotLine));
        painter->drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        painter->setPen(SweepChartStyle::Marker);
        // Names one under the other, so markers close together stay readable.
        painter->drawText(QPointF(x + 3, area.top() + 12 + 14 * i), m.name);
    }
    painter->restore();
}
