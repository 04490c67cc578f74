#pragma once

#include "statistics/BinPlan.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

class ProcedureModel;
class QCheckBox;
class ReportPrinting;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class ResultTableModel;

// The counts of each bin as bars, with count and share above each.
class BinBarsView : public QWidget
{
    Q_OBJECT
public:
    explicit BinBarsView(QWidget *parent = nullptr);
    void setCounts(const QStringList &names, const QVector<qint64> &counts, qint64 rows);
    QSize sizeHint() const override { return {560, 240}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QStringList m_names;
    QVector<qint64> m_counts;
    qint64 m_rows = 0;
};

// The "Bins" window: the bin plan of the open procedure (kept beside it as
// NAME.bins.json), the bin of the part just measured in letters large
// enough to read across the bench, and the counts since the last reset as
// a bar chart, following the Executive View's table live.
class BinsWindow : public QWidget
{
    Q_OBJECT
public:
    // planPath: where the open procedure's plan is kept (empty: nowhere yet).
    BinsWindow(const ProcedureModel *procedure, const ResultTableModel *results, std::function<QString()> planPath,
               QWidget *parent = nullptr);

    // planInUse: told each plan the window counts by (for the outputs).
    static std::function<void()> opener(const ProcedureModel *procedure, const ResultTableModel *results,
                                        std::function<QString()> planPath, ReportPrinting *printing, QWidget *owner,
                                        std::function<void(const std::optional<BinPlan> &)> planInUse = {});

    // The check box decides whether the printing adds a bins page (after
    // the pages other windows add).
    void attachPrinting(ReportPrinting *printing);

    // Reads the plan kept beside the procedure, or starts one from step 1's standard.
    void loadPlan();
    // The plan in the fields, checked, used and written beside the procedure.
    bool savePlan();
    // Counts from the next row on.
    void resetCounts();
    // Takes every row not counted yet now (otherwise done shortly after rows arrive).
    void refreshNow();

    bool hasPlan() const { return m_planUsable; }
    const BinSorter &sorter() const { return m_sorter; }
    QString currentBin() const;

    QSpinBox *stepBox() const { return m_step; }
    QComboBox *modeBox() const { return m_mode; }
    QLineEdit *nominalEdit() const { return m_nominal; }
    QTableWidget *binTable() const { return m_bins; }
    QLineEdit *secondaryLowEdit() const { return m_secondaryLow; }
    QLineEdit *secondaryHighEdit() const { return m_secondaryHigh; }
    QPushButton *saveButton() const { return m_save; }
    QPushButton *resetButton() const { return m_reset; }
    QLabel *currentLabel() const { return m_current; }
    QLabel *messageLabel() const { return m_message; }
    BinBarsView *bars() const { return m_bars; }
    QCheckBox *printCheckBox() const { return m_print; }

signals:
    void planInUse(const std::optional<BinPlan> &plan);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showPlan(const BinPlan &plan);
    void stepsChanged();
    std::optional<BinPlan> planFromFields(QString *error) const;
    void use(const BinPlan &plan);
    void recount();
    void showCounts();
    void schedule();

    const ProcedureModel *m_procedure;
    const ResultTableModel *m_results;
    std::function<QString()> m_planPath;
    BinSorter m_sorter;
    bool m_planUsable = false;
    int m_from = 0;  // the first row counted
    int m_taken = 0; // rows counted or passed over
    int m_last = -1; // the bin of the newest row counted

    QSpinBox *m_step;
    QComboBox *m_mode;
    QLineEdit *m_nominal;
    QTableWidget *m_bins;
    QLineEdit *m_secondaryLow, *m_secondaryHigh;
    QPushButton *m_save, *m_reset;
    QLabel *m_current, *m_message, *m_where;
    BinBarsView *m_bars;
    QCheckBox *m_print;
    QTimer m_timer;
};
