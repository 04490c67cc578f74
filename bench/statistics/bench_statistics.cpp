// Statistics of a million result rows of a ten-step procedure (each step
// with a second item: twenty result columns), side by side: from the
// table's texts (a loaded report) and from judged readings (a live run),
// from scratch and per added row. Goals: under 0.5 s from scratch, under
// 5 us per added row.

#include "execution/ResultTableModel.h"
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

struct Row
{
    QStringList cells;
    QVector<double> values;
};

// A few hundred different rows, used in turn.
const std::vector<Row> &sampleRows()
{
    static const std::vector<Row> rows = [] {
        std::mt19937 rng(1);
        std::normal_distribution<double> c(100e-9, 2e-9), d(3e-4, 2e-5);
        std::vector<Row> out(512);
        for (Row &r : out) {
            for (int s = 0; s < Steps; ++s) {
                const double cv = c(rng), dv = d(rng);
                r.values << cv << dv;
                r.cells << QString::asprintf("%gnF", cv * 1e9) << QStringLiteral("pass")
                        << QString::asprintf("%g", dv) << QStringLiteral("pass");
            }
        }
        return out;
    }();
    return rows;
}

const ResultTableModel &table()
{
    static ResultTableModel *t = [] {
        auto *m = new ResultTableModel;
        const auto &rows = sampleRows();
        for (int i = 0; i < Rows; ++i)
            m->appendRow(rows[size_t(i) % rows.size()].cells, ResultTableModel::Passed);
        return m;
    }();
    return *t;
}

// in_place:1 reads the packed cells where they are (addTable); in_place:0
// is the earlier way, each row's joined text built and split (addJoined).
void BM_FromScratchTexts(benchmark::State &state)
{
    const bool inPlace = state.range(0) != 0;
    const ResultTableModel &t = table();
    for (auto _ : state) {
        TableStatistics st;
        st.setSteps(steps());
        if (inPlace) {
            st.addTable(t);
        } else {
            for (int r = 0; r < t.resultCount(); ++r)
                st.addJoined(t.joinedRow(r));
        }
        benchmark::DoNotOptimize(st.columns()[0].stats.mean);
    }
    state.counters["rows"] = Rows;
}
BENCHMARK(BM_FromScratchTexts)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"in_place"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_FromScratchJudged(benchmark::State &state)
{
    const auto &rows = sampleRows();
    for (auto _ : state) {
        TableStatistics st;
        st.setSteps(steps());
        for (int i = 0; i < Rows; ++i) {
            const Row &r = rows[size_t(i) % rows.size()];
            st.addJudged(r.cells, r.values);
        }
        benchmark::DoNotOptimize(st.columns()[0].stats.mean);
    }
    state.counters["rows"] = Rows;
}
BENCHMARK(BM_FromScratchJudged)->Unit(benchmark::kMillisecond)->Iterations(3);

// One more row on statistics that hold a million already.
void BM_OneMoreRow(benchmark::State &state)
{
    // 0: judged readings; 1: a table row's joined text; 2: a table row in place.
    const int from = int(state.range(0));
    const auto &rows = sampleRows();
    TableStatistics st;
    st.setSteps(steps());
    for (int i = 0; i < Rows; ++i)
        st.addJudged(rows[size_t(i) % rows.size()].cells, rows[size_t(i) % rows.size()].values);
    const ResultTableModel &t = table();
    int i = 0;
    for (auto _ : state) {
        if (from == 1)
            st.addJoined(t.joinedRow(i % Rows));
        else if (from == 2)
            st.addTableRow(t, i % Rows);
        else
            st.addJudged(rows[size_t(i) % rows.size()].cells, rows[size_t(i) % rows.size()].values);
        ++i;
    }
    benchmark::DoNotOptimize(st.rows());
}
BENCHMARK(BM_OneMoreRow)->Arg(0)->Arg(1)->Arg(2)->ArgNames({"from"})->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
