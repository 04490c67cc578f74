#pragma once

#include "components/ui/BackgroundTask.h"
#include "sheets/XlsxWorkbook.h"

#include <QObject>
#include <QPointer>

class MainWindow;
class Document;
class Prompter;
class QelSession;

// The commands whose work grows with the data, run as background tasks on a
// snapshot the session prepares: the result export (workbook and CSV), the
// sweep export, and the
// opening and saving of large documents. A run or sweep goes on measuring
// meanwhile; what it adds after the command started is not in the file.
class BackgroundCommands : public QObject
{
    Q_OBJECT
public:
    BackgroundCommands(MainWindow *frame, QelSession *session, Prompter *prompter, QObject *parent = nullptr);

    // The Executive View's "Export to Excel".
    void exportResults();
    // Results > Export Results to CSV: asks for the file, then writes it.
    void exportResultsCsv();
    void exportResultsCsvTo(const QString &path);
    // The Plotter View's "Export to Excel".
    void exportSweep();

    // A save of more rows than this, or an open of a file larger than
    // OpenAtOnceBytes, goes to the background; smaller ones are done at once.
    static constexpr int SaveAtOnceRows = 20000;
    static constexpr qint64 OpenAtOnceBytes = 4 << 20;
    // Saves the document; false when it failed at once (told already).
    bool save(Document *doc, const QString &path);
    // Opens path into the document, then calls after (also when refused).
    // The pages take no input until it is done; Cancel leaves them as they were.
    void open(Document *doc, const QString &path, const std::function<void()> &after = {});

    void setOpener(const XlsxWorkbook::Opener &opener) { m_opener = opener; }
    // The task started last while it runs; for tests.
    BackgroundTask *currentTask() const { return m_current; }

private:
    void started(BackgroundTask *task);
    // Writes a workbook in the background, then opens it or says why not.
    void startWorkbook(const QString &title, const QString &path, const BackgroundTask::Work &work);

    MainWindow *m_frame;
    QelSession *m_session;
    Prompter *m_prompter;
    XlsxWorkbook::Opener m_opener = XlsxWorkbook::openInDesktop;
    QPointer<BackgroundTask> m_current;
};
