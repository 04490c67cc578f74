#pragma once

#include "procedure/ProcedureStep.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <cstdint>
#include <optional>

class ResultTableModel;

// How the parts of one step are sorted into bins (docs/bins.md):
//   {"step": 1, "mode": "nested"|"sequential", "nominal": 1e-7,
//    "bins": [[-1, 1], [-2, 2]], "secondary": {"low": 0, "high": 0.001}}
// Nested bins are percentages of the nominal, sequential ones absolute
// bounds in base units. A part takes the first bin that holds its primary
// reading (bounds inclusive); failing the secondary limit sends it to AUX
// whatever its primary; no bin, an overload or no reading is OUT.
struct BinPlan
{
    enum class Mode { Nested, Sequential };
    static constexpr int MaxBins = 9;

    int step = 1; // 1-based
    Mode mode = Mode::Nested;
    double nominal = 0;
    QVector<std::pair<double, double>> bins; // as written: percent (nested) or base units
    std::optional<double> secondaryLow, secondaryHigh;

    bool hasSecondary() const { return secondaryLow || secondaryHigh; }
    bool operator==(const BinPlan &o) const
    {
        return step == o.step && mode == o.mode && nominal == o.nominal && bins == o.bins
            && secondaryLow == o.secondaryLow && secondaryHigh == o.secondaryHigh;
    }
    int binCount() const { return int(bins.size()); }
    // Bin i's bounds in base units, low <= high.
    double low(int i) const;
    double high(int i) const;

    // Sort indexes: 0 .. binCount()-1 a bin, then aux(), then out().
    int aux() const { return binCount(); }
    int out() const { return binCount() + 1; }
    QString name(int index) const; // "BIN1" .. "BIN9", "AUX", "OUT"

    int sort(std::optional<double> primary, std::optional<double> secondary) const;
    // The same with the bins' bounds worked out already (low(i), high(i)).
    int sort(std::optional<double> primary, std::optional<double> secondary, const double *lows,
             const double *highs) const;

    // A plan from its JSON; a bad one is refused with a sentence naming the key.
    static std::optional<BinPlan> parse(const QByteArray &json, QString *error);
    static std::optional<BinPlan> load(const QString &path, QString *error);
    QByteArray toJson() const;

    // Empty when the plan fits the steps; else why not, naming the key.
    QString checkAgainst(const QVector<ProcedureStep> &steps) const;
    // The plan kept beside a procedure: /a/b/NAME.pro -> /a/b/NAME.bins.json.
    static QString pathBeside(const QString &procedurePath);
};

// A bin plan applied to the rows of one procedure: where the step's
// readings sit in a row, and the counts so far. Adding a row costs the same
// whatever came before.
class BinSorter
{
public:
    // The plan must have passed checkAgainst(steps).
    void setPlan(const BinPlan &plan, const QVector<ProcedureStep> &steps);
    const BinPlan &plan() const { return m_plan; }

    // The sort index of a row judged with readings in base units (one per
    // result column, as the sequencer judges them).
    int sortValues(const double *values, int count) const;
    // Of a row known by its cells (readings read in the step's unit).
    int sortCells(const QStringList &cells) const;
    // Of a table row: its readings as judged where the table has them, else its cells.
    int sortTableRow(const ResultTableModel &table, int row) const;

    void count(int index);
    void clear();
    // Every row of a table counted from scratch.
    void countTable(const ResultTableModel &table);

    int64_t rows() const { return m_rows; }
    int64_t countOf(int index) const { return m_counts.value(index); }
    std::optional<double> share(int index) const;

    // {"rows": N, "bins": [{"name", "low", "high", "count", "share"}, ...],
    //  "aux": {"count", "share"}, "out": {"count", "share"}}
    QByteArray toJson() const;
    QByteArray toText() const;

private:
    struct Reading
    {
        int value = -1; // index among the judged values
        int cell = -1;  // index among the row's cells
        double toBase = 1;
    };
    std::optional<double> fromValues(const Reading &r, const double *values, int count) const;

    BinPlan m_plan;
    Reading m_primary, m_secondary;
    QVector<double> m_low, m_high;
    QVector<int64_t> m_counts;
    int64_t m_rows = 0;
};
