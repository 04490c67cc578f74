#pragma once

#include "common/LegacyIds.h"

#include "procedure/ProcedureStep.h"

#include <QWidget>

#include <memory>

class ExecutionState;
class PictureButton;
class ProcedureModel;
class Prompter;
class QComboBox;
class QLineEdit;
class QTableView;
class ResultTableModel;

// The Procedure View: the procedure list and the controls a step is composed
// in. It shows models owned by its caller (the procedure, the result table
// it empties when the procedure changes, and the run state).
class ProcedureView : public QWidget
{
    Q_OBJECT
public:
    enum ControlId {
        ListId = LegacyId::Procedure::List,
        FreqEditId = LegacyId::Procedure::FreqEdit,
        FreqUnitId = LegacyId::Procedure::FreqUnit,
        LevelEditId = LegacyId::Procedure::LevelEdit,
        LevelUnitId = LegacyId::Procedure::LevelUnit,
        CircuitId = LegacyId::Procedure::Circuit,
        SpeedId = LegacyId::Procedure::Speed,
        TypeId = LegacyId::Procedure::Type,
        DelayEditId = LegacyId::Procedure::DelayEdit,
        FirstItemId = LegacyId::Procedure::FirstItem,
        FirstStdId = LegacyId::Procedure::FirstStd,
        FirstLowId = LegacyId::Procedure::FirstLow,
        FirstHighId = LegacyId::Procedure::FirstHigh,
        FirstUnitId = LegacyId::Procedure::FirstUnit,
        SecondItemId = LegacyId::Procedure::SecondItem,
        SecondStdId = LegacyId::Procedure::SecondStd,
        SecondLowId = LegacyId::Procedure::SecondLow,
        SecondHighId = LegacyId::Procedure::SecondHigh,
        SecondUnitId = LegacyId::Procedure::SecondUnit,
        AddId = LegacyId::Procedure::Add,
        ClearId = LegacyId::Procedure::Clear
    };
    // The models must outlive the view. Without a prompter every question
    // is answered OK.
    ProcedureView(ProcedureModel &procedure, ResultTableModel &results, ExecutionState &state, Prompter *prompter,
             QWidget *parent = nullptr);
    ~ProcedureView() override;

    ProcedureModel *procedureModel() const { return m_procedure; }
    ResultTableModel *resultModel() const { return m_results; }
    ExecutionState *executionState() const { return m_state; }
    Prompter *prompter() const { return m_prompter; }

    // The row "Add / Insert" inserts at, and the row measured during a run; -1 none.
    int currentStep() const { return m_currentStep; }
    void setCurrentStep(int step) { m_currentStep = step; }
    // The row opened into the controls and waiting to be written back; -1 none.
    int editedRow() const { return m_editedRow; }

    // The editor's operations, also reachable from the main window (File New
    // runs clearProcedure, the Executive View's "Remove all" removeAllResults).
    void addStep();
    void openRow(int row);
    void commitRow(int row);
    void deleteRow();
    void clearProcedure();
    void removeAllResults();
    void rebuildResultColumns();
    // Controls back to their starting values, no row open (before a load).
    void resetEditor();

    // A step as the controls compose it (Step text left empty).
    ProcedureStep stepFromControls() const;

    QTableView *procedureList() const { return m_list; }

signals:
    // "Delete All" was confirmed; the document takes its new name now,
    // before the pages are emptied.
    void clearingProcedure();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildList();
    void connectNotifications();
    QComboBox *makeCombo(const char *name, int id);
    QLineEdit *makeEdit(const char *name, int id);

    // Reactions to the controls, as the operator or the program changes them.
    void firstItemChanged();
    void circuitChanged();
    void secondItemChanged();
    void typeChanged();
    void firstStandardChanged();
    void secondStandardChanged();

    void writeStepFromControls(int row);
    void setControlDefaults();
    bool isPercentType() const;
    bool isRdc() const;

    Prompter *m_prompter;
    std::unique_ptr<Prompter> m_ownPrompter;
    ProcedureModel *m_procedure;
    ResultTableModel *m_results;
    ExecutionState *m_state;

    int m_currentStep = 0;
    int m_editedRow = -1;
    bool m_skipRelease = false;

    QTableView *m_list = nullptr;
    QLineEdit *m_freqEdit = nullptr;
    QComboBox *m_freqUnit = nullptr;
    QLineEdit *m_levelEdit = nullptr;
    QComboBox *m_levelUnit = nullptr;
    QComboBox *m_circuit = nullptr;
    QComboBox *m_speed = nullptr;
    QComboBox *m_type = nullptr;
    QLineEdit *m_delayEdit = nullptr;
    QComboBox *m_firstItem = nullptr;
    QLineEdit *m_firstStd = nullptr;
    QLineEdit *m_firstLow = nullptr;
    QLineEdit *m_firstHigh = nullptr;
    QComboBox *m_firstUnit = nullptr;
    QComboBox *m_secondItem = nullptr;
    QLineEdit *m_secondStd = nullptr;
    QLineEdit *m_secondLow = nullptr;
    QLineEdit *m_secondHigh = nullptr;
    QComboBox *m_secondUnit = nullptr;
    PictureButton *m_addButton = nullptr;
    PictureButton *m_clearButton = nullptr;
};
