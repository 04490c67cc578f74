#pragma once

#include <QPushButton>

// A push button showing one of our button pictures (":/qel/pictures/<name>.svg")
// beside its caption. Click and enable/disable are the plain QPushButton ones.
class PictureButton : public QPushButton
{
    Q_OBJECT
public:
    explicit PictureButton(QWidget *parent = nullptr);
    PictureButton(const QString &caption, const QString &picture, QWidget *parent = nullptr);

    QString picture() const { return m_picture; }
    // An unknown name leaves the button without a picture.
    void setPicture(const QString &name);

    static QString picturePath(const QString &name);

private:
    QString m_picture;
};
