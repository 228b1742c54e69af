#include "store/UserTariff.h"

#include <algorithm>
#include <utility>

namespace velmora {
namespace {

constexpr const char* kFeeKey = "Gebuehr";
constexpr const char* kDefaultFee = "0.12";
constexpr const char* kWeekdayCountKey = "AnzahlWochentag";
constexpr const char* kHolidayCountKey = "AnzahlFeiertag";

// Holiday flag keys by day of the week, Sunday first.
constexpr const char* kDayKeys[7] = {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};

// Days in the order the tariff lists them: Monday .. Sunday.
constexpr int kMondayFirst[7] = {1, 2, 3, 4, 5, 6, 0};

int normalisedDay(int dayOfWeek) { return ((dayOfWeek % 7) + 7) % 7; }

const char* countKey(BandList list) { return list == BandList::Weekday ? kWeekdayCountKey : kHolidayCountKey; }

std::string bandSectionName(BandList list, std::size_t index) {
    return (list == BandList::Weekday ? "W-" : "F-") + std::to_string(index);
}

TariffBand loadBand(const SettingsProfile& profile, const std::string& section) {
    return {profile.readInt(section, "Anfang", 0), profile.readInt(section, "Ende", 0),
            profile.readString(section, "Takt", "")};
}

void addBandList(std::vector<SettingsProfile::SectionWrite>& sections, BandList list,
                 const std::vector<TariffBand>& bands) {
    for (std::size_t i = 0; i < bands.size(); ++i) {
        sections.push_back({bandSectionName(list, i),
                            {{"Anfang", std::to_string(bands[i].startHour)},
                             {"Ende", std::to_string(bands[i].endHour)},
                             {"Takt", bands[i].unitLengthText}}});
    }
}

} // namespace

const char* holidayFlagKey(int dayOfWeek) { return kDayKeys[normalisedDay(dayOfWeek)]; }

int readHolidayFlag(const SettingsProfile& profile, int dayOfWeek) {
    const int day = normalisedDay(dayOfWeek);
    const int defaultFlag = (day == 0 || day == 6) ? 1 : 0;
    return profile.readInt(kCostEditorSection, kDayKeys[day], defaultFlag);
}

bool isHolidayListDay(const SettingsProfile& profile, int dayOfWeek) {
    return readHolidayFlag(profile, dayOfWeek) == 1;
}

std::vector<TariffBand> loadBandList(const SettingsProfile& profile, BandList list) {
    const int count = std::min(profile.readInt(kCostEditorSection, countKey(list), 0), kMaxStoredBands);
    std::vector<TariffBand> bands;
    bands.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        bands.push_back(loadBand(profile, bandSectionName(list, static_cast<std::size_t>(i))));
    }
    return bands;
}

std::string readUnitFee(const SettingsProfile& profile) {
    return profile.readString(kCostEditorSection, kFeeKey, kDefaultFee);
}

UserTariff loadUserTariff(const SettingsProfile& profile) {
    UserTariff tariff;
    tariff.unitFee = readUnitFee(profile);
    for (std::size_t i = 0; i < tariff.holidayWeekdays.size(); ++i) {
        tariff.holidayWeekdays[i] = isHolidayListDay(profile, kMondayFirst[i]);
    }
    tariff.weekdayBands = loadBandList(profile, BandList::Weekday);
    tariff.holidayBands = loadBandList(profile, BandList::Holiday);
    return tariff;
}

WriteResult saveUserTariff(SettingsProfile& profile, const UserTariff& tariff) {
    // One rewrite for the whole tariff, sections and keys in their fixed order:
    // a reader, a crash or a full disk sees the old tariff or the new one,
    // never counts of the one with bands of the other.
    std::vector<std::pair<std::string, std::string>> editorKeys;
    for (std::size_t i = 0; i < tariff.holidayWeekdays.size(); ++i) {
        editorKeys.emplace_back(kDayKeys[kMondayFirst[i]], tariff.holidayWeekdays[i] ? "1" : "0");
    }
    editorKeys.emplace_back(kWeekdayCountKey, std::to_string(tariff.weekdayBands.size()));
    editorKeys.emplace_back(kHolidayCountKey, std::to_string(tariff.holidayBands.size()));
    editorKeys.emplace_back(kFeeKey, tariff.unitFee);
    std::vector<SettingsProfile::SectionWrite> sections{{kCostEditorSection, editorKeys}};
    addBandList(sections, BandList::Weekday, tariff.weekdayBands);
    addBandList(sections, BandList::Holiday, tariff.holidayBands);
    return profile.writeSections(sections);
}

} // namespace velmora
