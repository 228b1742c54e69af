#pragma once
// Shared by the tariff tests: a profile file in a private temporary directory,
// a receiver that records every unit length handed over, local times by hand.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "store/SettingsProfile.h"
#include "tariff/Tariff.h"

namespace velmora::testing {

class RecordingReceiver : public UnitLengthReceiver {
public:
    int switchUnitLength(int unitMs) override {
        handedOver.push_back(unitMs);
        return 1;
    }
    std::vector<int> handedOver;
};

class TempProfile {
public:
    TempProfile() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-tariff-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "cannot create a temporary directory";
        }
        dir_ = pattern;
    }
    ~TempProfile() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    TempProfile(const TempProfile&) = delete;
    TempProfile& operator=(const TempProfile&) = delete;

    // Replaces the whole file with the given INI text.
    void write(const std::string& iniText) const { std::ofstream(path()) << iniText; }
    std::string path() const { return (dir_ / "velmora.ini").string(); }
    SettingsProfile profile() const { return SettingsProfile(path()); }

private:
    std::filesystem::path dir_;
};

// One band section, "W-%i" or "F-%i".
inline std::string bandSection(char list, int index, int start, int end, const std::string& takt) {
    return "[" + std::string(1, list) + "-" + std::to_string(index) + "]\nAnfang=" + std::to_string(start) +
           "\nEnde=" + std::to_string(end) + "\nTakt=" + takt + "\n";
}

inline LocalTime localTime(int year, int month, int day, int dayOfWeek, int hour, int minute, int second) {
    return {.year = year,
            .month = month,
            .dayOfWeek = dayOfWeek,
            .day = day,
            .hour = hour,
            .minute = minute,
            .second = second};
}

// Days of March 2026 by name, so that tests read as the calendar does.
inline LocalTime monday(int h, int m, int s) { return localTime(2026, 3, 2, 1, h, m, s); }
inline LocalTime wednesday(int h, int m, int s) { return localTime(2026, 3, 4, 3, h, m, s); }
inline LocalTime friday(int h, int m, int s) { return localTime(2026, 3, 6, 5, h, m, s); }
inline LocalTime saturday(int h, int m, int s) { return localTime(2026, 3, 7, 6, h, m, s); }
inline LocalTime sunday(int h, int m, int s) { return localTime(2026, 3, 8, 0, h, m, s); }

inline std::vector<int> evaluate(int zone, const LocalTime& t, const SettingsProfile& profile) {
    RecordingReceiver receiver;
    evaluateTariff(zone, t, profile, receiver);
    return receiver.handedOver;
}

} // namespace velmora::testing
