#include "document/CQelDoc.h"

#include "common/Prompter.h"
#include "document/ArchiveError.h"
#include "document/DocumentLayouts.h"
#include "document/PageTransfer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
const QString WarningCaption = QStringLiteral("Warning");
} // namespace

CQelDoc::CQelDoc(ProcedureModel *procedure, ResultTableModel *results, Prompter *prompter, QObject *parent)
    : QObject(parent), m_procedure(procedure), m_results(results), m_prompter(prompter),
      m_clock([] { return QDateTime::currentDateTime(); })
{
}

CQelDoc::~CQelDoc() = default;

void CQelDoc::warn(const QString &text)
{
    if (m_prompter)
        m_prompter->inform(WarningCaption, text, Prompter::Icon::Error);
}

void CQelDoc::setPathName(const QString &path, bool addToRecent)
{
    m_pathName = path;
    m_title = DocumentNames::fileName(path);
    emit pathNameChanged(path);
    if (addToRecent)
        emit recentFileAdded(path);
}

bool CQelDoc::onNewDocument()
{
    m_pathName.clear();
    m_title = untitled();
    if (!m_creationTitleTaken) {
        m_creationTitle = m_title;
        m_creationTitleTaken = true;
    }
    emit pathNameChanged(m_pathName);
    return true;
}

void CQelDoc::clearDocument()
{
    QString path = m_pathName;
    if (!m_title.isEmpty())
        path.remove(m_title);
    setPathName(path + m_creationTitle + QLatin1String(".qel"), true);
    // The title is the creation title even when that is empty.
    m_title = m_creationTitle;
}

bool CQelDoc::openDocument(const QString &path)
{
    m_lastError.clear();
    const QString newName = DocumentNames::fileName(path);
    const DocumentNames::OpenDecision check = DocumentNames::checkOpen(DocumentNames::fileName(m_pathName), newName);
    if (!check.allowed) {
        m_lastError = check.message;
        warn(check.message);
        return false;
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_lastError = QStringLiteral("Can't open the file %1: %2.").arg(path, file.errorString());
        warn(m_lastError);
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_lastError = QStringLiteral("Can't read the file %1: %2.").arg(path, file.errorString());
        warn(m_lastError);
        return false;
    }
    file.close();

    // Parse into a separate copy: nothing changes unless the whole file reads.
    const FileType type = DocumentNames::fileType(newName);
    DocumentData loaded;
    try {
        DocumentLayouts::read(type, bytes, loaded);
    } catch (const ArchiveError &e) {
        m_lastError = QStringLiteral("Can't read the file %1: %2.").arg(path, e.describe());
        warn(m_lastError);
        return false;
    } catch (const std::bad_alloc &) {
        m_lastError = QStringLiteral("Can't read the file %1: not enough memory.").arg(path);
        warn(m_lastError);
        return false;
    }

    if (check.clearReportData)
        m_data.clearReportData();
    m_data.takeLayout(type, std::move(loaded));
    setPathName(path, true);
    if (m_procedure && m_results)
        PageTransfer::rebuild(m_data, *m_procedure, *m_results, m_plot);
    emit documentLoaded(path);
    return true;
}

bool CQelDoc::saveDocument(const QString &path)
{
    m_lastError.clear();
    const FileType type = DocumentNames::fileType(path);
    if (type == FileType::None) {
        // No layout for this name: leave any file of that name alone.
        m_lastError = QStringLiteral("Nothing was saved: the name %1 does not end in pro, rpt or pic.")
                          .arg(DocumentNames::fileName(path));
        warn(m_lastError);
        return false;
    }

    if (m_procedure && m_results)
        PageTransfer::refresh(m_data, *m_procedure, *m_results, m_plot);

    // Written beside the target and renamed over it only when complete, so a
    // failure never leaves a cut file or loses the previous one.
    QSaveFile file(path);
    QString why;
    bool ok = file.open(QIODevice::WriteOnly);
    if (!ok)
        why = file.errorString();
    if (ok && !DocumentLayouts::write(type, m_data, &file, &why)) {
        ok = false;
        file.cancelWriting();
    }
    if (ok && !file.commit()) {
        ok = false;
        why = file.errorString();
    }
    if (!ok) {
        m_lastError = QStringLiteral("Can't save the file %1: %2.").arg(path, why);
        warn(m_lastError);
        return false;
    }
    setPathName(path, true);
    return true;
}

QString CQelDoc::proposedSaveName(int currentView) const
{
    const QString name = DocumentNames::saveName(DocumentNames::fileName(m_pathName), currentView, m_creationTitle,
        DocumentNames::timeStamp(m_clock()));
    return DocumentNames::folderOf(m_pathName) + name;
}

bool CQelDoc::needsSaveAsPrompt(const QString &path) const
{
    if (m_pathName.isEmpty() || DocumentNames::folderOf(path).isEmpty())
        return true;
    const QFileInfo target(path);
    if (!target.exists() || !target.isWritable())
        return true;
    const QFileInfo own(m_pathName);
    if (own.exists())
        return target.canonicalFilePath() != own.canonicalFilePath();
    return QDir::cleanPath(target.absoluteFilePath()) != QDir::cleanPath(own.absoluteFilePath());
}
