// The export-and-open path of the desktop, apart from the writer: a program
// that only writes workbooks (the dashboard) does not take QtGui with it.
#include "sheets/XlsxWorkbook.h"

#include "common/Prompter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

QString XlsxWorkbook::messageCaption()
{
    return QStringLiteral("Export to Excel");
}

QString XlsxWorkbook::exportPath(const QString &stem)
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    const QString base = dir + QLatin1Char('/') + stem + QLatin1Char('-')
                         + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = base + QLatin1String(".xlsx");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = base + QLatin1Char('-') + QString::number(n) + QLatin1String(".xlsx");
    return path;
}

void XlsxWorkbook::openOrTell(const QString &path, Prompter &prompter, const Opener &opener)
{
    if (!opener || !opener(path)) {
        prompter.inform(messageCaption(),
                        QStringLiteral("No spreadsheet application could open the workbook. It has been saved as\n%1")
                            .arg(QDir::toNativeSeparators(path)),
                        Prompter::Icon::Information);
    }
}

QString XlsxWorkbook::exportAndOpen(const QString &stem, const Fill &fill, Prompter &prompter, const Opener &opener)
{
    const QString path = exportPath(stem);
    QString error;
    if (!writeFile(path, fill, &error)) {
        prompter.inform(messageCaption(),
                        QStringLiteral("The workbook could not be written.\n%1").arg(error),
                        Prompter::Icon::Error);
        return {};
    }
    openOrTell(path, prompter, opener);
    return path;
}

bool XlsxWorkbook::openInDesktop(const QString &path)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return false;
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return false;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;

    // Without a default application xdg-open falls back to whatever it finds
    // (a browser, a text editor): better to say where the file is.
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"),
                 QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet")});
    if (!query.waitForFinished(3000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return false;
    if (query.readAllStandardOutput().trimmed().isEmpty())
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
