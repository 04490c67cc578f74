#include "app/ui/AboutDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Qel"));
    auto *icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/qel/icons/qel.svg")).pixmap(48, 48));
    auto *text = new QLabel(this);
    text->setObjectName(QStringLiteral("aboutText"));
    text->setText(QStringLiteral("<b>Qel</b> Version %1<br>"
                                 "Controls a bench impedance (LCR) meter over a serial line:<br>"
                                 "test procedures, pass/fail results, frequency and voltage sweeps.")
                      .arg(QStringLiteral(QEL_VERSION)));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto *row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(text, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
}
