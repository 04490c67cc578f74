#include "reports/ui/ReportPrinting.h"

#include "../PdfText.h"
#include "../ReportFixtures.h"
#include "reports/ui/PrintGraphDialog.h"
#include "reports/ui/ReportDescriptionDialog.h"
#include "../../support/RecordingPrompter.h"

#include <QApplication>
#include <QFile>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QRadioButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <type_traits>

using namespace ReportFixtures;

class ReportPrintingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fillProcedure(procedure, 7, {2, 4, 7});
        fillResults(results, 40, 10);
        printing.printer()->setOutputFormat(QPrinter::PdfFormat);
        printing.printer()->setOutputFileName(pdf);
        printing.setPrompter(&prompter);
    }

    ProcedureModel procedure;
    ResultTableModel results;
    ReportDescription description{QDate(2026, 12, 6)};
    ReportPrinting printing{&procedure, &results, &description};
    RecordingPrompter prompter;
    QTemporaryDir tmp;
    QString pdf = tmp.filePath("out.pdf");
    QStringList seen; // class names of the dialogs run, in order
};

TEST_F(ReportPrintingTest, PrintOffersPagesOneToTAndPrintsThemAll)
{
    printing.setDialogRunner([&](QDialog *d) {
        auto *pd = qobject_cast<QPrintDialog *>(d);
        seen << d->metaObject()->className();
        EXPECT_NE(pd, nullptr);
        if (pd) {
            EXPECT_EQ(pd->minPage(), 1);
            EXPECT_EQ(pd->maxPage(), 6);
        }
        return int(QDialog::Accepted);
    });
    ASSERT_TRUE(printing.print());
    EXPECT_EQ(seen, QStringList{"QPrintDialog"});
    EXPECT_EQ(PdfText::pageCount(pdf), 6);
    const QString last = PdfText::text(pdf, 6, 6);
    EXPECT_TRUE(last.contains("6/6"));
    EXPECT_TRUE(last.contains("r40i10"));
    EXPECT_TRUE(prompter.said.isEmpty());
}

TEST_F(ReportPrintingTest, PrintHonoursTheChosenRange)
{
    printing.setDialogRunner([&](QDialog *) {
        printing.printer()->setPrintRange(QPrinter::PageRange);
        printing.printer()->setFromTo(2, 3);
        return int(QDialog::Accepted);
    });
    ASSERT_TRUE(printing.print());
    EXPECT_EQ(PdfText::pageCount(pdf), 2);
    const QString text = PdfText::text(pdf);
    EXPECT_TRUE(text.contains("2/6"));
    EXPECT_TRUE(text.contains("3/6"));
    EXPECT_FALSE(text.contains("1/6"));
    EXPECT_TRUE(text.contains("r19i1"));

    // The next print starts from the whole report again.
    printing.setDialogRunner([](QDialog *) { return int(QDialog::Accepted); });
    ASSERT_TRUE(printing.print());
    EXPECT_EQ(PdfText::pageCount(pdf), 6);
}

TEST_F(ReportPrintingTest, CancelledPrintPrintsNothing)
{
    printing.setDialogRunner([](QDialog *) { return int(QDialog::Rejected); });
    EXPECT_FALSE(printing.print());
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(ReportPrintingTest, PrinterThatCannotStartIsReported)
{
    printing.printer()->setOutputFileName(tmp.filePath("missing/dir/out.pdf"));
    printing.setDialogRunner([](QDialog *) { return int(QDialog::Accepted); });
    EXPECT_FALSE(printing.print());
    ASSERT_EQ(prompter.said.size(), 1);
    EXPECT_EQ(prompter.said.first().icon, Prompter::Icon::Error);
}

TEST_F(ReportPrintingTest, PreviewKeepsThePagesItOpenedWith)
{
    int pagesAtOpen = -1;
    int pagesAfterMoreRows = -1;
    printing.setDialogRunner([&](QDialog *d) {
        seen << d->metaObject()->className();
        auto *widget = d->findChild<QPrintPreviewWidget *>();
        EXPECT_NE(widget, nullptr);
        if (!widget)
            return int(QDialog::Rejected);
        widget->updatePreview();
        pagesAtOpen = widget->pageCount();
        fillResults(results, 30, 10); // 70 rows would be 4 blocks
        widget->updatePreview();
        pagesAfterMoreRows = widget->pageCount();
        // Each paint holds the preview's parts back and gives them back,
        // though the previous paint's progress went away meanwhile (the
        // address sanitizer watches that nothing freed is read).
        for (QWidget *part : d->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (!part->isWindow())
                EXPECT_TRUE(part->isEnabled() && part->updatesEnabled()) << part->metaObject()->className();
        return int(QDialog::Rejected);
    });
    printing.printPreview();
    EXPECT_EQ(seen, QStringList{"QPrintPreviewDialog"});
    EXPECT_EQ(pagesAtOpen, 6);
    EXPECT_EQ(pagesAfterMoreRows, 6);
    EXPECT_EQ(printing.prepare().pageCount(), 8);
}

// The clock printed on each page, which two prints need not share.
QString withoutClock(QString text)
{
    static const QRegularExpression clock(QStringLiteral("\\d+:\\d+:\\d+"));
    return text.replace(clock, QStringLiteral("h:m:s"));
}

TEST_F(ReportPrintingTest, PrintedOnAnotherThreadThePagesAreThoseOfTheDirectPdf)
{
    fillResults(results, 20, 10);
    printing.setDialogRunner([](QDialog *) { return int(QDialog::Accepted); });
    ASSERT_TRUE(printing.print());
    const QString direct = tmp.filePath("direct.pdf");
    ASSERT_TRUE(printReportToPdf(printing.prepare(), description.texts(), direct));
    ASSERT_EQ(PdfText::pageCount(pdf), 8);
    EXPECT_EQ(PdfText::pageCount(direct), 8);
    const QString text = PdfText::text(pdf);
    EXPECT_TRUE(text.contains("r60i10"));
    EXPECT_EQ(withoutClock(text), withoutClock(PdfText::text(direct)));
}

// Presses Cancel on the progress of background work once it shows, over a
// window of type Over (any window when QWidget).
template <class Over>
struct CancelWhenShown
{
    CancelWhenShown()
    {
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            for (QWidget *w : QApplication::allWidgets()) {
                auto *d = qobject_cast<QProgressDialog *>(w);
                if (!d || !d->isVisible() || d->objectName() != QLatin1String("backgroundProgress"))
                    continue;
                if (!std::is_same_v<Over, QWidget> && !qobject_cast<Over *>(d->parentWidget()))
                    continue;
                if (auto *button = d->findChild<QPushButton *>()) {
                    timer.stop();
                    pressed = true;
                    button->click();
                    return;
                }
            }
        });
        timer.start();
    }
    QTimer timer;
    bool pressed = false;
};

struct Ticks
{
    Ticks()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] { ++count; });
        timer.start(10);
    }
    QTimer timer;
    int count = 0;
};

TEST_F(ReportPrintingTest, ALargePrintLeavesTheWindowAliveAndCancelLeavesNoFile)
{
    fillResults(results, 200000 - 40, 10);
    printing.setDialogRunner([](QDialog *) { return int(QDialog::Accepted); });
    Ticks ticks;
    CancelWhenShown<QWidget> cancel;
    EXPECT_FALSE(printing.print());
    EXPECT_TRUE(cancel.pressed) << "no progress with Cancel was shown";
    EXPECT_GE(ticks.count, 20) << "the window's timer fired " << ticks.count << " times";
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_TRUE(prompter.said.isEmpty());
    EXPECT_FALSE(printing.busy());
}

TEST_F(ReportPrintingTest, ALargePreviewIsPaintedOffTheWindowsThreadAndCancelClosesIt)
{
    fillResults(results, 200000 - 40, 10);
    Ticks ticks;
    // Cancel only once the pages are being painted for the preview.
    CancelWhenShown<QPrintPreviewDialog> cancel;
    int result = -1;
    printing.setDialogRunner([&](QDialog *d) {
        result = d->exec();
        return result;
    });
    printing.printPreview();
    EXPECT_TRUE(cancel.pressed) << "no progress with Cancel was shown over the preview";
    EXPECT_EQ(result, int(QDialog::Rejected));
    EXPECT_GE(ticks.count, 20);
    EXPECT_TRUE(prompter.said.isEmpty());
    EXPECT_FALSE(printing.busy());
}

TEST_F(ReportPrintingTest, PrintSetupRunsThePageSetupDialogOnTheSessionPrinter)
{
    printing.setDialogRunner([&](QDialog *d) {
        auto *setup = qobject_cast<QPageSetupDialog *>(d);
        EXPECT_NE(setup, nullptr);
        if (setup)
            EXPECT_EQ(setup->printer(), printing.printer());
        return int(QDialog::Accepted);
    });
    EXPECT_TRUE(printing.printSetup());
    printing.setDialogRunner([](QDialog *) { return int(QDialog::Rejected); });
    EXPECT_FALSE(printing.printSetup());
}

TEST_F(ReportPrintingTest, ReportDescriptionCommandEditsTheSharedTexts)
{
    printing.setDialogRunner([&](QDialog *d) {
        d->show();
        auto *dlg = qobject_cast<ReportDescriptionDialog *>(d);
        EXPECT_NE(dlg, nullptr);
        if (dlg)
            dlg->edit(ReportDescription::Title)->setText("Outgoing");
        d->accept();
        return d->result();
    });
    EXPECT_TRUE(printing.editReportDescription());
    EXPECT_EQ(description.title(), "Outgoing");
    // The same dialog object each time.
    EXPECT_EQ(printing.reportDialog(), printing.reportDialog());
}

TEST_F(ReportPrintingTest, PrintGraphSidewaysThenBackToUpright)
{
    int pictures = 0;
    auto picture = [&] {
        ++pictures;
        QImage img(400, 300, QImage::Format_RGB32);
        img.fill(Qt::black);
        return img;
    };
    bool chooseLevel = true;
    printing.setDialogRunner([&](QDialog *d) {
        seen << d->metaObject()->className();
        if (auto *options = qobject_cast<PrintGraphDialog *>(d)) {
            options->show();
            if (chooseLevel)
                options->levelButton()->click();
            options->accept();
            return options->result();
        }
        return int(QDialog::Accepted);
    });
    ASSERT_TRUE(printing.printGraph(picture));
    EXPECT_EQ(seen, (QStringList{"PrintGraphDialog", "QPrintDialog"}));
    EXPECT_EQ(pictures, 1);
    QVector<PdfText::Page> pages = PdfText::pages(pdf);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_GT(pages[0].widthMm, pages[0].heightMm);
    EXPECT_FALSE(pages[0].find("Velmora").isEmpty());
    // The session printer keeps its own direction for the test report.
    EXPECT_EQ(printing.printer()->pageLayout().orientation(), QPageLayout::Portrait);

    // Next time without touching the direction: upright.
    chooseLevel = false;
    ASSERT_TRUE(printing.printGraph(picture));
    pages = PdfText::pages(pdf);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_LT(pages[0].widthMm, pages[0].heightMm);
}

TEST_F(ReportPrintingTest, CancelledGraphOptionsTakeNoPictureAndPrintNothing)
{
    int pictures = 0;
    printing.setDialogRunner([&](QDialog *d) {
        seen << d->metaObject()->className();
        return int(QDialog::Rejected);
    });
    EXPECT_FALSE(printing.printGraph([&] {
        ++pictures;
        return QImage();
    }));
    EXPECT_EQ(seen, QStringList{"PrintGraphDialog"});
    EXPECT_EQ(pictures, 0);
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST(ReportPrintingLifetime, WindowAndCommandsMayGoInEitherOrder)
{
    ProcedureModel procedure;
    ResultTableModel results;
    ReportDescription description;
    {
        auto *window = new QWidget;
        auto *printing = new ReportPrinting(&procedure, &results, &description, window);
        EXPECT_EQ(printing->reportDialog()->parentWidget(), window);
        printing->graphDialog();
        delete window; // takes the commands and both dialogs with it
    }
    {
        QWidget window;
        auto *printing = new ReportPrinting(&procedure, &results, &description, &window);
        QPointer<ReportDescriptionDialog> dialog = printing->reportDialog();
        delete printing;
        EXPECT_TRUE(dialog.isNull());
    }
}
