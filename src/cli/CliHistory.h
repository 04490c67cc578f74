#pragma once

#include "cli/CliCommon.h"
#include "history/HistoryWriter.h"
#include "history/HistoryRecords.h"

class MeterConnector;

// Recording for run and sweep: --db URL (or QEL_DB, else the default
// database), --no-db, --operator and the report description's texts.
class CliRecording
{
public:
    // Options (with values) run accepts for recording; sweep takes the
    // first two only. "no-db" is a flag.
    static QStringList runOptions();
    static QStringList sweepOptions();
    static QString flag() { return QStringLiteral("no-db"); }

    // Throws CliError(ExitUsage) for a URL that cannot be read. A database
    // that cannot be opened is said in one sentence; recording is then off.
    explicit CliRecording(const CliArgs &args);
    HistoryWriter &writer() { return m_writer; }

    History::RunRecord runContext(const MeterConnector &meter, const QString &procedurePath, int loops) const;
    History::SweepRecord sweepContext(const MeterConnector &meter) const;
    // Says (stderr) each serial already recorded in the run's lot; a lot
    // of its own is not looked up when recording is off or no lot is named.
    void warnRecordedSerials(const QStringList &serials) const;
    // Forwards what waits for a server (a few seconds at most) and says
    // what could not be recorded or forwarded.
    void finish();

private:
    const CliArgs &m_args;
    HistoryWriter m_writer;
    bool m_told = false;
};

// The database history reads: --db, else QEL_DB, else the default.
HistoryTarget historyTarget(const CliArgs &args);
