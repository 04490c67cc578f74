#include "reports/ui/ReportPrinting.h"

#include "common/Prompter.h"
#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"
#include "reports/GraphPrint.h"
#include "reports/ReportPainter.h"
#include "reports/ui/CPrtGraphDlg.h"
#include "reports/ui/CReptDlg.h"

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

ReportPrinting::~ReportPrinting()
{
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

bool ReportPrinting::print()
{
    const ReportLayout layout = prepare();
    const int total = layout.pageCount();
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
    if (!ReportPainter::paintDocument(*m_printer, layout, header, first, last, appendix)) {
        reportFailure();
        return false;
    }
    return true;
}

void ReportPrinting::printPreview()
{
    // Laid out once: later rows leave the preview (and a print from it) alone.
    const ReportLayout layout = prepare();
    const ReportPainter::Appendix appendix = m_appendix ? m_appendix() : ReportPainter::Appendix();
    m_printer->setPrintRange(QPrinter::AllPages);
    QPrintPreviewDialog dialog(m_printer.get(), m_window);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [this, &layout, &appendix](QPrinter *printer) {
        const ReportDescription::Texts header = m_description ? m_description->texts() : ReportDescription::Texts{};
        if (!ReportPainter::paintDocument(*printer, layout, header, 0, 0, appendix))
            reportFailure();
    });
    run(&dialog);
}

bool ReportPrinting::printSetup()
{
    QPageSetupDialog dialog(m_printer.get(), m_window);
    return run(&dialog) == QDialog::Accepted;
}

CReptDlg *ReportPrinting::reportDialog()
{
    if (!m_reportDialog)
        m_reportDialog = new CReptDlg(m_description, m_window);
    return m_reportDialog;
}

CPrtGraphDlg *ReportPrinting::graphDialog()
{
    if (!m_graphDialog)
        m_graphDialog = new CPrtGraphDlg(m_window);
    return m_graphDialog;
}

bool ReportPrinting::editReportDescription()
{
    return run(reportDialog()) == QDialog::Accepted;
}

bool ReportPrinting::printGraph(const std::function<QImage()> &takePicture)
{
    CPrtGraphDlg *options = graphDialog();
    if (run(options) != QDialog::Accepted)
        return false;
    const QImage picture = takePicture ? takePicture() : QImage();
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
        printed = GraphPrint::print(*m_printer, picture, options->description(), landscape);
        if (!printed)
            reportFailure();
    }
    m_printer->setPageOrientation(before);
    return printed;
}

bool ReportPrinting::printGraph(const QImage &picture)
{
    return printGraph([picture] { return picture; });
}

bool ReportPrinting::printGraphPage(const GraphPage &page)
{
    CPrtGraphDlg *options = graphDialog();
    if (run(options) != QDialog::Accepted)
        return false;
    const bool landscape = options->landscape();
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
    CPrtGraphDlg *options = graphDialog();
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
