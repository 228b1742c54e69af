// What keeping the open connection safe costs: one checkpoint of it into the
// journal, synced to disk (once a charged unit and at least once a minute),
// in the temporary folder ($TMPDIR, else /tmp).
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "journal/RecordKeeper.h"

namespace velmora {
namespace {

void BM_JournalCheckpoint(benchmark::State& state) {
    QTemporaryDir dir;
    SettingsProfile profile(dir.filePath("velmora.INI").toStdString());
    ConnectionLog log(dir.filePath("zelvar.log").toStdString());
    RecordKeeper keeper(log, profile, journalPathBeside(log.path()), [](const std::string&, const std::string&) {});
    keeper.start();
    OpenConnection open{"Benchmark",          localTimeOf(1'765'000'000), 1000, localTimeOf(1'765'000'000), 1000,
                        Money::fromCents(12), Money::fromCents(1012)};
    for ([[maybe_unused]] auto _ : state) {
        open.cost += Money::fromCents(12);
        ++open.checkpointBootSeconds;
        keeper.checkpoint(open);
    }
    keeper.finish();
}

BENCHMARK(BM_JournalCheckpoint)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
} // namespace velmora
