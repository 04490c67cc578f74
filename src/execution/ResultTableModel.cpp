#include "execution/ResultTableModel.h"

#include "procedure/ProcedureModel.h"


ResultTableModel::ResultTableModel(QObject *parent) : QAbstractTableModel(parent) {}

int ResultTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : resultCount();
}

int ResultTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1 + int(m_stepTitles.size());
}

QVariant ResultTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= resultCount())
        return {};
    if (role == Qt::DisplayRole)
        return cell(index.row(), index.column());
    if (index.column() == 0 && role == ImageRole)
        return image(index.row());
    if (index.column() == 0 && role == Qt::DecorationRole) {
        const int img = image(index.row());
        if (img < m_icons.size())
            return m_icons.at(img);
    }
    return {};
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        if (section == 0)
            return QStringLiteral("Seq.");
        if (section > 0 && section <= m_stepTitles.size())
            return m_stepTitles.at(section - 1);
        return {};
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

QStringList ResultTableModel::columnTitles() const
{
    return QStringList{QStringLiteral("Seq.")} + m_stepTitles;
}

void ResultTableModel::setStepColumns(const QStringList &titles)
{
    if (titles == m_stepTitles)
        return;
    // A column change keeps the rows; a reset is the simplest correct notice.
    beginResetModel();
    m_stepTitles = titles;
    endResetModel();
}

QStringList ResultTableModel::stepColumnsFor(const ProcedureModel &procedure)
{
    QStringList t;
    for (int i = 0; i < procedure.stepCount(); ++i) {
        const ProcedureStep &s = procedure.step(i);
        const QString n = QString::number(i + 1);
        t << s[ProcedureStep::FItem] + n << QStringLiteral("P/F");
        if (s.hasSecondItem())
            t << s[ProcedureStep::SItem] + n << QStringLiteral("P/F");
    }
    return t;
}

int ResultTableModel::appendRow(const QStringList &cells, int image, const QVector<double> &values)
{
    const int row = resultCount();
    beginInsertRows({}, row, row);
    m_rows.append(cells, image);
    if (!values.isEmpty())
        m_values.set(row, values.constData(), int(values.size()));
    endInsertRows();
    return row;
}

int ResultTableModel::appendJoinedRow(const QString &joined, int image)
{
    const int row = resultCount();
    beginInsertRows({}, row, row);
    m_rows.appendJoined(joined, image);
    endInsertRows();
    return row;
}

void ResultTableModel::appendJoinedRows(int count, const std::function<void(int, QString &, int &)> &row)
{
    if (count <= 0)
        return;
    const int first = resultCount();
    beginInsertRows({}, first, first + count - 1);
    QString joined;
    for (int i = 0; i < count; ++i) {
        int image = Neutral;
        joined.clear();
        row(i, joined, image);
        m_rows.appendJoined(joined, image);
    }
    endInsertRows();
}

int ResultTableModel::appendJoinedAscii(QByteArrayView joined, int image)
{
    const int row = resultCount();
    beginInsertRows({}, row, row);
    m_rows.appendJoinedAscii(joined, image);
    endInsertRows();
    return row;
}

void ResultTableModel::assignRows(const ResultTableModel &other, int maxCells)
{
    removeAllRows();
    const int count = other.resultCount();
    if (count > 0)
        beginInsertRows({}, 0, count - 1);
    m_rows = other.m_rows.shared();
    m_rows.keepCells(maxCells);
    m_values = other.m_values.shared();
    if (count > 0)
        endInsertRows();
}

void ResultTableModel::adoptRows(ResultTableModel &other)
{
    removeAllRows();
    const int count = other.resultCount();
    if (count > 0)
        beginInsertRows({}, 0, count - 1);
    std::swap(m_rows, other.m_rows);
    std::swap(m_values, other.m_values);
    if (count > 0)
        endInsertRows();
}

QString ResultTableModel::joinedRow(int row) const
{
    if (row < 0 || row >= resultCount())
        return {};
    return m_rows.joined(row);
}

QStringList ResultTableModel::cells(int row) const
{
    if (row < 0 || row >= resultCount())
        return {};
    return m_rows.cells(row);
}

QString ResultTableModel::cell(int row, int column) const
{
    if (row < 0 || row >= resultCount() || column < 0)
        return {};
    if (column == 0)
        return QString::number(row + 1);
    return m_rows.cell(row, column - 1);
}

void ResultTableModel::setImage(int row, int image)
{
    if (row < 0 || row >= resultCount())
        return;
    m_rows.setImage(row, image);
    emit dataChanged(index(row, 0), index(row, 0), {Qt::DecorationRole, ImageRole});
}

void ResultTableModel::removeAllRows()
{
    if (resultCount() == 0)
        return;
    beginRemoveRows({}, 0, resultCount() - 1);
    m_rows.clear();
    m_values.clear();
    endRemoveRows();
}

std::unique_ptr<ResultTableModel> ResultTableModel::snapshot() const
{
    auto copy = std::make_unique<ResultTableModel>();
    copy->m_stepTitles = m_stepTitles;
    copy->m_rows = m_rows.shared();
    copy->m_values = m_values.shared();
    copy->m_dates = m_dates;
    copy->m_times = m_times;
    return copy;
}

void ResultTableModel::reserveRows(int rows, qsizetype bytes)
{
    Q_UNUSED(bytes) // the arena grows by chunks; nothing to gain by guessing
    m_rows.reserve(rows);
}

void ResultTableModel::setRowDateTime(int row, const QString &date, const QString &time)
{
    if (row < 0)
        return;
    // Sized to exactly row + 1, as the legacy program did: after "Remove all"
    // the next run's first row cuts the lists back.
    m_dates.resize(row + 1);
    m_times.resize(row + 1);
    m_dates[row] = date;
    m_times[row] = time;
}

void ResultTableModel::setRowIcons(const QVector<QIcon> &icons)
{
    m_icons = icons;
    if (resultCount() > 0)
        emit dataChanged(index(0, 0), index(resultCount() - 1, 0), {Qt::DecorationRole});
}
