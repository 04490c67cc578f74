#include "reports/ui/ReportDescriptionDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

ReportDescriptionDialog::ReportDescriptionDialog(ReportDescription *description, QWidget *parent)
    : QDialog(parent), m_description(description)
{
    setWindowTitle(QStringLiteral("Report Desription Setup"));
    setModal(true);

    using RD = ReportDescription;
    auto *grid = new QGridLayout(this);
    struct Place
    {
        RD::Field field;
        const char *label;
        int row, column, span;
        const char *name;
    };
    // Two columns of label + edit, Title and Remark across both.
    static const Place places[] = {
        {RD::Title, "Title", 0, 0, 3, "edit1034"},       {RD::Company, "Company", 1, 0, 1, "edit1035"},
        {RD::Customer, "Customer", 1, 2, 1, "edit1036"}, {RD::Instrument, "Instrument", 2, 0, 1, "edit1037"},
        {RD::Date, "Date", 2, 2, 1, "edit1038"},         {RD::PartNo, "Part No", 3, 0, 1, "edit1039"},
        {RD::LotNo, "Lot No", 3, 2, 1, "edit1040"},      {RD::Quantity, "Quantity", 4, 0, 1, "edit1042"},
        {RD::Sampling, "Sampling", 4, 2, 1, "edit1043"}, {RD::Remark, "Remark", 5, 0, 3, "edit1041"},
    };
    for (const Place &p : places) {
        auto *label = new QLabel(QLatin1String(p.label), this);
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(p.name));
        label->setBuddy(edit);
        grid->addWidget(label, p.row, p.column);
        grid->addWidget(edit, p.row, p.column + 1, 1, p.span);
        m_edits[p.field] = edit;
    }
    m_edits[RD::Sampling]->setReadOnly(true);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    grid->addWidget(ok, 0, 4, Qt::AlignTop);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    if (m_description) {
        connect(m_description, &ReportDescription::textChanged, this,
                [this](ReportDescription::Field field, const QString &text) {
                    if (field == ReportDescription::Sampling)
                        m_edits[field]->setText(text);
                });
    }
    loadFields();
}

void ReportDescriptionDialog::loadFields()
{
    if (!m_description)
        return;
    for (int f = 0; f < ReportDescription::FieldCount; ++f)
        m_edits[f]->setText(m_description->text(ReportDescription::Field(f)));
}

void ReportDescriptionDialog::setVisible(bool visible)
{
    // Every opening starts from the stored texts, whatever was typed before.
    if (visible && !isVisible())
        loadFields();
    QDialog::setVisible(visible);
}

void ReportDescriptionDialog::accept()
{
    if (m_description) {
        ReportDescription::Texts texts;
        for (int f = 0; f < ReportDescription::FieldCount; ++f)
            texts[f] = m_edits[f]->text();
        m_description->setTexts(texts);
    }
    QDialog::accept();
}
