#pragma once

#include "procedure/ProcedureStep.h"

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

private:
    QString m_procedureName;
    QVector<ProcedureStep> m_steps;
    std::unique_ptr<ResultTableModel> m_rows;
};
