#include "cli/CliCommands.h"
#include "cli/CliHistory.h"
#include "cli/CliLink.h"

#include "bridge/BridgeInstrument.h"
#include "bridge/BridgeRecording.h"
#include "bridge/BridgeServer.h"
#include "bridge/LinkedMeter.h"
#include "meter/InstrumentLink.h"
#include "session/QelSession.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

int stopPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(stopPipe[1], &c, 1);
}

// "HOST:PORT", "[V6]:PORT", ":PORT" or "PORT".
void parseListen(const QString &text, QHostAddress &address, quint16 &port)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    QString host = colon < 0 ? QString() : text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint p = text.mid(colon + 1).toUInt(&ok);
    if (host.isEmpty() || host == QLatin1String("localhost"))
        host = QStringLiteral("127.0.0.1");
    if (!ok || p > 65535 || !address.setAddress(host))
        throw CliError(ExitUsage, QStringLiteral("--listen %1 is not HOST:PORT with HOST an IP address (127.0.0.1:5025, 0.0.0.0:5025, [::1]:5025).").arg(text));
    port = quint16(p);
}

// --allow may be given several times; the other options once.
QStringList takeAllows(QStringList &args)
{
    QStringList allows;
    for (int i = 0; i < args.size();) {
        if (args[i] == QLatin1String("--allow")) {
            if (i + 1 >= args.size())
                throw CliError(ExitUsage, QStringLiteral("The option --allow needs a value."));
            allows << args[i + 1];
            args.remove(i, 2);
        } else {
            ++i;
        }
    }
    return allows;
}

void logLine(const QString &line)
{
    std::fprintf(stderr, "qel-cli: %s\n", qPrintable(line));
    std::fflush(stderr);
}

} // namespace

int cliBridge(const QStringList &arguments)
{
    QStringList args = arguments;
    const QStringList allows = takeAllows(args);
    CliArgs a(args, {CliRecording::flag()});
    a.allowOnly({QStringLiteral("port"), QStringLiteral("meter"), QStringLiteral("listen"), QStringLiteral("settings"),
        QStringLiteral("db"), CliRecording::flag(), QStringLiteral("operator"), QStringLiteral("lot-no")});
    if (!a.positional.isEmpty() || !a.has(QStringLiteral("port")))
        throw CliError(ExitUsage, QStringLiteral("bridge needs a meter connection: qel-cli bridge --port CONNECTION [--meter PROFILE] [--listen HOST:PORT]."));
    QHostAddress address;
    quint16 listenPort = 0;
    parseListen(a.value(QStringLiteral("listen"), QStringLiteral("127.0.0.1:5025")), address, listenPort);
    if (!address.isLoopback() && allows.isEmpty())
        throw CliError(ExitUsage, QStringLiteral("Listening on %1 lets other machines drive the meter, so it needs --allow CIDR for the networks that may.")
                                      .arg(address.toString()));

    CliPrompter prompter;
    QelSession session(&prompter);
    CliRecording recording(a);
    const QString port = a.value(QStringLiteral("port"));
    chooseMeterOrThrow(session, a.value(QStringLiteral("meter")));
    connectOrThrow(session.connector(), port, a.value(QStringLiteral("settings"), QStringLiteral("9600,n,8,1")));

    const QString identity = QString::fromLatin1(session.connector().identification()).trimmed();
    LinkedMeter meter(session.link(), session.cache(), identity);
    // A meter that never answers must not hold the script for ever: run's default.
    meter.setReplyTimeout(10000);
    BridgeInstrument instrument(meter, QCoreApplication::applicationVersion());
    BridgeServer server(instrument);
    QString error;
    for (const QString &cidr : allows)
        if (!server.allow(cidr, &error))
            throw CliError(ExitUsage, error);

    History::RunRecord run;
    run.meter = identity;
    run.device = session.link().settings().devicePath;
    if (!session.link().profile().isLegacy())
        run.meterProfile = session.link().profile().name;
    run.operatorName = a.value(QStringLiteral("operator"));
    run.lotNo = a.value(QStringLiteral("lot-no"));
    BridgeRecording recorded(recording.writer(), run);

    QObject::connect(&server, &BridgeServer::logged, &server, logLine);
    QObject::connect(&server, &BridgeServer::controllerChanged, &recorded, &BridgeRecording::setClient);
    QObject::connect(&instrument, &BridgeInstrument::measurement, &recorded, &BridgeRecording::record);
    QObject::connect(&instrument, &BridgeInstrument::meterFailed, &server, [](const QString &why) { logLine(why); });
    int status = ExitOk;
    QObject::connect(&session.link(), &InstrumentLink::linkLost, &server, [&](const QString &why) {
        logLine(lostLinkSentence(port, why, QStringLiteral("the bridge stops; its readings are recorded")));
        recorded.end(History::Outcome::meterLost());
        status = ExitInterrupted;
        QCoreApplication::exit(1);
    });

    if (!server.listen(address, listenPort, &error))
        throw CliError(ExitConnection, error);
    if (::pipe(stopPipe) != 0)
        throw CliError(ExitUsage, QStringLiteral("bridge cannot watch for its stop signal."));
    struct sigaction sa = {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    QSocketNotifier stop(stopPipe[0], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, qApp, [] { QCoreApplication::quit(); });

    const QHostAddress bound = server.address();
    const QString host = bound.protocol() == QAbstractSocket::IPv6Protocol ? QLatin1Char('[') + bound.toString() + QLatin1Char(']')
                                                                            : bound.toString();
    std::printf("tcp://%s:%u\n", qPrintable(host), unsigned(server.port()));
    std::fflush(stdout);
    logLine(QStringLiteral("bridging %1 (%2) on tcp://%3:%4; Ctrl+C stops.")
                .arg(identity, port, host)
                .arg(server.port()));
    QCoreApplication::exec();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    meter.finish();
    recorded.end(History::Outcome::completed());
    recording.finish();
    return status;
}
