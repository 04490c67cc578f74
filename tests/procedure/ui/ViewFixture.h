#pragma once

// A shown Procedure View over models of the test's own, with a recording
// prompter, and short names for its controls, for the GUI tests of the editor.

#include "../../support/RecordingPrompter.h"
#include "GuiDriver.h"

#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"
#include "procedure/ui/ProcedureView.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <gtest/gtest.h>

// Short names for a shown Procedure View's controls, reached as an operator
// reaches them.
class ProcedureViewControls
{
protected:
    virtual ~ProcedureViewControls() = default;
    virtual ProcedureView &shownView() = 0;

    template<class T>
    T *control(const char *name)
    {
        T *w = shownView().findChild<T *>(QLatin1String(name));
        if (!w)
            ADD_FAILURE() << "no control " << name;
        return w;
    }
    QLineEdit *edit(const char *name) { return control<QLineEdit>(name); }
    QComboBox *combo(const char *name) { return control<QComboBox>(name); }
    void add() { GuiDriver::click(control<QPushButton>("addButton")); }
    void clearAll() { GuiDriver::click(control<QPushButton>("clearButton")); }
    void choose(const char *comboName, const QString &text)
    {
        ASSERT_TRUE(GuiDriver::choose(combo(comboName), text)) << comboName << " has no enabled entry " << text.toStdString();
    }
    // Replaces an edit's text through the keyboard.
    void typeInto(const char *editName, const QString &text) { GuiDriver::retype(edit(editName), text); }
};

class ViewFixture : public ::testing::Test, protected ProcedureViewControls
{
protected:
    RecordingPrompter prompter;
    ProcedureModel procedureModel;
    ResultTableModel resultModel;
    ExecutionState executionState;
    ProcedureView view{procedureModel, resultModel, executionState, &prompter};

    ProcedureView &shownView() override { return view; }
    void SetUp() override
    {
        view.resize(1280, 760);
        view.show();
    }

    QTableView *list() { return view.procedureList(); }
    ProcedureModel &procedure() { return *view.procedureModel(); }
    ResultTableModel &results() { return *view.resultModel(); }

    QString text(int row, int column) { return procedure().text(row, column); }
    int picture(int row) { return procedure().step(row).picture; }
    QStringList column(int col)
    {
        QStringList out;
        for (int r = 0; r < procedure().stepCount(); ++r)
            out << text(r, col);
        return out;
    }
    void clickRow(int row) { GuiDriver::clickRow(list(), row); }
    void doubleClickRow(int row) { GuiDriver::doubleClickRow(list(), row); }
    void pressDelete() { GuiDriver::key(list(), Qt::Key_Delete); }
    // A result row, as a finished pass leaves one.
    void addResultRow()
    {
        const int row = results().appendRow({QStringLiteral("120pF"), QStringLiteral("pass")}, ResultTableModel::Passed);
        results().setRowDateTime(row, QStringLiteral("2012/3/7/"), QStringLiteral("9:5:3"));
    }
};
