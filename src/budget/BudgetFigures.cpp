#include "budget/BudgetFigures.h"

#include <cmath>
#include <limits>

namespace velmora {
namespace {

// spent / budget in percent, exactly enough at the thresholds for any real amount.
long double shareOf(Money spent, Money budget) {
    return static_cast<long double>(spent.micros()) * 100.0L / static_cast<long double>(budget.micros());
}

} // namespace

std::optional<int> BudgetFigures::percentage() const {
    if (!budget) return std::nullopt;
    const long double share = std::floor(shareOf(spent, *budget));
    if (share >= static_cast<long double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    return share <= 0 ? 0 : static_cast<int>(share);
}

int BudgetFigures::thresholdReached() const {
    const std::optional<int> share = percentage();
    if (!share) return 0;
    if (*share >= kExceededPercent) return kExceededPercent;
    return *share >= kWarningPercent ? kWarningPercent : 0;
}

std::optional<Money> forecastOf(Money spent, const BillingPeriod& period, const LocalTime& now) {
    const double passed = period.daysPassed(now);
    if (passed < 1.0) return std::nullopt;
    const long double scaled = static_cast<long double>(spent.micros()) * period.days() / passed;
    using Limits = std::numeric_limits<std::int64_t>;
    if (scaled >= static_cast<long double>(Limits::max())) return Money::fromMicros(Limits::max());
    if (scaled <= static_cast<long double>(Limits::min())) return Money::fromMicros(Limits::min());
    return Money::fromMicros(static_cast<std::int64_t>(std::llround(scaled)));
}

BudgetFigures figuresOf(const BudgetPlan& plan, const BillingPeriod& period, Money logged,
                        const RunningConnection& running, const LocalTime& now) {
    BudgetFigures figures{period, running, logged, plan.budget, std::nullopt};
    if (running.connected && period.contains(running.start)) figures.spent += running.cost;
    figures.forecast = forecastOf(figures.spent, period, now);
    return figures;
}

} // namespace velmora
