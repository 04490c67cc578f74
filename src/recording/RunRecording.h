#pragma once

#include "history/HistoryRecords.h"
#include "measurement/PassEvaluator.h"
#include "session/EndReason.h"
#include "statistics/BinPlan.h"

#include <QObject>

#include <functional>

class HistoryWriter;
class PlotterState;
class ProcedureModel;
class QelSession;

// The one place where the session's ends become stored outcome names.
QString outcomeName(EndReason::Cause cause);

// Records the runs of a session: the run record when a run starts, each
// judged row as it is judged (before the table shows it) with its bin when
// the session has a bin plan, the end.
class RunRecording : public QObject
{
    Q_OBJECT
public:
    // context gives what only the front end knows: meter, device, procedure
    // file, report description texts, loops, operator (other fields are
    // filled here).
    RunRecording(HistoryWriter &writer, QelSession &session, std::function<History::RunRecord()> context,
                 QObject *parent = nullptr);

    void started();
    void ended(EndReason::Cause cause);
    QString runId() const { return m_runId; }
    // The serial number of the part measured next: kept with the next row
    // judged, then forgotten.
    void setPartSerial(const QString &serial) { m_serial = serial; }

    // The run record of a procedure: steps, their hash and the columns.
    static void describeProcedure(const ProcedureModel &procedure, History::RunRecord &run);

private:
    void onRowJudged(const PassEvaluator::Row &judged, const QDateTime &measuredAtUtc);

    HistoryWriter &m_writer;
    const QelSession &m_session;
    const ProcedureModel &m_procedure;
    std::function<History::RunRecord()> m_context;
    BinSorter m_bins;
    std::optional<BinPlan> m_binsFor; // the plan m_bins was set up for, this run
    QString m_runId;
    QVector<History::Column> m_columns;
    QString m_serial;
    int m_seq = 0;
};

// Records the sweeps of a session: one sweep record per Draw, a point record
// per point taken.
class SweepRecording : public QObject
{
    Q_OBJECT
public:
    // context: meter, device, operator.
    SweepRecording(HistoryWriter &writer, QelSession &session, std::function<History::SweepRecord()> context,
                   QObject *parent = nullptr);
    void ended(EndReason::Cause cause);
    QString sweepId() const { return m_sweepId; }

private:
    void onPoint(int index);

    HistoryWriter &m_writer;
    const PlotterState &m_plotter;
    std::function<History::SweepRecord()> m_context;
    QString m_sweepId;
    int m_draw = 0;
};
