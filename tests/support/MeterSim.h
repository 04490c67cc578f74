#pragma once
// MeterSim: runs qel-meter-sim (the simulated meter on a pseudo-terminal) for
// one test and reads back what it received.
//
//   MeterSim sim({"--component", "C=100n,esr=0.05"}); // adds --zero-time and --log
//   ASSERT_TRUE(sim.isRunning()) << qPrintable(sim.errorText());
//   link.settings().devicePath = sim.devicePath();
//   connector.connectToMeter();                      // a MeterConnector over the link
//   ASSERT_TRUE(sim.waitForCommands(2));
//   EXPECT_EQ(sim.receivedBytes(), QByteArray("*IDN?\n*LOC\n"));
//
// - MeterSim(args, zeroTime = true): starts the simulator with `args`, plus
//   --zero-time unless zeroTime is false, plus --log <temporary file>; waits
//   up to 10 s for the device path on its first output line. The program is
//   qelBinDir()/qel-meter-sim: build the qel-meter-sim target first.
// - isRunning(), errorText() (why it did not start, and its stderr),
//   devicePath(), logPath().
// - entries(): the log parsed; Entry::kind is '>' (a command received, bytes
//   without the line feed), '+' (bytes received without a line feed), '<'
//   (bytes sent, exactly) or '#' (a note); Entry::time in seconds.
// - commands(): the commands received, without line feeds; receivedBytes():
//   every byte received, line feeds included; sentBytes(): every byte sent;
//   replyLines(n): every whole line sent after the identification reply,
//   with its line feed, once n are there or two seconds have passed;
//   logLines(): the raw log.
// - waitForCommands(n, ms), waitForLog(predicate, ms), waitUntil(cond, ms),
//   waitForExit(ms): wait with a time limit while running the Qt event loop,
//   so an InstrumentLink in the same thread keeps receiving; true when met.
// - stop(): ends the simulator (also done by the destructor).

#include "TestPaths.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

class MeterSim
{
public:
    struct Entry
    {
        double time = 0;
        char kind = 0;
        QByteArray bytes;
    };

    explicit MeterSim(const QStringList &args = {}, bool zeroTime = true)
    {
        m_logPath = m_dir.path() + QStringLiteral("/meter.log");
        QStringList all = args;
        if (zeroTime)
            all << QStringLiteral("--zero-time");
        all << QStringLiteral("--log") << m_logPath;
        m_process.setProgram(program());
        m_process.setArguments(all);
        m_process.start();
        if (!m_process.waitForStarted(10000)) {
            m_error = QStringLiteral("cannot start %1: %2").arg(program(), m_process.errorString());
            return;
        }
        QElapsedTimer clock;
        clock.start();
        while (!m_process.canReadLine() && clock.elapsed() < 10000 && m_process.state() == QProcess::Running)
            m_process.waitForReadyRead(100);
        if (!m_process.canReadLine()) {
            m_error = QStringLiteral("no device path from the simulator; stderr: ")
                + QString::fromLocal8Bit(m_process.readAllStandardError());
            stop();
            return;
        }
        m_device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }

    ~MeterSim() { stop(); }
    MeterSim(const MeterSim &) = delete;
    MeterSim &operator=(const MeterSim &) = delete;

    static QString program() { return qelBinDir() + QStringLiteral("/qel-meter-sim"); }

    bool isRunning() const { return !m_device.isEmpty() && m_process.state() == QProcess::Running; }
    QString errorText()
    {
        if (m_process.state() != QProcess::NotRunning)
            m_stderr += m_process.readAllStandardError();
        return m_error + QString::fromLocal8Bit(m_stderr);
    }
    QString devicePath() const { return m_device; }
    QString logPath() const { return m_logPath; }

    QStringList logLines() const
    {
        QFile f(m_logPath);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList lines;
        for (const QByteArray &l : f.readAll().split('\n'))
            if (!l.isEmpty())
                lines << QString::fromLatin1(l);
        return lines;
    }

    QList<Entry> entries() const
    {
        QList<Entry> out;
        QFile f(m_logPath);
        if (!f.open(QIODevice::ReadOnly))
            return out;
        for (const QByteArray &line : f.readAll().split('\n')) {
            // "<seconds> <kind> <text>"
            const int sp = line.indexOf(' ');
            if (sp < 0 || line.size() < sp + 3)
                continue;
            Entry e;
            e.time = line.left(sp).toDouble();
            e.kind = line.at(sp + 1);
            e.bytes = unescape(line.mid(sp + 3));
            out << e;
        }
        return out;
    }

    QList<QByteArray> commands() const
    {
        QList<QByteArray> out;
        for (const Entry &e : entries())
            if (e.kind == '>')
                out << e.bytes;
        return out;
    }

    QByteArray receivedBytes() const
    {
        QByteArray out;
        for (const Entry &e : entries()) {
            if (e.kind == '>')
                out += e.bytes + '\n';
            else if (e.kind == '+')
                out += e.bytes;
        }
        return out;
    }

    QByteArray sentBytes() const
    {
        QByteArray out;
        for (const Entry &e : entries())
            if (e.kind == '<')
                out += e.bytes;
        return out;
    }

    QList<QByteArray> replyLines(int count) const
    {
        waitUntil([&] { return sentBytes().count('\n') >= count + 1; }, 2000);
        QList<QByteArray> lines = sentBytes().split('\n');
        lines.removeLast(); // what follows the last line feed
        for (QByteArray &l : lines)
            l += '\n';
        return lines.mid(1);
    }

    // Runs the event loop in small steps until cond() holds or time is up.
    static bool waitUntil(const std::function<bool()> &cond, int timeoutMs = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!cond()) {
            if (clock.elapsed() >= timeoutMs)
                return false;
            QEventLoop loop;
            QTimer::singleShot(2, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return true;
    }

    bool waitForCommands(int count, int timeoutMs = 5000) const
    {
        return waitUntil([&] { return commands().size() >= count; }, timeoutMs);
    }

    bool waitForLog(const std::function<bool(const QList<Entry> &)> &pred, int timeoutMs = 5000) const
    {
        return waitUntil([&] { return pred(entries()); }, timeoutMs);
    }

    bool waitForExit(int timeoutMs = 5000)
    {
        return waitUntil([&] { return m_process.state() == QProcess::NotRunning; }, timeoutMs);
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
        m_stderr += m_process.readAllStandardError();
    }

    static QByteArray unescape(const QByteArray &text)
    {
        QByteArray out;
        out.reserve(text.size());
        for (int i = 0; i < text.size(); ++i) {
            const char c = text.at(i);
            if (c != '\\' || i + 1 >= text.size()) {
                out += c;
                continue;
            }
            const char n = text.at(++i);
            if (n == 'n')
                out += '\n';
            else if (n == 'r')
                out += '\r';
            else if (n == 't')
                out += '\t';
            else if (n == 'x' && i + 2 < text.size()) {
                out += char(text.mid(i + 1, 2).toInt(nullptr, 16));
                i += 2;
            } else
                out += n;
        }
        return out;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_logPath;
    QString m_device;
    QString m_error;
    QByteArray m_stderr;
};
