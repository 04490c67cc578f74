#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

// Who tests which lot: Results > Operator and Lot. Signing in keeps the
// name and lot (in the settings, through restarts) until Sign Out; while
// someone is signed in, runs and sweeps record them instead of the login
// name and the report description's lot.
class OperatorWindow : public QDialog
{
    Q_OBJECT
public:
    explicit OperatorWindow(QWidget *parent = nullptr);

    // The signed-in operator and lot; an empty name: nobody is signed in.
    static QString signedInName();
    static QString signedInLot();
    static void signIn(const QString &name, const QString &lot);
    static void signOut();

    QLineEdit *nameEdit() const { return m_name; }
    QLineEdit *lotEdit() const { return m_lot; }
    QPushButton *signInButton() const { return m_signIn; }
    QPushButton *signOutButton() const { return m_signOut; }
    QLabel *stateLabel() const { return m_state; }

signals:
    void signedInChanged();

private:
    void showState();

    QLineEdit *m_name;
    QLineEdit *m_lot;
    QPushButton *m_signIn;
    QPushButton *m_signOut;
    QLabel *m_state;
};

// Asks for the serial number of the part measured next: a focused entry a
// barcode scanner types into (its Enter confirms); Stop Run ends the run.
class PartSerialDialog : public QDialog
{
    Q_OBJECT
public:
    PartSerialDialog(int pass, const QString &lot, QWidget *parent = nullptr);
    QString serial() const;
    QLineEdit *serialEdit() const { return m_serial; }
    QPushButton *okButton() const { return m_ok; }

private:
    QLineEdit *m_serial;
    QPushButton *m_ok;
};
