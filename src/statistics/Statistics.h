#pragma once

#include "procedure/ProcedureStep.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

class ResultTableModel;

// Running count, mean, spread and range of a stream of numbers (Welford's
// method: each value costs the same, and no sum of squares cancels away).
struct RunningStats
{
    int64_t n = 0;
    double mean = 0;
    double m2 = 0; // sum of squared deviations from the running mean
    double min = std::numeric_limits<double>::infinity();
    double max = -std::numeric_limits<double>::infinity();

    void add(double x)
    {
        ++n;
        const double delta = x - mean;
        mean += delta / double(n);
        m2 += delta * (x - mean);
        if (x < min)
            min = x;
        if (x > max)
            max = x;
    }
    // Sample standard deviation (n - 1); needs two values.
    std::optional<double> stdev() const;
};

// A figure that may be undefined; then `why` says so in one short phrase.
struct Figure
{
    std::optional<double> value;
    QString why;

    static Figure of(double v) { return {v, {}}; }
    static Figure none(const QString &reason) { return {std::nullopt, reason}; }
    bool defined() const { return value.has_value(); }
};

// One result column: a measured item of a step, its limits, and the running
// figures of its readings.
struct ColumnStatistics
{
    int step = 0;        // 1-based, in table order
    QString item;        // "C", "D", ...
    QString unit;        // the step's unit text for the item
    bool secondItem = false;
    double toBase = 1;   // prefix factor of the unit, for reading texts
    int cell = 0;        // index of the reading among the row's cells (verdict at cell + 1)
    int value = 0;       // index among the judged row's values (base units)
    bool judged = false; // the item has a standard, so every row has a verdict
    std::optional<double> standard, low, high; // base units; a side without a number is absent

    RunningStats stats;
    int64_t fails = 0;
    int64_t verdicts = 0;   // rows with a verdict
    int64_t notNumbers = 0; // readings without a usable number (overload, no digits)

    Figure mean() const;
    Figure stdev() const;
    Figure minimum() const;
    Figure maximum() const;
    Figure cp() const;
    Figure cpk() const;
    Figure yield() const;
    QString title() const { return item + QString::number(step); }
};

// Statistics of a result table, kept up to date row by row: per result
// column (every measured item of every step, in the table's order) and for
// the rows as a whole. Adding a row costs the same whatever the table holds.
class TableStatistics
{
public:
    // Readings at or beyond this magnitude are the meter's "infinite" value.
    static constexpr double Overload = 9.9e37;

    void setSteps(const QVector<ProcedureStep> &steps);
    void clear(); // keeps the columns, forgets the rows

    // A judged row: its cells and its readings in base units, one per
    // reading cell (as the sequencer judged them).
    void addJudged(const QStringList &cells, const QVector<double> &values);
    // A row known only by its texts (a loaded report, a finished table):
    // readings parsed from the cells in the step's unit.
    void addCells(const QStringList &cells);
    // The joined form of a row (cells each followed by a line feed).
    void addJoined(QStringView joined);
    // Every row of a table from scratch.
    void addTable(const ResultTableModel &table);
    // One row of a table, read in place: the readings it was judged with
    // where the table has them (as addJudged), else the same figures as
    // addJoined of its joined text.
    void addTableRow(const ResultTableModel &table, int row);

    // Keeps every usable reading of every column in the order added, for
    // histograms (8 bytes per reading; off by default).
    void setKeepReadings(bool keep) { m_keep = keep; }
    const std::vector<double> &readings(int column) const { return m_readings.at(size_t(column)); }

    const QVector<ColumnStatistics> &columns() const { return m_columns; }
    int64_t rows() const { return m_rows; }
    int64_t passedRows() const { return m_passed; }
    Figure firstPassYield() const;

    // The leading number of a reading text, read as FieldParsing::leadingDouble
    // reads it (times the unit's factor gives base units); none without digits.
    static std::optional<double> parseReading(QStringView text);
    static bool usable(double v);

private:
    void addRow(const QStringView *cells, int cellCount, const double *values, int valueCount);
    // A reading in base units (none: no digits) into column k's figures c.
    void addReading(ColumnStatistics &c, int k, std::optional<double> v);

    QVector<ColumnStatistics> m_columns;
    int m_cellsPerRow = 0;
    int64_t m_rows = 0;
    int64_t m_passed = 0;
    bool m_keep = false;
    std::vector<std::vector<double>> m_readings;
};
