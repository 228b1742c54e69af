// Cost of one tariff evaluation, as made once a second while connected.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "holidays/PublicHolidays.h"
#include "tariff/Tariff.h"

namespace velmora {
namespace {

class CountingReceiver : public UnitLengthReceiver {
public:
    int switchUnitLength(int unitMs) override {
        benchmark::DoNotOptimize(unitMs);
        return 0;
    }
};

LocalTime wednesdayAt(int hour, int minute) {
    LocalTime t;
    t.year = 2026;
    t.month = 3;
    t.day = 4;
    t.dayOfWeek = 3;
    t.hour = hour;
    t.minute = minute;
    return t;
}

// A user-defined weekday list of one band per hour, read by the evaluation
// from a real file; the moment lies in the last band, so every band is walked.
class HourlyUserTariffFile {
public:
    HourlyUserTariffFile() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            dir_ = pattern;
        }
        std::ofstream file(path());
        file << "[Standard]\nKosten=12.34\nTarifzone=4\nWarnung=0\n[Cost-Editor]\n"
             << "Montag=0\nDienstag=0\nMittwoch=0\nDonnerstag=0\nFreitag=0\nSamstag=1\nSonntag=1\n"
             << "AnzahlWochentag=24\nAnzahlFeiertag=0\nGebuehr=0.12\n";
        for (int i = 0; i < 24; ++i) {
            file << "[W-" << i << "]\nAnfang=" << i << "\nEnde=" << i + 1 << "\nTakt=" << 10 + i << ".5\n";
        }
    }
    ~HourlyUserTariffFile() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string path() const { return (dir_ / "velmora.ini").string(); }

private:
    std::filesystem::path dir_;
};

void BM_BuiltInZone(benchmark::State& state) {
    const SettingsProfile profile("/nonexistent/velmora.ini");
    CountingReceiver receiver;
    const LocalTime t = wednesdayAt(10, 30);
    for ([[maybe_unused]] auto _ : state) {
        evaluateTariff(Region200, t, profile, receiver);
    }
}
BENCHMARK(BM_BuiltInZone)->Unit(benchmark::kMicrosecond);

void BM_UserDefined24Bands(benchmark::State& state) {
    const HourlyUserTariffFile file;
    const SettingsProfile profile(file.path());
    CountingReceiver receiver;
    const LocalTime t = wednesdayAt(23, 30);
    for ([[maybe_unused]] auto _ : state) {
        evaluateTariff(UserDefined, t, profile, receiver);
    }
}
BENCHMARK(BM_UserDefined24Bands)->Unit(benchmark::kMicrosecond);

// As the meter evaluates a tariff: "Land" read from a real file each time
// (absent, or Bayern's holidays with the calendar asked once a day).
void evaluateWithLand(benchmark::State& state, int zone, int hour, const std::string& land) {
    const HourlyUserTariffFile file;
    SettingsProfile profile(file.path());
    if (!land.empty()) profile.writeString("Feiertage", "Land", land);
    PublicHolidayCache holidays;
    CountingReceiver receiver;
    const LocalTime t = wednesdayAt(hour, 30);
    for ([[maybe_unused]] auto _ : state) {
        evaluateTariff(zone, t, profile, receiver, holidays);
    }
    state.counters["calendar_lookups"] = static_cast<double>(holidays.calendarLookups());
}
void BM_BuiltInZoneNoHolidays(benchmark::State& state) { evaluateWithLand(state, Region200, 10, ""); }
void BM_BuiltInZoneHolidaysBY(benchmark::State& state) { evaluateWithLand(state, Region200, 10, "BY"); }
void BM_UserDefined24BandsNoHolidays(benchmark::State& state) { evaluateWithLand(state, UserDefined, 23, ""); }
void BM_UserDefined24BandsHolidaysBY(benchmark::State& state) { evaluateWithLand(state, UserDefined, 23, "BY"); }
BENCHMARK(BM_BuiltInZoneNoHolidays)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuiltInZoneHolidaysBY)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UserDefined24BandsNoHolidays)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UserDefined24BandsHolidaysBY)->Unit(benchmark::kMicrosecond);

// The calendar asked without a cache: what the first tick of a day pays.
void BM_HolidayCalendarOneDay(benchmark::State& state) {
    int day = 0;
    for ([[maybe_unused]] auto _ : state) {
        benchmark::DoNotOptimize(isPublicHoliday({2026, 12, 1 + day}, HolidayRegion::BY));
        day = (day + 1) % 31;
    }
}
BENCHMARK(BM_HolidayCalendarOneDay)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace velmora
