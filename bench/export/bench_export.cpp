// Exporting a long result table: the time to write the workbook, and the
// memory the export takes beyond the table it reads.
#include "execution/ResultExport.h"
#include "execution/ResultTableModel.h"
#include "sheets/WorkbookWriter.h"
#include "plotter/SweepExport.h"
#include "procedure/ProcedureModel.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <unistd.h>

namespace {

double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

// Peak resident memory since the last resetPeak(), from the kernel's
// high-water mark.
double peakMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

void fill(ProcedureModel &procedure, ResultTableModel &results, int steps, bool secondItems, int rows)
{
    procedure.clear();
    for (int s = 0; s < steps; ++s) {
        ProcedureStep step;
        step[ProcedureStep::FItem] = QStringLiteral("C");
        step[ProcedureStep::FStd] = QStringLiteral("100");
        step[ProcedureStep::FLow] = QStringLiteral("-5%");
        step[ProcedureStep::FHigh] = QStringLiteral("+5%");
        step[ProcedureStep::FUnit] = QStringLiteral("nF");
        step[ProcedureStep::SItem] = secondItems ? QStringLiteral("D") : QStringLiteral("off");
        step[ProcedureStep::SUnit] = secondItems ? QStringLiteral("D") : QString();
        step[ProcedureStep::Freq] = QStringLiteral("1KHz");
        step[ProcedureStep::Level] = QStringLiteral("1V");
        procedure.insertStep(s, step);
    }
    procedure.renumber();
    results.removeAllRows();
    results.rebuildColumns(procedure);
    const int columns = 2 * (steps + (secondItems ? steps : 0));
    QStringList cells;
    for (int c = 0; c < columns; c += 2)
        cells << QStringLiteral("98.7654nF") << QStringLiteral("pass");
    results.reserveRows(rows, qsizetype(rows) * 16 * columns);
    for (int r = 0; r < rows; ++r) {
        if (r % 97 == 0)
            cells[1] = QStringLiteral("fail");
        const int row = results.appendRow(cells, ResultTableModel::Passed);
        results.setRowDateTime(row, QStringLiteral("2012/3/7/"), QStringLiteral("9:5:3"));
        cells[1] = QStringLiteral("pass");
    }
}

// Arguments: result rows, second items on every step (0/1).
void BM_ResultExport(benchmark::State &state)
{
    const int rows = int(state.range(0));
    const bool second = state.range(1) != 0;
    ProcedureModel procedure;
    ResultTableModel results;
    fill(procedure, results, 10, second, rows);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("results.xlsx"));

    const double before = residentMiB();
    resetPeak();
    for (auto _ : state) {
        QString error;
        if (!ResultExport::exportToFile(procedure, results, path, &error))
            state.SkipWithError(error.toUtf8().constData());
    }
    // The peak during the exports against the memory held before them
    // (mostly the table): the export should add a constant.
    state.counters["rss_before_MiB"] = before;
    state.counters["peak_MiB"] = peakMiB();
    state.counters["file_MiB"] = double(QFileInfo(path).size()) / (1024.0 * 1024.0);
    state.counters["rows_per_s"] = benchmark::Counter(double(rows), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ResultExport)
    ->Args({10000, 0})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The same rows handed to a writer that keeps nothing: what reading the
// table and building the rows costs, without the workbook.
class DiscardingWriter : public WorkbookWriter
{
public:
    void centreColumn(int) override {}
    void writeRow(int, const QStringList &cells) override
    {
        for (const QString &c : cells)
            m_bytes += c.toUtf8().size();
    }
    void boldRow(int) override {}
    void blueRow(int) override {}
    bool close() override { return true; }
    QString errorText() const override { return {}; }
    qint64 m_bytes = 0;
};

void BM_ResultRowsOnly(benchmark::State &state)
{
    ProcedureModel procedure;
    ResultTableModel results;
    fill(procedure, results, 10, state.range(0) != 0, 100000);
    for (auto _ : state) {
        DiscardingWriter out;
        ResultExport::write(procedure, results, out);
        benchmark::DoNotOptimize(out.m_bytes);
    }
}
BENCHMARK(BM_ResultRowsOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A full plotter: 200 points on four lines.
void BM_SweepExport(benchmark::State &state)
{
    SweepExportInput in;
    in.start = QStringLiteral("20");
    in.end = QStringLiteral("100000");
    in.points = QStringLiteral("200");
    in.sweepUnit = QStringLiteral("Hz");
    in.fixedLevel = QStringLiteral("1");
    in.fixedLevelUnit = QStringLiteral("V");
    in.lineTitles = {QStringLiteral("C1"), QStringLiteral("C2"), QStringLiteral("C3"), QStringLiteral("C4")};
    for (int r = 0; r < 200; ++r)
        in.rows.append({QString::number(r + 1), QStringLiteral("%1.000000Hz").arg(20 + r * 500),
                        QStringLiteral("123.450000pF"), QStringLiteral("1.234500nF"), QStringLiteral("12.500000uF"),
                        QStringLiteral("0.100000mF")});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sweep.xlsx"));
    for (auto _ : state) {
        QString error;
        if (!SweepExport::exportToFile(in, path, &error))
            state.SkipWithError(error.toUtf8().constData());
    }
}
BENCHMARK(BM_SweepExport)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
