#include "cli/CliLink.h"

#include "cli/CliCommon.h"
#include "meter/InstrumentLink.h"
#include "session/QelSession.h"

#include <QEventLoop>

void connectOrThrow(MeterConnector &meter, const QString &device, const QString &settingsText)
{
    InstrumentLink &link = meter.link();
    link.settings().devicePath = device;
    link.settings().settingsText = settingsText;
    if (!meter.connectToMeter()) {
        const QString why = link.lastError();
        throw CliError(ExitConnection, why.contains(device) ? why : QStringLiteral("Cannot open %1: %2").arg(device, why));
    }
    QEventLoop wait;
    bool ok = false;
    QObject::connect(&meter, &MeterConnector::identificationFinished, &wait, [&](bool result) {
        ok = result;
        wait.quit();
    });
    QObject::connect(&link, &InstrumentLink::linkLost, &wait, [&] { wait.quit(); });
    if (meter.isIdentifying())
        wait.exec();
    if ((!ok || !link.isConnected()) && !meter.failure().isEmpty())
        throw CliError(ExitConnection, meter.failure());
    if (!ok || !link.isConnected())
        throw CliError(ExitConnection, QStringLiteral("No meter answered the identification on %1.").arg(device));
}

void chooseMeterOrThrow(QelSession &session, const QString &name)
{
    if (name.isEmpty())
        return;
    QString error;
    if (!session.chooseMeter(name, &error))
        throw CliError(ExitUsage, error);
}

QString lostLinkSentence(const QString &device, const QString &reason, const QString &kept)
{
    // The reason ends with the link's own line, which names the device.
    const QStringList lines = reason.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QString cause = lines.isEmpty() ? QString() : lines.last().trimmed();
    while (cause.endsWith(QLatin1Char('.')))
        cause.chop(1);
    if (!cause.contains(device))
        cause = QStringLiteral("the connection to %1 ended (%2)").arg(device, cause);
    return QStringLiteral("%1; %2.").arg(cause, kept);
}
