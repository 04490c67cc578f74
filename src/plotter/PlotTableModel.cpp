#include "plotter/PlotTableModel.h"

#include "plotter/CellValue.h"

PlotTableModel::PlotTableModel(QObject *parent) : QAbstractTableModel(parent) {}

int PlotTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : tableRowCount();
}

int PlotTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2 + int(m_lineTitles.size());
}

QVariant PlotTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= tableRowCount())
        return {};
    if (role == Qt::DisplayRole)
        return cell(index.row(), index.column());
    if (index.column() == 0 && role == PictureRole)
        return picture(index.row());
    if (index.column() == 0 && role == Qt::DecorationRole) {
        const int p = picture(index.row());
        if (p >= 0 && p < m_pictures.size())
            return m_pictures.at(p);
    }
    return {};
}

QVariant PlotTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    const QStringList titles = columnTitles();
    return section >= 0 && section < titles.size() ? QVariant(titles.at(section)) : QVariant();
}

void PlotTableModel::setSweptTitle(const QString &title)
{
    if (title == m_sweptTitle)
        return;
    m_sweptTitle = title;
    emit headerDataChanged(Qt::Horizontal, 1, 1);
}

QStringList PlotTableModel::columnTitles() const
{
    return QStringList{QStringLiteral("Step"), m_sweptTitle} + m_lineTitles;
}

void PlotTableModel::insertLineColumn(int column, const QString &title)
{
    const int count = columnCount();
    if (column < 2)
        column = 2;
    if (column > count)
        column = count;
    beginInsertColumns({}, column, column);
    m_lineTitles.insert(column - 2, title);
    // Cells follow their column, as in a list control.
    for (Row &r : m_rows) {
        for (int c = CellCount - 1; c > column; --c) {
            r.cells[c] = r.cells[c - 1];
            r.values[c] = r.values[c - 1];
        }
        r.cells[column].clear();
        r.values[column] = nan();
    }
    endInsertColumns();
}

void PlotTableModel::removeLineColumns()
{
    if (m_lineTitles.isEmpty())
        return;
    beginRemoveColumns({}, 2, columnCount() - 1);
    m_lineTitles.clear();
    for (Row &r : m_rows)
        for (int c = 2; c < CellCount; ++c) {
            r.cells[c].clear();
            r.values[c] = nan();
        }
    endRemoveColumns();
}

int PlotTableModel::insertRow(int row, const QString &stepText)
{
    if (row < 0 || row > tableRowCount())
        row = tableRowCount();
    beginInsertRows({}, row, row);
    Row r;
    r.cells[0] = stepText;
    m_rows.insert(row, r);
    endInsertRows();
    return row;
}

QString PlotTableModel::cell(int row, int column) const
{
    if (row < 0 || row >= tableRowCount() || column < 0 || column >= CellCount)
        return {};
    return m_rows.at(row).cells[column];
}

double PlotTableModel::value(int row, int column) const
{
    if (row < 0 || row >= tableRowCount() || column < 0 || column >= CellCount)
        return nan();
    return m_rows.at(row).values[column];
}

void PlotTableModel::setCell(int row, int column, const QString &text)
{
    setCell(row, column, text, column == 0 ? nan() : CellValue::of(text));
}

void PlotTableModel::setCell(int row, int column, const QString &text, double value)
{
    if (row < 0 || row >= tableRowCount() || column < 0 || column >= CellCount)
        return;
    m_rows[row].cells[column] = text;
    m_rows[row].values[column] = value;
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i, {Qt::DisplayRole});
}

int PlotTableModel::picture(int row) const
{
    return row >= 0 && row < tableRowCount() ? m_rows.at(row).picture : 0;
}

void PlotTableModel::setPicture(int row, int picture)
{
    if (row < 0 || row >= tableRowCount() || m_rows.at(row).picture == picture)
        return;
    m_rows[row].picture = picture;
    const QModelIndex i = index(row, 0);
    emit dataChanged(i, i, {Qt::DecorationRole, PictureRole});
}

void PlotTableModel::removeAllRows()
{
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

QString PlotTableModel::joinedRow(int row) const
{
    QString joined;
    const int columns = columnCount();
    for (int c = 1; c < CellCount; ++c) {
        if (c < columns)
            joined += cell(row, c);
        joined += QLatin1Char('\n');
    }
    return joined;
}

int PlotTableModel::appendJoinedRow(const QString &stepText, const QString &joined, int picture)
{
    const int row = insertRow(tableRowCount(), stepText);
    const QStringList pieces = joined.split(QLatin1Char('\n'));
    // A joined row ends with a line feed; the piece after it is not a cell.
    for (int c = 1; c < CellCount && c - 1 < pieces.size(); ++c) {
        m_rows[row].cells[c] = pieces.at(c - 1);
        m_rows[row].values[c] = CellValue::of(pieces.at(c - 1));
    }
    m_rows[row].picture = picture;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    return row;
}

void PlotTableModel::setPictures(const QVector<QIcon> &pictures)
{
    m_pictures = pictures;
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(tableRowCount() - 1, 0), {Qt::DecorationRole});
}
