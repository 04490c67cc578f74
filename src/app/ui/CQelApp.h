#pragma once

#include "app/ui/CMainFrame.h"
#include "app/ui/CommandRouter.h"
#include "app/ui/DesktopPrompter.h"
#include "session/QelSession.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

class BackgroundCommands;
class CCommDlg;
class CExecDlg;
class CPlotDlg;
class HistoryDesktop;
class CQelDoc;
class CQelView;
class PlotterState;
class ReportPrinting;

// The desktop program: one QelSession (document, models, link, sequencers),
// the form view and pages showing its models, the printing and the main
// window. Nothing here measures or parses; it carries out the menu commands
// and presents what the session reports as the program's message boxes.
class CQelApp : public QObject
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

    explicit CQelApp(const Options &options, Prompter *prompter = nullptr, QObject *parent = nullptr);
    ~CQelApp() override;

    // Opens the start-up file (if any), shows the window and connects.
    // False when the start-up file could not be opened.
    bool start();

    CMainFrame *frame() const { return m_frame; }
    CQelView *view() const { return m_view; }
    CExecDlg *execDlg() const { return m_execDlg; }
    QelSession &session() { return *m_session; }
    CQelDoc *document() const { return m_doc; }
    CPlotDlg *plotDlg() const { return m_plotDlg; }
    PlotterState *plotter() const { return m_plotter; }
    InstrumentLink &link() { return m_session->link(); }
    ReportPrinting *printing() const { return m_printing; }
    CCommDlg *commDlg() const { return m_commDlg; }
    HistoryDesktop *history() const { return m_history; }
    BackgroundCommands *background() const { return m_background; }
    // Where the pages' buttons send their clicks.
    CommandRouter &router() { return m_router; }

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
    // Outlives the pages, which send to it.
    CommandRouter m_router;
    CQelView *m_view = nullptr;
    CExecDlg *m_execDlg = nullptr;
    PlotterState *m_plotter = nullptr;
    CPlotDlg *m_plotDlg = nullptr;
    CQelDoc *m_doc = nullptr;
    ReportPrinting *m_printing = nullptr;
    CCommDlg *m_commDlg = nullptr;
    HistoryDesktop *m_history = nullptr;
    BackgroundCommands *m_background = nullptr;
    QPointer<CMainFrame> m_frame;
    bool m_starting = false;
};
