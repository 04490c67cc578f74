#include "components/ui/Lamp.h"

#include <QPainter>

namespace {
const QColor OnColor(40, 220, 70);
const QColor OffColor(20, 80, 30);
const QColor RimColor(70, 70, 70);

// Off is the lamp's own green behind dark glass: the same hue with its light
// gone, so at a glance it reads as out, not as a darker "on".
QColor unlit()
{
    return OffColor.darker(260);
}
}

Lamp::Lamp(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

Lamp::Lamp(const QString &caption, QWidget *parent) : Lamp(parent)
{
    m_caption = caption;
}

void Lamp::setValue(bool on)
{
    if (on == m_on)
        return;
    m_on = on;
    update();
}

void Lamp::setCaption(const QString &caption)
{
    m_caption = caption;
    updateGeometry();
    update();
}

int Lamp::squareSide() const
{
    return fontMetrics().height();
}

QSize Lamp::sizeHint() const
{
    const int side = squareSide();
    int w = side + 2;
    if (!m_caption.isEmpty())
        w += side / 2 + fontMetrics().horizontalAdvance(m_caption);
    return QSize(w, side + 2);
}

void Lamp::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int side = qMin(squareSide(), height() - 2);
    const QRectF square(1.5, (height() - side) / 2.0 + 0.5, side - 1, side - 1);

    const QColor fill = isEnabled() ? (m_on ? OnColor : unlit()) : palette().color(QPalette::Disabled, QPalette::Button);
    p.setPen(QPen(RimColor, 1));
    p.setBrush(fill);
    p.drawRect(square);
    if (m_on && isEnabled()) {
        // Lit: a glow along the inside of the rim and a small highlight, so
        // "on" reads as shining, not just as a lighter green.
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(OnColor.lighter(140), 1));
        p.drawRect(square.adjusted(1, 1, -1, -1));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 110));
        p.drawRect(square.adjusted(2, 2, -square.width() / 2, -square.height() / 2));
    }

    if (!m_caption.isEmpty()) {
        p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        const QRect text(int(square.right()) + side / 2, 0, width() - int(square.right()) - side / 2, height());
        p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, m_caption);
    }
}
