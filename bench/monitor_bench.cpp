// One probe of the pppd/kernel origin on this machine, as the window runs it
// once a second: list, then status and address of the first link.
#include <benchmark/benchmark.h>

#include "monitor/LinuxConnectionSource.h"

namespace {

void probe(velmora::LinuxConnectionSource& source, benchmark::State& state) {
    for (auto _ : state) {
        const auto list = source.list();
        auto status = source.status(list.firstHandle);
        auto address = source.projectionAddress(list.firstHandle);
        benchmark::DoNotOptimize(status);
        benchmark::DoNotOptimize(address);
    }
}

// As shipped: the walk over /proc for pid-file-less pppds runs every 30th poll
// (and when pppd's database changes, which it does not here).
void BM_ProbeKernelOrigin(benchmark::State& state) {
    velmora::LinuxConnectionSource source(std::make_unique<velmora::KernelInterfaceStateReader>(), {});
    probe(source, state);
}
BENCHMARK(BM_ProbeKernelOrigin)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

// The worst poll: the /proc walk every time.
void BM_ProbeWithProcessScan(benchmark::State& state) {
    velmora::LinuxConnectionSource source(std::make_unique<velmora::KernelInterfaceStateReader>(), {}, nullptr, 1);
    probe(source, state);
}
BENCHMARK(BM_ProbeWithProcessScan)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

} // namespace
