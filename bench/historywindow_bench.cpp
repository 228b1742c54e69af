// Opening the history window: reading and summing the log, building chart,
// choosers, table and the most expensive, and the first paint (rendered into
// a pixmap). Two logs: 10,000 connections over ten years (about three a
// day), and 100,000. Target: <= 300 ms for the ten years. Runs on the
// offscreen platform unless a display is named.

#include <fstream>

#include <QApplication>
#include <QPixmap>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "history/HistoryTestSupport.h"
#include "historywindow/HistoryWindow.h"

namespace {

void BM_OpenHistoryWindow(benchmark::State& state) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("zelvar.log").toStdString();
    const std::int64_t now = velmora::epochSecondsAt(2026, 12, 9, 18, 0, 0);
    const auto records = static_cast<std::size_t>(state.range(0));
    const std::int64_t tenYearsOfMinutes = std::int64_t{10} * 36525 / 100 * 24 * 60;
    const std::int64_t minutesApart = std::min<std::int64_t>(55, tenYearsOfMinutes / state.range(0));
    std::ofstream(path, std::ios::binary) << velmora::test::longLog(records, now, minutesApart);
    for ([[maybe_unused]] auto _ : state) {
        velmora::HistoryWindow window({path, "€", 2026, {}, dir.path().toStdString()});
        window.show();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(window.grab());
        if (window.history().rows().size() != records) state.SkipWithError("rows lost");
    }
}
BENCHMARK(BM_OpenHistoryWindow)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
