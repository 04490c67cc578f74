#include "cli/CliCommon.h"

#include "document/DocumentLayouts.h"
#include "session/QelSession.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

void CliPrompter::inform(const QString &, const QString &text, Icon)
{
    messages << text;
}

bool CliPrompter::ask(const QString &, const QString &text, Icon)
{
    messages << text;
    return m_answer;
}

CliArgs::CliArgs(const QStringList &args, const QStringList &flags)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a.startsWith(QLatin1String("--"))) {
            const QString name = a.mid(2);
            if (flags.contains(name)) {
                m_flags << name;
                continue;
            }
            if (i + 1 >= args.size())
                throw CliError(ExitUsage, QStringLiteral("The option %1 needs a value.").arg(a));
            m_values.insert(name, args[++i]);
        } else {
            positional << a;
        }
    }
}

int CliArgs::intValue(const QString &name, int fallback) const
{
    if (!m_values.contains(name))
        return fallback;
    bool ok = false;
    const int v = m_values.value(name).toInt(&ok);
    if (!ok)
        throw CliError(ExitUsage, QStringLiteral("The option --%1 needs a whole number, not \"%2\".").arg(name, m_values.value(name)));
    return v;
}

void CliArgs::allowOnly(const QStringList &allowed) const
{
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it)
        if (!allowed.contains(it.key()))
            throw CliError(ExitUsage, QStringLiteral("Unknown option --%1.").arg(it.key()));
    for (const QString &f : m_flags)
        if (!allowed.contains(f))
            throw CliError(ExitUsage, QStringLiteral("Unknown option --%1.").arg(f));
}

DocumentNames::FileType readDocumentFile(const QString &path, DocumentData &data, DocumentLayouts::PastCount pastCount)
{
    const QelSession::FileRead read = QelSession::readFile(path, data, pastCount);
    switch (read.problem) {
    case QelSession::FileRead::NotADocument:
        throw CliError(ExitUsage, QStringLiteral("%1 is not a procedure (.pro), report (.rpt) or plot (.pic) file.").arg(path));
    case QelSession::FileRead::CannotRead:
        throw CliError(ExitUsage, QStringLiteral("Cannot read %1: %2.").arg(path, read.detail));
    case QelSession::FileRead::Damaged:
        throw CliError(ExitUsage, QStringLiteral("%1 is damaged: %2.").arg(path, read.detail));
    case QelSession::FileRead::Read:
        break;
    }
    return read.type;
}

void loadReportPair(QelSession &session, const QString &report, const QString &procedure)
{
    DocumentData data;
    if (readDocumentFile(procedure, data) != DocumentNames::FileType::Procedure)
        throw CliError(ExitUsage, QStringLiteral("%1 is not a procedure file (.pro).").arg(procedure));
    if (readDocumentFile(report, data) != DocumentNames::FileType::Report)
        throw CliError(ExitUsage, QStringLiteral("%1 is not a report file (.rpt).").arg(report));
    session.takePages(data);
}

DocumentData loadPlot(QelSession &session, const QString &plot)
{
    DocumentData data;
    if (readDocumentFile(plot, data) != DocumentNames::FileType::Plot)
        throw CliError(ExitUsage, QStringLiteral("%1 is not a plot file (.pic).").arg(plot));
    session.takePages(data);
    return data;
}

void writeDocumentFile(const QString &path, DocumentNames::FileType type, const DocumentData &data)
{
    checkOutputPath(path);
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw CliError(ExitUsage, cannotWrite(path, f.errorString()));
    QString error;
    if (!DocumentLayouts::write(type, data, &f, &error) || !f.commit())
        throw CliError(ExitUsage, cannotWrite(path, error.isEmpty() ? f.errorString() : error));
}

void writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    checkOutputPath(path);
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        throw CliError(ExitUsage, cannotWrite(path, f.errorString()));
}

void checkOutputPath(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        throw CliError(ExitUsage, QStringLiteral("Cannot write %1: a folder of that name is in the way.").arg(path));
    if (!QFileInfo(info.absolutePath()).isDir())
        throw CliError(ExitUsage, QStringLiteral("Cannot write %1: the folder %2 does not exist.").arg(path, info.absolutePath()));
}

QString cannotWrite(const QString &path, const QString &problem)
{
    if (problem.contains(path))
        return asSentence(problem);
    return asSentence(QStringLiteral("Cannot write %1: %2").arg(path, problem));
}

QString asSentence(QString text)
{
    text = text.trimmed();
    while (text.endsWith(QLatin1String("..")))
        text.chop(1);
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('.')) && !text.endsWith(QLatin1Char('!')) && !text.endsWith(QLatin1Char('?')))
        text += QLatin1Char('.');
    return text;
}
