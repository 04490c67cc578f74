#pragma once

#include "statistics/Statistics.h"

#include <QAbstractTableModel>

// The figures of every result column as a table: an undefined figure is an
// empty cell whose tooltip says why.
class StatisticsTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Title, N, Mean, Stdev, Min, Max, Cp, Cpk, Fails, Yield, ColumnCount };

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    explicit StatisticsTableModel(const TableStatistics *statistics, QObject *parent = nullptr);
    // The figures changed; resets only when the columns did.
    void refresh();
    void setStatistics(const TableStatistics *statistics);

private:
    const TableStatistics *m_statistics;
    int m_rows = 0;
};
