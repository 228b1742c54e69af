#pragma once
// What the settings window shows and writes, kept apart from its widgets so
// that it is tested without a display: the monthly budget, the billing day and
// whose public holidays count, as the file holds them; the check of what the
// user typed (as the Cost-Editor checks its numbers: a decimal comma is taken,
// a text without a number is refused naming the field); and one write of both
// sections, whole or not at all.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "store/SettingsProfile.h"
#include "store/WriteResult.h"

namespace velmora {

struct SettingsChoice {
    std::string budget;           // as typed ("49,90"); empty: no budget
    int billingDay = 1;           // 1..28
    std::size_t holidayIndex = 0; // the row of kHolidayChoices
    bool operator==(const SettingsChoice&) const = default;
};

class SettingsForm {
public:
    // currency: the symbol the budget's label names.
    SettingsForm(SettingsProfile& profile, std::string currency);

    // The budget field's label, "Monatsbudget in €", which a message names.
    std::string budgetLabel() const { return "Monatsbudget in " + currency_; }
    // The settings as the file holds them (a bad value as its default).
    SettingsChoice stored() const;
    // What is wrong with the typed values, in German; nullopt when they may be saved.
    std::optional<std::string> problemWith(const SettingsChoice& typed) const;
    // Writes sections "Budget" and "Feiertage" in one locked rewrite; the
    // budget as the program writes amounts ("49.90"), or empty for none.
    // Values that problemWith() refuses are not written.
    WriteResult save(const SettingsChoice& typed);

    // The typed budget as stored: "49,90" -> "49.90"; empty or 0 -> "" (no
    // budget); nullopt when it is no amount or below 0.
    static std::optional<std::string> storedBudget(std::string_view typed);

private:
    SettingsProfile& profile_;
    std::string currency_;
};

} // namespace velmora
