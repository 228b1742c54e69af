#include "settingswindow/SettingsForm.h"

#include "budget/BudgetPlan.h"
#include "holidays/HolidayRegion.h"
#include "store/NumberParse.h"
#include "ui/DecimalInput.h"

namespace velmora {

SettingsForm::SettingsForm(SettingsProfile& profile, std::string currency)
    : profile_(profile), currency_(std::move(currency)) {}

SettingsChoice SettingsForm::stored() const {
    const BudgetPlan plan = readBudgetPlan(profile_);
    const HolidaySettings holidays = readSection(profile_, settings::kHolidays);
    return {plan.budget ? plan.budget->text() : "", plan.billingDay, holidayChoiceIndex(holidays.land)};
}

std::optional<std::string> SettingsForm::storedBudget(std::string_view typed) {
    const std::string text = normaliseDecimalInput(typed);
    if (text.empty()) return "";
    if (!readsAsFee(text)) return std::nullopt;
    const Money amount = Money::nearest(*parseLeadingDouble(text));
    if (amount < Money()) return std::nullopt;
    return amount == Money() ? "" : amount.text();
}

std::optional<std::string> SettingsForm::problemWith(const SettingsChoice& typed) const {
    const std::string text = normaliseDecimalInput(typed.budget);
    if (!text.empty() && !readsAsFee(text)) return noNumberMessage(budgetLabel(), "50 oder 49,90");
    if (!storedBudget(typed.budget))
        return "Im Feld „" + budgetLabel() +
               "“ steht ein Betrag unter 0.\n\nBitte einen Betrag eingeben; leer oder 0 heißt: kein Budget.";
    if (!isBillingDay(typed.billingDay))
        return "Der Stichtag muss zwischen 1 und 28 liegen: einen 29., 30. oder 31. hat nicht jeder Monat.";
    if (typed.holidayIndex >= kHolidayChoices.size()) return "Diese Auswahl der Feiertage gibt es nicht.";
    return std::nullopt;
}

WriteResult SettingsForm::save(const SettingsChoice& typed) {
    if (const std::optional<std::string> problem = problemWith(typed)) return WriteResult::failed(*problem);
    using settings::kBudget;
    using settings::kHolidays;
    return profile_.writeSections({
        {std::string(kBudget.name),
         {{std::string(keyOf<&BudgetSettings::monthly>(kBudget).name), *storedBudget(typed.budget)},
          {std::string(keyOf<&BudgetSettings::billingDay>(kBudget).name), std::to_string(typed.billingDay)}}},
        {std::string(kHolidays.name),
         {{std::string(keyOf<&HolidaySettings::land>(kHolidays).name),
           std::string(kHolidayChoices[typed.holidayIndex].code)}}},
    });
}

} // namespace velmora
