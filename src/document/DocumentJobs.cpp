// The parts of Document's open and save that may run on another thread.
#include "document/Document.h"

#include "document/ArchiveError.h"
#include "document/DocumentLayouts.h"
#include "document/PageTransfer.h"
#include "document/PlotPageAccess.h"
#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"

#include <QFile>
#include <QSaveFile>

struct Document::OpenJob
{
    QString path;
    FileType type = FileType::None;
    DocumentNames::OpenDecision check;
    // The cells a row of the result table keeps, and the rows read cut to
    // them on the reading thread, so the pages take them over without a copy.
    int pageCells = 0;
    std::unique_ptr<ResultTableModel> pageRows;
    DocumentData loaded;
    bool stopped = false;
    QString error; // the whole message; empty after a success
};

struct Document::SaveJob
{
    QString path;
    FileType type = FileType::None;
    DocumentData data;
    std::shared_ptr<ProcedureModel> procedure;
    std::shared_ptr<ResultTableModel> results;
    bool stopped = false;
    QString error;
};

bool Document::wasStopped(const OpenJob &job)
{
    return job.stopped;
}

bool Document::wasStopped(const SaveJob &job)
{
    return job.stopped;
}

std::shared_ptr<Document::OpenJob> Document::prepareOpen(const QString &path)
{
    m_lastError.clear();
    const QString newName = DocumentNames::fileName(path);
    const DocumentNames::OpenDecision check = DocumentNames::checkOpen(DocumentNames::fileName(m_pathName), newName);
    if (!check.allowed) {
        m_lastError = check.message;
        warn(check.message);
        return nullptr;
    }
    auto job = std::make_shared<OpenJob>();
    job->path = path;
    job->type = DocumentNames::fileType(newName);
    job->check = check;
    job->pageCells = PageTransfer::cellLimit(m_data);
    return job;
}

void Document::readOpen(OpenJob &job, const KeepGoing &keepGoing)
{
    const QString &path = job.path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        job.error = QStringLiteral("Can't open the file %1: %2.").arg(path, file.errorString());
        return;
    }
    // Parse into a separate copy: nothing changes unless the whole file reads.
    try {
        DocumentLayouts::read(job.type, &file, file.size(), job.loaded, DocumentLayouts::PastCount::Drop, keepGoing);
        if (job.loaded.reportTable)
            job.pageRows = PageTransfer::cutRows(*job.loaded.reportTable, job.pageCells);
    } catch (const DocumentLayouts::Stopped &) {
        job.stopped = true;
        job.loaded = DocumentData();
    } catch (const ArchiveError &e) {
        job.error = QStringLiteral("Can't read the file %1: %2.").arg(path, e.describe());
    } catch (const std::bad_alloc &) {
        job.error = QStringLiteral("Can't read the file %1: not enough memory.").arg(path);
    }
}

bool Document::finishOpen(OpenJob &job)
{
    if (job.stopped)
        return false;
    if (!job.error.isEmpty()) {
        m_lastError = job.error;
        warn(m_lastError);
        return false;
    }
    if (job.check.clearReportData)
        m_data.clearReportData();
    m_data.takeLayout(job.type, std::move(job.loaded));
    setPathName(job.path, true);
    if (m_procedure && m_results) {
        const bool ready = job.pageRows && job.pageCells == PageTransfer::cellLimit(m_data);
        PageTransfer::rebuild(m_data, *m_procedure, *m_results, m_plot, ready ? job.pageRows.get() : nullptr);
        job.pageRows.reset();
    }
    emit documentLoaded(job.path);
    return true;
}

std::shared_ptr<Document::SaveJob> Document::prepareSave(const QString &path)
{
    m_lastError.clear();
    const FileType type = DocumentNames::fileType(path);
    if (type == FileType::None) {
        // No layout for this name: leave any file of that name alone.
        m_lastError = QStringLiteral("Nothing was saved: the name %1 does not end in pro, rpt or pic.")
                          .arg(DocumentNames::fileName(path));
        warn(m_lastError);
        return nullptr;
    }
    auto job = std::make_shared<SaveJob>();
    job->path = path;
    job->type = type;
    job->data = m_data;
    if (m_procedure && m_results) {
        // The refresh makes the report part anew.
        job->data.reportRows.clear();
        job->data.reportTable.reset();
        // The plotter's part is small: taken here, with the rest left to the refresh.
        if (m_plot) {
            job->data.plotFirstItem = m_plot->firstItemText();
            job->data.plotSecondItem = m_plot->secondItemText();
            job->data.plotRows = m_plot->joinedRows();
            job->data.plotRowCount = qint32(job->data.plotRows.size());
            job->data.plotColumnCount = m_plot->columnCounter();
        }
        job->procedure = std::make_shared<ProcedureModel>();
        job->procedure->setSteps(m_procedure->steps());
        job->results = std::shared_ptr<ResultTableModel>(m_results->snapshot().release());
    }
    return job;
}

void Document::writeSave(SaveJob &job, const KeepGoing &keepGoing)
{
    if (job.procedure)
        PageTransfer::refresh(job.data, *job.procedure, job.results, nullptr);

    // Written beside the target and renamed over it only when complete, so a
    // failure never leaves a cut file or loses the previous one.
    QSaveFile file(job.path);
    QString why;
    bool ok = file.open(QIODevice::WriteOnly);
    if (!ok)
        why = file.errorString();
    try {
        if (ok && !DocumentLayouts::write(job.type, job.data, &file, &why, keepGoing)) {
            ok = false;
            file.cancelWriting();
        }
    } catch (const DocumentLayouts::Stopped &) {
        ok = false;
        job.stopped = true;
        file.cancelWriting();
    }
    if (ok && !file.commit()) {
        ok = false;
        why = file.errorString();
    }
    if (!ok && !job.stopped)
        job.error = QStringLiteral("Can't save the file %1: %2.").arg(job.path, why);
}

bool Document::finishSave(SaveJob &job)
{
    if (job.stopped)
        return false;
    if (!job.error.isEmpty()) {
        m_lastError = job.error;
        warn(m_lastError);
        return false;
    }
    m_data = std::move(job.data);
    setPathName(job.path, true);
    return true;
}
