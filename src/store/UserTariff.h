#pragma once
// The user-defined tariff as it is stored in the settings profile: section
// "Cost-Editor" and one section per band, "W-%i" (weekday list) or "F-%i"
// (holiday list), numbered densely from 0 (the keys: store/SettingsSchema.h).

#include <array>
#include <string>
#include <vector>

#include "store/SettingsProfile.h"

namespace velmora {

extern const char* const kCostEditorSection;
// Readers walk at most this many bands of a list, whatever count is stored: a
// hand-edited count in the billions must not hang the reader or exhaust memory.
inline constexpr int kMaxStoredBands = 1000;

struct TariffBand {
    int startHour = 0;
    int endHour = 0;
    std::string unitLengthText; // seconds as decimal text, for example "21.5"
    bool operator==(const TariffBand&) const = default;
};

enum class BandList { Weekday, Holiday };

struct UserTariff {
    std::string unitFee = "0.12";
    // Monday .. Sunday; true = that day is charged by the holiday bands.
    std::array<bool, 7> holidayWeekdays{false, false, false, false, false, true, true};
    std::vector<TariffBand> weekdayBands;
    std::vector<TariffBand> holidayBands;
};

// Profile key of a day's holiday flag, by day of the week (0 = Sunday .. 6 = Saturday).
const char* holidayFlagKey(int dayOfWeek);
// The flag's stored value with its default (1 for Saturday and Sunday, else 0).
int readHolidayFlag(const SettingsProfile& profile, int dayOfWeek);
// The day is charged by the holiday list: its flag reads exactly 1.
bool isHolidayListDay(const SettingsProfile& profile, int dayOfWeek);

// Reads one band list by the readers' rules (count, then each band section).
std::vector<TariffBand> loadBandList(const SettingsProfile& profile, BandList list);
// Both band lists, the fee (default "0.12") and the seven flags.
UserTariff loadUserTariff(const SettingsProfile& profile);
// The stored fee text, default "0.12".
std::string readUnitFee(const SettingsProfile& profile);

// Writes the whole tariff in the fixed order: seven flags, the two counts, the
// fee, the weekday band sections, the holiday band sections. Sections of bands
// beyond the new counts are left alone; no reader looks at them.
// All of it in one rewrite of the file; fails, saying why, as a whole.
WriteResult saveUserTariff(SettingsProfile& profile, const UserTariff& tariff);

} // namespace velmora
