// One probe of the pppd/kernel origin on this machine, as the window runs it
// once a second: list, then status and address of the first link.
#include <benchmark/benchmark.h>

#include "monitor/LinuxConnectionSource.h"

namespace {

void probe(velmora::LinuxConnectionSource& source, benchmark::State& state) {
    for ([[maybe_unused]] auto _ : state) {
        const auto list = source.list();
        auto status = source.status(list.firstHandle);
        auto address = source.projectionAddress(list.firstHandle);
        benchmark::DoNotOptimize(status);
        benchmark::DoNotOptimize(address);
    }
}

// With nothing changing: the probe answers from what the kernel's and the
// files' news left, which costs draining the two notification descriptors.
// (As shipped a full look also runs once a minute as a safety net; at the
// loop's rate here that would be every 60th iteration, not once a minute, so
// it is left to the next benchmark.)
void BM_ProbeNothingChanging(benchmark::State& state) {
    velmora::LinuxConnectionSource source(std::make_unique<velmora::KernelInterfaceStateReader>(), {}, nullptr, 0);
    probe(source, state);
}
BENCHMARK(BM_ProbeNothingChanging)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

// The worst poll: a full look, the /proc walk included, every time.
void BM_ProbeWithFullLook(benchmark::State& state) {
    velmora::LinuxConnectionSource source(std::make_unique<velmora::KernelInterfaceStateReader>(), {}, nullptr, 1);
    probe(source, state);
}
BENCHMARK(BM_ProbeWithFullLook)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

} // namespace
