#include "reports/ui/ReportDescriptionDialog.h"

#include "execution/ResultTableModel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using RD = ReportDescription;

class ReportDescriptionDialogTest : public ::testing::Test
{
protected:
    void open() { dlg.show(); }
    void type(RD::Field f, const QString &text) { dlg.edit(f)->setText(text); }
    void pressEscape()
    {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&dlg, &press);
    }
    void clickOk() { dlg.findChild<QPushButton *>("okButton")->click(); }

    RD description{QDate(2026, 12, 6)};
    ReportDescriptionDialog dlg{&description};
};

TEST_F(ReportDescriptionDialogTest, ShowsTheCurrentTextsUnderTheirLabels)
{
    EXPECT_EQ(dlg.windowTitle(), "Report Desription Setup");
    EXPECT_TRUE(dlg.isModal());
    open();
    EXPECT_EQ(dlg.edit(RD::Title)->text(), "Quality Inspection Report");
    EXPECT_EQ(dlg.edit(RD::Instrument)->text(), "ZR-4410");
    EXPECT_EQ(dlg.edit(RD::Date)->text(), "2026/12/6");
    EXPECT_EQ(dlg.edit(RD::Sampling)->text(), "0");
    EXPECT_TRUE(dlg.edit(RD::Sampling)->isReadOnly());
    EXPECT_FALSE(dlg.edit(RD::Remark)->isReadOnly());
    QStringList labels;
    for (QLabel *l : dlg.findChildren<QLabel *>())
        labels << l->text();
    for (const char *s : {"Title", "Company", "Customer", "Instrument", "Date", "Part No", "Lot No", "Quantity",
                          "Sampling", "Remark"})
        EXPECT_TRUE(labels.contains(s)) << s;
    // Each label belongs to its edit.
    for (QLabel *l : dlg.findChildren<QLabel *>())
        if (l->text() == "Lot No")
            EXPECT_EQ(l->buddy(), dlg.edit(RD::LotNo));
    EXPECT_EQ(dlg.findChildren<QPushButton *>().size(), 1);
}

TEST_F(ReportDescriptionDialogTest, OkStoresEveryEditedText)
{
    open();
    type(RD::Title, "Incoming inspection");
    type(RD::Company, "Acme");
    type(RD::Date, "2027/1/1");
    type(RD::Remark, "lot split");
    clickOk();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(description.title(), "Incoming inspection");
    EXPECT_EQ(description.company(), "Acme");
    EXPECT_EQ(description.date(), "2027/1/1");
    EXPECT_EQ(description.remark(), "lot split");
    EXPECT_EQ(description.customer(), "Tarvolis");
}

TEST_F(ReportDescriptionDialogTest, EscapeAndCloseDiscardTheEdits)
{
    open();
    type(RD::Title, "typed then abandoned");
    type(RD::PartNo, "P-1");
    pressEscape();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(description.title(), "Quality Inspection Report");
    EXPECT_EQ(description.partNo(), "0");
    // Reopened, the edits show the stored texts, not what was typed.
    open();
    EXPECT_EQ(dlg.edit(RD::Title)->text(), "Quality Inspection Report");
    EXPECT_EQ(dlg.edit(RD::PartNo)->text(), "0");
    type(RD::Quantity, "99");
    dlg.close();
    EXPECT_EQ(description.quantity(), "0");
}

TEST_F(ReportDescriptionDialogTest, ReopenedAfterOkShowsTheNewTexts)
{
    open();
    type(RD::LotNo, "L7");
    clickOk();
    description.setText(RD::Customer, "changed elsewhere");
    open();
    EXPECT_EQ(dlg.edit(RD::LotNo)->text(), "L7");
    EXPECT_EQ(dlg.edit(RD::Customer)->text(), "changed elsewhere");
}

TEST_F(ReportDescriptionDialogTest, SamplingFollowsTheTableWhileOpenAndOkDoesNotTurnItBack)
{
    ResultTableModel table;
    description.followResultTable(&table);
    open();
    table.appendRow({"1", "pass"}, ResultTableModel::Passed);
    table.appendRow({"1", "pass"}, ResultTableModel::Passed);
    EXPECT_EQ(dlg.edit(RD::Sampling)->text(), "2");
    clickOk();
    EXPECT_EQ(description.sampling(), "2");
    table.appendRow({"1", "pass"}, ResultTableModel::Passed);
    EXPECT_EQ(description.sampling(), "3");
}
