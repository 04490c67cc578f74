#include "reports/ReportDescription.h"

#include "execution/ResultTableModel.h"

ReportDescription::ReportDescription(QObject *parent) : ReportDescription(QDate::currentDate(), parent)
{
}

ReportDescription::ReportDescription(const QDate &startDate, QObject *parent)
    : QObject(parent), m_texts(defaults(startDate))
{
}

ReportDescription::Texts ReportDescription::defaults(const QDate &startDate)
{
    Texts t;
    t[Title] = QStringLiteral("Quality Inspection Report");
    t[Company] = QStringLiteral("Tarvolis");
    t[Customer] = QStringLiteral("Tarvolis");
    t[Instrument] = QStringLiteral("ZR-4410");
    t[Date] = dateText(startDate);
    t[PartNo] = QStringLiteral("0");
    t[LotNo] = QStringLiteral("0");
    t[Quantity] = QStringLiteral("0");
    t[Sampling] = QStringLiteral("0");
    // Remark stays empty.
    return t;
}

QString ReportDescription::dateText(const QDate &date)
{
    if (!date.isValid())
        return QStringLiteral("0/0/0");
    return QStringLiteral("%1/%2/%3").arg(date.year()).arg(date.month()).arg(date.day());
}

void ReportDescription::setText(Field field, const QString &text)
{
    if (field < 0 || field >= FieldCount || m_texts[field] == text)
        return;
    m_texts[field] = text;
    emit textChanged(field, text);
}

void ReportDescription::setTexts(const Texts &texts)
{
    for (int f = 0; f < FieldCount; ++f)
        setText(Field(f), texts[f]);
}

void ReportDescription::setSampling(int rowCount)
{
    setText(Sampling, QString::number(rowCount));
}

void ReportDescription::followResultTable(const ResultTableModel *table)
{
    disconnect(m_following);
    m_following = {};
    if (!table)
        return;
    m_following = connect(table, &QAbstractItemModel::rowsInserted, this,
                          [this, table] { setSampling(table->rowCount()); });
}
