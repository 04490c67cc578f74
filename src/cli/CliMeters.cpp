#include "cli/CliCommands.h"

#include "meter/MeterProfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

int cliMeters(const QStringList &args)
{
    CliArgs a(args, {QStringLiteral("json")});
    a.allowOnly({QStringLiteral("json")});
    if (!a.positional.isEmpty())
        throw CliError(ExitUsage, QStringLiteral("meters takes no file argument: qel-cli meters [--json]"));
    const MeterProfiles profiles;
    // A broken file is left out and said, so the others stay usable.
    for (const QString &problem : profiles.problems())
        std::fprintf(stderr, "qel-cli: %s\n", qPrintable(problem));
    if (a.has(QStringLiteral("json"))) {
        QJsonArray out;
        for (const MeterProfile &p : profiles.all()) {
            QJsonObject o;
            o.insert(QStringLiteral("name"), p.name);
            o.insert(QStringLiteral("file"), p.file.isEmpty() ? QJsonValue() : QJsonValue(p.file));
            o.insert(QStringLiteral("identity"), p.identity);
            o.insert(QStringLiteral("terminator"), p.terminatorName());
            o.insert(QStringLiteral("items"), QJsonArray::fromStringList(p.items()));
            o.insert(QStringLiteral("transports"), QJsonArray::fromStringList(p.transports));
            out.append(o);
        }
        const QByteArray json = QJsonDocument(out).toJson(QJsonDocument::Indented);
        std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
        return ExitOk;
    }
    std::printf("Name\tIdentity\tTerminator\tItems\tTransports\tFile\n");
    for (const MeterProfile &p : profiles.all())
        std::printf("%s\t%s\t%s\t%s\t%s\t%s\n", qPrintable(p.name), qPrintable(p.identity), qPrintable(p.terminatorName()),
            qPrintable(p.items().join(QLatin1Char(' '))), qPrintable(p.transports.join(QLatin1Char(' '))),
            qPrintable(p.file.isEmpty() ? QStringLiteral("(built in)") : p.file));
    return ExitOk;
}
