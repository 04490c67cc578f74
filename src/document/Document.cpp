#include "document/Document.h"

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

Document::Document(ProcedureModel *procedure, ResultTableModel *results, Prompter *prompter, QObject *parent)
    : QObject(parent), m_procedure(procedure), m_results(results), m_prompter(prompter),
      m_clock([] { return QDateTime::currentDateTime(); })
{
}

Document::~Document() = default;

void Document::warn(const QString &text)
{
    if (m_prompter)
        m_prompter->inform(WarningCaption, text, Prompter::Icon::Error);
}

void Document::setPathName(const QString &path, bool addToRecent)
{
    m_pathName = path;
    m_title = DocumentNames::fileName(path);
    emit pathNameChanged(path);
    if (addToRecent)
        emit recentFileAdded(path);
}

bool Document::onNewDocument()
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

void Document::clearDocument()
{
    QString path = m_pathName;
    if (!m_title.isEmpty())
        path.remove(m_title);
    setPathName(path + m_creationTitle + QLatin1String(".qel"), true);
    // The title is the creation title even when that is empty.
    m_title = m_creationTitle;
}

bool Document::openDocument(const QString &path)
{
    const std::shared_ptr<OpenJob> job = prepareOpen(path);
    if (!job)
        return false;
    readOpen(*job);
    return finishOpen(*job);
}

bool Document::saveDocument(const QString &path)
{
    const std::shared_ptr<SaveJob> job = prepareSave(path);
    if (!job)
        return false;
    writeSave(*job);
    return finishSave(*job);
}

QString Document::proposedSaveName(int currentView) const
{
    const QString name = DocumentNames::saveName(DocumentNames::fileName(m_pathName), currentView, m_creationTitle,
        DocumentNames::timeStamp(m_clock()));
    return DocumentNames::folderOf(m_pathName) + name;
}

bool Document::needsSaveAsPrompt(const QString &path) const
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
