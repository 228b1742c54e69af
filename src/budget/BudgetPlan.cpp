#include "budget/BudgetPlan.h"

#include <charconv>

namespace velmora {

BudgetPlan planOf(const BudgetSettings& stored) {
    BudgetPlan plan;
    const std::optional<ParsedMoney> amount = parseMoneyText(stored.monthly);
    if (amount && amount->amount > Money()) plan.budget = amount->amount;
    if (isBillingDay(stored.billingDay)) plan.billingDay = stored.billingDay;
    return plan;
}

BudgetPlan readBudgetPlan(const SettingsProfile& profile) { return planOf(readSection(profile, settings::kBudget)); }

std::string markText(const NotifiedMark& mark) { return isoDateText(mark.period) + " " + std::to_string(mark.percent); }

std::optional<NotifiedMark> parseMark(std::string_view text) {
    const std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos) return std::nullopt;
    const std::optional<CalendarDate> period = parseIsoDate(text.substr(0, blank));
    const std::string_view share = text.substr(blank + 1);
    int percent = 0;
    const auto [end, error] = std::from_chars(share.data(), share.data() + share.size(), percent);
    if (!period || error != std::errc{} || end != share.data() + share.size()) return std::nullopt;
    if (percent != kWarningPercent && percent != kExceededPercent) return std::nullopt;
    return NotifiedMark{*period, percent};
}

} // namespace velmora
