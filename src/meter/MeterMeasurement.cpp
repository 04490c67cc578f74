#include "meter/MeterMeasurement.h"

#include "meter/InstrumentLink.h"
#include "meter/ReplySplitter.h"

MeterMeasurement::MeterMeasurement(InstrumentLink &link, SettingsCache &cache, QObject *parent)
    : QObject(parent), m_link(link), m_exchange(link, cache)
{
    connect(&m_exchange, &MeterExchange::replied, this, &MeterMeasurement::onReplied);
    connect(&m_exchange, &MeterExchange::timedOut, this, [this] { emit failed(tr("The meter did not answer in time.")); });
    connect(&m_exchange, &MeterExchange::lost, this, [this](const QString &why) { emit failed(why); });
}

QString MeterMeasurement::cannot(const MeasureSettings &settings) const
{
    if (settings.current && m_link.profile().isLegacy())
        return QStringLiteral("the meter profile legacy cannot set a current level");
    return ProfileDriver::cannot(m_link.profile(), settings);
}

bool MeterMeasurement::measure(const MeasureSettings &settings)
{
    if (!cannot(settings).isEmpty())
        return false;
    m_pending = settings;
    const MeterProfile &profile = m_link.profile();
    if (!profile.isLegacy())
        return m_exchange.request(ProfileDriver::settings(profile, settings));
    MeterCommands::SweepPoint point;
    point.firstItem = settings.firstItem;
    point.secondItem = settings.secondItem;
    point.circuit = settings.circuit;
    point.speed = settings.speed;
    point.frequencyHz = settings.frequencyHz;
    point.levelVolts = settings.level;
    return m_exchange.request(MeterCommands::sweepSettings(point));
}

void MeterMeasurement::onReplied(const QByteArray &line)
{
    const MeterProfile &profile = m_link.profile();
    ProfileDriver::Reading r;
    if (profile.isLegacy()) {
        const ReplySplitter::Parts parts = ReplySplitter::split(line);
        r.primary = parts.primary.trimmed();
        r.secondary = parts.secondary;
        r.hasSecondary = parts.hasSecondary;
        r.line = line;
        if (qAbs(parts.primaryValue()) >= profile.overload * 0.999
            || (parts.hasSecondary && qAbs(parts.secondaryValue()) >= profile.overload * 0.999))
            r.kind = ProfileDriver::Reading::Kind::Overload;
    } else {
        r = ProfileDriver::read(profile, m_pending, line);
    }
    m_exchange.clearReplies();
    if (r.kind == ProfileDriver::Reading::Kind::Error)
        emit failed(tr("The meter reported %1.").arg(r.error));
    else
        emit measured(r);
}
