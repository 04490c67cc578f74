#pragma once

#include "common/LegacyIds.h"

#include <QWidget>

class ExecutionState;
class Lamp;
class PictureButton;
class ProgressSlide;
class QLineEdit;
class QTableView;
class ResultTableModel;

// The Executive View page: the result table, the loop count, the "finished"
// lamp, the progress and the four run buttons. It measures nothing itself:
// the buttons say which was clicked, and the controls mirror ExecutionState.
class ExecutiveView : public QWidget
{
    Q_OBJECT
public:
    // Control ids, kept so the commands and tests can name the buttons.
    enum ControlId {
        ResultTableId = LegacyId::Executive::ResultTable,
        RunId = LegacyId::Executive::Run,
        ProgressId = LegacyId::Executive::Progress,
        StopId = LegacyId::Executive::EmergencyStop,
        LoopEditId = LegacyId::Executive::LoopEdit,
        LampId = LegacyId::Executive::Lamp,
        ExportId = LegacyId::Executive::ExportResults,
        RemoveAllId = LegacyId::Executive::RemoveAll
    };
    ExecutiveView(ResultTableModel *results, ExecutionState *state, QWidget *parent = nullptr);

    ResultTableModel *resultModel() const { return m_results; }
    ExecutionState *executionState() const { return m_state; }

    // Passes still to run; reloading takes the loop edit's value again.
    int loopCount() const;
    void reloadLoopCount();

    QTableView *resultTable() const { return m_table; }
    QLineEdit *loopEdit() const { return m_loopEdit; }
    Lamp *finishedLamp() const { return m_lamp; }
    ProgressSlide *progress() const { return m_progress; }
    PictureButton *runButton() const { return m_run; }
    PictureButton *stopButton() const { return m_stop; }
    PictureButton *exportButton() const { return m_export; }
    PictureButton *removeAllButton() const { return m_removeAll; }

signals:
    void runClicked();
    void emergencyStopClicked();
    void exportClicked();
    void removeAllClicked();
    // After every row added to the result table: the table's row count (the
    // report's sampling count follows it).
    void rowInserted(int rowCount);

private:
    PictureButton *makeButton(const QString &caption, const QString &picture, int id, void (ExecutiveView::*clicked)());
    void buildLayout();
    void bindState();
    // Scrolls the result table, and only vertically, so that the row is in view.
    void showRow(int row);
    void scrollToRow(int row);

    ResultTableModel *m_results;
    ExecutionState *m_state;

    QTableView *m_table = nullptr;
    QLineEdit *m_loopEdit = nullptr;
    Lamp *m_lamp = nullptr;
    ProgressSlide *m_progress = nullptr;
    PictureButton *m_run = nullptr;
    PictureButton *m_stop = nullptr;
    PictureButton *m_export = nullptr;
    PictureButton *m_removeAll = nullptr;
    int m_settleRow = -1; // a row to scroll to again once the window settles
};
