#pragma once

#include "history/HistoryTarget.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class BackgroundTask;
class HistoryDatabase;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;
class RunListModel;
class RunRowsModel;
class Prompter;

// Results > Results History: the recorded runs newest first, filtered by
// date range, procedure, lot and verdict; the selected run's rows as the
// Executive View shows them; the selected runs' rows exported to a
// workbook or CSV. Both tables fetch as they scroll.
class ResultsHistoryWindow : public QWidget
{
    Q_OBJECT
public:
    ResultsHistoryWindow(Prompter *prompter, QWidget *parent = nullptr);
    ~ResultsHistoryWindow() override;

    // Reads (read-only) from the target; again on every refresh.
    void setTarget(const HistoryTarget &target);
    void refresh();
    // Shows what was recorded since: new runs and rows, changed counts and
    // ends, keeping the selection and the scroll position. Done by itself
    // every second while the window is shown.
    void catchUp();

    // Starts the export of the selected runs' rows on another thread (with
    // progress and Cancel); false (and a message) when there is nothing to
    // export. A failure later is told the same way.
    bool exportSelection(const QString &path);
    // The export while it runs; for tests.
    BackgroundTask *currentExport() const;

    QTableView *runsView() const { return m_runsView; }
    QTableView *rowsView() const { return m_rowsView; }
    RunListModel *runsModel() const { return m_runs; }
    RunRowsModel *rowsModel() const { return m_rows; }
    QLineEdit *lotEdit() const { return m_lot; }
    QLineEdit *procedureEdit() const { return m_procedure; }
    QComboBox *verdictBox() const { return m_verdict; }
    QCheckBox *dateCheck() const { return m_useDates; }
    QDateEdit *fromEdit() const { return m_from; }
    QDateEdit *toEdit() const { return m_to; }
    QPushButton *refreshButton() const { return m_refresh; }
    QLabel *statusLabel() const { return m_status; }
    QPushButton *openReportButton() const { return m_openReport; }
    QPushButton *openSweepButton() const { return m_openSweep; }

signals:
    // "Open as Report" on the one selected run.
    void openRunRequested(const QString &runId);
    // "Open Sweep...".
    void openSweepRequested();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // Each run column as wide as its texts; where they do not all fit, the
    // widest are narrowed first.
    void fitRunColumns();
    void showSelectedRun();
    void exportAs(const QString &filter, const QString &suffix);
    QStringList selectedRunIds() const;

    Prompter *m_prompter;
    HistoryTarget m_target;
    std::unique_ptr<HistoryDatabase> m_db;
    RunListModel *m_runs;
    RunRowsModel *m_rows;
    QTableView *m_runsView;
    QTableView *m_rowsView;
    QCheckBox *m_useDates;
    QDateEdit *m_from;
    QDateEdit *m_to;
    QLineEdit *m_procedure;
    QLineEdit *m_lot;
    QComboBox *m_verdict;
    QPushButton *m_refresh;
    QLabel *m_status;
    QPushButton *m_openReport;
    QPushButton *m_openSweep;
    QPointer<BackgroundTask> m_export;
    QTimer *m_live;
};
