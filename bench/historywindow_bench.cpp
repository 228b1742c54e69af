// Opening the history window on a log of 100,000 connections: reading and
// summing the log, building chart, chooser and table, and the first paint
// (rendered into a pixmap). Target: <= 500 ms. Runs on the offscreen platform
// unless a display is named.

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
    std::ofstream(path, std::ios::binary) << velmora::test::longLog(static_cast<std::size_t>(state.range(0)), now);
    const velmora::VirtualClock clock(now * 1000);
    for ([[maybe_unused]] auto _ : state) {
        velmora::HistoryWindow window({path, "€", &clock, {}});
        window.show();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(window.grab());
        if (window.history().rows().size() != static_cast<std::size_t>(state.range(0)))
            state.SkipWithError("rows lost");
    }
}
BENCHMARK(BM_OpenHistoryWindow)->Arg(100'000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

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
