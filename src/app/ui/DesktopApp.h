#pragma once

#include "app/ui/MainWindow.h"
#include "app/ui/DesktopPrompter.h"
#include "session/QelSession.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

class BackgroundCommands;
class CommunicationDialog;
class ExecutiveView;
class PlotterView;
class HistoryDesktop;
class Document;
class ProcedureView;
class PlotterState;
class ReportPrinting;

// The desktop program: one QelSession (document, models, link, sequencers),
// the form view and pages showing its models, the printing and the main
// window. Nothing here measures or parses; it carries out the menu commands
// and presents what the session reports as the program's message boxes.
class DesktopApp : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        QString device;    // a device path for the link instead of port 1's default
        QString file;      // a file to open at start-up
        bool connect = true;
        QString meter;     // a meter profile's name or "auto"; empty: legacy
    };

    explicit DesktopApp(const Options &options, Prompter *prompter = nullptr, QObject *parent = nullptr);
    ~DesktopApp() override;

    // Opens the start-up file (if any), shows the window and connects.
    // False when the start-up file could not be opened.
    bool start();

    MainWindow *mainWindow() const { return m_mainWindow; }
    ProcedureView *procedureView() const { return m_procedureView; }
    ExecutiveView *executiveView() const { return m_executiveView; }
    QelSession &session() { return *m_session; }
    Document *document() const { return m_doc; }
    PlotterView *plotterView() const { return m_plotterView; }
    PlotterState *plotter() const { return m_plotter; }
    InstrumentLink &link() { return m_session->link(); }
    ReportPrinting *printing() const { return m_printing; }
    CommunicationDialog *communicationDialog() const { return m_communicationDialog; }
    HistoryDesktop *history() const { return m_history; }
    BackgroundCommands *background() const { return m_background; }

    // The commands of the menus; public so tests can reach them directly.
    bool openFile(const QString &path);
    void fileOpen();
    void fileSave();
    void fileSaveAs();
    void communication();

    static QStringList recentFiles();

private:
    void wireCommands();
    void present(const EndReason &reason, Prompter::Icon icon);
    void wireFrame();
    void addRecentFile(const QString &path);
    void updateTitle();
    void afterLoad();
    void connectAtStart();
    void tellWhereToLook();
    bool saveTo(const QString &path);

    Options m_options;
    std::unique_ptr<DesktopPrompter> m_ownPrompter;
    Prompter *m_prompter;
    // Outlives the window, whose pages show its models.
    std::unique_ptr<QelSession> m_session;
    ProcedureView *m_procedureView = nullptr;
    ExecutiveView *m_executiveView = nullptr;
    PlotterState *m_plotter = nullptr;
    PlotterView *m_plotterView = nullptr;
    Document *m_doc = nullptr;
    ReportPrinting *m_printing = nullptr;
    CommunicationDialog *m_communicationDialog = nullptr;
    HistoryDesktop *m_history = nullptr;
    BackgroundCommands *m_background = nullptr;
    QPointer<MainWindow> m_mainWindow;
    bool m_starting = false;
};
