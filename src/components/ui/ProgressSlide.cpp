#include "components/ui/ProgressSlide.h"

#include <QPainter>

#include <cmath>

namespace {
const QColor FillColor(30, 110, 220);
const QColor TroughColor(235, 235, 235);
constexpr int Ticks = 10;

QString scaleLabel(double v)
{
    return QString::number(v, 'g', 6);
}
}

ProgressSlide::ProgressSlide(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

ProgressSlide::ProgressSlide(const QString &caption, QWidget *parent) : ProgressSlide(parent)
{
    m_caption = caption;
}

void ProgressSlide::setValue(double value)
{
    m_value = value;
    update();
}

void ProgressSlide::setMinimum(double minimum)
{
    m_minimum = minimum;
    update();
}

void ProgressSlide::setMaximum(double maximum)
{
    m_maximum = maximum;
    update();
}

void ProgressSlide::setScale(double minimum, double maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
    update();
}

void ProgressSlide::setCaption(const QString &caption)
{
    m_caption = caption;
    updateGeometry();
    update();
}

double ProgressSlide::fillFraction() const
{
    const double span = m_maximum - m_minimum;
    if (!(span > 0.0) || !std::isfinite(span) || std::isnan(m_value))
        return 0.0;
    return qBound(0.0, (m_value - m_minimum) / span, 1.0);
}

QFont ProgressSlide::smallFont() const
{
    QFont f = font();
    if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() * 0.8);
    else
        f.setPixelSize(qMax(8, f.pixelSize() * 4 / 5));
    return f;
}

QRect ProgressSlide::barRect() const
{
    const QFontMetrics fm(font());
    const int top = m_caption.isEmpty() ? 2 : fm.height() + 2;
    const int margin = QFontMetrics(smallFont()).horizontalAdvance(QLatin1Char('0')) * 2;
    return QRect(margin, top, qMax(1, width() - 2 * margin), qMax(8, fm.height()));
}

QSize ProgressSlide::sizeHint() const
{
    const QFontMetrics fm(font());
    const int captionWidth = fm.horizontalAdvance(m_caption);
    const int h = (m_caption.isEmpty() ? 2 : fm.height() + 2) + fm.height() + 4
        + QFontMetrics(smallFont()).height() + 2;
    return QSize(qMax(captionWidth + 8, fm.horizontalAdvance(QLatin1Char('0')) * 16), h);
}

QSize ProgressSlide::minimumSizeHint() const
{
    const QSize s = sizeHint();
    return QSize(s.width() / 2, s.height());
}

void ProgressSlide::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
    const QColor text = palette().color(group, QPalette::WindowText);

    if (!m_caption.isEmpty()) {
        p.setPen(text);
        p.drawText(QRect(0, 0, width(), QFontMetrics(font()).height()), Qt::AlignHCenter | Qt::AlignTop, m_caption);
    }

    const QRect bar = barRect();
    p.setPen(QPen(QColor(110, 110, 110), 1));
    p.setBrush(TroughColor);
    p.drawRect(bar.adjusted(0, 0, -1, -1));
    const int filled = int(std::lround(fillFraction() * (bar.width() - 2)));
    if (filled > 0)
        p.fillRect(QRect(bar.left() + 1, bar.top() + 1, filled, bar.height() - 2), isEnabled() ? FillColor : text);

    // Ticks under the bar; labels at both ends and in the middle.
    const QFont small = smallFont();
    p.setFont(small);
    const QFontMetrics sfm(small);
    p.setPen(text);
    const int tickTop = bar.bottom() + 1;
    for (int i = 0; i <= Ticks; ++i) {
        const int x = bar.left() + int(std::lround(double(bar.width() - 1) * i / Ticks));
        const int len = (i % (Ticks / 2) == 0) ? 4 : 2;
        p.drawLine(x, tickTop, x, tickTop + len);
    }
    const int labelTop = tickTop + 4;
    const double mid = (m_minimum + m_maximum) / 2.0;
    const struct { double v; double at; } labels[] = {{m_minimum, 0.0}, {mid, 0.5}, {m_maximum, 1.0}};
    for (const auto &l : labels) {
        const QString s = scaleLabel(l.v);
        const int w = sfm.horizontalAdvance(s);
        const int cx = bar.left() + int(std::lround((bar.width() - 1) * l.at));
        const int x = qBound(0, cx - w / 2, qMax(0, width() - w));
        p.drawText(QRect(x, labelTop, w, sfm.height()), Qt::AlignLeft | Qt::AlignTop, s);
    }
}
