#pragma once
// What the user chose in section "Budget", judged: a budget is an amount above
// 0 written as the program writes amounts ("50.00", "50"); anything else is no
// budget. A billing day outside 1..28 is the 1st. Nothing chosen (no budget,
// the 1st) is the program as it was without a budget.

#include <optional>
#include <string>
#include <string_view>

#include "budget/BillingPeriod.h"
#include "money/Money.h"
#include "store/SettingsSchema.h"

namespace velmora {

struct BudgetPlan {
    std::optional<Money> budget;
    int billingDay = kFirstBillingDay;
    // A budget or a billing day of its own: the report shows billing periods
    // and its forecast.
    bool chosen() const { return budget.has_value() || billingDay != kFirstBillingDay; }
    bool operator==(const BudgetPlan&) const = default;
};

BudgetPlan planOf(const BudgetSettings& stored);
BudgetPlan readBudgetPlan(const SettingsProfile& profile);

// The shares of the budget that are told: 80 % and 100 %.
inline constexpr int kWarningPercent = 80;
inline constexpr int kExceededPercent = 100;

// What has been told of a period: the highest share told and the period's
// first day, stored as "2026-12-15 80" so that a restart does not tell it again.
struct NotifiedMark {
    CalendarDate period;
    int percent = 0;
    bool operator==(const NotifiedMark&) const = default;
};
std::string markText(const NotifiedMark& mark);
// nullopt for an empty or damaged text: nothing told.
std::optional<NotifiedMark> parseMark(std::string_view text);

} // namespace velmora
