#include "components/ui/PictureButton.h"

#include <QFile>
#include <QIcon>

PictureButton::PictureButton(QWidget *parent) : QPushButton(parent)
{
    setIconSize(QSize(24, 24));
}

PictureButton::PictureButton(const QString &caption, const QString &picture, QWidget *parent)
    : PictureButton(parent)
{
    setText(caption);
    setPicture(picture);
}

QString PictureButton::picturePath(const QString &name)
{
    return QStringLiteral(":/qel/pictures/%1.svg").arg(name);
}

void PictureButton::setPicture(const QString &name)
{
    m_picture = name;
    const QString path = picturePath(name);
    // QIcon accepts a missing file and paints nothing; say so by having no icon.
    setIcon(!name.isEmpty() && QFile::exists(path) ? QIcon(path) : QIcon());
}
