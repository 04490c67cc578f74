#pragma once

#include <QWidget>

// A square two-state indicator with its caption to the right.
class Lamp : public QWidget
{
    Q_OBJECT
public:
    explicit Lamp(QWidget *parent = nullptr);
    explicit Lamp(const QString &caption, QWidget *parent = nullptr);

    bool value() const { return m_on; }
    void setValue(bool on);

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int squareSide() const;

    QString m_caption;
    bool m_on = false;
};
