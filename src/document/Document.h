#pragma once

#include "document/DocumentData.h"
#include "document/DocumentNames.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class PlotPageAccess;
class ProcedureModel;
class Prompter;
class ResultTableModel;

// The one document: a copy of the three pages that is written to, or read
// from, a procedure (.pro), report (.rpt) or plot (.pic) file chosen by the
// name's ending. The live data stay in the models; a save first refreshes
// the copy from them and a load writes the copy back into them.
class Document : public QObject
{
    Q_OBJECT
public:
    using FileType = DocumentNames::FileType;
    using Clock = std::function<QDateTime()>;

    Document(ProcedureModel *procedure, ResultTableModel *results, Prompter *prompter, QObject *parent = nullptr);
    ~Document() override;

    // The plotter is reached through this once the page exists (may be null).
    void setPlotPage(PlotPageAccess *plot) { m_plot = plot; }
    // Local time for the save names; the system clock by default.
    void setClock(Clock clock) { m_clock = std::move(clock); }

    QString pathName() const { return m_pathName; }
    QString title() const { return m_title; }
    QString creationTitle() const { return m_creationTitle; }
    const DocumentData &data() const { return m_data; }

    static FileType fileType(const QString &path) { return DocumentNames::fileType(path); }

    // A new, unnamed document; its title is remembered once as the creation title.
    bool onNewDocument();
    // The name part of clearing the procedure: the path becomes the folder,
    // the creation title and ".qel"; the title becomes the creation title.
    void clearDocument();

    // Name checks, read and rebuild of the models. On any failure the
    // document and the models stay exactly as they were and the operator is told.
    bool openDocument(const QString &path);
    // Refreshes the copy from the models and writes the layout of the name's
    // type, atomically. A name of no type writes nothing and is refused.
    bool saveDocument(const QString &path);

    // The name File Save proposes on page currentView (1, 2 or 3), in the
    // document's folder.
    QString proposedSaveName(int currentView) const;
    // True unless path is the document's own file and may be overwritten.
    bool needsSaveAsPrompt(const QString &path) const;

    // An open or a save in three parts, so that the middle one can run on
    // another thread: prepare (here: the name checks, and for a save the
    // snapshots of the pages), then read or write (anywhere; keepGoing hears
    // how far it is and may stop it: the pages, or the old file, stay as they
    // were), then finish (here: the pages or the name taken, or the failure
    // told). openDocument and saveDocument do the three at once.
    struct OpenJob;
    struct SaveJob;
    using KeepGoing = std::function<bool(qint64 done, qint64 total)>;
    std::shared_ptr<OpenJob> prepareOpen(const QString &path);
    static void readOpen(OpenJob &job, const KeepGoing &keepGoing = {});
    bool finishOpen(OpenJob &job);
    std::shared_ptr<SaveJob> prepareSave(const QString &path);
    static void writeSave(SaveJob &job, const KeepGoing &keepGoing = {});
    bool finishSave(SaveJob &job);
    // The job was stopped by its keepGoing.
    static bool wasStopped(const OpenJob &job);
    static bool wasStopped(const SaveJob &job);

    // Why the last open or save failed ("" after a success).
    QString lastError() const { return m_lastError; }

    // Title for a document that has not been named yet.
    static QString untitled() { return QStringLiteral("Untitled"); }

signals:
    // After a successful load and the rebuild of the models.
    void documentLoaded(const QString &path);
    void pathNameChanged(const QString &path);
    // The path belongs in the recent-file list (open, save, clear).
    void recentFileAdded(const QString &path);

private:
    void setPathName(const QString &path, bool addToRecent);
    void warn(const QString &text);

    ProcedureModel *m_procedure;
    ResultTableModel *m_results;
    Prompter *m_prompter;
    PlotPageAccess *m_plot = nullptr;
    Clock m_clock;

    QString m_creationTitle;
    bool m_creationTitleTaken = false;
    DocumentData m_data;
    QString m_pathName;
    QString m_title;
    QString m_lastError;
};
