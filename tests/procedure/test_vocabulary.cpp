#include "procedure/FieldParsing.h"
#include "procedure/Vocabulary.h"

#include <gtest/gtest.h>

using namespace Vocabulary;

TEST(VocabularyFirstItems, TableInSelectorOrder)
{
    EXPECT_EQ(firstItems(), QStringList({"C", "L", "X", "B", "Z", "Y", "Rdc"}));
    EXPECT_EQ(firstItemIndex("Rdc"), Rdc);
    EXPECT_EQ(firstItemIndex("B"), B);
    EXPECT_EQ(firstItemIndex("c"), -1);
    EXPECT_EQ(firstItemIndex("RDC"), -1);
    EXPECT_TRUE(firstUnits(-1).isEmpty());
    EXPECT_TRUE(firstUnits(FirstItemCount).isEmpty());
}

TEST(VocabularyFirstItems, UnitsAndDefaults)
{
    EXPECT_EQ(firstUnits(C), QStringList({"pF", "nF", "uF", "mF", "F"}));
    EXPECT_EQ(firstUnits(L), QStringList({"pH", "nH", "uH", "mH", "H", "KH", "MH"}));
    for (int i : {X, Z, Rdc}) {
        EXPECT_EQ(firstUnits(i), QStringList({"mO", "O", "KO", "MO"}));
        EXPECT_EQ(defaultFirstUnit(i), "O");
    }
    for (int i : {B, Y}) {
        EXPECT_EQ(firstUnits(i), QStringList({"mS", "S"}));
        EXPECT_EQ(defaultFirstUnit(i), "mS");
    }
    EXPECT_EQ(defaultFirstUnit(C), "pF");
    EXPECT_EQ(defaultFirstUnit(L), "pH");
    // Every default is one of its item's units.
    for (int i = 0; i < FirstItemCount; ++i)
        EXPECT_TRUE(firstUnits(i).contains(defaultFirstUnit(i))) << i;
}

TEST(VocabularyFirstItems, CircuitsOffered)
{
    EXPECT_EQ(circuitsFor(C), QStringList({"SER", "PAR"}));
    EXPECT_EQ(circuitsFor(L), QStringList({"SER", "PAR"}));
    EXPECT_EQ(circuitsFor(X), QStringList({"SER"}));
    EXPECT_EQ(circuitsFor(B), QStringList({"PAR"}));
    for (int i : {Z, Y, Rdc})
        EXPECT_TRUE(circuitsFor(i).isEmpty()) << i;
}

TEST(VocabularyFirstItems, SecondItemsOfferGOnlyWithParallel)
{
    const QStringList base = {"off", "Q", "D", "R"};
    const QStringList withG = {"off", "Q", "D", "R", "G"};
    EXPECT_EQ(secondItemsFor(C, "SER"), base);
    EXPECT_EQ(secondItemsFor(C, "PAR"), withG);
    EXPECT_EQ(secondItemsFor(L, "SER"), base);
    EXPECT_EQ(secondItemsFor(L, "PAR"), withG);
    EXPECT_EQ(secondItemsFor(C, "par"), base);
    EXPECT_EQ(secondItemsFor(X, "SER"), base);
    EXPECT_EQ(secondItemsFor(B, "PAR"), withG);
    EXPECT_EQ(secondItemsFor(Z, ""), QStringList({"off", "Angle"}));
    EXPECT_EQ(secondItemsFor(Y, ""), QStringList({"off", "Angle"}));
    EXPECT_EQ(secondItemsFor(Rdc, ""), QStringList({"off"}));
    // The offer follows the item's own circuits, so no item gets G twice.
    for (int i = 0; i < FirstItemCount; ++i)
        for (const QString &c : circuitsFor(i))
            EXPECT_LE(secondItemsFor(i, c).count("G"), 1) << i;
}

TEST(VocabularySecondItems, UnitsAndDefaults)
{
    EXPECT_EQ(secondItems(), QStringList({"off", "Q", "D", "R", "G", "Angle"}));
    EXPECT_TRUE(secondUnits("off").isEmpty());
    EXPECT_TRUE(defaultSecondUnit("off").isEmpty());
    EXPECT_EQ(secondUnits("Q"), QStringList({"Q"}));
    EXPECT_EQ(secondUnits("D"), QStringList({"D"}));
    EXPECT_EQ(secondUnits("R"), QStringList({"mO", "O", "KO", "MO"}));
    EXPECT_EQ(defaultSecondUnit("R"), "O");
    EXPECT_EQ(secondUnits("G"), QStringList({"mS", "S"}));
    EXPECT_EQ(defaultSecondUnit("G"), "mS");
    EXPECT_EQ(secondUnits("Angle"), QStringList({QString(QChar(0x00B0))}));
    EXPECT_EQ(defaultSecondUnit("Angle"), degreeUnit());
    EXPECT_TRUE(secondUnits("Bogus").isEmpty());
}

TEST(VocabularySecondItems, UnitsScaleOnlyByLargePrefixes)
{
    // Every second-item unit must carry a factor the second-item search finds.
    for (const QString &item : secondItems())
        for (const QString &u : secondUnits(item))
            EXPECT_EQ(FieldParsing::unitToBase(u, true), FieldParsing::unitToBase(u, false)) << u.toStdString();
}

TEST(VocabularyOther, ListsAndEditorDefaults)
{
    EXPECT_EQ(frequencyUnits(), QStringList({"Hz", "KHz", "MHz"}));
    EXPECT_EQ(levelUnits(), QStringList({"mV", "V"}));
    EXPECT_EQ(circuits(), QStringList({"SER", "PAR"}));
    EXPECT_EQ(speeds(), QStringList({"SLOW", "MED", "FAST", "MAX"}));
    EXPECT_EQ(types(), QStringList({"%", "Absolute"}));
    const EditorDefaults &d = editorDefaults();
    EXPECT_EQ(d.frequency + d.frequencyUnit, "20Hz");
    EXPECT_EQ(d.level + d.levelUnit, "10mV");
    EXPECT_EQ(speeds().at(d.speedIndex), d.speed);
    EXPECT_EQ(d.speed, "MED");
    EXPECT_EQ(d.circuit, "SER");
    EXPECT_EQ(d.type, "%");
    EXPECT_EQ(d.delay, "0");
    EXPECT_EQ(d.firstItem, "C");
    EXPECT_EQ(d.firstUnit, defaultFirstUnit(firstItemIndex(d.firstItem)));
    EXPECT_EQ(d.secondItem, "off");
    EXPECT_EQ(FieldParsing::frequencyHz(d.frequency + d.frequencyUnit), 20.0);
}

TEST(VocabularyLimits, DefaultsAndTypeRewrite)
{
    EXPECT_EQ(defaultLowLimit(true), "-5%");
    EXPECT_EQ(defaultHighLimit(true), "+5%");
    EXPECT_EQ(defaultLowLimit(false), "-5");
    EXPECT_EQ(defaultHighLimit(false), "+5");
    EXPECT_EQ(limitForType("-5%", false), "-5");
    EXPECT_EQ(limitForType("-5", true), "-5%");
    EXPECT_EQ(limitForType("-5%", true), "-5%");
    EXPECT_EQ(limitForType("1%0%", true), "10%");
    EXPECT_DOUBLE_EQ(FieldParsing::limitValue(defaultLowLimit(true)), -0.05);
    EXPECT_DOUBLE_EQ(FieldParsing::limitValue(defaultHighLimit(false)), 5.0);
}
