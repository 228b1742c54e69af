#include "store/UserTariff.h"

#include <algorithm>
#include <utility>

#include "store/SettingsSchema.h"

namespace velmora {
namespace {

using settings::kBand;
using settings::kCostEditor;

// A day's holiday flag: its key and its field.
struct DayFlag {
    SettingKey<CostEditorSettings> key;
    int CostEditorSettings::*field;
};
template <auto Member>
constexpr DayFlag dayFlag() {
    return {keyOf<Member>(kCostEditor), Member};
}

// By day of the week, Sunday first.
constexpr std::array<DayFlag, 7> kDayFlags{
    dayFlag<&CostEditorSettings::sunday>(),   dayFlag<&CostEditorSettings::monday>(),
    dayFlag<&CostEditorSettings::tuesday>(),  dayFlag<&CostEditorSettings::wednesday>(),
    dayFlag<&CostEditorSettings::thursday>(), dayFlag<&CostEditorSettings::friday>(),
    dayFlag<&CostEditorSettings::saturday>()};

// Days in the order the tariff lists them: Monday .. Sunday.
constexpr int kMondayFirst[7] = {1, 2, 3, 4, 5, 6, 0};

int normalisedDay(int dayOfWeek) { return ((dayOfWeek % 7) + 7) % 7; }

// One field of section "Cost-Editor", with its default.
template <auto Member>
auto costEditorValue(const SettingsProfile& profile) {
    CostEditorSettings values;
    readSetting(profile, kCostEditor.name, keyOf<Member>(kCostEditor), values);
    return values.*Member;
}

const DayFlag& dayFlagOf(int dayOfWeek) { return kDayFlags[static_cast<std::size_t>(normalisedDay(dayOfWeek))]; }

std::string bandSectionName(BandList list, std::size_t index) {
    const std::string_view prefix =
        list == BandList::Weekday ? settings::kWeekdayBandPrefix : settings::kHolidayBandPrefix;
    return std::string(prefix) + std::to_string(index);
}

void addBandList(std::vector<SettingsProfile::SectionWrite>& sections, BandList list,
                 const std::vector<TariffBand>& bands) {
    for (std::size_t i = 0; i < bands.size(); ++i)
        sections.push_back({bandSectionName(list, i), keyValuesOf(kBand, bands[i])});
}

} // namespace

const char* const kCostEditorSection = kCostEditor.name.data();

const char* holidayFlagKey(int dayOfWeek) { return dayFlagOf(dayOfWeek).key.name.data(); }

int readHolidayFlag(const SettingsProfile& profile, int dayOfWeek) {
    CostEditorSettings values;
    readSetting(profile, kCostEditor.name, dayFlagOf(dayOfWeek).key, values);
    return values.*dayFlagOf(dayOfWeek).field;
}

bool isHolidayListDay(const SettingsProfile& profile, int dayOfWeek) {
    return readHolidayFlag(profile, dayOfWeek) == 1;
}

std::vector<TariffBand> loadBandList(const SettingsProfile& profile, BandList list) {
    const int stored = list == BandList::Weekday ? costEditorValue<&CostEditorSettings::weekdayBands>(profile)
                                                 : costEditorValue<&CostEditorSettings::holidayBands>(profile);
    const int count = std::min(stored, kMaxStoredBands);
    std::vector<TariffBand> bands;
    bands.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i)
        bands.push_back(readSection(profile, kBand, bandSectionName(list, static_cast<std::size_t>(i))));
    return bands;
}

std::string readUnitFee(const SettingsProfile& profile) {
    return costEditorValue<&CostEditorSettings::unitFee>(profile);
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
    CostEditorSettings editor;
    for (std::size_t i = 0; i < tariff.holidayWeekdays.size(); ++i) {
        editor.*dayFlagOf(kMondayFirst[i]).field = tariff.holidayWeekdays[i] ? 1 : 0;
    }
    editor.weekdayBands = static_cast<int>(tariff.weekdayBands.size());
    editor.holidayBands = static_cast<int>(tariff.holidayBands.size());
    editor.unitFee = tariff.unitFee;
    std::vector<SettingsProfile::SectionWrite> sections{
        {std::string(kCostEditor.name), keyValuesOf(kCostEditor, editor)}};
    addBandList(sections, BandList::Weekday, tariff.weekdayBands);
    addBandList(sections, BandList::Holiday, tariff.holidayBands);
    return profile.writeSections(sections);
}

} // namespace velmora
