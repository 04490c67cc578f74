#include "app/ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>

MainWindow::MainWindow(QWidget *procedure, QWidget *executive, QWidget *plotter, QWidget *parent)
    : QMainWindow(parent), m_stack(new QStackedWidget(this)), m_pages{procedure, executive, plotter}
{
    setObjectName(QStringLiteral("mainWindow"));
    m_stack->setObjectName(QStringLiteral("pages"));
    setWindowIcon(QIcon(QStringLiteral(":/qel/icons/qel.svg")));
    // Caption, system menu and minimise box only: the window is fitted to the form.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
        | Qt::WindowCloseButtonHint);
    for (QWidget *page : m_pages)
        m_stack->addWidget(page);
    m_stack->setCurrentIndex(0);
    setCentralWidget(m_stack);
    buildMenus();
    buildToolbar();
    buildStatusBar();
    setDocumentTitle(QString());
    updateCommands();
}

QAction *MainWindow::addCommand(QMenu *menu, int command, const QString &text, const QString &hint,
    const QString &icon, const QList<QKeySequence> &keys)
{
    auto *a = new QAction(text, this);
    a->setData(command);
    // A hint is "status-bar text\ntooltip"; without a tooltip part the
    // command's own text serves.
    const int cut = hint.indexOf(QLatin1Char('\n'));
    a->setStatusTip(hint.left(cut));
    a->setToolTip(cut >= 0 ? hint.mid(cut + 1)
                           : QString(text).remove(QLatin1Char('&')).section(QLatin1Char('\t'), 0, 0));
    if (!icon.isEmpty())
        a->setIcon(QIcon(QStringLiteral(":/qel/icons/%1.svg").arg(icon)));
    if (!keys.isEmpty())
        a->setShortcuts(keys);
    connect(a, &QAction::triggered, this, [this, command] { runCommand(command); });
    if (menu)
        menu->addAction(a);
    m_actions.insert(command, a);
    return a;
}

void MainWindow::buildMenus()
{
    using K = QKeySequence;
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    addCommand(file, FileNew, QStringLiteral("&New\tCtrl+N"), QStringLiteral("Create a new document\nNew"),
        QStringLiteral("new"), {K(Qt::CTRL | Qt::Key_N)});
    addCommand(file, FileOpen, QStringLiteral("&Open...\tCtrl+O"),
        QStringLiteral("Open an existing document\nOpen"), QStringLiteral("open"), {K(Qt::CTRL | Qt::Key_O)});
    addCommand(file, FileSave, QStringLiteral("&Save\tCtrl+S"), QStringLiteral("Save the active document\nSave"),
        QStringLiteral("save"), {K(Qt::CTRL | Qt::Key_S)});
    addCommand(file, FileSaveAs, QStringLiteral("Save &As..."),
        QStringLiteral("Save the active document with a new name\nSave As"));
    file->addSeparator();
    addCommand(file, FilePrint, QStringLiteral("&Print...\tCtrl+P"), QStringLiteral("Print the active document\nPrint"),
        QStringLiteral("print"), {K(Qt::CTRL | Qt::Key_P)});
    addCommand(file, PrintGraph, QStringLiteral("Print Graph"), QStringLiteral("Print the graph of the Plotter View"));
    addCommand(file, FilePrintPreview, QStringLiteral("Print Pre&view"),
        QStringLiteral("Display full pages\nPrint Preview"));
    addCommand(file, FilePrintSetup, QStringLiteral("P&rint Setup..."),
        QStringLiteral("Change the printer and printing options\nPrint Setup"));
    file->addSeparator();
    m_recentMenu = file->addMenu(QStringLiteral("Recent File"));
    m_recentMenu->setObjectName(QStringLiteral("recentMenu"));
    file->addSeparator();
    addCommand(file, AppExit, QStringLiteral("E&xit"), QStringLiteral("Quit the application\nExit"));

    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    addCommand(edit, EditUndo, QStringLiteral("&Undo\tCtrl+Z"), QStringLiteral("Undo the last action\nUndo"), {},
        {K(Qt::CTRL | Qt::Key_Z), K(Qt::ALT | Qt::Key_Backspace)});
    edit->addSeparator();
    addCommand(edit, EditCut, QStringLiteral("Cu&t\tCtrl+X"), QStringLiteral("Cut the selection\nCut"),
        QStringLiteral("cut"), {K(Qt::CTRL | Qt::Key_X), K(Qt::SHIFT | Qt::Key_Delete)});
    addCommand(edit, EditCopy, QStringLiteral("&Copy\tCtrl+C"), QStringLiteral("Copy the selection\nCopy"),
        QStringLiteral("copy"), {K(Qt::CTRL | Qt::Key_C), K(Qt::CTRL | Qt::Key_Insert)});
    addCommand(edit, EditPaste, QStringLiteral("&Paste\tCtrl+V"), QStringLiteral("Insert Clipboard contents\nPaste"),
        QStringLiteral("paste"), {K(Qt::CTRL | Qt::Key_V), K(Qt::SHIFT | Qt::Key_Insert)});
    for (int id : {EditUndo, EditCut, EditCopy, EditPaste}) {
        // No handler: always disabled, and their keys stay with the focused edit.
        m_actions[id]->setEnabled(false);
        m_actions[id]->setShortcutContext(Qt::WidgetShortcut);
    }

    QMenu *view = menuBar()->addMenu(QStringLiteral("&View"));
    QAction *tb = addCommand(view, ViewToolbar, QStringLiteral("&Toolbar"), QStringLiteral("Show or hide the toolbar"));
    QAction *sb = addCommand(view, ViewStatusBar, QStringLiteral("&Status Bar"),
        QStringLiteral("Show or hide the status bar"));
    tb->setCheckable(true);
    sb->setCheckable(true);
    tb->setChecked(true);
    sb->setChecked(true);
    view->addSeparator();
    addCommand(view, ViewProcedure, QStringLiteral("Procedure View"), QStringLiteral("Edit the test procedure"),
        QStringLiteral("procedure"))
        ->setCheckable(true);
    addCommand(view, ViewExecutive, QStringLiteral("Executive View"), QStringLiteral("Run the procedure and read the results"),
        QStringLiteral("executive"))
        ->setCheckable(true);
    addCommand(view, ViewPlotter, QStringLiteral("Plotter View"), QStringLiteral("Sweep and plot"),
        QStringLiteral("plotter"))
        ->setCheckable(true);

    QMenu *setup = menuBar()->addMenu(QStringLiteral("&Setup"));
    addCommand(setup, Communication, QStringLiteral("Communication"),
        QStringLiteral("Connect to or disconnect from the meter"), QStringLiteral("communication"))
        ->setCheckable(true);
    addCommand(setup, ReportDescription, QStringLiteral("Report Description"),
        QStringLiteral("Edit the header texts of the printed report"));

    // Additions beyond the legacy commands live here only; hidden while empty.
    m_resultsMenu = menuBar()->addMenu(QStringLiteral("&Results"));
    m_resultsMenu->setObjectName(QStringLiteral("resultsMenu"));
    m_resultsMenu->menuAction()->setVisible(false);

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    addCommand(help, AppAbout, QStringLiteral("&About Qel..."),
        QStringLiteral("Display program information, version number and copyright\nAbout"), QStringLiteral("about"));
    // The manual comes after the legacy item; it has no legacy id and no button.
    help->addSeparator();
    m_manualAction = help->addAction(QStringLiteral("Qel &Manual"));
    m_manualAction->setObjectName(QStringLiteral("manualAction"));
    m_manualAction->setShortcut(QKeySequence(Qt::Key_F1));
    m_manualAction->setStatusTip(QStringLiteral("Open the user manual in a window of its own"));

    for (QMenu *m : {file, edit, view, setup, help})
        connect(m, &QMenu::aboutToShow, this, &MainWindow::updateCommands);
}

QAction *MainWindow::addResultsCommand(const QString &text, const QString &hint, std::function<void()> handler)
{
    auto *a = new QAction(text, this);
    a->setStatusTip(hint);
    connect(a, &QAction::triggered, this, std::move(handler));
    m_resultsMenu->addAction(a);
    m_resultsMenu->menuAction()->setVisible(true);
    return a;
}

void MainWindow::buildToolbar()
{
    QToolBar *bar = addToolBar(QStringLiteral("Standard"));
    bar->setObjectName(QStringLiteral("toolbar"));
    bar->setIconSize(QSize(16, 16));
    const int order[] = {FileNew, FileOpen, FileSave, 0, EditCut, EditCopy, EditPaste, 0, FilePrint, AppAbout, 0,
        ViewProcedure, ViewExecutive, ViewPlotter, 0, Communication};
    for (int id : order) {
        if (id == 0)
            bar->addSeparator();
        else
            bar->addAction(m_actions.value(id));
    }
    connect(m_actions[ViewToolbar], &QAction::toggled, bar, &QToolBar::setVisible);
    connect(bar, &QToolBar::visibilityChanged, m_actions[ViewToolbar], &QAction::setChecked);
}

void MainWindow::buildStatusBar()
{
    statusBar()->showMessage(QStringLiteral("Ready"));
    const char *names[] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        m_lockPanes[i] = new QLabel(QString::fromLatin1(names[i]), this);
        m_lockPanes[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        m_lockPanes[i]->setAlignment(Qt::AlignCenter);
        m_lockPanes[i]->setMinimumWidth(40);
        // Lock-key states are not readable portably; the panes stay greyed.
        m_lockPanes[i]->setEnabled(false);
        statusBar()->addPermanentWidget(m_lockPanes[i]);
    }
    connect(m_actions[ViewStatusBar], &QAction::toggled, statusBar(), &QStatusBar::setVisible);
}

void MainWindow::runCommand(int command)
{
    switch (command) {
    case ViewProcedure:
        showPage(ProcedurePage);
        break;
    case ViewExecutive:
        showPage(ExecutivePage);
        break;
    case ViewPlotter:
        showPage(PlotterPage);
        break;
    case ViewToolbar:
    case ViewStatusBar:
        break; // toggled through their check state
    case AppExit:
        close();
        break;
    case FileNew:
        // Only the Procedure View clears, even when reached by Ctrl+N.
        if (m_currentView == ProcedurePage && m_handlers.contains(command))
            m_handlers[command]();
        break;
    default:
        if (m_handlers.contains(command))
            m_handlers[command]();
        break;
    }
    updateCommands();
}

void MainWindow::showPage(int page)
{
    if (page < ProcedurePage || page > PlotterPage)
        return;
    m_stack->setCurrentIndex(page - 1);
    m_currentView = page;
    updateCommands();
}

void MainWindow::updateCommands()
{
    const bool runActive = m_state.runActive && m_state.runActive();
    const bool sweepActive = m_state.sweepActive && m_state.sweepActive();
    const bool activeHere = (m_currentView == ExecutivePage && runActive) || (m_currentView == PlotterPage && sweepActive);
    auto set = [this](int id, bool enabled) {
        if (QAction *a = m_actions.value(id))
            a->setEnabled(enabled);
    };
    m_actions[ViewProcedure]->setChecked(m_currentView == ProcedurePage);
    m_actions[ViewExecutive]->setChecked(m_currentView == ExecutivePage);
    m_actions[ViewPlotter]->setChecked(m_currentView == PlotterPage);
    set(ViewProcedure, !activeHere);
    set(ViewExecutive, !(m_currentView == PlotterPage && sweepActive));
    set(ViewPlotter, !(m_currentView == ExecutivePage && runActive));
    set(FileNew, m_currentView == ProcedurePage);
    bool save = true;
    if (m_currentView == ExecutivePage) {
        const QString path = m_state.documentPath ? m_state.documentPath() : QString();
        save = !path.isEmpty() && path.contains(QLatin1Char('/')) && !path.endsWith(QLatin1String("pic"));
    }
    set(FileSave, save);
    for (int id : {FilePrint, FilePrintPreview, FilePrintSetup, ReportDescription})
        set(id, m_currentView == ExecutivePage);
    set(PrintGraph, m_currentView == PlotterPage);
    m_actions[Communication]->setChecked(m_state.connected && m_state.connected());
    // The file commands would load or clear pages under a running sequencer.
    set(FileOpen, !runActive && !sweepActive);
    for (QAction *a : m_recentActions)
        a->setEnabled(!runActive && !sweepActive);
    set(FileSaveAs, true);
    if (m_state.busy && m_state.busy()) {
        for (int id : {FileNew, FileOpen, FileSave, FileSaveAs})
            set(id, false);
        for (QAction *a : m_recentActions)
            a->setEnabled(false);
    }
}

void MainWindow::setDocumentTitle(const QString &title)
{
    setWindowTitle(title.isEmpty() ? QStringLiteral("Qel") : title + QStringLiteral(" - Qel"));
}

void MainWindow::setRecentFiles(const QStringList &paths)
{
    m_recentMenu->clear();
    m_recentActions.clear();
    int n = 0;
    for (const QString &p : paths) {
        QAction *a = m_recentMenu->addAction(QStringLiteral("&%1 %2").arg(++n).arg(QFileInfo(p).fileName()));
        a->setStatusTip(p);
        a->setData(FileMru);
        connect(a, &QAction::triggered, this, [this, p] { emit recentFileChosen(p); });
        m_recentActions.append(a);
    }
    if (paths.isEmpty())
        m_recentMenu->addAction(QStringLiteral("Recent File"))->setEnabled(false);
    m_recentMenu->setEnabled(!paths.isEmpty());
    updateCommands();
}

void MainWindow::placeOnScreen()
{
    adjustSize();
    const QSize fitted = sizeHint();
    setFixedSize(fitted);
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect avail = screen->availableGeometry();
    const QSize full = screen->size();
    QSize size = fitted;
    if (full.width() < 1024 && full.height() < 768) {
        move(0, 0);
        size = QSize(759, 536);
    }
    // Never larger than the screen, title bar and borders included; pages
    // that do not fit scroll instead of being cut off.
    create();
    const QSize decorations = frameGeometry().size() - geometry().size();
    size = size.boundedTo(avail.size() - decorations);
    if (size.width() < fitted.width() || size.height() < fitted.height())
        letPagesScroll();
    setFixedSize(size);
    QRect placed(QPoint(), size + decorations);
    placed.moveCenter(avail.center());
    move(placed.topLeft());
}

void MainWindow::letPagesScroll()
{
    if (qobject_cast<QScrollArea *>(centralWidget()))
        return;
    QWidget *pages = takeCentralWidget();
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("pageScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(pages);
    setCentralWidget(scroll);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    emit closing();
    event->accept();
}

bool MainWindow::event(QEvent *event)
{
    // Keep the enabling current as the framework's idle update would.
    if (event->type() == QEvent::StatusTip || event->type() == QEvent::WindowActivate)
        updateCommands();
    return QMainWindow::event(event);
}
