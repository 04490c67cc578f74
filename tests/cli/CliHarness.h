#pragma once
// Runs qel-cli as its own process, always with a time limit, and writes the
// three file layouts with an encoder of its own, so expected bytes never come
// from the code under test.

#include "../support/TestPaths.h"
#include "../support/XlsxReader.h" // also gives QString a readable PrintTo

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QStringList>
#include <QTemporaryDir>


struct CliResult
{
    bool finished = false; // ended by itself within the time limit
    bool crashed = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;

    QStringList outLines() const
    {
        QStringList lines = QString::fromUtf8(out).split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }
    QString errText() const { return QString::fromUtf8(err); }
    // What a failure tells the operator: stderr as lines.
    QStringList errLines() const
    {
        QStringList lines = errText().split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }
    // For assertion messages.
    std::string describe() const
    {
        return QStringLiteral("finished=%1 crashed=%2 exit=%3\nstdout:\n%4\nstderr:\n%5")
            .arg(finished)
            .arg(crashed)
            .arg(exitCode)
            .arg(QString::fromUtf8(out.left(4000)), errText())
            .toStdString();
    }
};

inline QString cliProgram()
{
    return qelBinDir() + QStringLiteral("/qel-cli");
}

// A private runtime folder keeps Qt's start-up notes off stderr, so a test
// sees exactly what the program itself reports.
inline QProcessEnvironment cliEnvironment()
{
    static QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

inline CliResult runCli(const QStringList &args, int timeoutMs = 60000, const QString &workDir = {})
{
    CliResult r;
    QProcess p;
    p.setProcessEnvironment(cliEnvironment());
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(cliProgram(), args);
    if (!p.waitForStarted(10000)) {
        r.err = p.errorString().toUtf8();
        return r;
    }
    r.finished = p.waitForFinished(timeoutMs);
    if (!r.finished) {
        p.kill();
        p.waitForFinished(5000);
    }
    r.crashed = p.exitStatus() == QProcess::CrashExit;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// True when stderr is one sentence on one line, from the program itself,
// that names what it is about. (Some sentences are the meter program's own
// texts and keep their wording, so no closing stop is required.)
inline bool isOneSentenceNaming(const CliResult &r, const QString &subject)
{
    const QStringList lines = r.errLines();
    return lines.size() == 1 && lines[0].startsWith(QLatin1String("qel-cli: ")) && !lines[0].endsWith(QLatin1String(".."))
        && lines[0].contains(subject);
}

inline QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Names of the entries of a folder, for "nothing else was left behind".
inline QStringList folderEntries(const QString &path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// The archive items of the file layouts: little-endian int32, counts and
// length-prefixed strings in code page 950.
namespace Archive {

inline QByteArray int32(qint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((quint32(v) >> (8 * i)) & 0xff);
    return b;
}

inline QByteArray count(int n)
{
    if (n < 0xffff)
        return QByteArray(1, char(n & 0xff)) + char((n >> 8) & 0xff);
    return QByteArray("\xff\xff", 2) + int32(n);
}

inline QByteArray bytesOf(const QString &text)
{
    QStringEncoder enc("CP950");
    return enc.encode(text);
}

inline QByteArray rawString(const QByteArray &bytes)
{
    const int n = int(bytes.size());
    QByteArray b;
    if (n < 255)
        b += char(n);
    else if (n < 0xfffe)
        b += QByteArray("\xff", 1) + char(n & 0xff) + char((n >> 8) & 0xff);
    else
        b += QByteArray("\xff\xff\xff", 3) + int32(n);
    return b + bytes;
}

inline QByteArray string(const QString &text)
{
    return rawString(bytesOf(text));
}

inline QByteArray stringArray(const QStringList &list)
{
    QByteArray b = count(int(list.size()));
    for (const QString &s : list)
        b += string(s);
    return b;
}

// Cells each followed by a line feed.
inline QString joined(const QStringList &cells)
{
    QString s;
    for (const QString &c : cells)
        s += c + QLatin1Char('\n');
    return s;
}

// steps: the sixteen field texts "F-Item" .. "Delay" of each step.
inline QByteArray procedure(const QList<QStringList> &steps)
{
    QByteArray b = int32(qint32(steps.size()));
    for (int k = 0; k < 16; ++k) {
        QStringList column;
        for (const QStringList &s : steps)
            column << s.value(k);
        b += stringArray(column);
    }
    return b;
}

inline QByteArray report(const QList<QStringList> &rows, const QStringList &dates, const QStringList &times)
{
    QStringList joinedRows;
    for (const QStringList &r : rows)
        joinedRows << joined(r);
    return int32(qint32(rows.size())) + stringArray(joinedRows) + stringArray(dates) + stringArray(times);
}

inline QByteArray plot(const QList<QStringList> &rows, qint32 columnCount, const QString &first, const QString &second)
{
    QStringList joinedRows;
    for (const QStringList &r : rows)
        joinedRows << joined(r);
    return int32(qint32(rows.size())) + int32(columnCount) + string(first) + string(second) + string(QStringLiteral("10"))
        + stringArray(joinedRows);
}

} // namespace Archive

// One procedure step by its sixteen stored fields, with the defaults of a
// capacitance step at 1 kHz.
struct TestStep
{
    QString fItem = QStringLiteral("C"), fStd = QStringLiteral("100"), fLow = QStringLiteral("-5%"),
            fHigh = QStringLiteral("+5%"), fUnit = QStringLiteral("nF");
    QString sItem = QStringLiteral("off"), sStd, sLow, sHigh, sUnit;
    QString freq = QStringLiteral("1KHz"), level = QStringLiteral("1V"), circuit = QStringLiteral("SER"),
            speed = QStringLiteral("MED"), type = QStringLiteral("%"), delay = QStringLiteral("0");

    QStringList fields() const
    {
        return {fItem, fStd, fLow, fHigh, fUnit, sItem, sStd, sLow, sHigh, sUnit, freq, level, circuit, speed, type, delay};
    }
};

inline QByteArray procedureOf(const QList<TestStep> &steps)
{
    QList<QStringList> all;
    for (const TestStep &s : steps)
        all << s.fields();
    return Archive::procedure(all);
}

// Date and time texts of a result row: 2012/3/7/ and 9:5:3.
inline bool isRowDate(const QString &s)
{
    static const QRegularExpression re(QStringLiteral("^\\d{4}/[1-9]\\d?/[1-9]\\d?/$"));
    return re.match(s).hasMatch();
}

inline bool isRowTime(const QString &s)
{
    static const QRegularExpression re(QStringLiteral("^(1?\\d|2[0-3]):[1-5]?\\d:[1-5]?\\d$"));
    return re.match(s).hasMatch();
}
