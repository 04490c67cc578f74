#include "cli/CliCommands.h"
#include "cli/CliHistory.h"

#include "dashboard/DashboardServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

// "HOST:PORT", "[V6]:PORT" or ":PORT".
void parseListen(const QString &text, QHostAddress &address, quint16 &port)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    QString host = colon < 0 ? text : text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = colon >= 0;
    const uint p = text.mid(colon + 1).toUInt(&ok);
    if (host.isEmpty() || host == QLatin1String("localhost"))
        host = QStringLiteral("127.0.0.1");
    if (!ok || p > 65535 || !address.setAddress(host))
        throw CliError(ExitUsage, QStringLiteral("--listen %1 is not HOST:PORT with HOST an IP address (127.0.0.1:8080, 0.0.0.0:8080, [::1]:8080).").arg(text));
    port = quint16(p);
}

QByteArray readToken(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw CliError(ExitUsage, QStringLiteral("The token file %1 cannot be read: %2.").arg(path, f.errorString()));
    const QByteArray token = f.read(4097).trimmed();
    if (token.size() < 16 || token.size() > 4096 || token.contains('\n') || token.contains(' '))
        throw CliError(ExitUsage, QStringLiteral("The token file %1 must hold one token of 16 to 4096 characters without spaces.").arg(path));
    return token;
}

} // namespace

int cliServe(const QStringList &args)
{
    CliArgs a(args, {});
    a.allowOnly({QStringLiteral("db"), QStringLiteral("listen"), QStringLiteral("token-file")});
    if (!a.positional.isEmpty())
        throw CliError(ExitUsage, QStringLiteral("serve takes no argument but options: qel-cli serve --db URL [--listen HOST:PORT] [--token-file FILE]."));
    QHostAddress address;
    quint16 port = 0;
    parseListen(a.value(QStringLiteral("listen"), QStringLiteral("127.0.0.1:8080")), address, port);
    QByteArray token;
    if (a.has(QStringLiteral("token-file")))
        token = readToken(a.value(QStringLiteral("token-file")));
    else if (DashboardServer::needsToken(address))
        throw CliError(ExitUsage, QStringLiteral("Listening on %1 opens the results to the network, so it needs --token-file FILE.")
                                      .arg(address.toString()));

    QString error;
    const HistoryTarget target = historyTarget(a);
    {
        // Reachable and a results database before anything listens; the
        // server's threads open connections of their own.
        DashboardApi api;
        if (!api.open(target, &error))
            throw CliError(target.isServer() ? ExitConnection : ExitUsage, error);
    }
    DashboardServer server(target, token);
    if (!server.start(address, port, &error))
        throw CliError(ExitConnection, error);

    if (::pipe(signalPipe) != 0)
        throw CliError(ExitUsage, QStringLiteral("serve cannot watch for its stop signal."));
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    QSocketNotifier stop(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, qApp, [] { QCoreApplication::quit(); });

    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                                                                              : address.toString();
    std::printf("http://%s:%u/\n", qPrintable(host), unsigned(server.port()));
    std::fprintf(stderr, "qel-cli: serving %s read-only%s; Ctrl+C stops.\n", qPrintable(target.display()),
        token.isEmpty() ? "" : ", the API with a token");
    std::fflush(stdout);
    std::fflush(stderr);
    QCoreApplication::exec();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    return ExitOk;
}
