#include "app/ui/CQelApp.h"

#include "app/ui/CAboutDlg.h"
#include "app/ui/CMainFrame.h"
#include "components/ui/Graph.h"
#include "document/CQelDoc.h"
#include "document/DocumentNames.h"
#include "document/PlotterStateAccess.h"
#include "execution/ExecutionState.h"
#include "execution/ResultExport.h"
#include "execution/ResultTableModel.h"
#include "history/ui/HistoryDesktop.h"
#include "instrument/MeasurementSequencer.h"
#include "instrument/RunCommands.h"
#include "instrument/SweepSequencer.h"
#include "instrument/ui/CCommDlg.h"
#include "instrument/ui/CommunicationCommand.h"
#include "plotter/PlotterCommands.h"
#include "plotter/PlotterState.h"
#include "plotter/SweepExport.h"
#include "plotter/ui/CPlotDlg.h"
#include "procedure/ProcedureModel.h"
#include "procedure/ui/CQelView.h"
#include "reports/ReportDescription.h"
#include "reports/ui/ReportPrinting.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

namespace {

const char *const FileFilter = "Qel Files (*.pro *.rpt *.pic)";
constexpr int RecentFileCount = 4;

#define QEL_RECENT_SETTINGS(name) QSettings name(QStringLiteral("Local AppWizard-Generated Applications"), QStringLiteral("Qel"))

} // namespace

CQelApp::CQelApp(const Options &options, Prompter *prompter, QObject *parent)
    : QObject(parent),
      m_options(options),
      m_ownPrompter(prompter ? nullptr : std::make_unique<DesktopPrompter>()),
      m_prompter(prompter ? prompter : m_ownPrompter.get()),
      m_link(m_prompter)
{
    if (!options.device.isEmpty())
        m_link.settings().devicePath = options.device;

    // Noted before the sequencers react to a lost link: they tell the
    // operator themselves when they were running.
    connect(&m_link, &InstrumentLink::linkLost, this,
        [this] { m_busyWhenLost = (m_measure && m_measure->isRunning()) || (m_sweep && m_sweep->isRunning()); });

    // A meter that went away may come back reset or swapped: the next run or
    // sweep sends every setting, not only changes. A disconnect the operator
    // asked for, or a document load, keeps the cache as the meter expects.
    connect(&m_link, &InstrumentLink::linkLost, this, [this] { m_cache.clear(); });

    m_view = new CQelView(m_prompter);
    m_plotter = new PlotterState(this);
    m_doc = new CQelDoc(m_view->procedureModel(), m_view->resultModel(), m_prompter, this);
    m_plotAccess = std::make_unique<PlotterStateAccess>(m_plotter);
    m_doc->setPlotPage(m_plotAccess.get());

    m_measure = new MeasurementSequencer(m_link, m_cache, *m_view->procedureModel(), *m_view->resultModel(),
        *m_view->executionState(), this);
    m_runCommands = new RunCommands(m_link, *m_view->procedureModel(), *m_measure, m_prompter, this);
    m_sweep = new SweepSequencer(m_link, m_cache, *m_plotter, m_prompter, this);
    m_plotCommands = new PlotterCommands(*m_plotter, *m_prompter, this);
    m_plotCommands->setRunner(m_sweep);

    m_description = new ReportDescription(this);
    m_description->followResultTable(m_view->resultModel());
    m_printing = new ReportPrinting(m_view->procedureModel(), m_view->resultModel(), m_description, m_view);
    m_printing->setPrompter(m_prompter);
    m_commDlg = new CCommDlg(m_prompter, m_view);

    m_plotDlg = new CPlotDlg(m_plotter, m_plotCommands, [this](int id, int dispatch) { return m_view->runCommand(id, dispatch); });
    m_frame = new CMainFrame(m_view, m_view->execDlg(), m_plotDlg);
    if (m_ownPrompter)
        m_ownPrompter->setParent(m_frame);
    wireCommands();
    wireFrame();
    HistoryDesktop::Parts history{m_frame.data(), [f = m_frame.data()](const QString &text, const QString &hint, std::function<void()> h) {
        return f->addResultsCommand(text, hint, std::move(h)); }, &m_link, m_measure, m_sweep, m_view->procedureModel(),
        m_plotter, m_view->executionState(), m_description, [this] { return m_doc->pathName(); }, m_prompter};
    m_history = new HistoryDesktop(history, this);
}

CQelApp::~CQelApp()
{
    delete m_frame;
}

void CQelApp::wireCommands()
{
    m_view->setCommandHandler(CQelView::RunCommandId, [this] {
        if (m_runCommands->run())
            m_history->runStarted();
    });
    m_view->setCommandHandler(CQelView::EmergencyStopId, [this] {
        m_history->runEnded(RunEnd::EmergencyStop);
        m_runCommands->emergencyStop();
    });
    m_view->setCommandHandler(CQelView::ExportResultsId,
        [this] { ResultExport::exportAndOpen(*m_view->procedureModel(), *m_view->resultModel(), *m_prompter); });
    m_view->setCommandHandler(CQelView::DrawId, [this] { m_plotCommands->draw(); });
    m_view->setCommandHandler(CQelView::StopResetId, [this] {
        m_history->sweepEnded(RunEnd::EmergencyStop);
        m_plotCommands->stopReset();
    });
    m_view->setCommandHandler(CQelView::ExportSweepId, [this] { SweepExport::exportAndOpen(*m_plotter, *m_prompter); });
    m_view->execDlg()->setRunCommand([this](int id, int dispatch) { return m_view->runCommand(id, dispatch); });

    connect(m_view, &CQelView::clearingProcedure, m_doc, &CQelDoc::clearDocument);
    // The document takes its new title only after announcing the new path.
    connect(m_view, &CQelView::clearingProcedure, this, &CQelApp::updateTitle);
    connect(m_doc, &CQelDoc::recentFileAdded, this, &CQelApp::addRecentFile);
    connect(m_doc, &CQelDoc::pathNameChanged, this, &CQelApp::updateTitle);
    connect(m_doc, &CQelDoc::documentLoaded, this, &CQelApp::afterLoad);

    // A meter that goes away is said once, whatever was running.
    connect(&m_link, &InstrumentLink::linkLost, this, [this](const QString &message) {
        if (m_busyWhenLost)
            return;
        m_prompter->inform(QStringLiteral("Exception"),
            message + QStringLiteral("\nThe port was closed; results already taken are kept. "
                                     "Use Setup > Communication to connect again."),
            Prompter::Icon::Error);
    });
    connect(m_measure, &MeasurementSequencer::currentStepChanged, m_view, &CQelView::setCurrentStep);
}

void CQelApp::wireFrame()
{
    CMainFrame *f = m_frame;
    CMainFrame::State state;
    state.runActive = [this] { return !m_view->executionState()->runEnabled(); };
    state.sweepActive = [this] { return !m_plotter->drawEnabled(); };
    state.connected = [this] { return m_link.isConnected(); };
    state.documentPath = [this] { return m_doc->pathName(); };
    f->setState(state);

    f->setHandler(CMainFrame::FileNew, [this] { m_view->clearProcedure(); });
    f->setHandler(CMainFrame::FileOpen, [this] { fileOpen(); });
    f->setHandler(CMainFrame::FileSave, [this] { fileSave(); });
    f->setHandler(CMainFrame::FileSaveAs, [this] { fileSaveAs(); });
    f->setHandler(CMainFrame::FilePrint, [this] { m_printing->print(); });
    f->setHandler(CMainFrame::FilePrintPreview, [this] { m_printing->printPreview(); });
    f->setHandler(CMainFrame::FilePrintSetup, [this] { m_printing->printSetup(); });
    f->setHandler(CMainFrame::ReportDescription, [this] { m_printing->editReportDescription(); });
    f->setHandler(CMainFrame::PrintGraph, [this] { m_printing->printGraph([this] { return m_plotDlg->graph()->picture(); }); });
    f->setHandler(CMainFrame::Communication, [this] { communication(); });
    f->setHandler(CMainFrame::AppAbout, [this] {
        CAboutDlg about(m_frame);
        about.exec();
    });
    connect(f, &CMainFrame::recentFileChosen, this, [this](const QString &path) {
        const int page = m_frame->currentView();
        openFile(path);
        m_frame->showPage(page);
    });
    // Closing the window closes the port.
    connect(f, &CMainFrame::closing, this, [this] { m_link.disconnectFromMeter(); });

    auto update = [this] { m_frame->updateCommands(); };
    connect(m_view->executionState(), &ExecutionState::runEnabledChanged, this, update);
    connect(m_plotter, &PlotterState::drawEnabledChanged, this, update);
    connect(&m_link, &InstrumentLink::connectedChanged, this, update);
    connect(m_doc, &CQelDoc::pathNameChanged, this, update);
    f->setRecentFiles(recentFiles());
}

bool CQelApp::start()
{
    if (m_options.file.isEmpty()) {
        m_doc->onNewDocument();
    } else if (!openFile(m_options.file)) {
        return false;
    }
    updateTitle();
    m_frame->placeOnScreen();
    m_frame->show();
    // A file opened at start-up has connected already, as every load does.
    if (m_options.connect && m_options.file.isEmpty())
        m_link.connectToMeter();
    return true;
}

bool CQelApp::openFile(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    return m_doc->openDocument(absolute);
}

void CQelApp::afterLoad()
{
    // The loaded pages start from scratch, as at start-up: the port is closed
    // and opened again, and the identification decides the flag anew.
    m_link.disconnectFromMeter();
    m_view->resetEditor();
    m_view->setCurrentStep(m_view->procedureModel()->stepCount());
    updateTitle();
    if (m_options.connect)
        m_link.connectToMeter();
}

void CQelApp::fileOpen()
{
    const int page = m_frame->currentView();
    const QString dir = QFileInfo(m_doc->pathName()).absolutePath();
    const QString path = QFileDialog::getOpenFileName(m_frame, QStringLiteral("Open"), dir, QString::fromLatin1(FileFilter));
    if (!path.isEmpty())
        openFile(path);
    // The page shown before the open is shown again, whatever the outcome.
    m_frame->showPage(page);
}

void CQelApp::fileSave()
{
    const QString proposed = m_doc->proposedSaveName(m_frame->currentView());
    if (m_doc->needsSaveAsPrompt(proposed)) {
        const QString path = QFileDialog::getSaveFileName(m_frame, QStringLiteral("Save As"), proposed,
            QString::fromLatin1(FileFilter), nullptr, QFileDialog::DontConfirmOverwrite);
        if (!path.isEmpty())
            saveTo(path);
        return;
    }
    saveTo(proposed);
}

void CQelApp::fileSaveAs()
{
    const QString path = QFileDialog::getSaveFileName(m_frame, QStringLiteral("Save As"), m_doc->pathName(),
        QString::fromLatin1(FileFilter));
    if (!path.isEmpty())
        saveTo(path);
}

bool CQelApp::saveTo(const QString &path)
{
    return m_doc->saveDocument(QFileInfo(path).absoluteFilePath());
}

void CQelApp::communication()
{
    m_commDlg->setSettings(m_link.settings());
    CommunicationCommand::run(m_link, *m_commDlg);
    m_frame->updateCommands();
}

QStringList CQelApp::recentFiles()
{
    QEL_RECENT_SETTINGS(s);
    QStringList out;
    for (int i = 1; i <= RecentFileCount; ++i) {
        const QString p = s.value(QStringLiteral("Recent File List/File%1").arg(i)).toString();
        if (!p.isEmpty())
            out << p;
    }
    return out;
}

void CQelApp::addRecentFile(const QString &path)
{
    QStringList list = recentFiles();
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > RecentFileCount)
        list.removeLast();
    QEL_RECENT_SETTINGS(s);
    for (int i = 1; i <= RecentFileCount; ++i) {
        const QString key = QStringLiteral("Recent File List/File%1").arg(i);
        if (i <= list.size())
            s.setValue(key, list[i - 1]);
        else
            s.remove(key);
    }
    m_frame->setRecentFiles(list);
}

void CQelApp::updateTitle()
{
    m_frame->setDocumentTitle(m_doc->title());
}
