#pragma once

#include "statistics/Statistics.h"
#include "statistics/ui/StatisticsTableModel.h"

#include <QDate>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

class ControlChartView;
class HistogramView;
class ProcedureModel;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableView;
class ReportPrinting;
class ResultTableModel;

// The "Statistics" window: the statistics of the Executive View's result
// table, kept live while a run adds rows (each row is taken once, with the
// readings it was judged with when the table has them, from the cell texts
// otherwise), a histogram and a control chart of the selected column (its
// subgroup size chosen here), and whether printing
// adds a statistics page after the report. With a history source it can
// show instead the figures of recorded rows: a lot and a range of days.
class StatisticsWindow : public QWidget
{
    Q_OBJECT
public:
    // Fills `out` with the recorded rows of the lot (empty: any) from the day
    // `from` through `to` (null: open); false with one sentence otherwise.
    using HistorySource = std::function<bool(const QString &lot, const QDate &from, const QDate &to,
                                             TableStatistics &out, QString *error)>;

    StatisticsWindow(const ProcedureModel *procedure, const ResultTableModel *results, QWidget *parent = nullptr);

    // Offers "Results history" as the source besides the Executive View.
    void setHistorySource(HistorySource source);

    // The check box decides whether the printing adds the statistics page.
    void attachPrinting(ReportPrinting *printing);

    // For the Results menu: opens (creating once) the window of the desktop
    // program's table and printing.
    static std::function<void()> opener(const ProcedureModel *procedure, const ResultTableModel *results,
                                        ReportPrinting *printing,
                                        QWidget *owner, HistorySource history = {});

    // Takes every row not taken yet now (otherwise done shortly after rows arrive).
    void refreshNow();
    const TableStatistics &statistics() const { return m_statistics; }
    // The figures the table and histogram show: the live ones or the history's.
    const TableStatistics &shown() const { return historyShown() ? m_history : m_statistics; }
    bool historyShown() const;
    // Reads the history for the lot and dates chosen ("Show").
    void showHistory();
    QComboBox *sourceBox() const { return m_source; }
    QLineEdit *lotEdit() const { return m_lot; }
    QDateEdit *fromEdit() const { return m_from; }
    QDateEdit *toEdit() const { return m_to; }
    QPushButton *showButton() const { return m_show; }
    QLabel *summaryLabel() const { return m_summary; }
    StatisticsTableModel *tableModel() const { return m_model; }
    QTableView *tableView() const { return m_table; }
    HistogramView *histogram() const { return m_histogram; }
    ControlChartView *controlChart() const { return m_chart; }
    QSpinBox *subgroupBox() const { return m_subgroup; }
    QCheckBox *printCheckBox() const { return m_print; }
    void selectColumn(int column);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void restart();
    void schedule();
    void updateHistogram();
    void showSummary();
    void sourceChanged();
    QDate chosenDate(const QDateEdit *edit) const;

    const ProcedureModel *m_procedure;
    const ResultTableModel *m_results;
    TableStatistics m_statistics;
    int m_taken = 0;
    bool m_restart = true;
    int m_selected = -1;                      // the histogram's column

    HistorySource m_historySource;
    TableStatistics m_history;
    QString m_historyMessage; // why the history shows nothing

    StatisticsTableModel *m_model;
    QWidget *m_choice;
    QComboBox *m_source;
    QLineEdit *m_lot;
    QDateEdit *m_from, *m_to;
    QPushButton *m_show;
    QTableView *m_table;
    HistogramView *m_histogram;
    ControlChartView *m_chart;
    QSpinBox *m_subgroup;
    QLabel *m_summary;
    QCheckBox *m_print;
    QTimer m_timer;
};
