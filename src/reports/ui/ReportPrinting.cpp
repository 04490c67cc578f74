#include "reports/ui/ReportPrinting.h"

#include "common/Prompter.h"
#include "components/ui/BackgroundTask.h"
#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"
#include "reports/GraphPrint.h"
#include "reports/ReportPainter.h"
#include "reports/ui/PrintGraphDialog.h"
#include "reports/ui/ReportDescriptionDialog.h"

#include <QEventLoop>
#include <QFile>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

ReportPrinting::ReportPrinting(const ProcedureModel *procedure, const ResultTableModel *results,
                               ReportDescription *description, QWidget *window)
    : QObject(window),
      m_procedure(procedure),
      m_results(results),
      m_description(description),
      m_window(window),
      m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution)),
      m_runner([](QDialog *d) { return d->exec(); })
{
    // The report is laid out from the paper's corner.
    m_printer->setFullPage(true);
    m_printer->setPageSize(QPageSize(QPageSize::A4));
}

namespace {

using Outcome = BackgroundTask::Outcome;

// Lays out on the task's thread, telling it the blocks; Cancel ends it.
ReportLayout layoutCounted(TaskProgress &progress, const ReportPrinting::Rows &rows)
{
    if (!rows.layout)
        return ReportLayout();
    ReportLayout laid = rows.layout([&progress](int done, int total) {
        progress.setTotal(total);
        progress.report(done);
        return !progress.cancelRequested();
    });
    if (progress.cancelRequested())
        throw TaskProgress::Cancelled{};
    return laid;
}

// Paints on the task's thread, telling it each page; Cancel ends the painting.
bool paintCounted(TaskProgress &progress, QPagedPaintDevice &device, const ReportLayout &layout,
                  const ReportDescription::Texts &header, int first, int last, const ReportPainter::Appendix &appendix)
{
    const bool painted = ReportPainter::paintDocument(device, layout, header, first, last, appendix,
        [&progress](int done, int total) {
            progress.setTotal(total);
            progress.report(done);
            return !progress.cancelRequested();
        });
    if (!painted && progress.cancelRequested())
        throw TaskProgress::Cancelled{};
    return painted;
}

} // namespace

ReportPrinting::~ReportPrinting()
{
    // Work still painting into the printer ends before the printer does.
    delete m_task.data();
    delete m_reportDialog.data();
    delete m_graphDialog.data();
}

void ReportPrinting::setDialogRunner(DialogRunner runner)
{
    m_runner = runner ? std::move(runner) : DialogRunner([](QDialog *d) { return d->exec(); });
}

int ReportPrinting::run(QDialog *dialog)
{
    return m_runner(dialog);
}

void ReportPrinting::reportFailure()
{
    if (m_prompter)
        m_prompter->inform(QStringLiteral("Print"), QStringLiteral("The printer could not be started."),
                           Prompter::Icon::Error);
}

ReportLayout ReportPrinting::prepare() const
{
    if (!m_procedure || !m_results)
        return ReportLayout();
    return ReportLayout::prepare(*m_procedure, *m_results);
}

ReportPrinting::Rows ReportPrinting::rows() const
{
    if (m_takeRows)
        return m_takeRows();
    Rows r;
    if (!m_procedure || !m_results) {
        r.pageCount = ReportLayout().pageCount();
        return r;
    }
    auto procedure = std::make_shared<ProcedureModel>();
    procedure->setSteps(m_procedure->steps());
    auto results = std::shared_ptr<const ResultTableModel>(m_results->snapshot().release());
    r.pageCount = ReportLayout::blockCountFor(results->resultCount())
        * ReportLayout::pagesPerBlockFor(procedure->stepCount() + procedure->secondItemCount());
    r.layout = [procedure, results](const std::function<bool(int, int)> &keepGoing) {
        return ReportLayout::prepare(*procedure, *results, keepGoing);
    };
    return r;
}

int ReportPrinting::runInBackground(QWidget *over, const QString &label, bool cancellable,
                                    std::function<bool(TaskProgress &)> work)
{
    auto outcome = std::make_shared<Outcome>(Outcome::Cancelled);
    QEventLoop loop;
    m_busy = true;
    m_task = BackgroundTask::start(over, label, cancellable,
        [work = std::move(work)](TaskProgress &progress, QString *) { return work(progress); },
        [outcome](Outcome o, const QString &) { *outcome = o; });
    connect(m_task, &BackgroundTask::ended, &loop, &QEventLoop::quit);
    connect(m_task, &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec();
    m_busy = false;
    return int(*outcome);
}

bool ReportPrinting::print()
{
    if (m_busy)
        return false;
    const Rows s = rows();
    const int total = s.pageCount;
    // A range chosen for an earlier print is not carried over.
    m_printer->setPrintRange(QPrinter::AllPages);
    QPrintDialog dialog(m_printer.get(), m_window);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setMinMax(1, total);
    dialog.setFromTo(1, total);
    if (run(&dialog) != QDialog::Accepted)
        return false;
    int first = 0;
    int last = 0;
    if (m_printer->printRange() == QPrinter::PageRange) {
        first = m_printer->fromPage();
        last = m_printer->toPage();
    }
    const ReportDescription::Texts header = m_description ? m_description->texts() : ReportDescription::Texts{};
    const ReportPainter::Appendix appendix = m_appendix ? m_appendix() : ReportPainter::Appendix();
    QPrinter *printer = m_printer.get();
    // Pages handed to a printer cannot be taken back; a file can be removed.
    const QString file = printer->outputFormat() == QPrinter::PdfFormat ? printer->outputFileName() : QString();
    const Outcome outcome = Outcome(runInBackground(m_window, QStringLiteral("Printing the report..."),
        !file.isEmpty(), [=](TaskProgress &progress) {
            return paintCounted(progress, *printer, layoutCounted(progress, s), header, first, last, appendix);
        }));
    if (outcome == Outcome::Cancelled && !file.isEmpty())
        QFile::remove(file);
    if (outcome == Outcome::Failed)
        reportFailure();
    return outcome == Outcome::Done;
}

void ReportPrinting::printPreview()
{
    if (m_busy)
        return;
    // Laid out once: later rows leave the preview (and a print from it) alone.
    const Rows s = rows();
    auto layout = std::make_shared<ReportLayout>();
    const QString label = QStringLiteral("Preparing the print preview...");
    if (Outcome(runInBackground(m_window, label, true, [s, layout](TaskProgress &progress) {
            *layout = layoutCounted(progress, s);
            return true;
        })) != Outcome::Done)
        return;
    const ReportPainter::Appendix appendix = m_appendix ? m_appendix() : ReportPainter::Appendix();
    m_printer->setPrintRange(QPrinter::AllPages);
    QPrintPreviewDialog dialog(m_printer.get(), m_window);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
        [this, layout, &appendix, &dialog, label](QPrinter *printer) {
            const ReportDescription::Texts header = m_description ? m_description->texts() : ReportDescription::Texts{};
            // The preview's pages are being replaced meanwhile: nothing of it
            // may be drawn or asked for anew until they are.
            // The progress shows over the dialog, so only its parts wait.
            // The waiting lets pending deletions run (the previous paint's
            // progress among them), so each part is watched, not trusted.
            QList<QPointer<QWidget>> parts;
            for (QWidget *part : dialog.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                if (!part->isWindow()) {
                    part->setUpdatesEnabled(false);
                    part->setEnabled(false);
                    parts << part;
                }
            }
            const Outcome outcome = Outcome(runInBackground(&dialog, label, true, [=](TaskProgress &progress) {
                return paintCounted(progress, *printer, *layout, header, 0, 0, appendix);
            }));
            for (const QPointer<QWidget> &part : std::as_const(parts)) {
                if (part) {
                    part->setEnabled(true);
                    part->setUpdatesEnabled(true);
                }
            }
            if (outcome == Outcome::Failed)
                reportFailure();
            else if (outcome == Outcome::Cancelled)
                QMetaObject::invokeMethod(&dialog, &QDialog::reject, Qt::QueuedConnection);
        });
    run(&dialog);
}

bool ReportPrinting::printSetup()
{
    if (m_busy)
        return false;
    QPageSetupDialog dialog(m_printer.get(), m_window);
    return run(&dialog) == QDialog::Accepted;
}

ReportDescriptionDialog *ReportPrinting::reportDialog()
{
    if (!m_reportDialog)
        m_reportDialog = new ReportDescriptionDialog(m_description, m_window);
    return m_reportDialog;
}

PrintGraphDialog *ReportPrinting::graphDialog()
{
    if (!m_graphDialog)
        m_graphDialog = new PrintGraphDialog(m_window);
    return m_graphDialog;
}

bool ReportPrinting::editReportDescription()
{
    return run(reportDialog()) == QDialog::Accepted;
}

bool ReportPrinting::printGraph(const std::function<QImage()> &takePicture)
{
    return printGraphWith([&takePicture]() -> GraphPage {
        const QImage picture = takePicture ? takePicture() : QImage();
        return [picture](QPagedPaintDevice &device, const QString &description, bool landscape) {
            return GraphPrint::print(device, picture, description, landscape);
        };
    });
}

bool ReportPrinting::printGraph(const QImage &picture)
{
    return printGraph([picture] { return picture; });
}

bool ReportPrinting::printGraphPage(const GraphPage &page)
{
    return printGraphWith([&page] { return page; });
}

bool ReportPrinting::printGraphWith(const std::function<GraphPage()> &takePage)
{
    if (m_busy)
        return false;
    PrintGraphDialog *options = graphDialog();
    if (run(options) != QDialog::Accepted)
        return false;
    // Taken once the options are chosen, before the print dialog.
    const GraphPage page = takePage();
    const bool landscape = options->landscape();

    // The graph's direction is its own; the report keeps the session's.
    const QPageLayout::Orientation before = m_printer->pageLayout().orientation();
    m_printer->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    m_printer->setPrintRange(QPrinter::AllPages);
    QPrintDialog dialog(m_printer.get(), m_window);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setMinMax(1, 1);
    bool printed = false;
    if (run(&dialog) == QDialog::Accepted) {
        printed = page(*m_printer, options->description(), landscape);
        if (!printed)
            reportFailure();
    }
    m_printer->setPageOrientation(before);
    return printed;
}

bool ReportPrinting::previewGraphPage(const GraphPage &page)
{
    PrintGraphDialog *options = graphDialog();
    if (run(options) != QDialog::Accepted)
        return false;
    const bool landscape = options->landscape();
    const QString description = options->description();
    const QPageLayout::Orientation before = m_printer->pageLayout().orientation();
    m_printer->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    m_printer->setPrintRange(QPrinter::AllPages);
    bool painted = false;
    {
        QPrintPreviewDialog dialog(m_printer.get(), m_window);
        connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [&](QPrinter *printer) {
            painted = page(*printer, description, landscape);
            if (!painted)
                reportFailure();
        });
        run(&dialog);
    }
    m_printer->setPageOrientation(before);
    return painted;
}
