#include "procedure/ProcedureModel.h"

ProcedureModel::ProcedureModel(QObject *parent) : QAbstractTableModel(parent) {}

int ProcedureModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : stepCount();
}

int ProcedureModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ProcedureStep::ColumnCount;
}

QVariant ProcedureModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= stepCount())
        return {};
    const ProcedureStep &s = m_steps.at(index.row());
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return s.fields[index.column()];
    if (index.column() != 0)
        return {};
    if (role == PictureRole)
        return s.picture;
    if (role == Qt::DecorationRole && s.picture >= 0 && s.picture < m_pictures.size())
        return m_pictures.at(s.picture);
    return {};
}

QVariant ProcedureModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ProcedureStep::ColumnCount)
        return ProcedureStep::headers().at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

int ProcedureModel::secondItemCount() const
{
    int n = 0;
    for (const ProcedureStep &s : m_steps)
        n += s.hasSecondItem() ? 1 : 0;
    return n;
}

void ProcedureModel::insertStep(int row, const ProcedureStep &step)
{
    row = qBound(0, row, stepCount());
    beginInsertRows({}, row, row);
    m_steps.insert(row, step);
    endInsertRows();
}

void ProcedureModel::setStep(int row, const ProcedureStep &step)
{
    if (row < 0 || row >= stepCount())
        return;
    m_steps[row] = step;
    emit dataChanged(index(row, 0), index(row, ProcedureStep::ColumnCount - 1));
}

void ProcedureModel::setText(int row, int column, const QString &text)
{
    if (row < 0 || row >= stepCount() || column < 0 || column >= ProcedureStep::ColumnCount)
        return;
    m_steps[row].fields[column] = text;
    emit dataChanged(index(row, column), index(row, column));
}

void ProcedureModel::setPicture(int row, int picture)
{
    if (row < 0 || row >= stepCount())
        return;
    m_steps[row].picture = picture;
    emit dataChanged(index(row, 0), index(row, 0), {PictureRole, Qt::DecorationRole});
}

bool ProcedureModel::removeStep(int row)
{
    if (row < 0 || row >= stepCount())
        return false;
    beginRemoveRows({}, row, row);
    m_steps.removeAt(row);
    endRemoveRows();
    return true;
}

void ProcedureModel::renumber(int fromRow)
{
    for (int i = qMax(0, fromRow); i < stepCount(); ++i)
        m_steps[i].fields[ProcedureStep::Step] = QString::number(i + 1);
    if (fromRow < stepCount())
        emit dataChanged(index(qMax(0, fromRow), 0), index(stepCount() - 1, 0));
}

void ProcedureModel::setSteps(const QVector<ProcedureStep> &steps)
{
    beginResetModel();
    m_steps = steps;
    endResetModel();
}

void ProcedureModel::clear()
{
    setSteps({});
}

void ProcedureModel::setPictures(const QVector<QIcon> &pictures)
{
    m_pictures = pictures;
    if (stepCount() > 0)
        emit dataChanged(index(0, 0), index(stepCount() - 1, 0), {Qt::DecorationRole});
}
