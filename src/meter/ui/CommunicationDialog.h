#pragma once

#include "meter/LinkSettings.h"

#include <QDialog>

class Prompter;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Communication Setup": the port number, the settings text and, beyond the
// number, any detected serial device or a typed device path. Holds the link
// settings between uses; OK ("Connecting & Exit") stores them, Escape and the
// close box leave them as they were.
class CommunicationDialog : public QDialog
{
    Q_OBJECT
public:
    // prompter: where the refusal of a bad port number goes; null shows a
    // message box.
    explicit CommunicationDialog(Prompter *prompter = nullptr, QWidget *parent = nullptr);

    LinkSettings settings() const { return m_settings; }
    // Takes the settings and shows them in the fields.
    void setSettings(const LinkSettings &settings);

    // Shows the stored settings, lists the serial devices found now, then runs.
    int exec() override;
    void accept() override;

    // What the fields as they stand would open ("Port 1 opens /dev/ttyS0").
    QString mappingText() const { return currentMapping(); }

    QLineEdit *portEdit() const { return m_port; }
    QLineEdit *settingsEdit() const { return m_settingsText; }
    QComboBox *deviceBox() const { return m_device; }
    QComboBox *meterBox() const { return m_meter; }
    // The profiles offered in "Meter" besides "Automatic" (legacy first).
    void setMeters(const QStringList &names);
    QPushButton *okButton() const { return m_ok; }

private:
    void loadFields();
    void refreshDevices();
    void updateMapping();
    QString chosenDevice() const;
    QString currentMapping() const;

    Prompter *m_prompter;
    LinkSettings m_settings;
    QLineEdit *m_port;
    QLineEdit *m_settingsText;
    QComboBox *m_device;
    QComboBox *m_meter;
    QLabel *m_mapping;
    QPushButton *m_ok;
};
