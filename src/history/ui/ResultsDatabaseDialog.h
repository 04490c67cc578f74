#pragma once

#include "history/HistoryTarget.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Results > Results Database: where the rows of runs and sweeps go, as a
// URL (a file path, sqlite:PATH or postgresql://user@host:port/dbname);
// empty means the default file. OK is refused with a sentence while the
// URL cannot be read.
class ResultsDatabaseDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ResultsDatabaseDialog(QWidget *parent = nullptr);

    void setUrl(const QString &url);
    QString url() const;
    // The chosen target (the default file for an empty URL).
    HistoryTarget target() const { return m_target; }

    QLineEdit *urlEdit() const { return m_url; }
    QPushButton *okButton() const { return m_ok; }
    QLabel *problemLabel() const { return m_problem; }

    void accept() override;

private:
    QLineEdit *m_url;
    QLabel *m_problem;
    QPushButton *m_ok;
    HistoryTarget m_target;
};
