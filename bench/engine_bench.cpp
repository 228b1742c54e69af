// One poll tick of the main window through the in-memory host, with a
// connection up: probe, meter, tariff evaluation, displays and caption.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <ctime>

#include "platform/InMemoryHost.h"
#include "app/MonitorApp.h"
#include "monitor/ScriptedSource.h"
#include "store/UserTariff.h"

namespace velmora {
namespace {

std::int64_t wednesdayLateMs() { return epochSecondsAt(2026, 12, 9, 23, 0, 0) * 1000; }

void runPollTicks(benchmark::State& state, int zone) {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    QTemporaryDir dir;
    VirtualClock clock(wednesdayLateMs(), 1000);
    InMemoryHost host(clock);
    ScriptedSource source;
    FixedSystemFacts facts;
    SettingsProfile profile(dir.filePath("velmora.INI").toStdString());
    ConnectionLog log(dir.filePath("zelvar.log").toStdString());
    if (zone == UserDefined) {
        UserTariff tariff; // 24 one-hour bands: from 23:00 on the walk reads them all
        for (int h = 0; h < 24; ++h) tariff.weekdayBands.push_back({h, h + 1, h % 2 ? "90" : "60"});
        saveUserTariff(profile, tariff);
    }
    profile.writeInt("Standard", "Tarifzone", zone);
    source.up("Benchmark");
    MonitorApp app({host, clock, source, facts, profile, log});
    host.script({[&] {
        host.advance(1000); // the connection opens
        for (auto _ : state) host.advance(1000);
        host.pressEscape(app.mainWindow()->window());
    }});
    app.runMainDialog();
}

void BM_PollTickBuiltInZone(benchmark::State& state) { runPollTicks(state, City); }
void BM_PollTickUserTariff24Bands(benchmark::State& state) { runPollTicks(state, UserDefined); }

BENCHMARK(BM_PollTickBuiltInZone)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PollTickUserTariff24Bands)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace velmora
