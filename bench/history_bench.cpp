// Reading the history back: a log of 100,000 connections (years of use, each
// with its byte counts) read from disk and summed per day, month and year
// (target: <= 300 ms); and what --report, --report --json and --csv take on
// it, from reading the file to the finished text.

#include <fstream>

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "history/Export.h"
#include "history/HistoryTestSupport.h"

namespace {

constexpr std::size_t kRecords = 100'000;

class LogOnDisk {
public:
    LogOnDisk() : path_(dir_.filePath("zelvar.log").toStdString()) {
        std::ofstream(path_, std::ios::binary)
            << velmora::test::longLog(kRecords, velmora::epochSecondsAt(2026, 12, 9, 18, 0, 0));
    }
    velmora::History read(benchmark::State& state) const {
        velmora::HistoryRead read = velmora::readHistory(path_);
        if (read.history.rows().size() != kRecords) state.SkipWithError("records lost");
        return std::move(read.history);
    }

private:
    QTemporaryDir dir_;
    std::string path_;
};

void BM_SummariseLog(benchmark::State& state) {
    const LogOnDisk log;
    for ([[maybe_unused]] auto _ : state) benchmark::DoNotOptimize(log.read(state).byMonth());
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kRecords));
}
BENCHMARK(BM_SummariseLog)->Unit(benchmark::kMillisecond);

// The commands as they run: read, then the text they print.
void BM_ReportCommand(benchmark::State& state) {
    const LogOnDisk log;
    for ([[maybe_unused]] auto _ : state) benchmark::DoNotOptimize(velmora::monthlyReport(log.read(state), {}, "€"));
}
BENCHMARK(BM_ReportCommand)->Unit(benchmark::kMillisecond);

void BM_JsonReportCommand(benchmark::State& state) {
    const LogOnDisk log;
    for ([[maybe_unused]] auto _ : state) benchmark::DoNotOptimize(velmora::jsonReport(log.read(state), {}, "€"));
}
BENCHMARK(BM_JsonReportCommand)->Unit(benchmark::kMillisecond);

void BM_CsvCommand(benchmark::State& state) {
    const LogOnDisk log;
    const auto style = static_cast<velmora::CsvStyle>(state.range(0));
    for ([[maybe_unused]] auto _ : state) benchmark::DoNotOptimize(velmora::csvText(log.read(state).rows(), style));
}
BENCHMARK(BM_CsvCommand)
    ->Arg(static_cast<int>(velmora::CsvStyle::Comma))
    ->Arg(static_cast<int>(velmora::CsvStyle::Semicolon))
    ->Unit(benchmark::kMillisecond);

} // namespace
