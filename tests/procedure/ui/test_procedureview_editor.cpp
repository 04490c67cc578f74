// The step controls: defaults, the item, circuit and type reactions, and the
// limits a standard brings with it.

#include "ViewFixture.h"

#include "procedure/Vocabulary.h"

using GuiDriver::items;

using EditorControls = ViewFixture;

TEST_F(EditorControls, StartWithTheDefaultsAndCarryControlIds)
{
    EXPECT_EQ(edit("freqEdit")->text(), "20");
    EXPECT_EQ(combo("freqUnitCombo")->currentText(), "Hz");
    EXPECT_EQ(edit("levelEdit")->text(), "10");
    EXPECT_EQ(combo("levelUnitCombo")->currentText(), "mV");
    EXPECT_EQ(items(combo("circuitCombo")), QStringList({"SER", "PAR"}));
    EXPECT_EQ(combo("circuitCombo")->currentText(), "SER");
    EXPECT_EQ(items(combo("speedCombo")), QStringList({"SLOW", "MED", "FAST", "MAX"}));
    EXPECT_EQ(combo("speedCombo")->currentText(), "MED");
    EXPECT_EQ(combo("typeCombo")->currentText(), "%");
    EXPECT_EQ(edit("delayEdit")->text(), "0");
    EXPECT_EQ(items(combo("firstItemCombo")), QStringList({"C", "L", "X", "B", "Z", "Y", "Rdc"}));
    EXPECT_EQ(items(combo("firstUnitCombo")), QStringList({"pF", "nF", "uF", "mF", "F"}));
    EXPECT_EQ(combo("firstUnitCombo")->currentText(), "pF");
    EXPECT_EQ(items(combo("secondItemCombo")), QStringList({"off", "Q", "D", "R"}));
    EXPECT_EQ(combo("secondItemCombo")->currentText(), "off");
    EXPECT_EQ(combo("secondUnitCombo")->count(), 0);

    const struct { const char *name; int id; } ids[] = {{"procedureList", 1001}, {"freqEdit", 1002},
        {"freqUnitCombo", 1003}, {"levelEdit", 1004}, {"levelUnitCombo", 1005}, {"circuitCombo", 1006},
        {"speedCombo", 1007}, {"typeCombo", 1008}, {"delayEdit", 1009}, {"firstItemCombo", 1010},
        {"firstStdEdit", 1011}, {"firstLowEdit", 1012}, {"firstHighEdit", 1013}, {"firstUnitCombo", 1014},
        {"secondItemCombo", 1015}, {"secondStdEdit", 1016}, {"secondLowEdit", 1017}, {"secondHighEdit", 1018},
        {"secondUnitCombo", 1019}, {"addButton", 1020}, {"clearButton", 1021}};
    for (const auto &c : ids) {
        QWidget *w = view.findChild<QWidget *>(QLatin1String(c.name));
        ASSERT_NE(w, nullptr) << c.name;
        EXPECT_EQ(w->property("ctrlId").toInt(), c.id) << c.name;
    }
}

TEST_F(EditorControls, FirstStandardBringsLimitsThatFollowTheType)
{
    typeInto("firstStdEdit", "100");
    EXPECT_EQ(edit("firstLowEdit")->text(), "-5%");
    EXPECT_EQ(edit("firstHighEdit")->text(), "+5%");

    choose("typeCombo", "Absolute");
    EXPECT_EQ(edit("firstLowEdit")->text(), "-5");
    EXPECT_EQ(edit("firstHighEdit")->text(), "+5");

    choose("typeCombo", "%");
    EXPECT_EQ(edit("firstLowEdit")->text(), "-5%");
    EXPECT_EQ(edit("firstHighEdit")->text(), "+5%");

    // Typed limits are rewritten too, with every "%" gone before one is added.
    typeInto("firstLowEdit", "-3%%");
    typeInto("firstHighEdit", "7");
    choose("typeCombo", "%");
    EXPECT_EQ(edit("firstLowEdit")->text(), "-3%");
    EXPECT_EQ(edit("firstHighEdit")->text(), "7%");

    // Any change of the standard resets the limits, typed ones included.
    typeInto("firstStdEdit", "22");
    EXPECT_EQ(edit("firstLowEdit")->text(), "-5%");
    choose("typeCombo", "Absolute");
    typeInto("firstStdEdit", "47");
    EXPECT_EQ(edit("firstLowEdit")->text(), "-5");
    EXPECT_EQ(edit("firstHighEdit")->text(), "+5");
}

TEST_F(EditorControls, TypeChangeLeavesAPairWithAnEmptyTextAlone)
{
    typeInto("firstStdEdit", "100");
    GuiDriver::clearEdit(edit("firstHighEdit"));
    choose("typeCombo", "Absolute");
    EXPECT_EQ(edit("firstLowEdit")->text(), "-5%");
    EXPECT_EQ(edit("firstHighEdit")->text(), "");
}

TEST_F(EditorControls, ClearingTheStandardEmptiesBothLimits)
{
    typeInto("firstStdEdit", "100");
    ASSERT_EQ(edit("firstLowEdit")->text(), "-5%");
    GuiDriver::clearEdit(edit("firstStdEdit"));
    EXPECT_EQ(edit("firstLowEdit")->text(), "");
    EXPECT_EQ(edit("firstHighEdit")->text(), "");
}

TEST_F(EditorControls, SecondStandardGivesLimitsOnlyWithASecondItem)
{
    typeInto("secondStdEdit", "5");
    EXPECT_EQ(edit("secondLowEdit")->text(), "");
    EXPECT_EQ(edit("secondHighEdit")->text(), "");

    // Choosing an item re-runs the standard's reset, since a standard is there.
    choose("secondItemCombo", "Q");
    EXPECT_EQ(items(combo("secondUnitCombo")), QStringList({"Q"}));
    EXPECT_EQ(edit("secondLowEdit")->text(), "-5%");
    EXPECT_EQ(edit("secondHighEdit")->text(), "+5%");

    choose("secondItemCombo", "off");
    EXPECT_EQ(edit("secondStdEdit")->text(), "");
    EXPECT_EQ(edit("secondLowEdit")->text(), "");
    EXPECT_EQ(edit("secondHighEdit")->text(), "");
    EXPECT_EQ(combo("secondUnitCombo")->count(), 0);
}

TEST_F(EditorControls, SecondItemsOfferTheirUnits)
{
    choose("secondItemCombo", "D");
    EXPECT_EQ(items(combo("secondUnitCombo")), QStringList({"D"}));
    choose("secondItemCombo", "R");
    EXPECT_EQ(items(combo("secondUnitCombo")), QStringList({"mO", "O", "KO", "MO"}));
    EXPECT_EQ(combo("secondUnitCombo")->currentText(), "O");

    choose("firstItemCombo", "B");
    choose("secondItemCombo", "G");
    EXPECT_EQ(items(combo("secondUnitCombo")), QStringList({"mS", "S"}));
    EXPECT_EQ(combo("secondUnitCombo")->currentText(), "mS");

    choose("firstItemCombo", "Z");
    EXPECT_EQ(items(combo("secondItemCombo")), QStringList({"off", "Angle"}));
    choose("secondItemCombo", "Angle");
    EXPECT_EQ(items(combo("secondUnitCombo")), QStringList({QString(QChar(0x00B0))}));
}

TEST_F(EditorControls, FirstItemRefillsUnitsCircuitsAndSecondItemsButKeepsTexts)
{
    typeInto("firstStdEdit", "10");
    choose("secondItemCombo", "Q");
    typeInto("secondStdEdit", "30");

    choose("firstItemCombo", "L");
    EXPECT_EQ(items(combo("firstUnitCombo")), QStringList({"pH", "nH", "uH", "mH", "H", "KH", "MH"}));
    EXPECT_EQ(combo("firstUnitCombo")->currentText(), "pH");
    EXPECT_EQ(items(combo("circuitCombo")), QStringList({"SER", "PAR"}));
    EXPECT_EQ(combo("secondItemCombo")->currentText(), "off");
    // The standards and limits are the operator's; only the lists change.
    EXPECT_EQ(edit("firstStdEdit")->text(), "10");
    EXPECT_EQ(edit("firstLowEdit")->text(), "-5%");
    EXPECT_EQ(edit("secondStdEdit")->text(), "30");

    choose("firstItemCombo", "X");
    EXPECT_EQ(items(combo("circuitCombo")), QStringList({"SER"}));
    EXPECT_EQ(combo("firstUnitCombo")->currentText(), "O");
    choose("firstItemCombo", "Y");
    EXPECT_EQ(combo("circuitCombo")->count(), 0);
    EXPECT_EQ(combo("firstUnitCombo")->currentText(), "mS");
}

TEST_F(EditorControls, RdcDisablesTheFrequencyControlsOnly)
{
    choose("firstItemCombo", "Rdc");
    EXPECT_FALSE(edit("freqEdit")->isEnabled());
    EXPECT_FALSE(combo("freqUnitCombo")->isEnabled());
    EXPECT_FALSE(combo("levelUnitCombo")->isEnabled());
    EXPECT_TRUE(edit("levelEdit")->isEnabled());
    EXPECT_EQ(combo("circuitCombo")->count(), 0);
    EXPECT_EQ(items(combo("secondItemCombo")), QStringList({"off"}));
    EXPECT_EQ(items(combo("firstUnitCombo")), QStringList({"mO", "O", "KO", "MO"}));

    choose("firstItemCombo", "C");
    EXPECT_TRUE(edit("freqEdit")->isEnabled());
    EXPECT_TRUE(combo("freqUnitCombo")->isEnabled());
    EXPECT_TRUE(combo("levelUnitCombo")->isEnabled());
}

TEST_F(EditorControls, BOffersOnlyParallelAndFiveSecondItems)
{
    choose("firstItemCombo", "B");
    EXPECT_EQ(items(combo("circuitCombo")), QStringList({"PAR"}));
    EXPECT_EQ(items(combo("secondItemCombo")), QStringList({"off", "Q", "D", "R", "G"}));
    // Circuit choices do not touch B's list.
    choose("circuitCombo", "PAR");
    EXPECT_EQ(items(combo("secondItemCombo")), QStringList({"off", "Q", "D", "R", "G"}));
    add();
    EXPECT_EQ(text(0, ProcedureStep::Circuit), "PAR");
    EXPECT_EQ(picture(0), ProcedureStep::CPar);
}

TEST_F(EditorControls, ParallelAddsGAndSeriesTakesItAwayAndResetsToOff)
{
    choose("secondItemCombo", "Q");
    choose("circuitCombo", "PAR");
    EXPECT_EQ(items(combo("secondItemCombo")), QStringList({"off", "Q", "D", "R", "G"}));
    EXPECT_EQ(combo("secondItemCombo")->currentText(), "Q");
    // A second PAR does not add a second G.
    choose("circuitCombo", "PAR");
    EXPECT_EQ(combo("secondItemCombo")->count(), 5);

    choose("secondItemCombo", "G");
    choose("circuitCombo", "SER");
    EXPECT_EQ(items(combo("secondItemCombo")), QStringList({"off", "Q", "D", "R"}));
    EXPECT_EQ(combo("secondItemCombo")->currentText(), "off");

    choose("firstItemCombo", "L");
    choose("circuitCombo", "PAR");
    EXPECT_EQ(combo("secondItemCombo")->itemText(4), "G");
}

TEST_F(EditorControls, PicturesFollowItemAndCircuit)
{
    const struct { const char *item; const char *circuit; int picture; } cases[] = {
        {"C", "SER", ProcedureStep::CSer}, {"L", "SER", ProcedureStep::LSer}, {"C", "PAR", ProcedureStep::CPar},
        {"L", "PAR", ProcedureStep::LPar}, {"X", nullptr, ProcedureStep::ROnly}, {"Z", nullptr, ProcedureStep::ROnly},
        {"Y", nullptr, ProcedureStep::ROnly}, {"Rdc", nullptr, ProcedureStep::ROnly}};
    int row = 0;
    for (const auto &c : cases) {
        choose("firstItemCombo", c.item);
        if (c.circuit)
            choose("circuitCombo", c.circuit);
        add();
        EXPECT_EQ(picture(row), c.picture) << c.item;
        EXPECT_FALSE(procedure().data(procedure().index(row, 0), Qt::DecorationRole).value<QIcon>().isNull());
        ++row;
    }
}
