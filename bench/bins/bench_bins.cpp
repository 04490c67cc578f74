// Bin sorting and control charts of a million result rows of a ten-step
// procedure (C and D each step), side by side: bins alone, the control
// charts of every column alone (limits and all four rules), both; from the
// table's texts (a loaded report) and from judged readings (a live run);
// then the cost of one more row as the desktop pays it live (its bin, its
// point on the chart, the limits and the rules it completes).
// Goals: under 0.5 s for a million rows, under 5 us per added row.

#include "execution/ResultTableModel.h"
#include "statistics/BinPlan.h"
#include "statistics/ControlChart.h"
#include "statistics/Statistics.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr int Rows = 1000000;
constexpr int Steps = 10;

QVector<ProcedureStep> steps()
{
    QVector<ProcedureStep> out;
    for (int s = 0; s < Steps; ++s) {
        ProcedureStep p;
        p[ProcedureStep::FItem] = QStringLiteral("C");
        p[ProcedureStep::FStd] = QStringLiteral("100");
        p[ProcedureStep::FLow] = QStringLiteral("-5%");
        p[ProcedureStep::FHigh] = QStringLiteral("+5%");
        p[ProcedureStep::FUnit] = QStringLiteral("nF");
        p[ProcedureStep::SItem] = QStringLiteral("D");
        p[ProcedureStep::SStd] = QStringLiteral("0.0003");
        p[ProcedureStep::SLow] = QStringLiteral("-20%");
        p[ProcedureStep::SHigh] = QStringLiteral("+20%");
        p[ProcedureStep::SUnit] = QStringLiteral("D");
        out << p;
    }
    return out;
}

BinPlan plan()
{
    QString error;
    return *BinPlan::parse(R"({"step": 3, "mode": "nested", "nominal": 1e-7, "bins": [[-1, 1], [-2, 2], [-3, 3], [-4, 4],
        [-5, 5], [-6, 6], [-7, 7], [-8, 8], [-9, 9]], "secondary": {"low": 0, "high": 0.00035}})",
                           &error);
}

struct Row
{
    QStringList cells;
    QVector<double> values;
};

const std::vector<Row> &sampleRows()
{
    static const std::vector<Row> rows = [] {
        std::mt19937 rng(1);
        std::normal_distribution<double> c(100e-9, 3e-9), d(3e-4, 2e-5);
        std::vector<Row> out(4096);
        for (Row &r : out) {
            for (int s = 0; s < Steps; ++s) {
                const double cv = c(rng), dv = d(rng);
                r.values << cv << dv;
                r.cells << QString::asprintf("%gnF", cv * 1e9) << QStringLiteral("pass") << QString::asprintf("%g", dv)
                        << QStringLiteral("pass");
            }
        }
        return out;
    }();
    return rows;
}

// judged: the rows keep the readings they were judged with, as during a run.
const ResultTableModel &table(bool judged)
{
    auto make = [](bool withValues) {
        auto *m = new ResultTableModel;
        const auto &rows = sampleRows();
        for (int i = 0; i < Rows; ++i) {
            const Row &r = rows[size_t(i) % rows.size()];
            m->appendRow(r.cells, ResultTableModel::Passed, withValues ? r.values : QVector<double>());
        }
        return m;
    };
    static ResultTableModel *texts = nullptr, *values = nullptr;
    ResultTableModel *&t = judged ? values : texts;
    if (!t)
        t = make(judged);
    return *t;
}

// One column's readings as a chart takes them: as judged, or read from the texts.
std::vector<double> columnReadings(const ResultTableModel &t, int column)
{
    std::vector<double> out;
    out.reserve(size_t(t.resultCount()));
    const QVector<ProcedureStep> s = steps();
    TableStatistics st;
    st.setSteps(s);
    for (int r = 0; r < t.resultCount(); ++r) {
        const RowValues::Span v = t.values(r);
        if (v.count > column) {
            out.push_back(v.data[column]);
        } else {
            const std::optional<double> x = TableStatistics::parseReading(t.cell(r, 1 + 2 * column));
            if (x)
                out.push_back(*x * 1e-9);
        }
    }
    return out;
}

// The step's bins, and the control chart of its primary column (limits
// and every point checked for the four rules), of a million rows.
// work: 0 bins, 1 the chart, 2 both. judged: 0 the texts of a loaded
// report, 1 the readings as judged. subgroup: 1 I-MR, 5 X-bar R.
void BM_MillionRows(benchmark::State &state)
{
    const int work = int(state.range(0));
    const ResultTableModel &t = table(state.range(1) != 0);
    const int subgroup = int(state.range(2));
    const QVector<ProcedureStep> s = steps();
    const BinPlan p = plan();
    int64_t violations = 0;
    for (auto _ : state) {
        if (work != 1) {
            BinSorter bins;
            bins.setPlan(p, s);
            bins.countTable(t);
            benchmark::DoNotOptimize(bins.countOf(0));
        }
        if (work != 0) {
            ControlChart chart(subgroup);
            for (double v : columnReadings(t, 2 * (p.step - 1)))
                chart.add(v);
            violations += chart.violations().size();
        }
    }
    benchmark::DoNotOptimize(violations);
    state.counters["rows"] = Rows;
}
BENCHMARK(BM_MillionRows)
    ->ArgsProduct({{0, 1, 2}, {0, 1}, {1}})
    ->ArgsProduct({{2}, {0, 1}, {5}})
    ->ArgNames({"work", "judged", "subgroup"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// qel-cli stats --control over a million rows: the statistics and the
// charts of all twenty columns (for scale; no goal of its own).
void BM_MillionRowsAllColumns(benchmark::State &state)
{
    const ResultTableModel &t = table(state.range(0) != 0);
    int64_t violations = 0;
    for (auto _ : state) {
        TableStatistics st;
        st.setKeepReadings(true);
        st.setSteps(steps());
        st.addTable(t);
        for (const ControlChart &c : controlCharts(st, ControlSettings{1, 0, {}}))
            violations += c.violations().size();
    }
    benchmark::DoNotOptimize(violations);
}
BENCHMARK(BM_MillionRowsAllColumns)->Arg(0)->Arg(1)->ArgNames({"judged"})->Unit(benchmark::kMillisecond)->Iterations(2);

// One more row after a million: its bin counted, its readings on the
// twenty columns' charts, the limits and the rules its point completes.
void BM_OneMoreRow(benchmark::State &state)
{
    const auto &rows = sampleRows();
    const QVector<ProcedureStep> s = steps();
    BinSorter bins;
    bins.setPlan(plan(), s);
    QVector<ControlChart> charts(2 * Steps, ControlChart(int(state.range(0))));
    for (int i = 0; i < Rows; ++i) {
        const Row &r = rows[size_t(i) % rows.size()];
        bins.count(bins.sortValues(r.values.constData(), int(r.values.size())));
        for (int k = 0; k < charts.size(); ++k)
            charts[k].add(r.values[k]);
    }
    int i = 0;
    int64_t broken = 0;
    for (auto _ : state) {
        const Row &r = rows[size_t(i++) % rows.size()];
        bins.count(bins.sortValues(r.values.constData(), int(r.values.size())));
        for (int k = 0; k < charts.size(); ++k) {
            ControlChart &c = charts[k];
            c.add(r.values[k]);
            if (const std::optional<ControlLimits> l = c.limits())
                broken += c.rulesAt(c.points() - 1, *l).size();
        }
    }
    benchmark::DoNotOptimize(broken);
}
BENCHMARK(BM_OneMoreRow)->Arg(1)->Arg(5)->ArgNames({"subgroup"})->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
