// A million result rows of a ten-step procedure: appended to the result
// table model and read back, with the time and the peak memory it takes.
// Goal: under 1 s and under 300 MB.

#include "execution/ExecutionState.h"
#include "execution/ResultTableModel.h"
#include "execution/ui/ExecutiveView.h"

#include <QApplication>
#include <QFile>
#include <QStringList>
#include <benchmark/benchmark.h>

namespace {

constexpr int Rows = 1000000;
constexpr int Steps = 10;

// Resident set of this process, in KiB: the current value or the peak
// since the last reset.
long statusKiB(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Resident set when the program starts, before any rows exist.
long g_startKiB = 0;

void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

// One pass of a ten-step procedure; with secondItems every step also has a Q.
QStringList passCells(bool secondItems)
{
    QStringList cells;
    for (int s = 0; s < Steps; ++s) {
        cells << QStringLiteral("100.25pF") << (s % 3 ? QStringLiteral("pass") : QStringLiteral("fail"));
        if (secondItems)
            cells << QStringLiteral("12.345Q") << QStringLiteral("pass");
    }
    return cells;
}

QStringList titles(bool secondItems)
{
    QStringList t;
    for (int s = 1; s <= Steps; ++s) {
        t << QStringLiteral("C%1").arg(s) << QStringLiteral("P/F");
        if (secondItems)
            t << QStringLiteral("Q%1").arg(s) << QStringLiteral("P/F");
    }
    return t;
}

void fill(ResultTableModel &model, const QStringList &cells)
{
    for (int r = 0; r < Rows; ++r)
        model.appendRow(cells, r % 7 ? ResultTableModel::Passed : ResultTableModel::Failed);
}

// Append a million rows, then read every row back as the report and the
// files do (the joined string) and one cell per row as a view does.
void BM_AppendAndReadBack(benchmark::State &state)
{
    const bool second = state.range(0) != 0;
    const QStringList cells = passCells(second);
    double peakMiB = 0;
    for (auto _ : state) {
        resetPeak();
        {
            ResultTableModel model;
            model.setStepColumns(titles(second));
            fill(model, cells);
            qsizetype chars = 0;
            for (int r = 0; r < Rows; ++r) {
                chars += model.joinedRow(r).size();
                chars += model.cell(r, 1 + (r % cells.size())).size();
            }
            benchmark::DoNotOptimize(chars);
            if (model.resultCount() != Rows || chars == 0)
                state.SkipWithError("rows lost");
        }
        // Against the start: memory freed but kept by the allocator counts.
        peakMiB = std::max(peakMiB, (statusKiB("VmHWM:") - g_startKiB) / 1024.0);
    }
    state.counters["peak_MiB"] = peakMiB;
    state.counters["rows"] = Rows;
}
BENCHMARK(BM_AppendAndReadBack)->Arg(0)->Arg(1)->ArgNames({"second_items"})->Unit(benchmark::kMillisecond)->Iterations(3);

// Appending alone, as a run or a file load does.
void BM_Append(benchmark::State &state)
{
    const QStringList cells = passCells(state.range(0) != 0);
    for (auto _ : state) {
        ResultTableModel model;
        fill(model, cells);
        benchmark::DoNotOptimize(model.resultCount());
    }
}
BENCHMARK(BM_Append)->Arg(0)->Arg(1)->ArgNames({"second_items"})->Unit(benchmark::kMillisecond)->Iterations(3);

// A file load with the Executive View showing the table: the view follows
// every appended row.
void BM_AppendWithPageShown(benchmark::State &state)
{
    const QStringList cells = passCells(true);
    const int rows = int(state.range(0));
    for (auto _ : state) {
        ResultTableModel model;
        ExecutionState run;
        model.setStepColumns(titles(true));
        ExecutiveView page(&model, &run);
        page.resize(1000, 600);
        page.show();
        QApplication::processEvents();
        for (int r = 0; r < rows; ++r)
            model.appendRow(cells, ResultTableModel::Passed);
        QApplication::processEvents();
        benchmark::DoNotOptimize(model.resultCount());
    }
}
BENCHMARK(BM_AppendWithPageShown)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

// The export's way of reading: every cell of every row.
void BM_ReadAllCells(benchmark::State &state)
{
    const QStringList cells = passCells(true);
    ResultTableModel model;
    model.setStepColumns(titles(true));
    fill(model, cells);
    for (auto _ : state) {
        qsizetype n = 0;
        for (int r = 0; r < Rows; ++r)
            n += model.cells(r).size();
        benchmark::DoNotOptimize(n);
        if (n != qsizetype(Rows) * cells.size())
            state.SkipWithError("cells lost");
    }
}
BENCHMARK(BM_ReadAllCells)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(qel);
    g_startKiB = statusKiB("VmRSS:");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
