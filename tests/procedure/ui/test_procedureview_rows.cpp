// The procedure list: adding, opening, writing back, deleting and clearing
// steps, the result columns that follow them, and the questions on the way.

#include "ViewFixture.h"

#include "execution/ExecutionState.h"

#include <QHeaderView>

using ProcedureRows = ViewFixture;

namespace {
const QString AddQuestion =
    QStringLiteral("Are you sure to modify the procedure list, it will delete all of data on execute report");
const QString OpenQuestion =
    QStringLiteral("Are you suring to modify the procedure list, it will delete all of data on execute report");
const QString ClearQuestion = QStringLiteral("Are you sure? All of the data will be lost on procedure and execute view");
}

TEST_F(ProcedureRows, FreshAddGivesTheDefaultStep)
{
    add();
    ASSERT_EQ(procedure().stepCount(), 1);
    const QStringList expected = {"1", "C", "", "", "", "pF", "off", "", "", "", "", "20Hz", "10mV", "SER", "MED", "%", "0"};
    for (int c = 0; c < ProcedureStep::ColumnCount; ++c)
        EXPECT_EQ(text(0, c), expected.at(c)) << "column " << c;
    EXPECT_EQ(picture(0), ProcedureStep::CSer);
    EXPECT_EQ(view.currentStep(), 1);
    EXPECT_EQ(view.editedRow(), -1);
    EXPECT_EQ(results().columnTitles(), QStringList({"Seq.", "C1", "P/F"}));
    EXPECT_TRUE(prompter.said.isEmpty());
}

TEST_F(ProcedureRows, ListHasSeventeenNarrowLeftAlignedColumns)
{
    QHeaderView *h = list()->horizontalHeader();
    ASSERT_EQ(procedure().columnCount(), 17);
    for (int c = 0; c < 17; ++c)
        EXPECT_EQ(h->sectionSize(c), 70) << c;
    EXPECT_EQ(procedure().headerData(11, Qt::Horizontal).toString(), "Freq.");
    EXPECT_TRUE(h->defaultAlignment() & Qt::AlignLeft);
    EXPECT_EQ(list()->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list()->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(list()->showGrid());
}

TEST_F(ProcedureRows, EditorTextsGoIntoTheRowAsShown)
{
    choose("firstItemCombo", "L");
    choose("firstUnitCombo", "mH");
    typeInto("firstStdEdit", "1.5abc");
    choose("circuitCombo", "PAR");
    choose("secondItemCombo", "G");
    typeInto("secondStdEdit", "2");
    choose("typeCombo", "Absolute");
    typeInto("freqEdit", "1.5");
    choose("freqUnitCombo", "KHz");
    typeInto("levelEdit", "1");
    choose("levelUnitCombo", "V");
    choose("speedCombo", "MAX");
    typeInto("delayEdit", "500");
    add();
    const QStringList expected = {"1", "L", "1.5abc", "-5", "+5", "mH", "G", "2", "-5", "+5", "mS", "1.5KHz", "1V", "PAR",
        "MAX", "Absolute", "500"};
    for (int c = 0; c < ProcedureStep::ColumnCount; ++c)
        EXPECT_EQ(text(0, c), expected.at(c)) << "column " << c;
    EXPECT_EQ(picture(0), ProcedureStep::LPar);
}

TEST_F(ProcedureRows, RdcStepKeepsEmptyFrequencyAndCircuitThroughOpenAndCommit)
{
    choose("firstItemCombo", "Rdc");
    typeInto("levelEdit", "100");
    add();
    EXPECT_EQ(text(0, ProcedureStep::Freq), "");
    EXPECT_EQ(text(0, ProcedureStep::Circuit), "");
    EXPECT_EQ(text(0, ProcedureStep::Level), "100mV");
    EXPECT_EQ(picture(0), ProcedureStep::ROnly);

    // Go elsewhere in the editor, then open the step again.
    choose("firstItemCombo", "C");
    doubleClickRow(0);
    ASSERT_EQ(view.editedRow(), 0);
    EXPECT_EQ(picture(0), ProcedureStep::Editing);
    EXPECT_EQ(combo("firstItemCombo")->currentText(), "Rdc");
    EXPECT_FALSE(edit("freqEdit")->isEnabled());
    EXPECT_EQ(edit("levelEdit")->text(), "100");

    clickRow(0);
    EXPECT_EQ(view.editedRow(), -1);
    EXPECT_EQ(text(0, ProcedureStep::Freq), "");
    EXPECT_EQ(text(0, ProcedureStep::Circuit), "");
    EXPECT_EQ(text(0, ProcedureStep::Level), "100mV");
    EXPECT_EQ(picture(0), ProcedureStep::ROnly);
}

TEST_F(ProcedureRows, OpenRowReadsEveryFieldBackWithExactUnits)
{
    ProcedureStep x;
    x.fields = {"1", "X", "2", "-1", "+3", "MO", "R", "50", "-2", "+2", "mO", "1KHz", "1V", "SER", "SLOW", "Absolute", "250"};
    ProcedureStep l;
    l.fields = {"2", "L", "", "", "", "mH", "G", "", "", "", "S", "2MHz", "300mV", "PAR", "FAST", "%", "0"};
    procedure().insertStep(0, x);
    procedure().insertStep(1, l);

    doubleClickRow(0);
    EXPECT_EQ(view.editedRow(), 0);
    EXPECT_EQ(combo("firstItemCombo")->currentText(), "X");
    EXPECT_EQ(combo("firstUnitCombo")->currentText(), "MO");
    EXPECT_EQ(edit("firstStdEdit")->text(), "2");
    EXPECT_EQ(edit("firstLowEdit")->text(), "-1");
    EXPECT_EQ(edit("firstHighEdit")->text(), "+3");
    EXPECT_EQ(combo("secondItemCombo")->currentText(), "R");
    EXPECT_EQ(combo("secondUnitCombo")->currentText(), "mO");
    EXPECT_EQ(edit("secondStdEdit")->text(), "50");
    EXPECT_EQ(edit("secondLowEdit")->text(), "-2");
    EXPECT_EQ(edit("secondHighEdit")->text(), "+2");
    EXPECT_EQ(edit("freqEdit")->text(), "1");
    EXPECT_EQ(combo("freqUnitCombo")->currentText(), "KHz");
    EXPECT_EQ(edit("levelEdit")->text(), "1");
    EXPECT_EQ(combo("levelUnitCombo")->currentText(), "V");
    EXPECT_EQ(combo("speedCombo")->currentText(), "SLOW");
    EXPECT_EQ(combo("typeCombo")->currentText(), "Absolute");
    EXPECT_EQ(edit("delayEdit")->text(), "250");

    // The click that starts the next double click writes row 0 back unchanged.
    doubleClickRow(1);
    EXPECT_EQ(text(0, ProcedureStep::FUnit), "MO");
    EXPECT_EQ(text(0, ProcedureStep::Freq), "1KHz");
    EXPECT_EQ(picture(0), ProcedureStep::ROnly);
    EXPECT_EQ(view.editedRow(), 1);
    EXPECT_EQ(combo("firstUnitCombo")->currentText(), "mH");
    EXPECT_EQ(combo("circuitCombo")->currentText(), "PAR");
    EXPECT_EQ(combo("secondItemCombo")->currentText(), "G");
    EXPECT_EQ(combo("secondUnitCombo")->currentText(), "S");
    EXPECT_EQ(edit("freqEdit")->text(), "2");
    EXPECT_EQ(combo("freqUnitCombo")->currentText(), "MHz");
    EXPECT_EQ(edit("levelEdit")->text(), "300");
    EXPECT_EQ(combo("levelUnitCombo")->currentText(), "mV");
}

TEST_F(ProcedureRows, CommitWritesTheOpenRowAndRebuildsColumns)
{
    add();
    add();
    doubleClickRow(0);
    choose("secondItemCombo", "D");
    typeInto("delayEdit", "40");
    // Nothing changes until the click in the list.
    EXPECT_EQ(text(0, ProcedureStep::SItem), "off");
    clickRow(1);
    EXPECT_EQ(text(0, ProcedureStep::SItem), "D");
    EXPECT_EQ(text(0, ProcedureStep::SUnit), "D");
    EXPECT_EQ(text(0, ProcedureStep::Delay), "40");
    EXPECT_EQ(text(0, ProcedureStep::Step), "1");
    EXPECT_EQ(text(1, ProcedureStep::SItem), "off");
    EXPECT_EQ(view.editedRow(), -1);
    EXPECT_EQ(view.currentStep(), 1);
    EXPECT_EQ(results().columnTitles(), QStringList({"Seq.", "C1", "P/F", "D1", "P/F", "C2", "P/F"}));

    // A further click writes nothing.
    typeInto("delayEdit", "99");
    clickRow(0);
    EXPECT_EQ(text(0, ProcedureStep::Delay), "40");
    EXPECT_EQ(view.currentStep(), 0);
}

TEST_F(ProcedureRows, AddInsertsBeforeTheClickedRowAndRenumbers)
{
    for (const char *item : {"C", "L", "X"}) {
        choose("firstItemCombo", item);
        add();
    }
    clickRow(1);
    EXPECT_EQ(view.currentStep(), 1);
    choose("firstItemCombo", "Z");
    add();
    choose("firstItemCombo", "Y");
    add();
    EXPECT_EQ(column(ProcedureStep::FItem), QStringList({"C", "Z", "Y", "L", "X"}));
    EXPECT_EQ(column(ProcedureStep::Step), QStringList({"1", "2", "3", "4", "5"}));
    EXPECT_EQ(view.currentStep(), 3);
}

TEST_F(ProcedureRows, DeleteKeyRemovesTheClickedRowOnce)
{
    for (const char *item : {"C", "L", "X"}) {
        choose("firstItemCombo", item);
        add();
    }
    clickRow(0);
    pressDelete();
    EXPECT_EQ(column(ProcedureStep::FItem), QStringList({"L", "X"}));
    EXPECT_EQ(column(ProcedureStep::Step), QStringList({"1", "2"}));
    EXPECT_EQ(view.currentStep(), -1);
    EXPECT_EQ(results().columnTitles(), QStringList({"Seq.", "L1", "P/F", "X2", "P/F"}));

    pressDelete();
    EXPECT_EQ(procedure().stepCount(), 2);

    // Other keys do nothing; a click arms Delete again.
    clickRow(1);
    GuiDriver::key(list(), Qt::Key_Backspace);
    EXPECT_EQ(procedure().stepCount(), 2);
    pressDelete();
    EXPECT_EQ(column(ProcedureStep::FItem), QStringList({"L"}));
    EXPECT_TRUE(prompter.said.isEmpty());
}

TEST_F(ProcedureRows, ResultColumnsFollowTheSteps)
{
    add();
    choose("secondItemCombo", "Q");
    add();
    EXPECT_EQ(results().columnTitles(), QStringList({"Seq.", "C1", "P/F", "C2", "P/F", "Q2", "P/F"}));
    EXPECT_EQ(results().columnCount(), 7);

    // Deleting the only step with a second item leaves the first column only.
    clickRow(0);
    pressDelete();
    clickRow(0);
    pressDelete();
    EXPECT_EQ(procedure().stepCount(), 0);
    EXPECT_EQ(results().columnTitles(), QStringList({"Seq."}));
}

TEST_F(ProcedureRows, AddWithResultsAsksAndCancelChangesNothing)
{
    add();
    addResultRow();
    prompter.answers = {false};
    add();
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(prompter.said[0].caption, "Warning");
    EXPECT_EQ(prompter.said[0].text, AddQuestion);
    EXPECT_TRUE(prompter.said[0].question);
    EXPECT_EQ(procedure().stepCount(), 1);
    EXPECT_EQ(results().resultCount(), 1);
    EXPECT_EQ(view.currentStep(), 1);

    prompter.answers = {true};
    add();
    EXPECT_EQ(procedure().stepCount(), 2);
    EXPECT_EQ(results().resultCount(), 0);
    EXPECT_EQ(results().columnTitles(), QStringList({"Seq.", "C1", "P/F", "C2", "P/F"}));
}

TEST_F(ProcedureRows, DoubleClickWithResultsAsksAndNeverOpens)
{
    add();
    addResultRow();
    prompter.answers = {false};
    doubleClickRow(0);
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(prompter.said[0].caption, "Warning");
    EXPECT_EQ(prompter.said[0].text, OpenQuestion);
    EXPECT_EQ(results().resultCount(), 1);
    EXPECT_EQ(view.editedRow(), -1);
    EXPECT_EQ(picture(0), ProcedureStep::CSer);

    prompter.answers = {true};
    doubleClickRow(0);
    EXPECT_EQ(results().resultCount(), 0);
    EXPECT_EQ(view.editedRow(), -1);
    EXPECT_EQ(picture(0), ProcedureStep::CSer);

    doubleClickRow(0);
    EXPECT_EQ(prompter.said.size(), 2);
    EXPECT_EQ(view.editedRow(), 0);
    EXPECT_EQ(picture(0), ProcedureStep::Editing);
}

TEST_F(ProcedureRows, CommitAndDeleteKeepTheResults)
{
    add();
    addResultRow();
    clickRow(0);
    pressDelete();
    EXPECT_EQ(results().resultCount(), 1);
    EXPECT_TRUE(prompter.said.isEmpty());
}

TEST_F(ProcedureRows, DeleteAllAsksAndCancelKeepsEverything)
{
    int clearing = 0;
    QObject::connect(&view, &ProcedureView::clearingProcedure, [&] { ++clearing; });

    clearAll();
    EXPECT_TRUE(prompter.said.isEmpty());

    choose("firstItemCombo", "Rdc");
    typeInto("levelEdit", "5");
    add();
    add();
    addResultRow();
    prompter.answers = {false};
    clearAll();
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(prompter.said[0].caption, "Qel");
    EXPECT_EQ(prompter.said[0].text, ClearQuestion);
    EXPECT_EQ(prompter.said[0].icon, Prompter::Icon::Question);
    EXPECT_EQ(clearing, 0);
    EXPECT_EQ(procedure().stepCount(), 2);
    EXPECT_EQ(results().resultCount(), 1);
    EXPECT_EQ(combo("firstItemCombo")->currentText(), "Rdc");

    prompter.answers = {true};
    clearAll();
    EXPECT_EQ(clearing, 1);
    EXPECT_EQ(procedure().stepCount(), 0);
    EXPECT_EQ(results().resultCount(), 0);
    EXPECT_EQ(results().columnTitles(), QStringList({"Seq."}));
    EXPECT_EQ(view.currentStep(), 0);
    EXPECT_EQ(combo("firstItemCombo")->currentText(), "C");
    EXPECT_TRUE(edit("freqEdit")->isEnabled());
    EXPECT_EQ(edit("levelEdit")->text(), "10");
    EXPECT_EQ(combo("circuitCombo")->currentText(), "SER");
    // The report's date lists are the document's, not cleared here.
    EXPECT_EQ(results().reportDates().size(), 1);
}

TEST_F(ProcedureRows, RemoveAllAsksUnderTheProgramTitle)
{
    view.removeAllResults();
    EXPECT_TRUE(prompter.said.isEmpty());

    add();
    addResultRow();
    addResultRow();
    prompter.answers = {false};
    view.removeAllResults();
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(prompter.said[0].caption, "Qel");
    EXPECT_EQ(prompter.said[0].text, "Are you sure?");
    EXPECT_EQ(prompter.said[0].icon, Prompter::Icon::None);
    EXPECT_EQ(results().resultCount(), 2);

    prompter.answers = {true};
    view.removeAllResults();
    EXPECT_EQ(results().resultCount(), 0);
    EXPECT_EQ(results().columnTitles(), QStringList({"Seq.", "C1", "P/F"}));
    EXPECT_EQ(results().reportDates(), QStringList({"2012/3/7/", "2012/3/7/"}));
}

// The open row must stay the row that is written back, whatever is inserted
// or deleted around it in the meantime.
TEST_F(ProcedureRows, OpenRowSurvivesInsertionsAndDeletionsAroundIt)
{
    for (const char *item : {"C", "L", "X"}) {
        choose("firstItemCombo", item);
        add();
    }
    doubleClickRow(1); // L opens; the current step is 1
    choose("firstItemCombo", "Y");
    add(); // inserted before the open row
    EXPECT_EQ(column(ProcedureStep::FItem), QStringList({"C", "Y", "L", "X"}));
    EXPECT_EQ(view.editedRow(), 2);
    EXPECT_EQ(picture(2), ProcedureStep::Editing);
    choose("firstItemCombo", "B");
    clickRow(3);
    EXPECT_EQ(column(ProcedureStep::FItem), QStringList({"C", "Y", "B", "X"}));
    EXPECT_EQ(picture(1), ProcedureStep::ROnly);

    // Deleting the open row itself: nothing is written back afterwards.
    doubleClickRow(3);
    ASSERT_EQ(view.editedRow(), 3);
    choose("firstItemCombo", "Z");
    view.setCurrentStep(3);
    pressDelete();
    EXPECT_EQ(view.editedRow(), -1);
    clickRow(0);
    EXPECT_EQ(column(ProcedureStep::FItem), QStringList({"C", "Y", "B"}));
}

TEST_F(ProcedureRows, DeleteAllForgetsTheOpenRow)
{
    add();
    doubleClickRow(0);
    ASSERT_EQ(view.editedRow(), 0);
    clearAll();
    EXPECT_EQ(view.editedRow(), -1);
    choose("firstItemCombo", "L");
    add();
    choose("firstItemCombo", "X");
    clickRow(0);
    EXPECT_EQ(text(0, ProcedureStep::FItem), "L");
}

TEST_F(ProcedureRows, ClickBelowTheRowsThenAddAppends)
{
    add();
    add();
    GuiDriver::click(list()->viewport(), QPoint(10, list()->viewport()->height() - 5));
    EXPECT_EQ(view.currentStep(), -1);
    choose("firstItemCombo", "L");
    add();
    choose("firstItemCombo", "X");
    add();
    EXPECT_EQ(column(ProcedureStep::FItem), QStringList({"C", "C", "L", "X"}));
    EXPECT_EQ(column(ProcedureStep::Step), QStringList({"1", "2", "3", "4"}));
}
