#include "app/ui/DesktopApp.h"

#include "app/ui/BackgroundCommands.h"
#include "components/ui/BackgroundTask.h"
#include "app/ui/AboutDialog.h"
#include "app/ui/MainWindow.h"
#include "app/ui/ManualWindow.h"
#include "components/ui/Graph.h"
#include "document/Document.h"
#include "document/DocumentNames.h"
#include "document/PlotterStateAccess.h"
#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "execution/ui/ExecutiveView.h"
#include "history/HistoryWriter.h"
#include "history/HistoryStatistics.h"
#include "recording/ui/HistoryDesktop.h"
#include "measurement/MeasurementSequencer.h"
#include "measurement/RunCommands.h"
#include "measurement/SweepSequencer.h"
#include "meter/InstrumentLink.h"
#include "meter/MeterConnector.h"
#include "meter/ui/CommunicationDialog.h"
#include "meter/ui/CommunicationCommand.h"
#include "plotter/PlotterCommands.h"
#include "plotter/PlotterState.h"
#include "plotter/ui/PlotterView.h"
#include "analysis/ui/SweepAnalysisWindow.h"
#include "procedure/ProcedureModel.h"
#include "procedure/ui/ProcedureView.h"
#include "reports/ReportDescription.h"
#include "reports/ui/ReportPrinting.h"
#include "statistics/StatisticsOutputs.h"
#include "statistics/ui/BinsWindow.h"
#include "statistics/ui/StatisticsWindow.h"

#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QFileDialog>
#include <QLabel>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSettings>
#include <QStatusBar>

namespace {

const char *const FileFilter = "Qel Files (*.pro *.rpt *.pic)";
constexpr int RecentFileCount = 4;

#define QEL_RECENT_SETTINGS(name) QSettings name(QStringLiteral("Local AppWizard-Generated Applications"), QStringLiteral("Qel"))

} // namespace

DesktopApp::DesktopApp(const Options &options, Prompter *prompter, QObject *parent)
    : QObject(parent),
      m_options(options),
      m_ownPrompter(prompter ? nullptr : std::make_unique<DesktopPrompter>()),
      m_prompter(prompter ? prompter : m_ownPrompter.get()),
      m_session(std::make_unique<QelSession>(m_prompter))
{
    if (!options.device.isEmpty())
        link().settings().devicePath = options.device;
    if (!options.meter.isEmpty()) {
        QString error;
        if (m_session->chooseMeter(options.meter, &error))
            link().settings().meterProfile = options.meter;
        else
            m_prompter->inform(QStringLiteral("Qel"), error, Prompter::Icon::Error);
    }

    QelSession &s = *m_session;
    m_procedureView = new ProcedureView(s.procedure(), s.results(), s.execution(), m_prompter);
    m_executiveView = new ExecutiveView(&s.results(), &s.execution());
    m_plotter = &s.plotter();
    m_doc = &s.document();

    m_printing = new ReportPrinting(m_procedureView->procedureModel(), m_procedureView->resultModel(), &s.description(), m_procedureView);
    m_printing->setPrompter(m_prompter);
    // Print and Print Preview lay out what the session prepares, as qel-cli print does.
    m_printing->setRows([this] {
        const auto outputs = std::make_shared<const ResultOutputs>(m_session->resultOutputs());
        return ReportPrinting::Rows{outputs->reportPageCount(),
            [outputs](const std::function<bool(int, int)> &keepGoing) { return outputs->reportLayout(keepGoing); }};
    });
    m_communicationDialog = new CommunicationDialog(m_prompter, m_procedureView);

    m_plotterView = new PlotterView(m_plotter, &s.plotterCommands());
    m_mainWindow = new MainWindow(m_procedureView, m_executiveView, m_plotterView);
    m_background = new BackgroundCommands(m_mainWindow, m_session.get(), m_prompter, this);
    if (m_ownPrompter)
        m_ownPrompter->setParent(m_mainWindow);
    wireCommands();
    wireFrame();
    HistoryDesktop::Parts history{m_mainWindow.data(), [f = m_mainWindow.data()](const QString &text, const QString &hint, std::function<void()> h) {
        return f->addResultsCommand(text, hint, std::move(h)); }, &s, [this] { return m_doc->pathName(); }, m_prompter,
        [this](const QStringList &paths, int page) {
            for (const QString &path : paths)
                if (!openFile(path))
                    return false;
            m_mainWindow->showPage(page);
            return true;
        }};
    m_history = new HistoryDesktop(history, this);
    m_mainWindow->addResultsCommand(QStringLiteral("&Statistics..."), QStringLiteral("Statistics and yield of the result table"),
        StatisticsWindow::opener(&s.procedure(), &s.results(), m_printing, m_mainWindow,
            [this](const QString &lot, const QDate &from, const QDate &to, TableStatistics &out, QString *error) {
                // The database the writer writes to, as chosen in Results Database.
                return HistoryStatistics::computeFor(m_history->writer()->target(), lot, from, to, out, error);
            }));
    // NAME.pro keeps NAME.bins.json beside it; a report NAME_stamp.rpt uses its procedure's.
    auto planPath = [this] {
        const QString path = m_doc->pathName();
        switch (DocumentNames::fileType(DocumentNames::fileName(path))) {
        case DocumentNames::FileType::Procedure: return BinPlan::pathBeside(path);
        case DocumentNames::FileType::Report: {
            const QString stem = DocumentNames::stem(DocumentNames::fileName(path));
            return stem.isEmpty() ? BinPlan::pathBeside(path)
                                  : DocumentNames::folderOf(path) + stem + QStringLiteral(".bins.json");
        }
        default: return QString();
        }
    };
    auto binsOpened = std::make_shared<bool>(false);
    const auto openBins = BinsWindow::opener(&s.procedure(), &s.results(), planPath, m_printing, m_mainWindow,
        [this](const std::optional<BinPlan> &plan) { m_session->setBinPlan(plan); });
    m_mainWindow->addResultsCommand(QStringLiteral("&Bins..."), QStringLiteral("Sort the parts into bins by a step's reading"),
        [openBins, binsOpened] {
            *binsOpened = true;
            openBins();
        });
    // Until the window is opened (it then keeps the plan itself), a plan kept
    // beside the opened procedure sorts its runs all the same.
    auto keptPlan = [this, planPath, binsOpened] {
        QTimer::singleShot(0, this, [this, planPath, binsOpened] {
            if (*binsOpened)
                return;
            const QString path = planPath();
            std::optional<BinPlan> plan = path.isEmpty() || !QFile::exists(path) ? std::nullopt : BinPlan::load(path, nullptr);
            if (plan && !plan->checkAgainst(m_session->procedure().steps()).isEmpty())
                plan.reset();
            m_session->setBinPlan(plan);
        });
    };
    connect(&s.procedure(), &QAbstractItemModel::modelReset, this, keptPlan);
    keptPlan();
    m_mainWindow->addResultsCommand(QStringLiteral("Sweep Analysis..."),
        QStringLiteral("Markers, log axes, equivalent-circuit fit and limit masks for the sweep"),
        [this] { SweepAnalysisWindow::showFor(m_plotter, m_mainWindow)->attachPrinting(m_printing); });
}

DesktopApp::~DesktopApp()
{
    delete m_mainWindow;
}

void DesktopApp::wireCommands()
{
    QelSession &s = *m_session;
    // The sequencer says nothing when its own step is already 0, so the
    // editor's insertion row is set here, on every run that starts.
    connect(m_executiveView, &ExecutiveView::runClicked, this, [this] {
        if (m_session->run())
            m_procedureView->setCurrentStep(0);
    });
    connect(m_executiveView, &ExecutiveView::emergencyStopClicked, m_session.get(), &QelSession::emergencyStop);
    connect(m_executiveView, &ExecutiveView::exportClicked, m_background, &BackgroundCommands::exportResults);
    connect(m_executiveView, &ExecutiveView::removeAllClicked, m_procedureView, &ProcedureView::removeAllResults);
    connect(m_plotterView, &PlotterView::drawClicked, m_session.get(), &QelSession::draw);
    connect(m_plotterView, &PlotterView::stopResetClicked, m_session.get(), &QelSession::stopReset);
    connect(m_plotterView, &PlotterView::exportClicked, m_background, &BackgroundCommands::exportSweep);

    connect(m_procedureView, &ProcedureView::clearingProcedure, m_doc, &Document::clearDocument);
    // The document takes its new title only after announcing the new path.
    connect(m_procedureView, &ProcedureView::clearingProcedure, this, &DesktopApp::updateTitle);
    connect(m_doc, &Document::recentFileAdded, this, &DesktopApp::addRecentFile);
    connect(m_doc, &Document::pathNameChanged, this, &DesktopApp::updateTitle);
    connect(m_doc, &Document::documentLoaded, this, &DesktopApp::afterLoad);

    // How a run or sweep ended early, a refused run, and a meter that went
    // away while nothing ran: each said once, here.
    connect(&s, &QelSession::runRefused, this, [this](const EndReason &r) { present(r, Prompter::Icon::Warning); });
    connect(&s, &QelSession::runEnded, this, [this](const EndReason &r) { present(r, Prompter::Icon::Warning); });
    connect(&s, &QelSession::sweepEnded, this, [this](const EndReason &r) { present(r, Prompter::Icon::Warning); });
    connect(&s, &QelSession::linkLostWhileIdle, this, [this](const EndReason &r) { present(r, Prompter::Icon::Error); });
    connect(&s.measurement(), &MeasurementSequencer::currentStepChanged, m_procedureView, &ProcedureView::setCurrentStep);
}

void DesktopApp::present(const EndReason &reason, Prompter::Icon icon)
{
    // A run or sweep that completed, or that the operator stopped, needs no word.
    if (reason.text.isEmpty())
        return;
    m_prompter->inform(RunCommands::exceptionCaption(), reason.text, icon);
}

void DesktopApp::wireFrame()
{
    MainWindow *f = m_mainWindow;
    MainWindow::State state;
    state.runActive = [this] { return !m_procedureView->executionState()->runEnabled(); };
    state.sweepActive = [this] { return !m_plotter->drawEnabled(); };
    state.connected = [this] { return link().isConnected(); };
    state.documentPath = [this] { return m_doc->pathName(); };
    state.busy = [] { return BackgroundTask::running() > 0; };
    f->setState(state);
    // Which meter answered, and where, while connected.
    auto *meter = new QLabel(f);
    meter->setObjectName(QStringLiteral("meterStatus"));
    meter->hide();
    f->statusBar()->addPermanentWidget(meter);
    connect(&link(), &InstrumentLink::connectedChanged, meter, [this, meter](bool connected) {
        meter->setVisible(connected);
        if (!connected) {
            meter->clear();
            return;
        }
        meter->setText(QStringLiteral("%1 (%2) on %3")
                           .arg(QString::fromLatin1(m_session->connector().identification()).trimmed(),
                               link().profile().name, InstrumentLink::devicePathFor(link().settings())));
    });
    f->addResultsCommand(QStringLiteral("Export Results to &CSV..."),
        QStringLiteral("Write the result table to a CSV file (UTF-8, comma-separated)"),
        [this] { m_background->exportResultsCsv(); });

    f->setHandler(MainWindow::FileNew, [this] { m_procedureView->clearProcedure(); });
    f->setHandler(MainWindow::FileOpen, [this] { fileOpen(); });
    f->setHandler(MainWindow::FileSave, [this] { fileSave(); });
    f->setHandler(MainWindow::FileSaveAs, [this] { fileSaveAs(); });
    f->setHandler(MainWindow::FilePrint, [this] { m_printing->print(); });
    f->setHandler(MainWindow::FilePrintPreview, [this] { m_printing->printPreview(); });
    f->setHandler(MainWindow::FilePrintSetup, [this] { m_printing->printSetup(); });
    f->setHandler(MainWindow::ReportDescription, [this] { m_printing->editReportDescription(); });
    f->setHandler(MainWindow::PrintGraph, [this] { m_printing->printGraph([this] { return m_plotterView->graph()->picture(); }); });
    f->setHandler(MainWindow::Communication, [this] { communication(); });
    f->setHandler(MainWindow::AppAbout, [this] {
        AboutDialog about(m_mainWindow);
        about.exec();
    });
    connect(f->manualAction(), &QAction::triggered, this, [this] { ManualWindow::showManual(m_mainWindow); });
    connect(f, &MainWindow::recentFileChosen, this, [this](const QString &path) {
        const int page = m_mainWindow->currentView();
        m_background->open(m_doc, QFileInfo(path).absoluteFilePath(), [this, page] { m_mainWindow->showPage(page); });
    });
    // Closing the window closes the port.
    connect(f, &MainWindow::closing, this, [this] { m_session->connector().disconnectFromMeter(); });

    auto update = [this] { m_mainWindow->updateCommands(); };
    connect(m_procedureView->executionState(), &ExecutionState::runEnabledChanged, this, update);
    connect(m_plotter, &PlotterState::drawEnabledChanged, this, update);
    connect(&link(), &InstrumentLink::connectedChanged, this, update);
    connect(m_doc, &Document::pathNameChanged, this, update);
    f->setRecentFiles(recentFiles());
}

bool DesktopApp::start()
{
    m_starting = true;
    const auto done = qScopeGuard([this] { m_starting = false; });
    if (m_options.file.isEmpty()) {
        m_doc->onNewDocument();
    } else if (!openFile(m_options.file)) {
        return false;
    }
    updateTitle();
    m_mainWindow->placeOnScreen();
    m_mainWindow->show();
    // A file opened at start-up has connected already, as every load does.
    if (m_options.connect && m_options.file.isEmpty())
        connectAtStart();
    return true;
}

void DesktopApp::connectAtStart()
{
    // Only this first attempt points the newcomer to where to look; the
    // legacy box has been answered by then.
    MeterConnector &connector = m_session->connector();
    auto watch = std::make_shared<QMetaObject::Connection>();
    *watch = connect(&connector, &MeterConnector::identificationFinished, this, [this, watch](bool ok) {
        disconnect(*watch);
        if (!ok)
            tellWhereToLook();
    });
    if (!connector.connectToMeter()) {
        disconnect(*watch);
        tellWhereToLook();
    }
}

void DesktopApp::tellWhereToLook()
{
    const LinkSettings &settings = link().settings();
    const QString where = settings.devicePath.isEmpty()
        ? QStringLiteral("port %1").arg(settings.portNumber)
        : settings.devicePath;
    if (m_mainWindow)
        m_mainWindow->statusBar()->showMessage(
            QStringLiteral("No meter answered on %1 \u2014 Setup > Communication, or Help > Qel Manual > Connecting")
                .arg(where));
}

bool DesktopApp::openFile(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    return m_doc->openDocument(absolute);
}

void DesktopApp::afterLoad()
{
    // The loaded pages start from scratch, as at start-up: the port is closed
    // and opened again, and the identification decides the flag anew.
    m_session->connector().disconnectFromMeter();
    m_procedureView->resetEditor();
    m_procedureView->executionState()->resetToStartup();
    m_procedureView->setCurrentStep(m_procedureView->procedureModel()->stepCount());
    updateTitle();
    if (m_options.connect && m_starting)
        connectAtStart();
    else if (m_options.connect)
        m_session->connector().connectToMeter();
}

void DesktopApp::fileOpen()
{
    const int page = m_mainWindow->currentView();
    const QString dir = QFileInfo(m_doc->pathName()).absolutePath();
    const QString path = QFileDialog::getOpenFileName(m_mainWindow, QStringLiteral("Open"), dir, QString::fromLatin1(FileFilter));
    // The page shown before the open is shown again, whatever the outcome.
    if (path.isEmpty())
        m_mainWindow->showPage(page);
    else
        m_background->open(m_doc, QFileInfo(path).absoluteFilePath(), [this, page] { m_mainWindow->showPage(page); });
}

void DesktopApp::fileSave()
{
    const QString proposed = m_doc->proposedSaveName(m_mainWindow->currentView());
    if (m_doc->needsSaveAsPrompt(proposed)) {
        const QString path = QFileDialog::getSaveFileName(m_mainWindow, QStringLiteral("Save As"), proposed,
            QString::fromLatin1(FileFilter));
        if (!path.isEmpty())
            saveTo(path);
        return;
    }
    saveTo(proposed);
}

void DesktopApp::fileSaveAs()
{
    const QString path = QFileDialog::getSaveFileName(m_mainWindow, QStringLiteral("Save As"), m_doc->pathName(),
        QString::fromLatin1(FileFilter));
    if (!path.isEmpty())
        saveTo(path);
}

bool DesktopApp::saveTo(const QString &path)
{
    return m_background->save(m_doc, QFileInfo(path).absoluteFilePath());
}

void DesktopApp::communication()
{
    QStringList meters;
    for (const MeterProfile &p : m_session->profiles().all())
        meters << p.name;
    m_communicationDialog->setMeters(meters);
    m_communicationDialog->setSettings(link().settings());
    CommunicationCommand::run(m_session->connector(), *m_communicationDialog, &m_session->profiles());
    m_mainWindow->updateCommands();
}

QStringList DesktopApp::recentFiles()
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

void DesktopApp::addRecentFile(const QString &path)
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
    m_mainWindow->setRecentFiles(list);
}

void DesktopApp::updateTitle()
{
    m_mainWindow->setDocumentTitle(m_doc->title());
}
