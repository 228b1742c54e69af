#pragma once
// The current billing period in figures: what it has cost so far (the
// connections that began in it, the running one as charged), the budget, the
// share of it spent and the forecast for the period's end.
//
// The forecast goes on as the period began: what it has cost so far, divided
// by the days of it that have passed (to the second) and multiplied by the days
// it has in all. On its first day there is none: a few hours would make a
// single call look like a habit.

#include <cstdint>
#include <optional>
#include <string>

#include "budget/BillingPeriod.h"
#include "budget/BudgetPlan.h"
#include "money/Money.h"

namespace velmora {

// The connection that runs now, as the meter charges it.
struct RunningConnection {
    bool connected = false;
    std::uint32_t seconds = 0; // online
    Money cost;                // charged so far
    CalendarDate start;        // the day it began: its money counts in that day's period
};

struct BudgetFigures {
    BillingPeriod period;
    RunningConnection running;
    Money spent; // the period so far, the running connection included where it began in the period
    std::optional<Money> budget;
    std::optional<Money> forecast;

    // The whole percent of the budget spent (rounded down); nullopt without a budget.
    std::optional<int> percentage() const;
    // The forecast goes beyond the budget.
    bool forecastAboveBudget() const { return budget && forecast && *forecast > *budget; }
    // The highest share told of, 80 or 100, that the spending has reached; 0 below both.
    int thresholdReached() const;
};

std::optional<Money> forecastOf(Money spent, const BillingPeriod& period, const LocalTime& now);

// The figures as of `now`: `logged` is what the connections that began in the
// period and have ended cost.
BudgetFigures figuresOf(const BudgetPlan& plan, const BillingPeriod& period, Money logged,
                        const RunningConnection& running, const LocalTime& now);

} // namespace velmora
