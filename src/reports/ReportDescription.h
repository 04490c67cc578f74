#pragma once

#include <QDate>
#include <QObject>
#include <QString>

#include <array>

class ResultTableModel;

// The ten header texts of the printed test report. They live in memory only:
// every start begins with the defaults and the date of that start.
class ReportDescription : public QObject
{
    Q_OBJECT
public:
    // In the order the dialog exchanges them.
    enum Field { Title = 0, Company, Customer, Instrument, Date, PartNo, LotNo, Quantity, Sampling, Remark, FieldCount };
    using Texts = std::array<QString, FieldCount>;

    // The Date field starts as the local date of construction.
    explicit ReportDescription(QObject *parent = nullptr);
    // For tests and callers that want another start-up date.
    explicit ReportDescription(const QDate &startDate, QObject *parent = nullptr);

    static Texts defaults(const QDate &startDate);
    // "2026/12/6"; "0/0/0" when the date is unknown.
    static QString dateText(const QDate &date);

    const QString &text(Field field) const { return m_texts[field]; }
    const Texts &texts() const { return m_texts; }
    void setText(Field field, const QString &text);
    void setTexts(const Texts &texts);

    const QString &title() const { return m_texts[Title]; }
    const QString &company() const { return m_texts[Company]; }
    const QString &customer() const { return m_texts[Customer]; }
    const QString &instrument() const { return m_texts[Instrument]; }
    const QString &date() const { return m_texts[Date]; }
    const QString &partNo() const { return m_texts[PartNo]; }
    const QString &lotNo() const { return m_texts[LotNo]; }
    const QString &quantity() const { return m_texts[Quantity]; }
    const QString &sampling() const { return m_texts[Sampling]; }
    const QString &remark() const { return m_texts[Remark]; }

    void setSampling(int rowCount);

    // Keeps Sampling at the table's row count after every insertion; removing
    // rows leaves it alone. One table at a time; nullptr stops following.
    void followResultTable(const ResultTableModel *table);

signals:
    void textChanged(ReportDescription::Field field, const QString &text);

private:
    Texts m_texts;
    QMetaObject::Connection m_following;
};
