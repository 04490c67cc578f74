#include "bridge/LinkedMeter.h"

#include <QTimer>

namespace {

struct Token
{
    const char *token;
    const char *first;
    const char *second;
    const char *circuit;
    bool swapped; // A is the meter's secondary reading
};

// As the scpi-lcr profile names them: RX reads R into A and X into B, GB
// reads G into A and B into B.
constexpr Token Tokens[] = {
    {"CSD", "C", "D", "SER", false}, {"CSQ", "C", "Q", "SER", false}, {"CSRS", "C", "R", "SER", false},
    {"CPD", "C", "D", "PAR", false}, {"CPQ", "C", "Q", "PAR", false}, {"CPRP", "C", "R", "PAR", false},
    {"CPG", "C", "G", "PAR", false},
    {"LSD", "L", "D", "SER", false}, {"LSQ", "L", "Q", "SER", false}, {"LSRS", "L", "R", "SER", false},
    {"LPD", "L", "D", "PAR", false}, {"LPQ", "L", "Q", "PAR", false}, {"LPRP", "L", "R", "PAR", false},
    {"LPG", "L", "G", "PAR", false},
    {"ZTD", "Z", "Angle", "", false}, {"YTD", "Y", "Angle", "", false},
    {"RX", "X", "R", "SER", true}, {"GB", "B", "G", "PAR", true},
};

QString speedOf(const QString &aperture)
{
    if (aperture == QLatin1String("SHOR"))
        return QStringLiteral("FAST");
    if (aperture == QLatin1String("LONG"))
        return QStringLiteral("SLOW");
    return QStringLiteral("MED");
}

} // namespace

LinkedMeter::LinkedMeter(InstrumentLink &link, SettingsCache &cache, const QString &identity, QObject *parent)
    : BridgeMeter(parent), m_identity(identity), m_measurement(link, cache)
{
    connect(&m_measurement, &MeterMeasurement::measured, this, &LinkedMeter::onMeasured);
    connect(&m_measurement, &MeterMeasurement::failed, this, &LinkedMeter::fail);
}

bool LinkedMeter::mapFunction(const QString &token, MeasureSettings &out, bool *swapped)
{
    for (const Token &t : Tokens) {
        if (token.compare(QLatin1String(t.token), Qt::CaseInsensitive) != 0)
            continue;
        out.firstItem = QLatin1String(t.first);
        out.secondItem = QLatin1String(t.second);
        out.circuit = QLatin1String(t.circuit);
        if (swapped)
            *swapped = t.swapped;
        return true;
    }
    return false;
}

MeasureSettings LinkedMeter::toMeasure(const BridgeSettings &s, bool *swapped)
{
    MeasureSettings m;
    mapFunction(s.function, m, swapped);
    m.speed = speedOf(s.aperture);
    m.frequencyHz = s.frequency;
    m.current = s.currentLevel;
    m.level = s.currentLevel ? s.current : s.voltage;
    return m;
}

int LinkedMeter::check(const BridgeSettings &s) const
{
    MeasureSettings m;
    if (!mapFunction(s.function, m, nullptr))
        return -224;
    if (!(s.frequency >= MinFrequency && s.frequency <= MaxFrequency))
        return -222;
    if (s.currentLevel ? !(s.current > 0 && s.current <= MaxCurrent) : !(s.voltage > 0 && s.voltage <= MaxVoltage))
        return -222;
    return m_measurement.cannot(toMeasure(s, nullptr)).isEmpty() ? 0 : -224;
}

void LinkedMeter::measure(const BridgeSettings &s)
{
    m_busy = true;
    if (check(s) != 0) {
        QTimer::singleShot(0, this, [this] { fail(tr("The meter cannot measure with these settings.")); });
        return;
    }
    // The link going away under the write may say so itself; fail() tells it once.
    if (!m_measurement.measure(toMeasure(s, &m_swapped)))
        QTimer::singleShot(0, this, [this] { fail(tr("The meter connection was lost.")); });
}

void LinkedMeter::fail(const QString &why)
{
    if (!m_busy)
        return;
    m_busy = false;
    emit failed(why);
}

void LinkedMeter::onMeasured(const ProfileDriver::Reading &r)
{
    if (!m_busy)
        return;
    m_busy = false;
    BridgeReading out;
    if (r.kind == ProfileDriver::Reading::Kind::Overload) {
        out.a = out.b = 9.9e37;
        out.status = 1;
    } else {
        const double primary = r.primary.trimmed().toDouble();
        const double secondary = r.hasSecondary ? r.secondary.trimmed().toDouble() : 0;
        out.a = m_swapped ? secondary : primary;
        out.b = m_swapped ? primary : secondary;
    }
    emit measured(out);
}
