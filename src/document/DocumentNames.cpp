#include "document/DocumentNames.h"

namespace DocumentNames {

const char *const ReportNameMismatch = "Loading report file fail, the name is not corresponding with procedure's name";
const char *const ReportStemMismatch = "Loading report file fail, the name type is not corresponding";
const char *const CantOpen = "Can't open the file.";

static qsizetype lastSeparator(const QString &path)
{
    return qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
}

QString fileName(const QString &path)
{
    return path.mid(lastSeparator(path) + 1);
}

QString folderOf(const QString &path)
{
    return path.left(lastSeparator(path) + 1);
}

FileType fileType(const QString &name)
{
    const QString n = fileName(name);
    if (n.endsWith(QLatin1String("pro")))
        return FileType::Procedure;
    if (n.endsWith(QLatin1String("rpt")))
        return FileType::Report;
    if (n.endsWith(QLatin1String("pic")))
        return FileType::Plot;
    return FileType::None;
}

QString stem(const QString &name)
{
    const qsizetype u = name.indexOf(QLatin1Char('_'));
    return u < 0 ? QString() : name.left(u);
}

static QString withoutPro(QString name)
{
    return name.remove(QLatin1String(".pro"));
}

OpenDecision checkOpen(const QString &currentName, const QString &newName)
{
    OpenDecision d;
    const FileType cur = fileType(currentName);
    const FileType neu = fileType(newName);
    if (neu == FileType::None) {
        // Nothing could be read from it; opening would only empty the pages.
        d.allowed = false;
        d.message = QString::fromLatin1(CantOpen);
        return d;
    }
    if (cur == FileType::Plot || neu == FileType::Plot)
        return d;

    if (cur == FileType::Procedure && neu == FileType::Procedure) {
        d.clearReportData = currentName != newName;
    } else if (cur == FileType::Procedure && neu == FileType::Report) {
        if (!newName.startsWith(withoutPro(currentName))) {
            d.allowed = false;
            d.message = QString::fromLatin1(ReportNameMismatch);
        }
    } else if (cur == FileType::Report && neu == FileType::Report) {
        if (stem(currentName) != stem(newName)) {
            d.allowed = false;
            d.message = QString::fromLatin1(ReportStemMismatch);
        }
    } else if (cur == FileType::Report && neu == FileType::Procedure) {
        d.clearReportData = stem(currentName) != withoutPro(newName);
    } else if (cur == FileType::None && neu == FileType::Report) {
        d.allowed = false;
        d.message = QString::fromLatin1(CantOpen);
    }
    return d;
}

QString timeStamp(const QDateTime &local)
{
    const QDate d = local.date();
    const QTime t = local.time();
    return QString::number(d.year()) + QString::number(d.month()) + QString::number(d.day())
        + QString::number(t.hour()) + QString::number(t.minute());
}

QString saveName(const QString &currentName, int currentView, const QString &creationTitle, const QString &stamp)
{
    const FileType type = fileType(currentName);
    QString name = currentName;
    switch (currentView) {
    case 1:
        if (type == FileType::Report)
            return stem(name) + QLatin1String(".pro");
        if (type == FileType::Plot)
            return name.replace(QLatin1String("pic"), QLatin1String("pro"));
        return creationTitle + QLatin1String(".pro");
    case 2:
        if (type == FileType::Procedure)
            return withoutPro(name) + QLatin1Char('_') + stamp + QLatin1String(".rpt");
        if (type == FileType::Report) {
            const qsizetype u = name.indexOf(QLatin1Char('_'));
            return (u < 0 ? QString() : name.left(u + 1)) + stamp + QLatin1String(".rpt");
        }
        return name;
    case 3:
        if (type == FileType::Report)
            return stem(name) + QLatin1String(".pic");
        if (type == FileType::Procedure)
            return name.replace(QLatin1String("pro"), QLatin1String("pic"));
        return creationTitle + QLatin1String(".pic");
    default:
        return name;
    }
}

} // namespace DocumentNames
