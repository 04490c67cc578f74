// Cost of turning meter replies and field texts into numbers and readings
// back into table text: done once per cell of every result row.
#include "procedure/FieldParsing.h"

#include <QString>
#include <QStringList>
#include <benchmark/benchmark.h>

namespace {

const QStringList replies = {"1.234E-9", "9.87654e-8", "  4.7E+3", "0.0012", "-2.5E-1", "1000", "garbage"};
const QStringList units = {"pF", "nF", "uF", "mO", "KO", "MO", "mS"};

void BM_LeadingDouble(benchmark::State &state)
{
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FieldParsing::leadingDouble(replies[i]));
        i = (i + 1) % replies.size();
    }
}
BENCHMARK(BM_LeadingDouble);

void BM_FrequencyAndLevel(benchmark::State &state)
{
    const QString f = QStringLiteral("100KHz"), l = QStringLiteral("300mV");
    for (auto _ : state) {
        benchmark::DoNotOptimize(FieldParsing::frequencyHz(f));
        benchmark::DoNotOptimize(FieldParsing::levelVolts(l));
    }
}
BENCHMARK(BM_FrequencyAndLevel);

void BM_FormatReading(benchmark::State &state)
{
    int i = 0;
    for (auto _ : state) {
        const double v = FieldParsing::leadingDouble(replies[i % replies.size()]);
        benchmark::DoNotOptimize(FieldParsing::formatReading(v, units[i % units.size()]));
        ++i;
    }
}
BENCHMARK(BM_FormatReading);

// A whole evaluation cell: limits and reading parsed, reading formatted.
void BM_JudgeCell(benchmark::State &state)
{
    const QString std = QStringLiteral("100"), unit = QStringLiteral("nF");
    const QString low = QStringLiteral("-5%"), high = QStringLiteral("+5%");
    const QString reply = QStringLiteral("9.87654e-8");
    for (auto _ : state) {
        const double nominal = FieldParsing::standardValue(std, unit);
        const double lo = nominal + nominal * FieldParsing::limitValue(low);
        const double hi = nominal + nominal * FieldParsing::limitValue(high);
        const double v = FieldParsing::leadingDouble(reply);
        benchmark::DoNotOptimize(lo < v && v < hi);
        benchmark::DoNotOptimize(FieldParsing::formatReading(v, unit));
    }
}
BENCHMARK(BM_JudgeCell);

void BM_FormatFixedHuge(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(FieldParsing::formatFixed(1e300));
}
BENCHMARK(BM_FormatFixedHuge);

} // namespace

BENCHMARK_MAIN();
