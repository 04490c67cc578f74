#pragma once

#include <QWidget>

// A horizontal fill gauge with a tick scale: shows a double value between a
// settable minimum and maximum. The value reads back exactly as set, even
// outside the scale; only the drawing is clamped.
class ProgressSlide : public QWidget
{
    Q_OBJECT
public:
    explicit ProgressSlide(QWidget *parent = nullptr);
    explicit ProgressSlide(const QString &caption, QWidget *parent = nullptr);

    double value() const { return m_value; }
    void setValue(double value);

    double minimum() const { return m_minimum; }
    double maximum() const { return m_maximum; }
    void setMinimum(double minimum);
    void setMaximum(double maximum);
    void setScale(double minimum, double maximum);

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);

    // Share of the bar that is filled, 0..1 (0 when the scale is empty or reversed).
    double fillFraction() const;
    // The bar's rectangle inside the widget, for painting and tests.
    QRect barRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QFont smallFont() const;

    QString m_caption;
    double m_value = 0.0;
    double m_minimum = 0.0;
    double m_maximum = 100.0;
};
