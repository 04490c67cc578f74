#pragma once

#include "reports/ReportDescription.h"

#include <QDialog>

#include <array>

class QLineEdit;

// "Report Desription Setup": edits the report header texts. The edits show
// the current texts whenever the dialog opens; only OK stores them, every
// other way of closing discards the edits. Sampling is read-only and follows
// the result table even while the dialog is open.
class ReportDescriptionDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ReportDescriptionDialog(ReportDescription *description, QWidget *parent = nullptr);

    ReportDescription *description() const { return m_description; }
    QLineEdit *edit(ReportDescription::Field field) const { return m_edits[field]; }

    void setVisible(bool visible) override;
    void accept() override;

private:
    void loadFields();

    ReportDescription *m_description;
    std::array<QLineEdit *, ReportDescription::FieldCount> m_edits{};
};
