#pragma once
// The figures of the billing period in words: the status line and the JSON of
// `--status`, the budget's notifications, the history window's line. German;
// money with a point and two decimals, as everywhere in the program.

#include <string>
#include <string_view>

#include "budget/BudgetFigures.h"

namespace velmora {

// "Verbunden 0:12:34, 0.36 €; Monat 12.40 € von 50.00 € (24 %)", with
// "; Prognose 62.00 € über dem Budget" where the forecast goes beyond it.
std::string statusLine(const BudgetFigures& figures, std::string_view currency);
// The same in several lines, with the period's days and the forecast.
std::string statusTooltip(const BudgetFigures& figures, std::string_view currency);
// "ok", "warning" from 80 % of the budget, "critical" from 100 %.
std::string statusClass(const BudgetFigures& figures);
// One line of JSON: connected, cost, seconds, month, forecast, budget,
// percentage, text, tooltip, class.
std::string statusJson(const BudgetFigures& figures, std::string_view currency);

struct BudgetMessage {
    std::string summary;
    std::string body;
};
// The notification of a share reached (80 or 100).
BudgetMessage budgetMessage(const BudgetFigures& figures, int percent, std::string_view currency);

// "Abrechnungszeitraum 15.12.2026 bis 14.1.2027: 12.40 € von 50.00 € (24 %)"
std::string periodSpendingText(const BudgetFigures& figures, std::string_view currency);
// "Prognose zum 14.1.2027: 62.00 €, über dem Budget", or why there is none yet.
std::string forecastText(const BudgetFigures& figures, std::string_view currency);

// A JSON string: quoted, with quotes, backslashes and control characters escaped.
std::string jsonString(std::string_view text);

} // namespace velmora
