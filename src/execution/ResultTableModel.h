#pragma once

#include "execution/PackedRows.h"
#include "execution/RowValues.h"

#include <QAbstractTableModel>
#include <QByteArrayView>
#include <QIcon>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

class ProcedureModel;

// The result table of the Executive View: one row per completed pass.
// Column 0 "Seq." is the row number (rows are only appended or all removed,
// so it always equals row + 1); the per-step columns follow the procedure.
// Rows are kept packed (PackedRows), so a million rows stay lean; cells are
// split on demand. The report dates and times live beside the rows by index.
class ResultTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Image { Neutral = 0, Failed = 1, Passed = 2 };
    static constexpr int ImageRole = Qt::UserRole + 1;
    static constexpr int ColumnWidth = 140;

    explicit ResultTableModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Columns: "Seq." then the per-step titles.
    QStringList columnTitles() const;
    const QStringList &stepColumnTitles() const { return m_stepTitles; }
    void setStepColumns(const QStringList &titles);
    void removeStepColumns() { setStepColumns({}); }
    // F-Item + n, "P/F", and S-Item + n, "P/F" when the second item is not "off".
    static QStringList stepColumnsFor(const ProcedureModel &procedure);
    void rebuildColumns(const ProcedureModel &procedure) { setStepColumns(stepColumnsFor(procedure)); }

    // Rows.
    int resultCount() const { return m_rows.size(); }
    // The rows themselves, for reading cells in place without copies.
    const PackedRows &packedRows() const { return m_rows; }
    // cells are columns 1.. of the row; returns the new row's index.
    // values: the readings as judged, in base units, one per reading cell
    // (none for a row known only by its texts).
    int appendRow(const QStringList &cells, int image, const QVector<double> &values = {});
    // joined: cells each followed by a line feed, as stored in report files.
    int appendJoinedRow(const QString &joined, int image);
    // count rows under one insertion notice (a view takes a million at
    // once); row(i, joined, image) fills in row i.
    void appendJoinedRows(int count, const std::function<void(int, QString &, int &)> &row);
    // The same for a row known to be plain ASCII, without a QString between.
    int appendJoinedAscii(QByteArrayView joined, int image);
    // Makes the rows those of other (sharing its packed rows), each cut
    // after maxCells cells, under one insertion notice (the table is emptied
    // first); titles, dates and times stay.
    void assignRows(const ResultTableModel &other, int maxCells);
    // Takes other's rows in place of this table's, leaving other empty:
    // no copy, so a million rows read on another thread arrive at once.
    void adoptRows(ResultTableModel &other);
    QString joinedRow(int row) const;
    // Cells 1.. of the row (the pieces of the joined string).
    QStringList cells(int row) const;
    // Cell text at a table column; column 0 is the row number.
    QString cell(int row, int column) const;
    int image(int row) const { return m_rows.image(row); }
    // The row's readings as judged (count 0 when it was not judged here).
    RowValues::Span values(int row) const { return m_values.at(row); }
    void setImage(int row, int image);
    void removeAllRows();
    void reserveRows(int rows, qsizetype bytes);
    // A read-only copy of the titles, rows, dates and times as they are now,
    // for work on another thread while this table grows: the packed rows are
    // shared, not copied. Only its const functions may be used.
    std::unique_ptr<ResultTableModel> snapshot() const;

    // The report dates and times (e.g. "2012/3/7/" and "9:5:3"), by row.
    // Removing rows does not shrink them.
    const QStringList &reportDates() const { return m_dates; }
    const QStringList &reportTimes() const { return m_times; }
    // Resizes both lists to row + 1 entries, then sets entry row.
    void setRowDateTime(int row, const QString &date, const QString &time);
    void setReportDates(const QStringList &dates) { m_dates = dates; }
    void setReportTimes(const QStringList &times) { m_times = times; }

    // Images for Neutral, Failed, Passed, shown in column 0.
    void setRowIcons(const QVector<QIcon> &icons);

private:
    QStringList m_stepTitles;
    PackedRows m_rows;
    RowValues m_values;
    QStringList m_dates;
    QStringList m_times;
    QVector<QIcon> m_icons;
};
