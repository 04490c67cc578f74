#pragma once

#include "reports/ReportDescription.h"
#include "reports/ReportLayout.h"
#include "reports/ReportPainter.h"

#include <QImage>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class BackgroundTask;
class PrintGraphDialog;
class TaskProgress;
class ReportDescriptionDialog;
class ProcedureModel;
class Prompter;
class QDialog;
class QPagedPaintDevice;
class QPrinter;
class QWidget;
class ResultTableModel;

// The printing commands of the main window, each a single call: Print, Print
// Preview, Print Setup, Report Description and Print Graph. One printer is
// kept for the whole session so Print Setup choices carry over; the two
// dialogs live as long as this object, so their fields persist between uses.
class ReportPrinting : public QObject
{
    Q_OBJECT
public:
    // Runs a modal dialog and returns its result; tests replace it.
    using DialogRunner = std::function<int(QDialog *)>;

    ReportPrinting(const ProcedureModel *procedure, const ResultTableModel *results, ReportDescription *description,
                   QWidget *window = nullptr);
    ~ReportPrinting() override;

    // The lay-out of the current results, taken now.
    ReportLayout prepare() const;

    // What a print or preview lays out, taken when it starts: the page
    // count, and the lay-out made on another thread (keepGoing as
    // ReportLayout::prepare takes it). A copy of the models given by default;
    // the desktop program takes it from its session.
    struct Rows
    {
        int pageCount = 1;
        std::function<ReportLayout(const std::function<bool(int done, int total)> &keepGoing)> layout;
    };
    void setRows(std::function<Rows()> take) { m_takeRows = std::move(take); }

    // The lay-out and the painting of the pages run on another thread on a
    // copy of the rows taken when the command starts, with a progress dialog
    // after half a second; the window goes on meanwhile.

    // Print: the print dialog offers pages 1 to T. True when printed. Cancel
    // is offered when printing to a file, which it removes.
    bool print();
    // Print Preview of the results as they are when it opens; Cancel
    // during its lay-out or painting closes it.
    void printPreview();
    // A print or preview is being prepared; the printing commands wait.
    bool busy() const { return m_busy; }
    // Print Setup: the page setup dialog on the session's printer.
    bool printSetup();
    // Report Description: true when OK stored the texts.
    bool editReportDescription();
    // Print Graph: the options dialog, then the print dialog. The picture is
    // taken only once the options are confirmed.
    bool printGraph(const std::function<QImage()> &takePicture);
    bool printGraph(const QImage &picture);
    // The same commands for a page drawn by page (e.g. a graph drawn in
    // lines and text): the options dialog, then the print dialog or the
    // preview. page paints the whole page in the direction chosen.
    using GraphPage = std::function<bool(QPagedPaintDevice &device, const QString &description, bool landscape)>;
    bool printGraphPage(const GraphPage &page);
    bool previewGraphPage(const GraphPage &page);

    // Pages printed after the report's last page (none by default); asked
    // for each time a print or preview starts.
    using AppendixSource = std::function<ReportPainter::Appendix()>;
    void setAppendix(AppendixSource source) { m_appendix = std::move(source); }
    const AppendixSource &appendix() const { return m_appendix; }

    QPrinter *printer() const { return m_printer.get(); }
    ReportDescriptionDialog *reportDialog();
    PrintGraphDialog *graphDialog();
    ReportDescription *description() const { return m_description; }

    void setDialogRunner(DialogRunner runner);
    // Where print failures are reported; none by default.
    void setPrompter(Prompter *prompter) { m_prompter = prompter; }

private:
    // The graph options, then the page to print (made once they are chosen),
    // then the print dialog.
    bool printGraphWith(const std::function<GraphPage()> &takePage);
    int run(QDialog *dialog);
    void reportFailure();
    Rows rows() const;
    // Runs work as a background task and waits for it while the window's
    // events go on; the task's outcome.
    // over: the window the progress shows over.
    int runInBackground(QWidget *over, const QString &label, bool cancellable,
                        std::function<bool(TaskProgress &)> work);

    const ProcedureModel *m_procedure;
    const ResultTableModel *m_results;
    ReportDescription *m_description;
    QWidget *m_window;
    std::unique_ptr<QPrinter> m_printer;
    // Children of the window too: whichever goes first, nothing is freed twice.
    QPointer<ReportDescriptionDialog> m_reportDialog;
    QPointer<PrintGraphDialog> m_graphDialog;
    DialogRunner m_runner;
    Prompter *m_prompter = nullptr;
    AppendixSource m_appendix;
    std::function<Rows()> m_takeRows;
    QPointer<BackgroundTask> m_task;
    bool m_busy = false;
};
