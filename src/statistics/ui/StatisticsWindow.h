#pragma once

#include "instrument/PassEvaluator.h"
#include "statistics/Statistics.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

class HistogramView;
class MeasurementSequencer;
class ProcedureModel;
class QCheckBox;
class QLabel;
class QTableView;
class ReportPrinting;
class ResultTableModel;

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

private:
    const TableStatistics *m_statistics;
    int m_rows = 0;
};

// The "Statistics" window: the statistics of the Executive View's result
// table, kept live while a run adds rows (each row is taken once, with the
// readings the sequencer judged when it has them, from the cell texts
// otherwise), a histogram of the selected column, and whether printing
// adds a statistics page after the report.
class StatisticsWindow : public QWidget
{
    Q_OBJECT
public:
    StatisticsWindow(const ProcedureModel *procedure, const ResultTableModel *results, QWidget *parent = nullptr);

    // Judged rows carry their readings at full precision.
    void followSequencer(const MeasurementSequencer *sequencer);
    // The check box decides whether the printing adds the statistics page.
    void attachPrinting(ReportPrinting *printing);

    // For the Results menu: opens (creating once) the window of the desktop
    // program's table, sequencer and printing.
    static std::function<void()> opener(const ProcedureModel *procedure, const ResultTableModel *results,
                                        const MeasurementSequencer *sequencer, ReportPrinting *printing,
                                        QWidget *owner);

    // Takes every row not taken yet now (otherwise done shortly after rows arrive).
    void refreshNow();
    const TableStatistics &statistics() const { return m_statistics; }
    StatisticsTableModel *tableModel() const { return m_model; }
    QTableView *tableView() const { return m_table; }
    HistogramView *histogram() const { return m_histogram; }
    QCheckBox *printCheckBox() const { return m_print; }
    void selectColumn(int column);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void restart();
    void schedule();
    void updateHistogram();
    void showSummary();

    const ProcedureModel *m_procedure;
    const ResultTableModel *m_results;
    TableStatistics m_statistics;
    int m_taken = 0;
    bool m_restart = true;
    QHash<int, PassEvaluator::Row> m_judged; // rows judged but not taken yet
    int m_selected = -1;                      // the histogram's column

    StatisticsTableModel *m_model;
    QTableView *m_table;
    HistogramView *m_histogram;
    QLabel *m_summary;
    QCheckBox *m_print;
    QTimer m_timer;
};
