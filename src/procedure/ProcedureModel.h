#pragma once

#include "procedure/ProcedureStep.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QVector>

// The procedure: the live rows of the Procedure View's list. Everything that
// reads the procedure (sequencer, files, export, printing) reads this model.
// Column 0 carries the row's picture index under PictureRole, and its image
// under Qt::DecorationRole once the view has handed over the pictures.
class ProcedureModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int PictureRole = Qt::UserRole + 1;

    explicit ProcedureModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    int stepCount() const { return int(m_steps.size()); }
    const ProcedureStep &step(int row) const { return m_steps.at(row); }
    const QString &text(int row, int column) const { return m_steps.at(row).fields[column]; }
    const QVector<ProcedureStep> &steps() const { return m_steps; }
    // Number of steps whose second item is not "off".
    int secondItemCount() const;

    // Inserts at row (clamped to 0..stepCount); Step texts are not touched.
    void insertStep(int row, const ProcedureStep &step);
    void setStep(int row, const ProcedureStep &step);
    void setText(int row, int column, const QString &text);
    void setPicture(int row, int picture);
    // Returns false when there is no such row.
    bool removeStep(int row);
    // Rewrites the Step texts from row to the end: row i shows i + 1.
    void renumber(int fromRow = 0);
    void setSteps(const QVector<ProcedureStep> &steps);
    void clear();

    // Images shown in front of the Step text, indexed by picture.
    void setPictures(const QVector<QIcon> &pictures);

private:
    QVector<ProcedureStep> m_steps;
    QVector<QIcon> m_pictures;
};
