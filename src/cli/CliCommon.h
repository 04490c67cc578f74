#pragma once

#include "common/Prompter.h"
#include "document/DocumentData.h"
#include "document/DocumentLayouts.h"

#include <QString>
#include <QStringList>

#include <stdexcept>

class QelSession;

// Exit statuses of qel-cli.
enum ExitStatus {
    ExitOk = 0,
    ExitFailVerdict = 1,
    ExitUsage = 2,
    ExitConnection = 3,
    ExitInterrupted = 4,
};

// An error that ends the command with a status and one sentence on stderr.
struct CliError : std::runtime_error
{
    CliError(int status, const QString &message) : std::runtime_error(message.toStdString()), status(status) {}
    int status;
};

// Records what the core says; questions take a fixed answer. Nothing is
// printed here: each command ends with one sentence of its own on stderr,
// built from what was recorded, so a failure is never told twice.
class CliPrompter : public Prompter
{
public:
    explicit CliPrompter(bool answer = true) : m_answer(answer) {}
    void inform(const QString &caption, const QString &text, Icon icon) override;
    bool ask(const QString &caption, const QString &text, Icon icon) override;
    QStringList messages;

private:
    bool m_answer;
};

// Simple option parsing: "--name value" pairs and flags after the positionals.
class CliArgs
{
public:
    CliArgs(const QStringList &args, const QStringList &flags);
    QStringList positional;
    bool has(const QString &name) const { return m_values.contains(name) || m_flags.contains(name); }
    QString value(const QString &name, const QString &fallback = {}) const { return m_values.value(name, fallback); }
    int intValue(const QString &name, int fallback) const;
    // Refuses options not in allowed.
    void allowOnly(const QStringList &allowed) const;

private:
    QHash<QString, QString> m_values;
    QStringList m_flags;
};

// Reads a file of the three types, a window at a time (a report straight
// into a table); throws CliError(ExitUsage) naming the file. Keep holds a
// report's rows past its count too, for showing the file as it stands.
DocumentNames::FileType readDocumentFile(const QString &path, DocumentData &data,
    DocumentLayouts::PastCount pastCount = DocumentLayouts::PastCount::Drop);
// A report with the procedure it belongs to, read and taken into the
// session's models. The desktop's name rule between the two files guards
// against mixing procedures; here the operator names both at once.
void loadReportPair(QelSession &session, const QString &report, const QString &procedure);
// A plot file read and taken into the session's Plotter View state; the
// pages read.
DocumentData loadPlot(QelSession &session, const QString &plot);
// Writes atomically; throws CliError(ExitUsage) naming the file.
void writeDocumentFile(const QString &path, DocumentNames::FileType type, const DocumentData &data);
// Writes bytes atomically.
void writeFileAtomically(const QString &path, const QByteArray &bytes);
// Refuses (CliError(ExitUsage)) an output path in a missing folder or taken
// by a folder, before any measuring or writing starts.
void checkOutputPath(const QString &path);
// "Cannot write PATH: PROBLEM." unless the problem names the path already.
QString cannotWrite(const QString &path, const QString &problem);
// The text as one sentence: ends in a full stop unless it ends in one
// already (or in "!" or "?").
QString asSentence(QString text);
