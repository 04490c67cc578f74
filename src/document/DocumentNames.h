#pragma once

#include <QDateTime>
#include <QString>

// The naming rules of the document files: the type a name stands for, the
// checks before a file is opened over the current one, and the name File
// Save proposes for the page shown. Names here are file names without a
// folder; fileName() takes one off a path.
namespace DocumentNames {

enum class FileType { None, Procedure, Report, Plot };

// The part after the last '/' or '\\'.
QString fileName(const QString &path);
// The folder part including its final separator ("" when there is none).
QString folderOf(const QString &path);
// By the last three characters, case-sensitively: "pro", "rpt", "pic".
// The dot is not looked at, so "xpro" is a procedure name too.
FileType fileType(const QString &name);
// The text before the first '_', or "" when there is none.
QString stem(const QString &name);

// The open checks between the current document name and a new one.
struct OpenDecision
{
    bool allowed = true;
    QString message;            // the refusal, when not allowed
    bool clearReportData = false;
};
OpenDecision checkOpen(const QString &currentName, const QString &newName);

// Messages of the open checks, shown under "Warning" with the error icon.
extern const char *const ReportNameMismatch;
extern const char *const ReportStemMismatch;
extern const char *const CantOpen;

// Year, month, day, hour and minute run together without leading zeros:
// 9:05 on 6 December 2026 is "20261269" followed by "5".
QString timeStamp(const QDateTime &local);

// The name File Save proposes on page currentView (1 Procedure, 2 Executive,
// 3 Plotter) for a document named currentName.
QString saveName(const QString &currentName, int currentView, const QString &creationTitle, const QString &stamp);

} // namespace DocumentNames
