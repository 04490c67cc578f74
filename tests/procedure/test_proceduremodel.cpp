// The procedure model: rows of seventeen texts with a picture, insertion and
// removal at any place, renumbering, and what a view is shown.

#include "../support/ProcedureSteps.h"

#include "procedure/ProcedureModel.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

using S = ProcedureStep;

QStringList firstItems(const ProcedureModel &m)
{
    QStringList out;
    for (int r = 0; r < m.stepCount(); ++r)
        out << m.text(r, ProcedureStep::FItem);
    return out;
}

QStringList stepTexts(const ProcedureModel &m)
{
    QStringList out;
    for (int r = 0; r < m.stepCount(); ++r)
        out << m.text(r, ProcedureStep::Step);
    return out;
}

} // namespace

TEST(ProcedureModel, InsertsAnywhereAndClampsOutOfRangeRows)
{
    ProcedureModel m;
    m.insertStep(0, stepWith());
    m.insertStep(1, stepWith({{S::FItem, "L"}}));
    m.insertStep(1, stepWith({{S::FItem, "X"}}));
    m.insertStep(99, stepWith({{S::FItem, "B"}}));  // past the end: appended
    m.insertStep(-1, stepWith({{S::FItem, "Z"}}));  // before the start: first
    EXPECT_EQ(firstItems(m), QStringList({"Z", "C", "X", "L", "B"}));
    // Step texts are the caller's business until renumbered.
    EXPECT_EQ(stepTexts(m), QStringList({"", "", "", "", ""}));
    m.renumber(2);
    EXPECT_EQ(stepTexts(m), QStringList({"", "", "3", "4", "5"}));
    m.renumber();
    EXPECT_EQ(stepTexts(m), QStringList({"1", "2", "3", "4", "5"}));
    m.renumber(-3);
    EXPECT_EQ(stepTexts(m), QStringList({"1", "2", "3", "4", "5"}));
    m.renumber(5); // nothing left to renumber, nothing changes
    EXPECT_EQ(m.stepCount(), 5);
}

TEST(ProcedureModel, RemoveReportsWhetherARowWentAway)
{
    ProcedureModel m;
    for (const char *f : {"C", "L", "X"})
        m.insertStep(m.stepCount(), stepWith({{S::FItem, f}}));
    m.renumber();
    EXPECT_FALSE(m.removeStep(-1));
    EXPECT_FALSE(m.removeStep(3));
    EXPECT_TRUE(m.removeStep(0));
    EXPECT_EQ(firstItems(m), QStringList({"L", "X"}));
    EXPECT_EQ(stepTexts(m), QStringList({"2", "3"}));
    m.renumber(0);
    EXPECT_EQ(stepTexts(m), QStringList({"1", "2"}));
    m.clear();
    EXPECT_EQ(m.stepCount(), 0);
    EXPECT_FALSE(m.removeStep(0));
}

TEST(ProcedureModel, WritesOutsideTheRowsAreIgnored)
{
    ProcedureModel m;
    m.insertStep(0, stepWith());
    m.setText(0, ProcedureStep::Delay, "250");
    m.setText(1, ProcedureStep::Delay, "x");
    m.setText(0, ProcedureStep::ColumnCount, "x");
    m.setText(0, -1, "x");
    m.setStep(3, stepWith({{S::FItem, "L"}}));
    m.setPicture(2, ProcedureStep::Editing);
    EXPECT_EQ(m.stepCount(), 1);
    EXPECT_EQ(m.text(0, ProcedureStep::Delay), "250");
    EXPECT_EQ(m.text(0, ProcedureStep::FItem), "C");
    EXPECT_EQ(m.step(0).picture, ProcedureStep::CSer);

    m.setStep(0, stepWith({{S::FItem, "L"}, {S::SItem, "Q"}, {S::Circuit, "PAR"}}));
    EXPECT_EQ(m.text(0, ProcedureStep::SItem), "Q");
    EXPECT_EQ(m.step(0).picture, ProcedureStep::LPar);
    EXPECT_EQ(m.text(0, ProcedureStep::Delay), "0"); // the whole step was replaced
}

TEST(ProcedureModel, CountsStepsWithASecondItem)
{
    ProcedureModel m;
    EXPECT_EQ(m.secondItemCount(), 0);
    m.setSteps({stepWith(), stepWith({{S::SItem, "Q"}}), stepWith({{S::FItem, "Z"}, {S::SItem, "Angle"}}),
        stepWith({{S::FItem, "Rdc"}})});
    EXPECT_EQ(m.secondItemCount(), 2);
    // "Off" is not "off": the texts are compared exactly.
    m.setText(3, ProcedureStep::SItem, "Off");
    EXPECT_EQ(m.secondItemCount(), 3);
}

TEST(ProcedureModel, ShowsTextsHeadersAndPictures)
{
    ProcedureModel m;
    EXPECT_EQ(m.columnCount(), 17);
    const QStringList headers = {"Step", "F-Item", "F-Std", "F-Low", "F-High", "F-Unit", "S-Item", "S-Std", "S-Low",
        "S-High", "S-Unit", "Freq.", "Level", "Circuit", "Speed", "Type", "Delay"};
    for (int c = 0; c < 17; ++c)
        EXPECT_EQ(m.headerData(c, Qt::Horizontal).toString(), headers.at(c));
    EXPECT_FALSE(m.headerData(17, Qt::Horizontal).toString() == "Delay");

    m.insertStep(0, stepWith({{S::FItem, "L"}}));
    EXPECT_EQ(m.data(m.index(0, 1)).toString(), "L");
    EXPECT_EQ(m.data(m.index(0, 0), ProcedureModel::PictureRole).toInt(), ProcedureStep::LSer);
    EXPECT_FALSE(m.data(m.index(0, 1), ProcedureModel::PictureRole).isValid());
    EXPECT_FALSE(m.data(m.index(0, 0), Qt::DecorationRole).isValid()); // no pictures handed over yet

    QVector<QIcon> pictures;
    for (int i = 0; i < ProcedureStep::PictureCount; ++i) {
        QPixmap p(48, 16);
        p.fill(QColor(i * 40, 0, 0));
        pictures << QIcon(p);
    }
    QList<int> decorated;
    QObject::connect(&m, &QAbstractItemModel::dataChanged, [&](const QModelIndex &a, const QModelIndex &b, const QList<int> &roles) {
        if (roles.contains(Qt::DecorationRole))
            decorated << a.row() << b.row();
    });
    m.setPictures(pictures);
    m.setPicture(0, ProcedureStep::Editing);
    EXPECT_EQ(decorated, QList<int>({0, 0, 0, 0}));
    const QIcon shown = m.data(m.index(0, 0), Qt::DecorationRole).value<QIcon>();
    EXPECT_EQ(shown.pixmap(48, 16).toImage().pixelColor(2, 2), QColor(ProcedureStep::Editing * 40, 0, 0));

    // A picture index without an image shows none rather than a wrong one.
    m.setPicture(0, 9);
    EXPECT_FALSE(m.data(m.index(0, 0), Qt::DecorationRole).isValid());
}

TEST(ProcedureModel, TellsViewsOfInsertionsAndRemovals)
{
    ProcedureModel m;
    QList<int> inserted, removed;
    QObject::connect(&m, &QAbstractItemModel::rowsInserted, [&](const QModelIndex &, int first, int) { inserted << first; });
    QObject::connect(&m, &QAbstractItemModel::rowsRemoved, [&](const QModelIndex &, int first, int) { removed << first; });
    m.insertStep(0, stepWith());
    m.insertStep(0, stepWith({{S::FItem, "L"}}));
    m.insertStep(7, stepWith({{S::FItem, "X"}}));
    m.removeStep(1);
    m.removeStep(5);
    EXPECT_EQ(inserted, QList<int>({0, 0, 2}));
    EXPECT_EQ(removed, QList<int>({1}));
}
