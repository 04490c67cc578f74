#include "recording/RunRecording.h"

#include "history/HistoryWriter.h"
#include "execution/ResultTableModel.h"
#include "plotter/PlotterState.h"
#include "procedure/ProcedureModel.h"
#include "session/QelSession.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

// A new run or sweep: its own id and start, and the station and operator
// where the front end named none.
template <class Record>
void stampNew(Record &record)
{
    record.id = History::newId();
    record.started = QDateTime::currentDateTimeUtc();
    if (record.station.isEmpty())
        record.station = History::stationName();
    if (record.operatorName.isEmpty())
        record.operatorName = History::loginName();
}

} // namespace

QString outcomeName(EndReason::Cause cause)
{
    switch (cause) {
    case EndReason::Cause::Completed:
        return History::Outcome::completed();
    case EndReason::Cause::MeterLost:
        return History::Outcome::meterLost();
    case EndReason::Cause::ReplyTimeout:
        return History::Outcome::timeout();
    default:
        // Emergency Stop, Stop / Reset, or steps edited under the run.
        return History::Outcome::stopped();
    }
}

RunRecording::RunRecording(HistoryWriter &writer, QelSession &session, std::function<History::RunRecord()> context,
                           QObject *parent)
    : QObject(parent), m_writer(writer), m_session(session), m_procedure(session.procedure()),
      m_context(std::move(context))
{
    connect(&session, &QelSession::runStarted, this, &RunRecording::started);
    connect(&session, &QelSession::rowJudged, this,
        [this](int, const PassEvaluator::Row &judged, const QDateTime &at) { onRowJudged(judged, at); });
    connect(&session, &QelSession::runEnded, this, [this](const EndReason &r) { ended(r.cause); });
}

void RunRecording::describeProcedure(const ProcedureModel &procedure, History::RunRecord &run)
{
    QJsonArray steps;
    run.columns.clear();
    for (int i = 0; i < procedure.stepCount(); ++i) {
        const ProcedureStep &s = procedure.step(i);
        QJsonArray fields;
        for (const QString &f : s.fields)
            fields.append(f);
        steps.append(fields);
        run.columns.append({i + 1, s[ProcedureStep::FItem], History::baseUnit(s[ProcedureStep::FItem])});
        if (s.hasSecondItem())
            run.columns.append({i + 1, s[ProcedureStep::SItem], History::baseUnit(s[ProcedureStep::SItem])});
    }
    const QByteArray json = QJsonDocument(steps).toJson(QJsonDocument::Compact);
    run.steps = QString::fromUtf8(json);
    run.procedureHash = QString::fromLatin1(QCryptographicHash::hash(json, QCryptographicHash::Sha256).toHex());
}

void RunRecording::started()
{
    if (!m_runId.isEmpty())
        ended(EndReason::Cause::EmergencyStop);
    History::RunRecord run = m_context ? m_context() : History::RunRecord();
    stampNew(run);
    describeProcedure(m_procedure, run);
    m_runId = run.id;
    m_columns = run.columns;
    m_seq = 0;
    m_binsFor.reset();
    m_writer.beginRun(run);
}

void RunRecording::ended(EndReason::Cause cause)
{
    if (m_runId.isEmpty())
        return;
    m_writer.endRun(m_runId, outcomeName(cause));
    m_runId.clear();
}

void RunRecording::onRowJudged(const PassEvaluator::Row &judged, const QDateTime &measuredAtUtc)
{
    if (m_runId.isEmpty())
        started();
    History::RowRecord row;
    row.runId = m_runId;
    row.seq = ++m_seq;
    row.measuredAt = measuredAtUtc;
    row.verdict = judged.image == ResultTableModel::Passed ? PassEvaluator::passText() : PassEvaluator::failText();
    row.serial = m_serial;
    m_serial.clear();
    const int n = int(judged.values.size());
    row.cells.reserve(n);
    for (int i = 0; i < n; ++i) {
        History::Cell c;
        c.text = judged.cells.value(2 * i);
        c.verdict = judged.cells.value(2 * i + 1);
        const double v = judged.values.at(i);
        if (std::isfinite(v))
            c.value = v;
        row.cells.append(c);
    }
    if (const std::optional<BinPlan> &plan = m_session.binPlan()) {
        if (!(m_binsFor == plan)) {
            m_bins.setPlan(*plan, m_procedure.steps());
            m_binsFor = plan;
        }
        row.bin = plan->name(m_bins.sortValues(judged.values.constData(), n));
    }
    m_writer.writeRow(row);
}

SweepRecording::SweepRecording(HistoryWriter &writer, QelSession &session,
                               std::function<History::SweepRecord()> context, QObject *parent)
    : QObject(parent), m_writer(writer), m_plotter(session.plotter()), m_context(std::move(context))
{
    connect(&session, &QelSession::pointTaken, this, &SweepRecording::onPoint);
    connect(&session, &QelSession::sweepEnded, this, [this](const EndReason &r) { ended(r.cause); });
}

void SweepRecording::ended(EndReason::Cause cause)
{
    if (m_sweepId.isEmpty())
        return;
    m_writer.endSweep(m_sweepId, outcomeName(cause));
    m_sweepId.clear();
}

void SweepRecording::onPoint(int index)
{
    const SweepSetup &s = m_plotter.setup();
    if (m_sweepId.isEmpty() || index == 0) {
        if (!m_sweepId.isEmpty())
            ended(EndReason::Cause::EmergencyStop);
        History::SweepRecord sweep = m_context ? m_context() : History::SweepRecord();
        stampNew(sweep);
        QJsonObject settings;
        const QList<QPair<const char *, int>> controls = {{"kind", PlotterState::SweepKind},
            {"start", PlotterState::Start}, {"end", PlotterState::End}, {"points", PlotterState::Points},
            {"unit", PlotterState::SweepUnit}, {"fixedFrequency", PlotterState::FixedFrequency},
            {"fixedFrequencyUnit", PlotterState::FixedFrequencyUnit}, {"fixedLevel", PlotterState::FixedLevel},
            {"fixedLevelUnit", PlotterState::FixedLevelUnit}, {"circuit", PlotterState::Circuit},
            {"speed", PlotterState::Speed}, {"firstItem", PlotterState::FirstItem},
            {"secondItem", PlotterState::SecondItem}};
        for (const auto &c : controls)
            settings.insert(QLatin1String(c.first), m_plotter.text(c.second));
        settings.insert(QStringLiteral("line"), s.firstItemLine);
        sweep.settings = QString::fromUtf8(QJsonDocument(settings).toJson(QJsonDocument::Compact));
        m_sweepId = sweep.id;
        m_draw = s.firstItemLine;
        m_writer.beginSweep(sweep);
    }
    const PlotTableModel &table = m_plotter.table();
    History::PointRecord p;
    p.sweepId = m_sweepId;
    p.draw = m_draw;
    p.seq = index + 1;
    p.measuredAt = QDateTime::currentDateTimeUtc();
    p.x = table.cell(index, 1);
    p.first = table.cell(index, s.firstItemLine + 1);
    if (m_plotter.hasSecondItem())
        p.second = table.cell(index, s.secondItemLine + 1);
    m_writer.writePoint(p);
}
