#include "bridge/BridgeRecording.h"

#include "history/HistoryWriter.h"

namespace {

QString nr3(double v)
{
    return QString::asprintf("%+.5E", v);
}

History::Cell numberCell(double value, const QString &text)
{
    History::Cell c;
    c.text = text;
    c.value = value;
    return c;
}

History::Cell textCell(const QString &text)
{
    History::Cell c;
    c.text = text;
    return c;
}

} // namespace

BridgeRecording::BridgeRecording(HistoryWriter &writer, History::RunRecord run, QObject *parent)
    : QObject(parent), m_writer(writer), m_run(std::move(run))
{
    m_run.id = History::newId();
    m_run.started = QDateTime::currentDateTimeUtc();
    if (m_run.station.isEmpty())
        m_run.station = History::stationName();
    if (m_run.operatorName.isEmpty())
        m_run.operatorName = History::loginName();
    m_run.procedure = procedureName();
    m_run.loops = 1;
    m_run.columns = {{1, QStringLiteral("A"), QString()}, {1, QStringLiteral("B"), QString()},
                     {1, QStringLiteral("Function"), QString()}, {1, QStringLiteral("Frequency"), QStringLiteral("Hz")},
                     {1, QStringLiteral("Level"), QString()}, {1, QStringLiteral("Aperture"), QString()}};
}

BridgeRecording::~BridgeRecording()
{
    end(History::Outcome::completed());
}

void BridgeRecording::setClient(const QString &address)
{
    // A run is written once, as it begins: it names the first client;
    // later ones are said in the log only.
    if (!m_begun && !address.isEmpty()) {
        m_run.remark = QStringLiteral("client %1").arg(address);
        begin();
    }
}

void BridgeRecording::begin()
{
    if (m_begun)
        return;
    m_begun = true;
    m_run.started = QDateTime::currentDateTimeUtc();
    m_writer.beginRun(m_run);
}

void BridgeRecording::record(const BridgeSettings &s, const BridgeReading &r)
{
    if (m_ended)
        return;
    begin();
    History::RowRecord row;
    row.runId = m_run.id;
    row.seq = ++m_seq;
    row.measuredAt = QDateTime::currentDateTimeUtc();
    row.verdict = r.status == 0 ? QStringLiteral("pass") : QStringLiteral("fail");
    const double level = s.currentLevel ? s.current : s.voltage;
    row.cells = {numberCell(r.a, nr3(r.a)), numberCell(r.b, nr3(r.b)),
                 textCell(s.function), numberCell(s.frequency, QString::number(s.frequency, 'g', 10)),
                 numberCell(level, QString::number(level, 'g', 10) + (s.currentLevel ? QStringLiteral(" A") : QStringLiteral(" V"))),
                 textCell(s.aperture)};
    m_writer.writeRow(row);
}

void BridgeRecording::end(const QString &outcome)
{
    if (m_ended)
        return;
    m_ended = true;
    if (m_begun)
        m_writer.endRun(m_run.id, outcome);
}
