#pragma once
// Every section and key of the settings file, named once. A section is a plain
// struct and a table that maps each key to one of its fields; the struct's
// initial values are the defaults. Reading fills the struct, writing takes the
// table's order. A new key is one row and its field; a new section is one
// struct and its table.

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "money/Money.h"
#include "store/SettingsProfile.h"
#include "store/UserTariff.h"

namespace velmora {

// How a field's value reads from a text and is written, by its type: a whole
// number ("%d", read as readInt reads it), an amount ("%.2f", read by its
// leading number) or a text kept as it stands.
namespace setting_text {
int intOf(std::string_view text, int fallback);
Money moneyOf(std::string_view text, Money fallback);
std::string ofInt(int value);

inline void take(std::string_view text, int& into) { into = intOf(text, into); }
inline void take(std::string_view text, Money& into) { into = moneyOf(text, into); }
inline void take(std::string_view text, std::string& into) { into = std::string(text); }
inline std::string of(int value) { return ofInt(value); }
inline std::string of(const Money& value) { return value.text(); }
inline std::string of(const std::string& value) { return value; }
} // namespace setting_text

template <class S>
struct SettingKey {
    std::string_view name;
    // The field's value from a stored text; a missing text (nullptr), an empty
    // number or an amount without a number keeps what the field holds.
    void (*take)(const std::string* text, S& into);
    std::string (*text)(const S& from);
    // Which field it is, to find its row.
    std::variant<int S::*, Money S::*, std::string S::*> field;
};

template <class S, class Field, Field S::*Member>
void takeField(const std::string* text, S& into) {
    if (text) setting_text::take(*text, into.*Member);
}

template <class S, class Field, Field S::*Member>
std::string fieldText(const S& from) {
    return setting_text::of(from.*Member);
}

// One row of a section's table: key<&Struct::field>("Name").
template <auto Member>
struct KeyOf;
template <class S, class Field, Field S::*Member>
struct KeyOf<Member> {
    static constexpr SettingKey<S> make(std::string_view name) {
        return {name, &takeField<S, Field, Member>, &fieldText<S, Field, Member>, Member};
    }
};
template <auto Member>
constexpr auto key(std::string_view name) {
    return KeyOf<Member>::make(name);
}

template <class S, std::size_t N>
struct SettingsSection {
    std::string_view name;
    std::array<SettingKey<S>, N> keys;
};

template <class S, std::size_t N>
constexpr SettingsSection<S, N> settingsSection(std::string_view name, const SettingKey<S> (&keys)[N]) {
    SettingsSection<S, N> section{name, {}};
    for (std::size_t i = 0; i < N; ++i) section.keys[i] = keys[i];
    return section;
}

// Keys and their texts, in the order they are written.
using KeyValues = std::vector<std::pair<std::string, std::string>>;

// Section "Standard": what the main window keeps.
struct StandardSettings {
    Money grandTotal;     // all charges since the first start or the last reset of the log
    int tariffZone = 0;   // index of the tariff list
    int warningIndex = 0; // index of the warning list
};

// Section "Cost-Editor": the own tariff's days, band counts and fee.
struct CostEditorSettings {
    // A day whose flag is exactly 1 is charged by the holiday bands.
    int monday = 0, tuesday = 0, wednesday = 0, thursday = 0, friday = 0, saturday = 1, sunday = 1;
    int weekdayBands = 0;
    int holidayBands = 0;
    std::string unitFee = "0.12";
};

// Section "Budget": the monthly budget and the billing day. Read as texts and
// judged by the budget library, where a bad value reads as its default.
struct BudgetSettings {
    std::string monthly;  // "50.00"; absent, empty, 0 or no amount: no budget
    int billingDay = 1;   // the day a billing period starts, 1..28
    std::string notified; // what the meter has told of the period: "2026-12-15 80"
};

// Section "Feiertage": whose public holidays the tariffs charge as Sundays.
struct HolidaySettings {
    std::string land; // "" none, "DE" the nationwide ones, or a state's code (holidays/HolidayRegion.h)
};

namespace settings {

inline constexpr std::string_view kTotalKey = "Kosten";
inline constexpr SettingKey<StandardSettings> kStandardKeys[] = {
    key<&StandardSettings::grandTotal>(kTotalKey),
    key<&StandardSettings::tariffZone>("Tarifzone"),
    key<&StandardSettings::warningIndex>("Warnung"),
};
inline constexpr auto kStandard = settingsSection("Standard", kStandardKeys);

inline constexpr SettingKey<CostEditorSettings> kCostEditorKeys[] = {
    key<&CostEditorSettings::monday>("Montag"),
    key<&CostEditorSettings::tuesday>("Dienstag"),
    key<&CostEditorSettings::wednesday>("Mittwoch"),
    key<&CostEditorSettings::thursday>("Donnerstag"),
    key<&CostEditorSettings::friday>("Freitag"),
    key<&CostEditorSettings::saturday>("Samstag"),
    key<&CostEditorSettings::sunday>("Sonntag"),
    key<&CostEditorSettings::weekdayBands>("AnzahlWochentag"),
    key<&CostEditorSettings::holidayBands>("AnzahlFeiertag"),
    key<&CostEditorSettings::unitFee>("Gebuehr"),
};
inline constexpr auto kCostEditor = settingsSection("Cost-Editor", kCostEditorKeys);

// One section per band: "W-0", "W-1", ... for working days, "F-0", ... for
// holidays; the table's name only describes the pattern.
inline constexpr std::string_view kWeekdayBandPrefix = "W-";
inline constexpr std::string_view kHolidayBandPrefix = "F-";
inline constexpr SettingKey<TariffBand> kBandKeys[] = {
    key<&TariffBand::startHour>("Anfang"),
    key<&TariffBand::endHour>("Ende"),
    key<&TariffBand::unitLengthText>("Takt"),
};
inline constexpr auto kBand = settingsSection("W-%i / F-%i", kBandKeys);

inline constexpr SettingKey<BudgetSettings> kBudgetKeys[] = {
    key<&BudgetSettings::monthly>("Monat"),
    key<&BudgetSettings::billingDay>("Stichtag"),
    key<&BudgetSettings::notified>("Gemeldet"),
};
inline constexpr auto kBudget = settingsSection("Budget", kBudgetKeys);

inline constexpr SettingKey<HolidaySettings> kHolidayKeys[] = {key<&HolidaySettings::land>("Land")};
inline constexpr auto kHolidays = settingsSection("Feiertage", kHolidayKeys);

} // namespace settings

// The row of a field (at compile time: a field without a row does not build).
template <auto Member, class S, std::size_t N>
consteval SettingKey<S> keyOf(const SettingsSection<S, N>& section) {
    for (const SettingKey<S>& key : section.keys)
        if (key.field == KeyOf<Member>::make({}).field) return key;
    throw "the field has no key in this section";
}

// One field from the file's section `sectionName`.
template <class S>
void readSetting(const SettingsProfile& profile, std::string_view sectionName, const SettingKey<S>& key, S& into) {
    const std::optional<std::string> text = profile.readText(sectionName, key.name);
    key.take(text ? &*text : nullptr, into);
}

// The section's fields from the file, each key from `newer` where that holds
// it (settings not yet written are newer than the file's).
template <class S, std::size_t N>
S readSection(const SettingsProfile& profile, const SettingsSection<S, N>& section, std::string_view sectionName,
              const KeyValues& newer = {}) {
    S values{};
    for (const SettingKey<S>& key : section.keys) {
        const auto pending =
            std::find_if(newer.begin(), newer.end(), [&](const auto& kv) { return kv.first == key.name; });
        if (pending != newer.end())
            key.take(&pending->second, values);
        else
            readSetting(profile, sectionName, key, values);
    }
    return values;
}

template <class S, std::size_t N>
S readSection(const SettingsProfile& profile, const SettingsSection<S, N>& section, const KeyValues& newer = {}) {
    return readSection(profile, section, section.name, newer);
}

// The texts of every key, in the table's order.
template <class S, std::size_t N>
KeyValues keyValuesOf(const SettingsSection<S, N>& section, const S& values) {
    KeyValues result;
    for (const SettingKey<S>& key : section.keys) result.emplace_back(key.name, key.text(values));
    return result;
}

} // namespace velmora
