#pragma once

#include <QHash>
#include <QMainWindow>

#include <functional>

class QAction;
class QLabel;
class QMenu;
class QStackedWidget;

// The main window: menu, toolbar, status bar and the three pages in one
// stacked area. It decides which page is shown and enables the commands by
// the page shown and the state of a run. What a command does is handed in
// by the composition root as a handler.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    enum Command {
        FileNew = 57600,
        FileOpen = 57601,
        FileSave = 57603,
        FileSaveAs = 57604,
        FilePrintSetup = 57606,
        FilePrint = 57607,
        FilePrintPreview = 57609,
        FileMru = 57616,
        AppExit = 57665,
        AppAbout = 57664,
        EditCopy = 57634,
        EditCut = 57635,
        EditPaste = 57637,
        EditUndo = 57643,
        ViewToolbar = 59392,
        ViewStatusBar = 59393,
        PrintGraph = 32771,
        ViewProcedure = 32772,
        ViewExecutive = 32773,
        ViewPlotter = 32774,
        Communication = 32775,
        ReportDescription = 32776,
    };
    enum Page { ProcedurePage = 1, ExecutivePage = 2, PlotterPage = 3 };

    // What the rules need to know; set by the composition root.
    struct State
    {
        std::function<bool()> runActive;   // the Executive View's Run is disabled
        std::function<bool()> sweepActive; // the Plotter View's Draw is disabled
        std::function<bool()> connected;
        std::function<QString()> documentPath;
        // Work on the document's data runs in the background: no new, open or save.
        std::function<bool()> busy;
    };

    explicit MainWindow(QWidget *procedure, QWidget *executive, QWidget *plotter, QWidget *parent = nullptr);

    int currentView() const { return m_currentView; }
    void setState(const State &state) { m_state = state; }
    void setHandler(int command, std::function<void()> handler) { m_handlers.insert(command, std::move(handler)); }
    QAction *action(int command) const { return m_actions.value(command); }
    // The "Results" menu (before Help) holds every command beyond the legacy
    // ones; its commands have no legacy id and no toolbar button.
    QAction *addResultsCommand(const QString &text, const QString &hint, std::function<void()> handler);
    QMenu *resultsMenu() const { return m_resultsMenu; }
    // Help > Qel Manual (F1), after the legacy Help item.
    QAction *manualAction() const { return m_manualAction; }

    // Page switching; also used to show the page again after a file open.
    void showPage(int page);
    // Re-evaluates every enabling rule and check mark.
    void updateCommands();

    void setDocumentTitle(const QString &title);
    void setRecentFiles(const QStringList &paths);
    // Fits the window to the pages and applies the small-screen rule; on a
    // screen too small for the pages they scroll.
    void placeOnScreen();

signals:
    void recentFileChosen(const QString &path);
    void closing();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;

private:
    QAction *addCommand(QMenu *menu, int command, const QString &text, const QString &hint, const QString &icon = {},
        const QList<QKeySequence> &keys = {});
    void runCommand(int command);
    void buildMenus();
    void buildToolbar();
    void buildStatusBar();
    void letPagesScroll();

    int m_currentView = ProcedurePage;
    State m_state;
    QStackedWidget *m_stack;
    QWidget *m_pages[3];
    QHash<int, QAction *> m_actions;
    QHash<int, std::function<void()>> m_handlers;
    QMenu *m_recentMenu = nullptr;
    QMenu *m_resultsMenu = nullptr;
    QAction *m_manualAction = nullptr;
    QList<QAction *> m_recentActions;
    QLabel *m_lockPanes[3] = {};
};
