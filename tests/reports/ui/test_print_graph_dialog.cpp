#include "reports/ui/PrintGraphDialog.h"

#include "reports/GraphPrint.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

class PrintGraphDialogTest : public ::testing::Test
{
protected:
    void click(const char *name) { dlg.findChild<QPushButton *>(name)->click(); }
    bool uprightShown() const { return dlg.uprightPicture()->isVisibleTo(&dlg); }
    bool sidewaysShown() const { return dlg.sidewaysPicture()->isVisibleTo(&dlg); }

    PrintGraphDialog dlg;
};

TEST_F(PrintGraphDialogTest, OpensUprightWithTheDefaultDescription)
{
    EXPECT_EQ(dlg.windowTitle(), "Dialog");
    dlg.show();
    EXPECT_TRUE(dlg.verticalButton()->isChecked());
    EXPECT_FALSE(dlg.levelButton()->isChecked());
    EXPECT_TRUE(uprightShown());
    EXPECT_FALSE(sidewaysShown());
    EXPECT_EQ(dlg.orientation(), PrintGraphDialog::Vertical);
    EXPECT_EQ(dlg.description(), GraphPrint::defaultDescription());
    EXPECT_EQ(dlg.descriptionEdit()->toPlainText(),
              "Tarvolis Instrument Co., Ltd.<newline>\n1000 Ridezadiva Vozodeve.<newline>\nVelmora<newline>\n");
    QStringList boxes;
    for (QGroupBox *g : dlg.findChildren<QGroupBox *>())
        boxes << g->title();
    EXPECT_TRUE(boxes.contains("Print direction"));
    EXPECT_TRUE(boxes.contains("Description"));
    EXPECT_EQ(dlg.verticalButton()->text(), "Vertical");
    EXPECT_EQ(dlg.levelButton()->text(), "Level");
    EXPECT_FALSE(dlg.uprightPicture()->pixmap().isNull());
    EXPECT_FALSE(dlg.sidewaysPicture()->pixmap().isNull());
    EXPECT_TRUE(dlg.findChild<QPushButton *>("printButton")->isDefault());
    EXPECT_EQ(dlg.findChild<QPushButton *>("printButton")->text(), "Print");
    EXPECT_EQ(dlg.findChild<QPushButton *>("cancelButton")->text(), "Cancel");
}

TEST_F(PrintGraphDialogTest, DirectionButtonsSwapThePictures)
{
    dlg.show();
    dlg.levelButton()->click();
    EXPECT_EQ(dlg.orientation(), PrintGraphDialog::Level);
    EXPECT_TRUE(dlg.landscape());
    EXPECT_FALSE(uprightShown());
    EXPECT_TRUE(sidewaysShown());
    dlg.verticalButton()->click();
    EXPECT_EQ(dlg.orientation(), PrintGraphDialog::Vertical);
    EXPECT_TRUE(uprightShown());
    EXPECT_FALSE(sidewaysShown());
}

TEST_F(PrintGraphDialogTest, PrintKeepsTheDescriptionAndReopensUpright)
{
    dlg.show();
    dlg.descriptionEdit()->setPlainText("Lab 3<newline>\nBench 2");
    dlg.levelButton()->click();
    click("printButton");
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_TRUE(dlg.landscape()); // what the caller prints with
    EXPECT_EQ(dlg.description(), "Lab 3<newline>\r\nBench 2");
    dlg.show();
    EXPECT_TRUE(dlg.verticalButton()->isChecked());
    EXPECT_FALSE(dlg.landscape());
    EXPECT_TRUE(uprightShown());
    EXPECT_EQ(dlg.descriptionEdit()->toPlainText(), "Lab 3<newline>\nBench 2");
}

TEST_F(PrintGraphDialogTest, CancelKeepsTheEarlierDescription)
{
    dlg.show();
    dlg.descriptionEdit()->setPlainText("never printed");
    click("cancelButton");
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(dlg.description(), GraphPrint::defaultDescription());
    dlg.show();
    EXPECT_EQ(dlg.descriptionEdit()->toPlainText().left(8), "Tarvolis");
}

TEST_F(PrintGraphDialogTest, EnterInTheDescriptionStartsANewLine)
{
    dlg.show();
    QPlainTextEdit *edit = dlg.descriptionEdit();
    edit->setPlainText("a");
    edit->moveCursor(QTextCursor::End);
    edit->setFocus();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(edit, &press);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(edit->toPlainText(), "a\n");
    EXPECT_EQ(dlg.description(), GraphPrint::defaultDescription());
}
