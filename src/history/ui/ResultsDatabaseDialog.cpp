#include "history/ui/ResultsDatabaseDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

ResultsDatabaseDialog::ResultsDatabaseDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("Results Database"));
    setObjectName(QStringLiteral("resultsDatabaseDialog"));
    auto *layout = new QVBoxLayout(this);
    auto *intro = new QLabel(tr("Every run and sweep is recorded here. Leave the field empty for this bench's own "
                                "database:\n%1\nor give a file, sqlite:PATH, or a PostgreSQL server as "
                                "postgresql://user@host:port/dbname (rows wait on this bench while the server "
                                "cannot be reached).")
                                 .arg(HistoryTarget::defaultPath()),
        this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    m_url = new QLineEdit(this);
    m_url->setObjectName(QStringLiteral("urlEdit"));
    m_url->setPlaceholderText(HistoryTarget::defaultPath());
    m_url->setMinimumWidth(460);
    layout->addWidget(m_url);
    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("problemLabel"));
    m_problem->setStyleSheet(QStringLiteral("color: #b00020"));
    m_problem->setWordWrap(true);
    layout->addWidget(m_problem);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &ResultsDatabaseDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void ResultsDatabaseDialog::setUrl(const QString &url)
{
    m_url->setText(url);
    m_problem->clear();
}

QString ResultsDatabaseDialog::url() const
{
    return m_url->text().trimmed();
}

void ResultsDatabaseDialog::accept()
{
    if (url().isEmpty()) {
        m_target = HistoryTarget::defaultTarget();
    } else {
        QString error;
        m_target = HistoryTarget::parse(url(), &error);
        if (!m_target.isValid()) {
            m_problem->setText(error);
            return;
        }
    }
    QDialog::accept();
}
