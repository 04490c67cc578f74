#pragma once

#include "history/ui/ResultsHistoryWindow.h"
#include "recording/RunRecording.h"
#include "recording/ui/OperatorWindow.h"

#include <QObject>
#include <QHash>
#include <QPointer>
#include <QSet>

#include <functional>

class HistoryWriter;
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
        // Opens files as File Open does, in order, then shows page (1..3);
        // false when one was refused (the refusal is said there).
        std::function<bool(const QStringList &paths, int page)> openFiles;
    };

    explicit HistoryDesktop(const Parts &parts, QObject *parent = nullptr);
    ~HistoryDesktop() override;

    HistoryWriter *writer() const { return m_writer; }
    QLabel *statusPane() const { return m_pane; }
    ResultsHistoryWindow *historyWindow() const { return m_window; }
    QAction *databaseAction() const { return m_databaseAction; }
    QAction *historyAction() const { return m_historyAction; }
    QAction *operatorAction() const { return m_operatorAction; }
    // Checkable: each pass of a run first asks for its part's serial number.
    QAction *askSerialsAction() const { return m_askSerialsAction; }
    // The serial entry while a pass waits for it.
    PartSerialDialog *serialDialog() const { return m_serialDialog; }

    void chooseDatabase();
    void showHistory();
    void showOperator();
    // "Open as Report": the run and its procedure written as files of their
    // own (beside the default results file, under reopened/RUN-ID) and
    // opened into the Executive View.
    bool openRecordedRun(const QString &runId);
    // "Open Sweep...": a recorded sweep chosen from a list (newest first),
    // written as a plot file of its own and opened into the Plotter View.
    bool chooseRecordedSweep();
    bool openRecordedSweep(const QString &sweepId);
    // The lot runs record now: the signed-in one, else the report description's.
    QString currentLot() const;
    // The saved URL (empty: the default file).
    static QString savedUrl();

private:
    void applyUrl(const QString &url);
    void updatePane();
    void catchUpSoon();
    void askSerial(int pass);
    void warnIfMeasuredBefore(const QString &serial);

    Parts m_parts;
    HistoryWriter *m_writer;
    RunRecording *m_runs;
    SweepRecording *m_sweeps;
    QLabel *m_pane = nullptr;
    QPointer<ResultsHistoryWindow> m_window;
    QAction *m_databaseAction = nullptr;
    QAction *m_historyAction = nullptr;
    QAction *m_operatorAction = nullptr;
    QAction *m_askSerialsAction = nullptr;
    QPointer<PartSerialDialog> m_serialDialog;
    // Serials asked in this program, by lot: a repeat is said even before
    // its row reaches the database.
    QHash<QString, QSet<QString>> m_serials;
};
