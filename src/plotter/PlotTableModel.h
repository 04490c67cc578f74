#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QStringList>
#include <QVector>

#include <array>
#include <limits>

// The Plotter View's result list: column 0 "Step", column 1 the swept value
// ("Frequence" or "Voltage"), then one column per line in use, line n at
// column n + 1. A row holds six cells and the index of its curve picture.
// Cells of columns that do not exist are kept but neither shown nor saved.
// Beside its text each cell holds its number in base units (NaN: none): the
// reading at full precision as the sweep measured it, or, for a cell given
// only its text (a plot file), the text's number read once as it comes in.
class PlotTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int PictureRole = Qt::UserRole + 1;
    static constexpr int ColumnWidth = 140;
    static constexpr int CellCount = 6;
    static constexpr int PictureCount = 6;

    explicit PlotTableModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Columns.
    QString sweptTitle() const { return m_sweptTitle; }
    void setSweptTitle(const QString &title);
    QStringList columnTitles() const;
    const QStringList &lineTitles() const { return m_lineTitles; }
    // Inserts a line column at the given table column (2..5); past the end
    // it is added last.
    void insertLineColumn(int column, const QString &title);
    // Removes table columns 5, 4, 3 and 2, keeping "Step" and the swept value.
    void removeLineColumns();

    // Rows. insertRow puts a row with its Step text at row (past the end:
    // appended) and returns its index.
    int insertRow(int row, const QString &stepText);
    int tableRowCount() const { return int(m_rows.size()); }
    QString cell(int row, int column) const;
    void setCell(int row, int column, const QString &text);
    void setCell(int row, int column, const QString &text, double value);
    // The cell's number in base units; NaN when it holds none.
    double value(int row, int column) const;
    int picture(int row) const;
    void setPicture(int row, int picture);
    void removeAllRows();

    // Cells 1 to 5 of the row, each followed by a line feed: the form the
    // plot file stores. A cell of a column that is not there is empty.
    QString joinedRow(int row) const;
    // Appends a row from its joined form, split at the line feeds.
    int appendJoinedRow(const QString &stepText, const QString &joined, int picture);

    // The six curve pictures, by picture index.
    void setPictures(const QVector<QIcon> &pictures);

private:
    static constexpr double nan() { return std::numeric_limits<double>::quiet_NaN(); }
    struct Row
    {
        std::array<QString, CellCount> cells;
        std::array<double, CellCount> values = {nan(), nan(), nan(), nan(), nan(), nan()};
        int picture = 0;
    };

    QString m_sweptTitle = QStringLiteral("Frequence");
    QStringList m_lineTitles;
    QVector<Row> m_rows;
    QVector<QIcon> m_pictures;
};
