#include "recording/ui/OperatorWindow.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

namespace {

const char *const NameKey = "Operator/Name";
const char *const LotKey = "Operator/Lot";

} // namespace

OperatorWindow::OperatorWindow(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("Operator and Lot"));
    setObjectName(QStringLiteral("operatorWindow"));
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("operatorName"));
    m_lot = new QLineEdit(this);
    m_lot->setObjectName(QStringLiteral("operatorLot"));
    m_state = new QLabel(this);
    m_state->setWordWrap(true);
    auto *form = new QFormLayout;
    form->addRow(tr("&Operator:"), m_name);
    form->addRow(tr("&Lot:"), m_lot);
    auto *buttons = new QDialogButtonBox(this);
    m_signIn = buttons->addButton(tr("Sign &In"), QDialogButtonBox::AcceptRole);
    m_signOut = buttons->addButton(tr("Sign &Out"), QDialogButtonBox::ResetRole);
    buttons->addButton(QDialogButtonBox::Close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_state);
    layout->addWidget(buttons);

    m_name->setText(signedInName());
    m_lot->setText(signedInLot());
    connect(m_name, &QLineEdit::textChanged, this, &OperatorWindow::showState);
    connect(m_signIn, &QPushButton::clicked, this, [this] {
        signIn(m_name->text().trimmed(), m_lot->text().trimmed());
        showState();
        emit signedInChanged();
        accept();
    });
    connect(m_signOut, &QPushButton::clicked, this, [this] {
        signOut();
        m_name->clear();
        m_lot->clear();
        showState();
        emit signedInChanged();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    showState();
}

QString OperatorWindow::signedInName()
{
    return QSettings().value(QLatin1String(NameKey)).toString();
}

QString OperatorWindow::signedInLot()
{
    return QSettings().value(QLatin1String(LotKey)).toString();
}

void OperatorWindow::signIn(const QString &name, const QString &lot)
{
    QSettings settings;
    settings.setValue(QLatin1String(NameKey), name);
    settings.setValue(QLatin1String(LotKey), lot);
}

void OperatorWindow::signOut()
{
    QSettings settings;
    settings.remove(QLatin1String(NameKey));
    settings.remove(QLatin1String(LotKey));
}

void OperatorWindow::showState()
{
    const QString name = signedInName();
    m_signIn->setEnabled(!m_name->text().trimmed().isEmpty());
    m_signOut->setEnabled(!name.isEmpty());
    m_state->setText(name.isEmpty()
            ? tr("Nobody is signed in: runs record the login name and the report description's lot.")
            : tr("%1 is signed in for lot \"%2\": runs record them.").arg(name, signedInLot()));
}

PartSerialDialog::PartSerialDialog(int pass, const QString &lot, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("Part Serial Number"));
    setObjectName(QStringLiteral("partSerialDialog"));
    auto *label = new QLabel(lot.isEmpty() ? tr("Serial number of part %1 (type or scan it):").arg(pass + 1)
                                           : tr("Serial number of part %1 of lot \"%2\" (type or scan it):").arg(pass + 1).arg(lot),
        this);
    m_serial = new QLineEdit(this);
    m_serial->setObjectName(QStringLiteral("partSerial"));
    QFont big = m_serial->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    m_serial->setFont(big);
    auto *buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(tr("&Measure"), QDialogButtonBox::AcceptRole);
    m_ok->setDefault(true);
    buttons->addButton(tr("&Stop Run"), QDialogButtonBox::RejectRole);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_serial);
    layout->addWidget(buttons);
    m_ok->setEnabled(false);
    connect(m_serial, &QLineEdit::textChanged, this, [this] { m_ok->setEnabled(!serial().isEmpty()); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (!serial().isEmpty())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_serial->setFocus();
}

QString PartSerialDialog::serial() const
{
    return m_serial->text().trimmed();
}
