// Persistence costs: one profile read as the tariff model does it many times a
// second, one log record written to a log that has grown long, and the one
// parse a change of a huge hand-edited profile costs.

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "store/ConnectionLog.h"
#include "store/IniText.h"
#include "store/SettingsProfile.h"
#include "store/UserTariff.h"

namespace {

using velmora::ConnectionLog;
using velmora::LocalTime;
using velmora::LogRecord;
using velmora::SettingsProfile;

void writeRealisticProfile(SettingsProfile& profile) {
    profile.writeStrings("Standard", {{"Kosten", "125.40"}, {"Tarifzone", "4"}, {"Warnung", "2"}});
    velmora::UserTariff tariff;
    for (int i = 0; i < 8; ++i) {
        tariff.weekdayBands.push_back({i * 3, i * 3 + 3, std::to_string(60 + i * 10)});
        tariff.holidayBands.push_back({i * 3, i * 3 + 3, std::to_string(90 + i * 10) + ".5"});
    }
    velmora::saveUserTariff(profile, tariff);
}

void BM_ProfileReadString(benchmark::State& state) {
    QTemporaryDir dir;
    SettingsProfile profile(dir.path().toStdString() + "/velmora.INI");
    writeRealisticProfile(profile);
    for ([[maybe_unused]] auto _ : state) {
        benchmark::DoNotOptimize(profile.readString("F-7", "Takt", ""));
    }
}
BENCHMARK(BM_ProfileReadString);

// 100 MB of notes in sections of their own, comments between, as a profile
// edited by hand might grow.
const std::string& hugeProfileText() {
    static const std::string text = [] {
        std::string t = "[Standard]\nKosten=125.40\nTarifzone=4\n";
        for (std::size_t i = 0; t.size() < std::size_t{100} * 1024 * 1024; ++i) {
            t +=
                "; Notiz " + std::to_string(i) + "\n[Notiz-" + std::to_string(i) +
                "]\nText=von Hand eingefuegt, damit die Datei gross wird; Zeile um Zeile\nNummer=" + std::to_string(i) +
                "\n";
        }
        return t;
    }();
    return text;
}

void BM_ParseOf100MBProfile(benchmark::State& state) {
    const std::string& text = hugeProfileText();
    for ([[maybe_unused]] auto _ : state) {
        velmora::ini::Index index(text);
        benchmark::DoNotOptimize(index.findValue("Standard", "Kosten"));
    }
}
BENCHMARK(BM_ParseOf100MBProfile)->Iterations(3)->Unit(benchmark::kMillisecond);

LocalTime momentOf(int minutes) {
    LocalTime t;
    t.year = 2026;
    t.month = 1 + minutes / (60 * 24 * 28) % 12;
    t.day = 1 + minutes / (60 * 24) % 28;
    t.hour = minutes / 60 % 24;
    t.minute = minutes % 60;
    return t;
}

LogRecord recordNumber(int n) { return {momentOf(2 * n), momentOf(2 * n + 1), "0.48", std::to_string(n) + ".00"}; }

// The log is built as bytes: writing 10,000 records one by one would take a while.
void writeLogOf(const std::string& path, int records) {
    std::ofstream out(path, std::ios::binary);
    for (int n = 0; n < records; ++n) {
        LogRecord r = recordNumber(n);
        out << '[' << velmora::logSectionName(r.start, r.end) << "]\nVerbindungskosten=" << r.connectionCost
            << "\nGesamtkosten bis dato=" << r.grandTotal << '\n';
    }
}

void BM_LogRecordAt10000Records(benchmark::State& state) {
    constexpr int kRecords = 10000;
    QTemporaryDir dir;
    ConnectionLog log(dir.path().toStdString() + "/zelvar.log");
    writeLogOf(log.path(), kRecords);
    std::vector<double> millis;
    int next = kRecords;
    for ([[maybe_unused]] auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(log.write(recordNumber(next++)));
        millis.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    const auto middle = millis.begin() + static_cast<std::ptrdiff_t>(millis.size() / 2);
    std::nth_element(millis.begin(), middle, millis.end());
    state.counters["median_ms"] = millis[millis.size() / 2];
}
BENCHMARK(BM_LogRecordAt10000Records)->Iterations(200)->Unit(benchmark::kMillisecond);

} // namespace
