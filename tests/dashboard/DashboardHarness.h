#pragma once
// Runs qel-cli serve as its own process and talks HTTP to it over raw
// sockets on 127.0.0.1, so paths reach the server exactly as written.

#include "../cli/CliHarness.h"

#include <QElapsedTimer>
#include <QTcpSocket>

#include <csignal>

struct HttpReply
{
    int status = 0;
    QByteArray head;
    QByteArray body;
    QByteArray header(const QByteArray &name) const
    {
        for (const QByteArray &line : head.split('\n')) {
            const int colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
                return line.mid(colon + 1).trimmed();
        }
        return {};
    }
};

// Sends the request bytes and reads one response (Content-Length framed).
inline HttpReply httpExchange(quint16 port, const QByteArray &request, int timeoutMs = 10000)
{
    HttpReply r;
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!s.waitForConnected(timeoutMs))
        return r;
    s.write(request);
    s.waitForBytesWritten(timeoutMs);
    QByteArray data;
    QElapsedTimer clock;
    clock.start();
    qint64 need = -1;
    int headEnd = -1;
    while (clock.elapsed() < timeoutMs) {
        if (headEnd < 0 && (headEnd = data.indexOf("\r\n\r\n")) >= 0) {
            r.head = data.left(headEnd);
            r.status = r.head.mid(9, 3).toInt();
            need = r.header("Content-Length").toLongLong();
        }
        if (headEnd >= 0 && data.size() - headEnd - 4 >= need)
            break;
        if (!s.waitForReadyRead(200) && s.state() != QAbstractSocket::ConnectedState)
            break;
        data += s.readAll();
    }
    if (headEnd >= 0)
        r.body = data.mid(headEnd + 4, need);
    return r;
}

inline HttpReply httpGet(quint16 port, const QByteArray &path, const QByteArray &extraHeaders = {})
{
    return httpExchange(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extraHeaders + "\r\n");
}

// qel-cli serve on 127.0.0.1 with a free port.
class DashboardProcess
{
public:
    explicit DashboardProcess(const QStringList &args)
    {
        m_process.setProcessEnvironment(cliEnvironment());
        m_process.start(cliProgram(), QStringList{QStringLiteral("serve")} + args);
        if (!m_process.waitForStarted(10000))
            return;
        QElapsedTimer clock;
        clock.start();
        while (!m_process.canReadLine() && clock.elapsed() < 15000 && m_process.state() == QProcess::Running)
            m_process.waitForReadyRead(100);
        m_address = QString::fromUtf8(m_process.readLine()).trimmed();
        m_port = quint16(m_address.section(QLatin1Char(':'), -1).section(QLatin1Char('/'), 0, 0).toUInt());
    }
    ~DashboardProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    QString address() const { return m_address; }
    quint16 port() const { return m_port; }
    QString errText() { return QString::fromUtf8(m_process.readAllStandardError()); }
    // SIGTERM, then the exit status (or -1 if it did not end within 5 s).
    int terminate()
    {
        ::kill(pid_t(m_process.processId()), SIGTERM);
        if (!m_process.waitForFinished(5000) || m_process.exitStatus() != QProcess::NormalExit)
            return -1;
        return m_process.exitCode();
    }

private:
    QProcess m_process;
    QString m_address;
    quint16 m_port = 0;
};
