#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

// What the results history keeps, independent of any database.
namespace History {

// The schema version this program writes, and the oldest it reads without
// migrating (a read-only open never changes a database).
constexpr int SchemaVersion = 4;
constexpr int OldestReadableVersion = 1;

// One result column of a run: a step's first or second item.
struct Column
{
    int step = 0;    // 1-based
    QString item;    // "C", "D", ...
    QString unit;    // SI base unit of the value ("F", "H", "O", "S", "deg"; empty for D and Q)
};

struct Cell
{
    QString text;                 // the reading as shown
    std::optional<double> value;  // base units; none when the text holds no number
    QString verdict;              // "pass", "fail" or ""
};

struct RunRecord
{
    QString id;
    QDateTime started;   // UTC
    QString station;
    QString operatorName;
    QString meter;       // the identification reply, as received
    QString device;
    QString procedure;   // file name
    QString procedureHash;
    QString steps;       // JSON: the steps' texts
    QVector<Column> columns;
    // Report description texts.
    QString title, company, customer, instrument, partNo, lotNo, quantity, remark;
    int loops = 1;
    QString meterProfile; // the meter profile the run spoke; empty: none recorded
};

struct RowRecord
{
    QString runId;
    int seq = 0;           // 1-based
    QDateTime measuredAt;  // UTC
    QString verdict;       // "pass" or "fail"
    QVector<Cell> cells;   // one per column of the run
    QString serial;        // the part's serial number; empty: none
    QString bin;           // the sorting bin ("BIN1".., "AUX", "OUT"); empty: none
};

struct SweepRecord
{
    QString id;
    QDateTime started;
    QString station;
    QString operatorName;
    QString meter;
    QString device;
    QString settings; // JSON: the Plotter View's setup texts
};

struct PointRecord
{
    QString sweepId;
    int draw = 1;
    int seq = 0;
    QDateTime measuredAt;
    QString x;
    QString first;
    QString second;
};

// How a run or sweep ended, as stored.
namespace Outcome {
inline QString completed() { return QStringLiteral("completed"); }
inline QString stopped() { return QStringLiteral("stopped"); }
inline QString meterLost() { return QStringLiteral("meter-lost"); }
inline QString timeout() { return QStringLiteral("timeout"); }
// Some of the run's rows could not be recorded (runs.unrecorded says how many).
inline QString recordingInterrupted() { return QStringLiteral("recording-interrupted"); }
} // namespace Outcome

// "2026-12-07T13:05:01.042Z": sorts as text in time order.
QString timeText(const QDateTime &utc);
QDateTime parseTime(const QString &text);
// A user's ISO date or date-time (local unless it carries Z or an offset);
// an until date without a time means the end of that day. Invalid: empty.
QString boundText(const QString &iso, bool until);

QString newId();
QString stationName();
QString loginName();
// SI base unit of an item's value.
QString baseUnit(const QString &item);

// Tab-joined lists with tabs, line feeds and backslashes escaped.
QString joinList(const QStringList &parts);
// Appends one entry of such a list (escaped) to out.
void appendEntry(QString &out, const QString &entry);
// Appends the shortest text of a finite value (nothing for none).
void appendValue(QString &out, const std::optional<double> &value);
QStringList splitList(const QString &joined);
// Shortest text that reads back as the same double; empty for none.
QString valueText(const std::optional<double> &value);
std::optional<double> parseValue(const QString &text);

QString columnsJson(const QVector<Column> &columns);

// The stored columns of each table, in the order every writer (a new
// record, a copy to a server) lists them.
const QStringList &runTableColumns();
const QStringList &rowTableColumns();
const QStringList &sweepTableColumns();
const QStringList &pointTableColumns();
// A run's or sweep's columns without those its end sets later (finished,
// outcome, unrecorded): what a new record is inserted with.
QStringList startColumns(const QStringList &columns);
// "?, ?, ?" for n values.
QString placeholders(int n);
QVector<Column> columnsFromJson(const QString &json);

} // namespace History
