#include "reports/ui/PrintGraphDialog.h"

#include "reports/GraphPrint.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QLabel *pictureLabel(const QString &resource, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setPixmap(QIcon(resource).pixmap(32, 32));
    l->setFixedSize(36, 36);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

} // namespace

PrintGraphDialog::PrintGraphDialog(QWidget *parent) : QDialog(parent), m_description(GraphPrint::defaultDescription())
{
    setWindowTitle(QStringLiteral("Dialog"));
    setModal(true);

    auto *direction = new QGroupBox(QStringLiteral("Print direction"), this);
    m_uprightPicture = pictureLabel(QStringLiteral(":/qel/pictures/print-vertical.svg"), direction);
    m_uprightPicture->setObjectName(QStringLiteral("picture1074"));
    m_sidewaysPicture = pictureLabel(QStringLiteral(":/qel/pictures/print-level.svg"), direction);
    m_sidewaysPicture->setObjectName(QStringLiteral("picture1075"));
    m_vertical = new QRadioButton(QStringLiteral("Vertical"), direction);
    m_vertical->setObjectName(QStringLiteral("radio1071"));
    m_level = new QRadioButton(QStringLiteral("Level"), direction);
    m_level->setObjectName(QStringLiteral("radio1072"));
    auto *dirGrid = new QGridLayout(direction);
    // Both pictures share one place; only one is shown at a time.
    dirGrid->addWidget(m_uprightPicture, 0, 0, 2, 1, Qt::AlignCenter);
    dirGrid->addWidget(m_sidewaysPicture, 0, 0, 2, 1, Qt::AlignCenter);
    dirGrid->addWidget(m_vertical, 0, 1);
    dirGrid->addWidget(m_level, 1, 1);

    auto *descBox = new QGroupBox(QStringLiteral("Description"), this);
    m_edit = new QPlainTextEdit(descBox);
    m_edit->setObjectName(QStringLiteral("edit1073"));
    m_edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_edit->setTabChangesFocus(true);
    m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto *descLayout = new QVBoxLayout(descBox);
    descLayout->addWidget(m_edit);

    auto *print = new QPushButton(QStringLiteral("Print"), this);
    print->setObjectName(QStringLiteral("printButton"));
    print->setDefault(true);
    // Enter in the description starts a new line instead of printing.
    print->setAutoDefault(false);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(print);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto *row = new QHBoxLayout(this);
    row->addWidget(direction);
    row->addWidget(descBox, 1);
    row->addLayout(buttons);
    resize(560, 130);

    connect(m_vertical, &QRadioButton::clicked, this, &PrintGraphDialog::chooseVertical);
    connect(m_level, &QRadioButton::clicked, this, &PrintGraphDialog::chooseLevel);
    connect(print, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    chooseVertical();
}

void PrintGraphDialog::chooseVertical()
{
    m_vertical->setChecked(true);
    m_uprightPicture->show();
    m_sidewaysPicture->hide();
    m_orientation = Vertical;
}

void PrintGraphDialog::chooseLevel()
{
    m_level->setChecked(true);
    m_uprightPicture->hide();
    m_sidewaysPicture->show();
    m_orientation = Level;
}

void PrintGraphDialog::setVisible(bool visible)
{
    if (visible && !isVisible()) {
        // The edit works with plain line feeds; the stored text keeps CR LF.
        QString shown = m_description;
        shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        m_edit->setPlainText(shown);
        chooseVertical();
    }
    QDialog::setVisible(visible);
}

void PrintGraphDialog::accept()
{
    QString text = m_edit->toPlainText();
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    m_description = text;
    QDialog::accept();
}
