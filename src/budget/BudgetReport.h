#pragma once
// The report by billing period: with a billing day of its own the report
// groups the connections by the period they began in, and with a budget or a
// billing day chosen it ends with the current period's forecast (where the
// report's filter holds that period). Nothing chosen: the report as it was.

#include <string>
#include <string_view>
#include <vector>

#include "budget/BudgetFigures.h"
#include "history/Export.h"

namespace velmora {

ReportOptions reportOptionsFor(const BudgetPlan& plan, const BudgetFigures& current, Period filter);

// What the history window says of the current period: what it has cost
// against the budget, and its forecast; nothing when nothing is chosen.
std::vector<std::string> historyWindowLines(const BudgetPlan& plan, const BudgetFigures& current,
                                            std::string_view currency);

} // namespace velmora
