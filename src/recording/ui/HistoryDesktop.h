#pragma once

#include "history/ui/ResultsHistoryWindow.h"
#include "recording/RunRecording.h"

#include <QObject>
#include <QPointer>

#include <functional>

class HistoryRecorder;
class Prompter;
class QAction;
class QLabel;
class QMainWindow;
class QelSession;
class ResultsHistoryWindow;

// The results history in the desktop program: recording of every run and
// sweep, the Results menu's "Results Database..." and "Results History...",
// and a status bar pane saying where rows go and how many wait.
class HistoryDesktop : public QObject
{
    Q_OBJECT
public:
    struct Parts
    {
        QMainWindow *frame = nullptr;
        std::function<QAction *(const QString &text, const QString &hint, std::function<void()> handler)> addCommand;
        QelSession *session = nullptr;
        std::function<QString()> procedurePath;
        Prompter *prompter = nullptr;
    };

    explicit HistoryDesktop(const Parts &parts, QObject *parent = nullptr);
    ~HistoryDesktop() override;

    HistoryRecorder *recorder() const { return m_recorder; }
    QLabel *statusPane() const { return m_pane; }
    ResultsHistoryWindow *historyWindow() const { return m_window; }
    QAction *databaseAction() const { return m_databaseAction; }
    QAction *historyAction() const { return m_historyAction; }

    void chooseDatabase();
    void showHistory();
    // The saved URL (empty: the default file).
    static QString savedUrl();

private:
    void applyUrl(const QString &url);
    void updatePane();
    void catchUpSoon();

    Parts m_parts;
    HistoryRecorder *m_recorder;
    RunRecording *m_runs;
    SweepRecording *m_sweeps;
    QLabel *m_pane = nullptr;
    QPointer<ResultsHistoryWindow> m_window;
    QAction *m_databaseAction = nullptr;
    QAction *m_historyAction = nullptr;
};
