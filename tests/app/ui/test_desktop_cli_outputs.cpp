// The desktop program and qel-cli prepare their exports and prints in one
// session core: the same report and procedure, opened in the window (the
// report read into the table a window at a time) and named to qel-cli (read
// whole), give the same CSV bytes, the same workbook and the same printed
// pages.

#include "DesktopRig.h"
#include "../../support/ToolOutput.h"

#include "app/ui/BackgroundCommands.h"
#include "components/ui/BackgroundTask.h"
#include "document/Document.h"
#include "execution/ResultTableModel.h"
#include "reports/ui/ReportPrinting.h"

#include <QPrinter>
#include <QProcess>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// qel-cli as its own process: its exit status, or -1 and why not.
std::pair<int, QByteArray> runCli(const QStringList &args)
{
    QProcess p;
    p.start(qelBinDir() + QStringLiteral("/qel-cli"), args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return {-1, p.errorString().toUtf8()};
    return {p.exitCode(), p.readAllStandardError()};
}

QString saidText(const RecordingPrompter &prompter)
{
    QStringList texts;
    for (const auto &said : prompter.said)
        texts << said.text;
    return texts.join(QLatin1Char(' '));
}

// Every part of a workbook but its creation time, by name.
QMap<QString, QByteArray> workbookParts(const QString &xlsx)
{
    QMap<QString, QByteArray> parts;
    const QList<QByteArray> names = toolOutput(QStringLiteral("/usr/bin/unzip"), {QStringLiteral("-Z1"), xlsx}).split('\n');
    for (const QByteArray &name : names)
        if (!name.isEmpty() && name != "docProps/core.xml")
            parts.insert(QString::fromUtf8(name),
                toolOutput(QStringLiteral("/usr/bin/unzip"), {QStringLiteral("-p"), xlsx, QString::fromUtf8(name)}));
    return parts;
}

// The pages' text, with the printing time (seconds apart) left out.
QString pagesText(const QString &pdf)
{
    QString text = QString::fromUtf8(toolOutput(QStringLiteral("/usr/bin/pdftotext"), {pdf, QStringLiteral("-")}));
    return text.replace(QRegularExpression(QStringLiteral("\\d{4}/\\d+/\\d+ \\d+:\\d+:\\d+")), QStringLiteral("<printed>"));
}

class DesktopCliOutputs : public DesktopRig
{
protected:
    void SetUp() override
    {
        DesktopRig::SetUp();
        ASSERT_TRUE(out.isValid());
        oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", out.path().toLocal8Bit());
    }
    void TearDown() override
    {
        DesktopRig::TearDown();
        qputenv("TMPDIR", oldTmp);
    }
    QString path(const QString &name) const { return out.path() + QLatin1Char('/') + name; }

    const QString pro = qelSourceDir() + QStringLiteral("/examples/capacitor.pro");
    const QString rpt = qelSourceDir() + QStringLiteral("/examples/capacitor_202612695.rpt");
    QTemporaryDir out;
    QByteArray oldTmp;
};

} // namespace

TEST_F(DesktopCliOutputs, TheSameReportGivesTheSameCsvWorkbookAndPagesFromBothFrontEnds)
{
    ASSERT_TRUE(startApp(pro, false));
    ASSERT_TRUE(app->document()->openDocument(rpt)) << saidText(prompter).toStdString();
    ASSERT_EQ(app->session().results().resultCount(), 3);

    QString workbook;
    app->background()->setOpener([&workbook](const QString &file) {
        workbook = file;
        return true;
    });
    app->background()->exportResultsCsvTo(path(QStringLiteral("desktop.csv")));
    ASSERT_TRUE(Desktop::waitUntil([] { return BackgroundTask::running() == 0; }, 30000));
    app->background()->exportResults();
    ASSERT_TRUE(Desktop::waitUntil([&] { return BackgroundTask::running() == 0 && !workbook.isEmpty(); }, 30000));

    ReportPrinting *printing = app->printing();
    printing->printer()->setOutputFormat(QPrinter::PdfFormat);
    printing->printer()->setOutputFileName(path(QStringLiteral("desktop.pdf")));
    printing->setDialogRunner([](QDialog *) { return int(QDialog::Accepted); });
    ASSERT_TRUE(printing->print());
    EXPECT_TRUE(prompter.said.isEmpty()) << saidText(prompter).toStdString();

    const auto exported = runCli({QStringLiteral("export"), rpt, QStringLiteral("--procedure"), pro,
        QStringLiteral("--csv"), path(QStringLiteral("cli.csv")), QStringLiteral("--xlsx"), path(QStringLiteral("cli.xlsx"))});
    ASSERT_EQ(exported.first, 0) << exported.second.toStdString();
    const auto printed = runCli({QStringLiteral("print"), rpt, QStringLiteral("--procedure"), pro,
        QStringLiteral("--pdf"), path(QStringLiteral("cli.pdf"))});
    ASSERT_EQ(printed.first, 0) << printed.second.toStdString();

    const QByteArray csv = readAll(path(QStringLiteral("desktop.csv")));
    EXPECT_EQ(csv.count('\n'), 1 + 3);
    EXPECT_EQ(csv, readAll(path(QStringLiteral("cli.csv"))));

    const QMap<QString, QByteArray> desktopParts = workbookParts(workbook);
    EXPECT_TRUE(desktopParts.contains(QStringLiteral("xl/worksheets/sheet2.xml"))) << desktopParts.keys().join(' ').toStdString();
    EXPECT_EQ(desktopParts, workbookParts(path(QStringLiteral("cli.xlsx"))));

    const QString pages = pagesText(path(QStringLiteral("desktop.pdf")));
    EXPECT_TRUE(pages.contains(QLatin1String("Sampling: 3"))) << pages.toStdString();
    EXPECT_TRUE(pages.contains(QLatin1String("99.8123nF"))) << pages.toStdString();
    EXPECT_EQ(pages, pagesText(path(QStringLiteral("cli.pdf"))));
}

TEST_F(DesktopCliOutputs, ThePlotterViewsExportWritesTheOpenedSweepInTheBackground)
{
    ASSERT_TRUE(startApp(qelSourceDir() + QStringLiteral("/examples/sweep.pic"), false));
    QString workbook;
    app->background()->setOpener([&workbook](const QString &file) {
        workbook = file;
        return true;
    });
    app->background()->exportSweep();
    ASSERT_TRUE(Desktop::waitUntil([&] { return BackgroundTask::running() == 0 && !workbook.isEmpty(); }, 30000));
    EXPECT_TRUE(prompter.said.isEmpty()) << saidText(prompter).toStdString();

    const QString sheet = QString::fromUtf8(workbookParts(workbook).value(QStringLiteral("xl/worksheets/sheet1.xml")));
    // Titles, four rows of settings, units, then the ten points: number,
    // frequency as shown, readings in base units.
    EXPECT_TRUE(sheet.contains(QLatin1String("<row r=\"16\""))) << sheet.toStdString();
    EXPECT_FALSE(sheet.contains(QLatin1String("<row r=\"17\"")));
    auto cell = [&sheet](const QString &ref) {
        const QRegularExpressionMatch m
            = QRegularExpression(QStringLiteral("<c r=\"%1\"[^>]*><is><t>([^<]*)</t>").arg(ref)).match(sheet);
        return m.captured(1);
    };
    EXPECT_EQ(cell(QStringLiteral("A7")), QStringLiteral("1"));
    EXPECT_EQ(cell(QStringLiteral("C7")), QStringLiteral("1.015000E-010"));
    EXPECT_EQ(cell(QStringLiteral("A16")), QStringLiteral("10"));
    EXPECT_EQ(cell(QStringLiteral("B16")), QStringLiteral("100.000000"));
    EXPECT_EQ(cell(QStringLiteral("C16")), QStringLiteral("1.004200E-010"));
}
