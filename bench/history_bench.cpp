// Reading the history back: a log of 100,000 connections (years of use) read
// from disk and summed per day, month and year. Target: <= 300 ms.

#include <fstream>

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "history/Export.h"
#include "history/HistoryTestSupport.h"

namespace {

void BM_SummariseLog(benchmark::State& state) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("zelvar.log").toStdString();
    const auto records = static_cast<std::size_t>(state.range(0));
    std::ofstream(path, std::ios::binary)
        << velmora::test::longLog(records, velmora::epochSecondsAt(2026, 12, 9, 18, 0, 0));
    for ([[maybe_unused]] auto _ : state) {
        velmora::HistoryRead read = velmora::readHistory(path);
        if (read.history.rows().size() != records) state.SkipWithError("records lost");
        benchmark::DoNotOptimize(read.history.byMonth());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SummariseLog)->Arg(100'000)->Unit(benchmark::kMillisecond);

// The same rows as CSV text, as --csv and the window's export write them.
void BM_CsvOfLog(benchmark::State& state) {
    const velmora::History history =
        velmora::test::historyOf(velmora::test::longLog(100'000, velmora::epochSecondsAt(2026, 12, 9, 18, 0, 0)));
    for ([[maybe_unused]] auto _ : state) benchmark::DoNotOptimize(velmora::csvText(history.rows()));
}
BENCHMARK(BM_CsvOfLog)->Unit(benchmark::kMillisecond);

} // namespace
