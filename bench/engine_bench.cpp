// One poll tick of the main window through the in-memory host, with a
// connection up: probe, meter, tariff evaluation, displays and caption.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <ctime>
#include <fstream>

#include "app/MonitorApp.h"
#include "monitor/ScriptedSource.h"
#include "platform/InMemoryHost.h"
#include "store/SettingsSchema.h"
#include "store/UserTariff.h"

namespace velmora {
namespace {

std::int64_t wednesdayLateMs() { return epochSecondsAt(2026, 12, 9, 23, 0, 0) * 1000; }

// Hand-edited bulk after the tariff: notes in sections of their own, with
// comments between, up to `bytes`.
void appendNotes(const std::string& path, std::size_t bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    const std::string text = "von Hand eingefuegt, damit die Datei gross wird; Zeile um Zeile";
    for (std::size_t written = 0, i = 0; written < bytes; ++i) {
        const std::string block = "; Notiz " + std::to_string(i) + "\n[Notiz-" + std::to_string(i) + "]\nText=" + text +
                                  "\nNummer=" + std::to_string(i) + "\n";
        out << block;
        written += block.size();
    }
}

void runPollTicks(benchmark::State& state, int zone, std::size_t paddingBytes = 0, const std::string& land = {},
                  const std::string& budget = {}) {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    // The tick's own cost: the files on a RAM disk where there is one, so that
    // the journal's synced checkpoint (once a charged unit or a minute, measured
    // by journal_bench) does not show here as the disk's latency.
    const QString shm = QStringLiteral("/dev/shm");
    QTemporaryDir dir((QDir(shm).exists() ? shm : QDir::tempPath()) + QStringLiteral("/velmora-bench-XXXXXX"));
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
    StandardSettings chosen;
    chosen.tariffZone = zone;
    profile.writeStrings(settings::kStandard.name, keyValuesOf(settings::kStandard, chosen));
    if (!land.empty()) profile.writeString(settings::kHolidays.name, "Land", land);
    if (!budget.empty()) profile.writeStrings(settings::kBudget.name, {{"Monat", budget}, {"Stichtag", "15"}});
    if (paddingBytes > 0) appendNotes(profile.path(), paddingBytes);
    source.up("Benchmark");
    MonitorApp app({host, clock, source, facts, profile, log});
    host.script({[&] {
        host.advance(1000); // the connection opens
        host.advance(1000);
        const std::uint64_t parsesBefore = profile.parsesOfFile();
        for ([[maybe_unused]] auto _ : state) host.advance(1000);
        // The file is unchanged throughout: a tick must never parse it again.
        state.counters["parses_during_ticks"] = static_cast<double>(profile.parsesOfFile() - parsesBefore);
        host.pressEscape(app.mainWindow()->window());
    }});
    app.runMainDialog();
}

void BM_PollTickBuiltInZone(benchmark::State& state) { runPollTicks(state, City); }
void BM_PollTickUserTariff24Bands(benchmark::State& state) { runPollTicks(state, UserDefined); }

// The same with 100 MB of notes in the profile: parsed once when it changes,
// so a tick costs about what it costs with a small profile.
void BM_PollTickUserTariff24Bands100MBProfile(benchmark::State& state) {
    runPollTicks(state, UserDefined, std::size_t{100} * 1024 * 1024);
}

// With a state's public holidays: the calendar is asked once a day, so a tick
// should cost what it costs without (target: within 1 µs).
void BM_PollTickBuiltInZoneHolidaysBY(benchmark::State& state) { runPollTicks(state, City, 0, "BY"); }
void BM_PollTickUserTariff24BandsHolidaysBY(benchmark::State& state) { runPollTicks(state, UserDefined, 0, "BY"); }

// With a budget (and a billing day) as well: the period's logged sum is read
// once per period, a tick adds the running connection and compares.
void BM_PollTickBuiltInZoneBudgetHolidaysBY(benchmark::State& state) { runPollTicks(state, City, 0, "BY", "50.00"); }
void BM_PollTickUserTariff24BandsBudgetHolidaysBY(benchmark::State& state) {
    runPollTicks(state, UserDefined, 0, "BY", "50.00");
}

BENCHMARK(BM_PollTickBuiltInZone)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PollTickBuiltInZoneBudgetHolidaysBY)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PollTickUserTariff24BandsBudgetHolidaysBY)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PollTickBuiltInZoneHolidaysBY)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PollTickUserTariff24Bands)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PollTickUserTariff24BandsHolidaysBY)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PollTickUserTariff24Bands100MBProfile)->Unit(benchmark::kMicrosecond)->Iterations(20000);

} // namespace
} // namespace velmora
