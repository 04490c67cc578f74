#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

// What a command-line tool (pdftotext, unzip, ...) prints on stdout; empty
// when it did not finish within half a minute.
inline QByteArray toolOutput(const QString &tool, const QStringList &args)
{
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return p.readAllStandardOutput();
}
