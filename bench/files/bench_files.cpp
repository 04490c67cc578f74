// Saving and loading a report file of a million result rows of a ten-step
// procedure: the time of each, and the peak resident memory of the process
// while it runs (the models it needs included). Two row shapes: first items
// only (20 cells a row) and five steps with a second item (30 cells).
// Goal: each operation under 2 s and 400 MB. bench/files/compare runs two
// builds of this side by side (before and after a change).
#include "common/Prompter.h"
#include "document/Document.h"
#include "document/DocumentLayouts.h"
#include "document/PageTransfer.h"
#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <fstream>
#include <string>

namespace {

constexpr int Rows = 1000000;
constexpr int Steps = 10;

// Peak resident set since the last reset, in MB (Linux: VmHWM).
double peakMB()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

double currentMB()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

void resetPeak()
{
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

ProcedureStep step(const QString &fItem, const QString &fUnit, const QString &sItem, const QString &sUnit)
{
    ProcedureStep s;
    s[ProcedureStep::FItem] = fItem;
    s[ProcedureStep::FStd] = QStringLiteral("100");
    s[ProcedureStep::FLow] = QStringLiteral("-5%");
    s[ProcedureStep::FHigh] = QStringLiteral("+5%");
    s[ProcedureStep::FUnit] = fUnit;
    s[ProcedureStep::SItem] = sItem;
    s[ProcedureStep::SUnit] = sUnit;
    s[ProcedureStep::Freq] = QStringLiteral("1KHz");
    s[ProcedureStep::Level] = QStringLiteral("1V");
    s[ProcedureStep::Circuit] = QStringLiteral("SER");
    s[ProcedureStep::Speed] = QStringLiteral("FAST");
    s[ProcedureStep::Type] = QStringLiteral("%");
    s[ProcedureStep::Delay] = QStringLiteral("0");
    return s;
}

QVector<ProcedureStep> procedureSteps(bool secondItems)
{
    QVector<ProcedureStep> steps;
    for (int i = 0; i < Steps; ++i) {
        const bool second = secondItems && i % 2 == 0;
        steps << step(i < 5 ? "C" : "L", i < 5 ? "nF" : "uH", second ? (i < 5 ? "D" : "Q") : "off",
            second ? (i < 5 ? "D" : "Q") : "");
        steps.last()[ProcedureStep::Step] = QString::number(i + 1);
    }
    return steps;
}

// Readings as the sequencer formats them: six decimals at most, unit appended.
QString resultRow(int row, bool secondItems)
{
    QString joined;
    for (int i = 0; i < Steps; ++i) {
        const int v = (row * 7 + i * 13) % 1000;
        joined += QString::number(100 + v / 1000.0, 'f', 3) + (i < 5 ? "nF" : "uH") + '\n';
        joined += (v % 97 == 0 ? QLatin1String("fail\n") : QLatin1String("pass\n"));
        if (secondItems && i % 2 == 0) {
            joined += QString::number(0.001 + v / 1e6, 'f', 6) + '\n';
            joined += QLatin1String("pass\n");
        }
    }
    return joined;
}

QString timeText(int row)
{
    const int s = row / 2; // a pass every half second
    return QString::number((9 + s / 3600) % 24) + ':' + QString::number(s / 60 % 60) + ':' + QString::number(s % 60);
}

QString dateText(int row)
{
    return QStringLiteral("2026/12/") + QString::number(6 + row / 172800) + '/';
}

struct Scene
{
    QTemporaryDir dir;
    ProcedureModel procedure;
    ResultTableModel results;
    SilentPrompter prompter;
    Document doc{&procedure, &results, &prompter};
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
};

void fillResults(ResultTableModel &results, bool secondItems)
{
    QStringList dates, times;
    dates.reserve(Rows);
    times.reserve(Rows);
    results.reserveRows(Rows, qsizetype(Rows) * resultRow(0, secondItems).size());
    for (int r = 0; r < Rows; ++r) {
        const QString row = resultRow(r, secondItems);
        results.appendJoinedRow(row, row.contains(QLatin1String("fail")) ? 1 : 2);
        // Dates of one day share their text, as the sequencer's do not; times do not.
        dates << (dates.isEmpty() || dates.constLast() != dateText(r) ? dateText(r) : dates.constLast());
        times << timeText(r);
    }
    results.setReportDates(dates);
    results.setReportTimes(times);
}

// Writes abc.pro and abc_1.rpt straight from document data, without models.
void writeFiles(Scene &scene, bool secondItems)
{
    scene.procedure.setSteps(procedureSteps(secondItems));
    if (!scene.doc.saveDocument(scene.path("abc.pro")))
        return;
    scene.procedure.clear();
    DocumentData d;
    d.reportRowCount = Rows;
    d.reportRows.reserve(Rows);
    for (int r = 0; r < Rows; ++r) {
        d.reportRows.append(resultRow(r, secondItems));
        d.reportDates << dateText(r);
        d.reportTimes << timeText(r);
    }
    QSaveFile f(scene.path("abc_1.rpt"));
    f.open(QIODevice::WriteOnly);
    QString why;
    DocumentLayouts::write(DocumentNames::FileType::Report, d, &f, &why);
    f.commit();
}

void BM_LoadReport(benchmark::State &state)
{
    const bool secondItems = state.range(0) != 0;
    double peak = 0, before = 0, fileMB = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            auto scene = std::make_unique<Scene>();
            writeFiles(*scene, secondItems);
            fileMB = QFile(scene->path("abc_1.rpt")).size() / 1048576.0;
            scene->doc.openDocument(scene->path("abc.pro"));
            resetPeak();
            before = currentMB();
            state.ResumeTiming();
            const bool ok = scene->doc.openDocument(scene->path("abc_1.rpt"));
            state.PauseTiming();
            peak = peakMB();
            if (!ok || scene->results.resultCount() != Rows)
                state.SkipWithError("the report did not load");
        }
        state.ResumeTiming();
    }
    state.counters["file_MB"] = fileMB;
    state.counters["rss_before_MB"] = before;
    state.counters["peak_MB"] = peak;
}

void BM_SaveReport(benchmark::State &state)
{
    const bool secondItems = state.range(0) != 0;
    double peak = 0, before = 0, fileMB = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            auto scene = std::make_unique<Scene>();
            scene->procedure.setSteps(procedureSteps(secondItems));
            scene->results.rebuildColumns(scene->procedure);
            fillResults(scene->results, secondItems);
            resetPeak();
            before = currentMB();
            state.ResumeTiming();
            const bool ok = scene->doc.saveDocument(scene->path("abc_1.rpt"));
            state.PauseTiming();
            peak = peakMB();
            fileMB = QFile(scene->path("abc_1.rpt")).size() / 1048576.0;
            if (!ok)
                state.SkipWithError("the report was not saved");
        }
        state.ResumeTiming();
    }
    state.counters["file_MB"] = fileMB;
    state.counters["rss_before_MB"] = before;
    state.counters["peak_MB"] = peak;
}

// The one step of an open on the window's thread: the rows read on another
// thread go into the result table. Arg 0: shared and cut there (the earlier
// way, assignRows); 1: cut on the reading thread, then taken over (adoptRows).
// Second arg: rows (200,000 and 1,000,000) of 30 cells.
void BM_OpenTakeover(benchmark::State &state)
{
    const bool adopt = state.range(0) != 0;
    const int rows = int(state.range(1));
    ResultTableModel read;
    for (int r = 0; r < rows; ++r)
        read.appendJoinedRow(resultRow(r, true), 2);
    ProcedureModel procedure;
    procedure.setSteps(procedureSteps(true));
    const int cells = 4 * Steps;
    ResultTableModel pages;
    pages.rebuildColumns(procedure);
    for (auto _ : state) {
        state.PauseTiming();
        pages.removeAllRows();
        std::unique_ptr<ResultTableModel> cut = adopt ? PageTransfer::cutRows(read, cells) : nullptr;
        state.ResumeTiming();
        if (adopt)
            pages.adoptRows(*cut);
        else
            pages.assignRows(read, cells);
        benchmark::DoNotOptimize(pages.resultCount());
    }
    if (pages.resultCount() != rows || pages.joinedRow(rows - 1) != resultRow(rows - 1, true))
        state.SkipWithError("the rows did not arrive whole");
}

// Small procedure files: the common case of every open and save.
void BM_SaveLoadProcedure(benchmark::State &state)
{
    Scene scene;
    scene.procedure.setSteps(procedureSteps(true));
    for (auto _ : state) {
        scene.doc.saveDocument(scene.path("abc.pro"));
        scene.doc.openDocument(scene.path("abc.pro"));
    }
}

BENCHMARK(BM_LoadReport)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveReport)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveLoadProcedure)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenTakeover)->ArgsProduct({{0, 1}, {200000, 1000000}})->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
