// Preparing the test report: 100,000 result rows of a ten-step procedure.
// Goal: under 1 s per preparation.
#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"
#include "reports/ReportDescription.h"
#include "reports/ReportLayout.h"
#include "reports/ReportPainter.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

namespace {

// Ten steps, every other one with a second item: fifteen printed items.
void fillProcedure(ProcedureModel &procedure)
{
    QVector<ProcedureStep> steps;
    for (int n = 1; n <= 10; ++n) {
        ProcedureStep s;
        s[ProcedureStep::Step] = QString::number(n);
        s[ProcedureStep::FItem] = QStringLiteral("C");
        s[ProcedureStep::FStd] = QStringLiteral("100");
        s[ProcedureStep::FLow] = QStringLiteral("-5");
        s[ProcedureStep::FHigh] = QStringLiteral("5");
        s[ProcedureStep::FUnit] = QStringLiteral("nF");
        s[ProcedureStep::SItem] = n % 2 ? QStringLiteral("D") : QStringLiteral("off");
        s[ProcedureStep::SStd] = QStringLiteral("0.01");
        s[ProcedureStep::SLow] = QStringLiteral("0");
        s[ProcedureStep::SHigh] = QStringLiteral("0.05");
        s[ProcedureStep::Freq] = QStringLiteral("1KHz");
        s[ProcedureStep::Level] = QStringLiteral("1V");
        steps.append(s);
    }
    procedure.setSteps(steps);
}

void fillResults(ResultTableModel &results, int rows, int items)
{
    results.reserveRows(rows, qsizetype(rows) * items * 16);
    QString joined;
    for (int r = 0; r < rows; ++r) {
        joined.clear();
        for (int k = 0; k < items; ++k) {
            joined += QString::number(100.0 + (r * 7 + k) % 97 / 10.0, 'f', 4);
            joined += QLatin1String("nF\n");
            joined += (r + k) % 23 ? QLatin1String("pass\n") : QLatin1String("fail\n");
        }
        results.appendJoinedRow(joined, ResultTableModel::Passed);
    }
}

struct Data
{
    ProcedureModel procedure;
    ResultTableModel results;
    Data()
    {
        fillProcedure(procedure);
        fillResults(results, 100000, 10 + procedure.secondItemCount());
    }
};

Data &data()
{
    static Data d;
    return d;
}

void BM_PrepareReport100kRows(benchmark::State &state)
{
    Data &d = data();
    int pages = 0;
    for (auto _ : state) {
        const ReportLayout layout = ReportLayout::prepare(d.procedure, d.results);
        pages = layout.pageCount();
        benchmark::DoNotOptimize(pages);
    }
    state.counters["pages"] = pages;
    state.counters["rows"] = d.results.resultCount();
}
BENCHMARK(BM_PrepareReport100kRows)->Unit(benchmark::kMillisecond);

// Drawing one page, for scale: a print of the whole report is pages x this.
void BM_PaintOnePage(benchmark::State &state)
{
    Data &d = data();
    const ReportLayout layout = ReportLayout::prepare(d.procedure, d.results);
    const ReportDescription description(QDate(2026, 12, 6));
    QImage image(1050, 1485, QImage::Format_RGB32);
    image.setDotsPerMeterX(5000);
    image.setDotsPerMeterY(5000);
    int page = 0;
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter p(&image);
        ReportPainter::paintPage(p, layout, description.texts(), 1 + page++ % layout.pageCount(), QTime(1, 2, 3));
    }
}
BENCHMARK(BM_PaintOnePage)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    // Fonts need a GUI application; no window is shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
