#include "app/ui/BackgroundCommands.h"

#include "components/ui/BackgroundTask.h"
#include "app/ui/MainWindow.h"
#include "common/Prompter.h"
#include "document/Document.h"
#include "execution/ResultTableModel.h"
#include "session/QelSession.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include <memory>

namespace {

const QString CsvCaption = QStringLiteral("Export to CSV");

} // namespace

BackgroundCommands::BackgroundCommands(MainWindow *frame, QelSession *session, Prompter *prompter, QObject *parent)
    : QObject(parent), m_frame(frame), m_session(session), m_prompter(prompter)
{
}

void BackgroundCommands::started(BackgroundTask *task)
{
    m_current = task;
    m_frame->updateCommands();
    connect(task, &BackgroundTask::ended, m_frame, &MainWindow::updateCommands);
}

void BackgroundCommands::exportResults()
{
    const ResultOutputs s = m_session->resultOutputs();
    const QString path = XlsxWorkbook::exportPath(QStringLiteral("qel-results"));
    auto work = [s, path](TaskProgress &progress, QString *error) {
        progress.setTotal(s.sheetRows());
        return s.workbookToFile(path, error, [&progress](int row) { progress.advance(row); });
    };
    startWorkbook(QStringLiteral("Exporting the results..."), path, work);
}

void BackgroundCommands::exportResultsCsv()
{
    QFileDialog dialog(m_frame, QStringLiteral("Export Results to CSV"), QDir::currentPath(),
        QStringLiteral("CSV Files (*.csv)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(QStringLiteral("results.csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    exportResultsCsvTo(QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath());
}

void BackgroundCommands::exportResultsCsvTo(const QString &path)
{
    const ResultOutputs s = m_session->resultOutputs();
    auto work = [s, path](TaskProgress &progress, QString *error) {
        progress.setTotal(s.sheetRows());
        return s.csvToFile(path, error, [&progress](int row) { progress.advance(row); });
    };
    Prompter *prompter = m_prompter;
    started(BackgroundTask::start(m_frame, QStringLiteral("Exporting the results to %1...").arg(QFileInfo(path).fileName()),
        true, work, [prompter](BackgroundTask::Outcome outcome, const QString &error) {
            if (outcome == BackgroundTask::Outcome::Failed)
                prompter->inform(CsvCaption, QStringLiteral("The CSV file could not be written.\n%1").arg(error),
                    Prompter::Icon::Error);
        }));
}

void BackgroundCommands::exportSweep()
{
    const SweepOutputs s = m_session->sweepOutputs();
    const QString path = XlsxWorkbook::exportPath(QStringLiteral("qel-sweep"));
    auto work = [s, path](TaskProgress &progress, QString *error) {
        progress.setTotal(s.sheetRows());
        return s.workbookToFile(path, error, [&progress](int row) { progress.advance(row); });
    };
    startWorkbook(QStringLiteral("Exporting the sweep..."), path, work);
}

void BackgroundCommands::startWorkbook(const QString &title, const QString &path, const BackgroundTask::Work &work)
{
    Prompter *prompter = m_prompter;
    const XlsxWorkbook::Opener opener = m_opener;
    started(BackgroundTask::start(m_frame, title, true, work,
        [prompter, opener, path](BackgroundTask::Outcome outcome, const QString &error) {
            if (outcome == BackgroundTask::Outcome::Done)
                XlsxWorkbook::openOrTell(path, *prompter, opener);
            else if (outcome == BackgroundTask::Outcome::Failed)
                prompter->inform(XlsxWorkbook::messageCaption(),
                    QStringLiteral("The workbook could not be written.\n%1").arg(error), Prompter::Icon::Error);
        }));
}

bool BackgroundCommands::save(Document *doc, const QString &path)
{
    if (m_session->results().resultCount() <= SaveAtOnceRows)
        return doc->saveDocument(path);
    const std::shared_ptr<Document::SaveJob> job = doc->prepareSave(path);
    if (!job)
        return false;
    auto work = [job](TaskProgress &progress, QString *) {
        Document::writeSave(*job, [&progress](qint64 done, qint64 total) {
            progress.setTotal(total);
            progress.report(done);
            return !progress.cancelRequested();
        });
        if (Document::wasStopped(*job))
            throw TaskProgress::Cancelled{};
        return true;
    };
    QPointer<Document> target(doc);
    BackgroundTask *task = BackgroundTask::start(m_frame,
        QStringLiteral("Saving %1...").arg(QFileInfo(path).fileName()), true, work,
        [job, target](BackgroundTask::Outcome, const QString &) {
            if (target)
                target->finishSave(*job);
        });
    task->letFinishOnClose();
    started(task);
    return true;
}

void BackgroundCommands::open(Document *doc, const QString &path, const std::function<void()> &after)
{
    if (QFileInfo(path).size() <= OpenAtOnceBytes) {
        doc->openDocument(path);
        if (after)
            after();
        return;
    }
    const std::shared_ptr<Document::OpenJob> job = doc->prepareOpen(path);
    if (!job) {
        if (after)
            after();
        return;
    }
    auto work = [job](TaskProgress &progress, QString *) {
        Document::readOpen(*job, [&progress](qint64 done, qint64 total) {
            progress.setTotal(total);
            progress.report(done);
            return !progress.cancelRequested();
        });
        if (Document::wasStopped(*job))
            throw TaskProgress::Cancelled{};
        return true;
    };
    // The pages are about to be replaced: no edits meanwhile.
    QWidget *pages = m_frame->centralWidget();
    pages->setEnabled(false);
    QPointer<Document> target(doc);
    QPointer<QWidget> pagesAlive(pages);
    started(BackgroundTask::start(m_frame, QStringLiteral("Opening %1...").arg(QFileInfo(path).fileName()), true,
        work, [job, target, pagesAlive, after](BackgroundTask::Outcome, const QString &) {
            if (pagesAlive)
                pagesAlive->setEnabled(true);
            if (target)
                target->finishOpen(*job);
            if (after)
                after();
        }));
}
