#pragma once

#include "app/ui/CMainFrame.h"
#include "app/ui/DesktopPrompter.h"
#include "instrument/InstrumentLink.h"
#include "instrument/SettingsCache.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

class CCommDlg;

class CPlotDlg;
class HistoryDesktop;
class CQelDoc;
class CQelView;
class MeasurementSequencer;
class PlotPageAccess;
class PlotterCommands;
class PlotterState;
class ReportDescription;
class ReportPrinting;
class RunCommands;
class SweepSequencer;

// The desktop program put together: one document, the form view with its
// pages, the link to the meter, both sequencers, the printing and the main
// window, wired to each other. Nothing here measures or parses; it only
// connects the pieces and carries out the menu commands.
class CQelApp : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        QString device;    // a device path for the link instead of port 1's default
        QString file;      // a file to open at start-up
        bool connect = true;
    };

    explicit CQelApp(const Options &options, Prompter *prompter = nullptr, QObject *parent = nullptr);
    ~CQelApp() override;

    // Opens the start-up file (if any), shows the window and connects.
    // False when the start-up file could not be opened.
    bool start();

    CMainFrame *frame() const { return m_frame; }
    CQelView *view() const { return m_view; }
    CQelDoc *document() const { return m_doc; }
    CPlotDlg *plotDlg() const { return m_plotDlg; }
    PlotterState *plotter() const { return m_plotter; }
    InstrumentLink &link() { return m_link; }
    ReportPrinting *printing() const { return m_printing; }
    CCommDlg *commDlg() const { return m_commDlg; }
    HistoryDesktop *history() const { return m_history; }

    // The commands of the menus; public so tests can reach them directly.
    bool openFile(const QString &path);
    void fileOpen();
    void fileSave();
    void fileSaveAs();
    void communication();

    static QStringList recentFiles();

private:
    void wireCommands();
    void wireFrame();
    void addRecentFile(const QString &path);
    void updateTitle();
    void afterLoad();
    bool saveTo(const QString &path);

    Options m_options;
    std::unique_ptr<DesktopPrompter> m_ownPrompter;
    Prompter *m_prompter;
    InstrumentLink m_link;
    SettingsCache m_cache;
    CQelView *m_view = nullptr;
    PlotterState *m_plotter = nullptr;
    CPlotDlg *m_plotDlg = nullptr;
    CQelDoc *m_doc = nullptr;
    std::unique_ptr<PlotPageAccess> m_plotAccess;
    MeasurementSequencer *m_measure = nullptr;
    RunCommands *m_runCommands = nullptr;
    SweepSequencer *m_sweep = nullptr;
    PlotterCommands *m_plotCommands = nullptr;
    ReportDescription *m_description = nullptr;
    ReportPrinting *m_printing = nullptr;
    CCommDlg *m_commDlg = nullptr;
    HistoryDesktop *m_history = nullptr;
    QPointer<CMainFrame> m_frame;
    bool m_busyWhenLost = false;
};
