#include "statistics/ui/StatisticsTableModel.h"

#include "statistics/StatisticsOutputs.h"

namespace SO = StatisticsOutputs;

StatisticsTableModel::StatisticsTableModel(const TableStatistics *statistics, QObject *parent)
    : QAbstractTableModel(parent), m_statistics(statistics), m_rows(int(statistics->columns().size()))
{
}

int StatisticsTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int StatisticsTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant StatisticsTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const titles[] = {"Column", "n", "Mean", "Std. dev.", "Min", "Max", "Cp", "Cpk", "Fails", "Yield"};
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}

QVariant StatisticsTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.row() >= m_statistics->columns().size())
        return {};
    const ColumnStatistics &c = m_statistics->columns().at(index.row());
    Figure f;
    bool isFigure = true;
    switch (index.column()) {
    case Mean: f = c.mean(); break;
    case Stdev: f = c.stdev(); break;
    case Min: f = c.minimum(); break;
    case Max: f = c.maximum(); break;
    case Cp: f = c.cp(); break;
    case Cpk: f = c.cpk(); break;
    case Yield: f = c.yield(); break;
    default: isFigure = false;
    }
    if (role == Qt::TextAlignmentRole)
        return index.column() == Title ? int(Qt::AlignLeft | Qt::AlignVCenter) : int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole)
        return isFigure && !f.defined() ? f.why : QVariant();
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case Title: return c.title();
    case N: return QString::number(c.stats.n);
    case Fails: return c.judged ? QString::number(c.fails) : QString();
    case Cp:
    case Cpk: return SO::displayIndex(f);
    case Yield: return SO::displayYield(f);
    default: return SO::display(c, f);
    }
}

void StatisticsTableModel::refresh()
{
    const int rows = int(m_statistics->columns().size());
    if (rows != m_rows) {
        beginResetModel();
        m_rows = rows;
        endResetModel();
    } else if (rows > 0) {
        emit dataChanged(index(0, 0), index(rows - 1, ColumnCount - 1));
    }
}

void StatisticsTableModel::setStatistics(const TableStatistics *statistics)
{
    beginResetModel();
    m_statistics = statistics;
    m_rows = int(statistics->columns().size());
    endResetModel();
}
