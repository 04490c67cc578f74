#pragma once

#include "history/HistoryDatabase.h"

#include <QAbstractTableModel>

// The runs of a history, newest first, fetched a page at a time as a view
// scrolls, so a history of any size opens at once.
class RunListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Started, Procedure, Lot, Rows, Fails, Outcome, Station, Operator, Meter, ColumnCount };
    static constexpr int PageSize = 200;

    explicit RunListModel(QObject *parent = nullptr);
    // db stays owned by the caller; an empty filter lists every run.
    void setSource(HistoryDatabase *db, const HistoryDatabase::Filter &filter);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    // Reads the runs shown so far again: new runs are inserted on top and
    // changed ones updated in place (views keep their selection); false
    // when the list had to be read afresh (a run went away).
    bool update();

    const HistoryDatabase::RunSummary &run(int row) const { return m_runs.at(row); }
    QString lastError() const { return m_error; }

private:
    HistoryDatabase *m_db = nullptr;
    HistoryDatabase::Filter m_filter;
    QVector<HistoryDatabase::RunSummary> m_runs;
    bool m_done = true;
    QString m_error;
};

// The rows of one run as the Executive View shows them: "Seq.", then per
// step and item the reading and its "P/F", then the time measured.
class RunRowsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int PageSize = 500;

    explicit RunRowsModel(QObject *parent = nullptr);
    void setRun(HistoryDatabase *db, const QString &runId);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    // Appends rows recorded since the last fetch (a run still going).
    void update();

    QString runId() const { return m_runId; }
    // Cells of a row by column, as shown.
    QString cell(int row, int column) const;

private:
    struct Row
    {
        int seq;
        QString verdict;
        QString measuredAt;
        QStringList cells; // reading, P/F, reading, P/F, ...
    };
    HistoryDatabase *m_db = nullptr;
    QString m_runId;
    QStringList m_titles;
    QVector<Row> m_rows;
    bool m_done = true;
};
