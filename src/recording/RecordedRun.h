#pragma once

#include "procedure/ProcedureStep.h"

#include <QDateTime>
#include <QString>
#include <QVector>

#include <memory>

class HistoryDatabase;
class ProcedureModel;
class ResultTableModel;

// A recorded run made into the pages again: the procedure from the steps it
// kept, its rows as the Executive View showed them (readings, verdicts, and
// each row's date and time in this machine's time zone, as the run wrote
// them). A report and procedure saved from these are the files the run
// would have saved.
class RecordedRun
{
public:
    RecordedRun();
    ~RecordedRun();

    // All or nothing: on failure (no such run, steps or rows that do not fit
    // together) this keeps what it held and error says why in one sentence.
    bool read(HistoryDatabase &db, const QString &runId, QString *error);

    const QString &procedureName() const { return m_procedureName; }
    const QVector<ProcedureStep> &steps() const { return m_steps; }
    int rowCount() const;

    // Puts the procedure and the rows into these models in place of theirs;
    // the rows are moved, not copied (read again to take them twice).
    void takeInto(ProcedureModel &procedure, ResultTableModel &results);
    // Writes the procedure and the report (each atomically), as a run's own
    // save would; takes the rows as takeInto does. error: one sentence.
    bool save(const QString &procedurePath, const QString &reportPath, QString *error);
    // The report name a run's save proposes beside the procedure: its stem,
    // "_", the time stamp of the run's start.
    static QString reportName(const QString &procedureName, const QDateTime &startedUtc);
    QDateTime started() const { return m_started; }

private:
    QString m_procedureName;
    QDateTime m_started;
    QVector<ProcedureStep> m_steps;
    std::unique_ptr<ResultTableModel> m_rows;
};

// A recorded sweep (one Draw) as a plot file: its points as the Plotter View
// shows a first Draw of its items, so File Open takes it into the page.
namespace RecordedSweep {
bool savePlot(HistoryDatabase &db, const QString &sweepId, const QString &path, QString *error);
// One line naming a sweep for a list to choose from.
QString describe(const QString &started, const QString &station, const QString &operatorName, const QString &settings,
                 qint64 points);
} // namespace RecordedSweep
