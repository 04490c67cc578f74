#include "meter/ui/CommunicationDialog.h"

#include "common/Prompter.h"
#include "meter/InstrumentLink.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QVBoxLayout>

namespace {
const QString kByNumber = QStringLiteral("By port number");
const QString kAutomatic = QStringLiteral("Automatic");
}

CommunicationDialog::CommunicationDialog(Prompter *prompter, QWidget *parent) : QDialog(parent), m_prompter(prompter)
{
    setWindowTitle(QStringLiteral("Communication Setup"));
    setMinimumWidth(340);

    m_port = new QLineEdit(this);
    m_port->setObjectName(QStringLiteral("portEdit"));
    m_settingsText = new QLineEdit(this);
    m_settingsText->setObjectName(QStringLiteral("settingsEdit"));
    m_device = new QComboBox(this);
    m_device->setObjectName(QStringLiteral("deviceBox"));
    m_device->setEditable(true);
    m_device->setInsertPolicy(QComboBox::NoInsert);
    m_device->setToolTip(QStringLiteral("Pick a detected serial device or type a device path "
                                        "(for example the simulated meter's /dev/pts/N), tcp://HOST:PORT "
                                        "for a meter on the network or /dev/usbtmcN for one on USB."));
    m_meter = new QComboBox(this);
    m_meter->setObjectName(QStringLiteral("meterBox"));
    m_meter->setToolTip(QStringLiteral("The meter's command set (docs/meter-profiles.md); Automatic asks the "
                                       "meter who it is."));
    setMeters({QStringLiteral("legacy")});
    m_mapping = new QLabel(this);
    m_mapping->setObjectName(QStringLiteral("mappingLabel"));
    m_mapping->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("COM port"), m_port);
    form->addRow(QStringLiteral("Settings"), m_settingsText);
    form->addRow(QStringLiteral("Device"), m_device);
    form->addRow(QString(), m_mapping);
    form->addRow(QStringLiteral("Meter"), m_meter);

    m_ok = new QPushButton(QStringLiteral("Connecting && Exit"), this);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &CommunicationDialog::accept);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(m_port, &QLineEdit::textChanged, this, &CommunicationDialog::updateMapping);
    connect(m_device, &QComboBox::currentTextChanged, this, &CommunicationDialog::updateMapping);
    refreshDevices();
    loadFields();
}

void CommunicationDialog::setMeters(const QStringList &names)
{
    const QString keep = m_meter->currentData().toString();
    m_meter->clear();
    for (const QString &name : names)
        m_meter->addItem(name, name);
    m_meter->addItem(kAutomatic, QStringLiteral("auto"));
    const int index = m_meter->findData(keep.isEmpty() ? m_settings.meterProfile : keep);
    m_meter->setCurrentIndex(index >= 0 ? index : 0);
}

void CommunicationDialog::setSettings(const LinkSettings &settings)
{
    m_settings = settings;
    loadFields();
}

int CommunicationDialog::exec()
{
    refreshDevices();
    loadFields();
    m_port->setFocus();
    m_port->selectAll();
    return QDialog::exec();
}

void CommunicationDialog::refreshDevices()
{
    const QString keep = chosenDevice();
    m_device->blockSignals(true);
    m_device->clear();
    m_device->addItem(kByNumber, QString());
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        QString label = info.systemLocation();
        const QString about = info.description().isEmpty() ? info.manufacturer() : info.description();
        if (!about.isEmpty())
            label += QStringLiteral(" (%1)").arg(about);
        if (!info.serialNumber().isEmpty())
            label += QStringLiteral(" #%1").arg(info.serialNumber());
        m_device->addItem(label, info.systemLocation());
    }
    m_device->blockSignals(false);
    if (!keep.isEmpty())
        m_device->setEditText(keep);
}

void CommunicationDialog::loadFields()
{
    m_port->setText(QString::number(m_settings.portNumber));
    m_settingsText->setText(m_settings.settingsText);
    const QString path = m_settings.devicePath.trimmed();
    const int index = path.isEmpty() ? 0 : m_device->findData(path);
    if (index >= 0)
        m_device->setCurrentIndex(index);
    else
        m_device->setEditText(path);
    const int meter = m_meter->findData(m_settings.meterProfile);
    m_meter->setCurrentIndex(meter >= 0 ? meter : 0);
    updateMapping();
}

QString CommunicationDialog::chosenDevice() const
{
    const QString text = m_device->currentText().trimmed();
    const int index = m_device->findText(text);
    if (index >= 0)
        return m_device->itemData(index).toString();
    return text;
}

QString CommunicationDialog::currentMapping() const
{
    const QString device = chosenDevice();
    if (!device.isEmpty())
        return QStringLiteral("Opens %1 (the port number is not used)").arg(device);
    bool ok = false;
    const short n = m_port->text().trimmed().toShort(&ok);
    if (!ok)
        return QStringLiteral("The port number must be a whole number");
    LinkSettings s;
    s.portNumber = n;
    const QString path = InstrumentLink::devicePathFor(s);
    if (path.isEmpty())
        return QStringLiteral("Port %1 opens no device: ports are numbered from 1").arg(n);
    return QStringLiteral("Port %1 opens %2").arg(n).arg(path);
}

void CommunicationDialog::updateMapping()
{
    m_mapping->setText(currentMapping());
}

void CommunicationDialog::accept()
{
    bool ok = false;
    const short port = m_port->text().trimmed().toShort(&ok);
    if (!ok) {
        const QString text = QStringLiteral("Please enter an integer.");
        if (m_prompter)
            m_prompter->inform(QStringLiteral("Qel"), text, Prompter::Icon::Warning);
        else
            QMessageBox::warning(this, QStringLiteral("Qel"), text);
        m_port->setFocus();
        m_port->selectAll();
        return;
    }
    m_settings.portNumber = port;
    m_settings.settingsText = m_settingsText->text();
    m_settings.devicePath = chosenDevice();
    m_settings.meterProfile = m_meter->currentData().toString();
    QDialog::accept();
}
