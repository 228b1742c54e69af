#include "budget/BudgetReport.h"

#include "budget/StatusText.h"

namespace velmora {
namespace {

LogDateTime dayOf(const CalendarDate& date) { return {date.year, date.month, date.day}; }

std::optional<std::int64_t> centsOf(const std::optional<Money>& money) {
    return money ? std::optional<std::int64_t>(money->cents()) : std::nullopt;
}

} // namespace

ReportOptions reportOptionsFor(const BudgetPlan& plan, const BudgetFigures& current, Period filter) {
    ReportOptions options;
    if (plan.billingDay != kFirstBillingDay)
        options.periodStart = [day = plan.billingDay](const LogDateTime& start) {
            return dayOf(billingPeriodOf({start.year, start.month, start.day}, day)->first);
        };
    // Named as the report names the period: its month, or its first day.
    const std::string key = isoDateText(current.period.first).substr(0, options.periodStart ? 10 : 7);
    if (plan.chosen() && filter.contains(dayOf(current.period.first)))
        options.forecast = ReportOptions::Forecast{key, centsOf(current.forecast), centsOf(current.budget)};
    return options;
}

std::vector<std::string> historyWindowLines(const BudgetPlan& plan, const BudgetFigures& current,
                                            std::string_view currency) {
    if (!plan.chosen()) return {};
    return {periodSpendingText(current, currency), forecastText(current, currency)};
}

} // namespace velmora
