#include "execution/ResultTableModel.h"

#include "procedure/ProcedureModel.h"

ResultTableModel::ResultTableModel(QObject *parent) : QAbstractTableModel(parent)
{
    m_offsets.push_back(0);
}

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

int ResultTableModel::appendRow(const QStringList &cells, int image)
{
    QString joined;
    for (const QString &c : cells) {
        joined += c;
        joined += QLatin1Char('\n');
    }
    return appendJoinedRow(joined, image);
}

int ResultTableModel::appendJoinedRow(const QString &joined, int image)
{
    const int row = resultCount();
    beginInsertRows({}, row, row);
    m_arena += joined.toStdString();
    m_offsets.push_back(m_arena.size());
    m_images.push_back(quint8(image));
    endInsertRows();
    return row;
}

const char *ResultTableModel::rowBegin(int row, size_t *length) const
{
    const size_t b = m_offsets[size_t(row)];
    *length = m_offsets[size_t(row) + 1] - b;
    return m_arena.data() + b;
}

QString ResultTableModel::joinedRow(int row) const
{
    if (row < 0 || row >= resultCount())
        return {};
    size_t n;
    const char *p = rowBegin(row, &n);
    return QString::fromUtf8(p, qsizetype(n));
}

QStringList ResultTableModel::cells(int row) const
{
    QStringList out = joinedRow(row).split(QLatin1Char('\n'));
    // Every cell ends in a line feed, so the last piece is the empty tail.
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    return out;
}

QString ResultTableModel::cell(int row, int column) const
{
    if (row < 0 || row >= resultCount() || column < 0)
        return {};
    if (column == 0)
        return QString::number(row + 1);
    size_t n;
    const char *p = rowBegin(row, &n);
    const char *end = p + n;
    for (int c = 1; p < end; ++c) {
        const char *lf = static_cast<const char *>(memchr(p, '\n', size_t(end - p)));
        const char *stop = lf ? lf : end;
        if (c == column)
            return QString::fromUtf8(p, qsizetype(stop - p));
        if (!lf)
            break;
        p = lf + 1;
    }
    return {};
}

void ResultTableModel::setImage(int row, int image)
{
    if (row < 0 || row >= resultCount())
        return;
    m_images[size_t(row)] = quint8(image);
    emit dataChanged(index(row, 0), index(row, 0), {Qt::DecorationRole, ImageRole});
}

void ResultTableModel::removeAllRows()
{
    if (resultCount() == 0)
        return;
    beginRemoveRows({}, 0, resultCount() - 1);
    m_arena.clear();
    m_arena.shrink_to_fit();
    m_offsets.assign(1, 0);
    m_images.clear();
    endRemoveRows();
}

void ResultTableModel::reserveRows(int rows, qsizetype bytes)
{
    m_offsets.reserve(size_t(rows) + 1);
    m_images.reserve(size_t(rows));
    m_arena.reserve(size_t(bytes));
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
