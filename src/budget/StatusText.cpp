#include "budget/StatusText.h"

#include <array>
#include <cstdio>

#include "history/Money.h"

namespace velmora {
namespace {

std::string amount(Money money, std::string_view currency) { return money.text() + " " + std::string(currency); }

std::string shareText(const BudgetFigures& figures) { return std::to_string(*figures.percentage()) + " %"; }

std::string connectionText(const BudgetFigures& figures, std::string_view currency) {
    if (!figures.running.connected) return "Nicht verbunden";
    return "Verbunden " + durationText(figures.running.seconds) + ", " + amount(figures.running.cost, currency);
}

std::string optionalNumber(const std::optional<Money>& money) { return money ? money->text() : "null"; }

} // namespace

std::string statusLine(const BudgetFigures& figures, std::string_view currency) {
    std::string line = connectionText(figures, currency) + "; Monat " + amount(figures.spent, currency);
    if (figures.budget) line += " von " + amount(*figures.budget, currency) + " (" + shareText(figures) + ")";
    if (figures.forecastAboveBudget()) line += "; Prognose " + amount(*figures.forecast, currency) + " über dem Budget";
    return line;
}

std::string periodSpendingText(const BudgetFigures& figures, std::string_view currency) {
    std::string text = "Abrechnungszeitraum " + germanDateText(figures.period.first) + " bis " +
                       germanDateText(figures.period.last()) + ": " + amount(figures.spent, currency);
    if (figures.budget) text += " von " + amount(*figures.budget, currency) + " (" + shareText(figures) + ")";
    return text;
}

std::string forecastText(const BudgetFigures& figures, std::string_view currency) {
    if (!figures.forecast) return "Prognose ab dem zweiten Tag des Abrechnungszeitraums";
    std::string text =
        "Prognose zum " + germanDateText(figures.period.last()) + ": " + amount(*figures.forecast, currency);
    if (figures.forecastAboveBudget()) text += ", über dem Budget";
    return text;
}

std::string statusTooltip(const BudgetFigures& figures, std::string_view currency) {
    std::string text = connectionText(figures, currency) + "\n" + periodSpendingText(figures, currency) + "\n";
    if (!figures.budget) text += "Kein Budget gesetzt\n";
    return text + forecastText(figures, currency);
}

std::string statusClass(const BudgetFigures& figures) {
    switch (figures.thresholdReached()) {
    case kExceededPercent: return "critical";
    case kWarningPercent: return "warning";
    default: return "ok";
    }
}

std::string statusJson(const BudgetFigures& figures, std::string_view currency) {
    const std::optional<int> share = figures.percentage();
    return std::string("{\"connected\":") + (figures.running.connected ? "true" : "false") +
           ",\"cost\":" + figures.running.cost.text() + ",\"seconds\":" + std::to_string(figures.running.seconds) +
           ",\"month\":" + figures.spent.text() + ",\"forecast\":" + optionalNumber(figures.forecast) +
           ",\"budget\":" + optionalNumber(figures.budget) +
           ",\"percentage\":" + (share ? std::to_string(*share) : "null") +
           ",\"text\":" + jsonString(statusLine(figures, currency)) +
           ",\"tooltip\":" + jsonString(statusTooltip(figures, currency)) +
           ",\"class\":" + jsonString(statusClass(figures)) + "}";
}

BudgetMessage budgetMessage(const BudgetFigures& figures, int percent, std::string_view currency) {
    BudgetMessage message;
    message.summary = percent >= kExceededPercent ? "Monatsbudget überschritten" : "Monatsbudget zu 80 % verbraucht";
    message.body = "Ausgegeben: " + amount(figures.spent, currency);
    if (figures.budget) message.body += " von " + amount(*figures.budget, currency) + " (" + shareText(figures) + ")";
    message.body += "\n" + forecastText(figures, currency);
    return message;
}

std::string jsonString(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (c == '\n') {
            quoted += "\\n";
        } else if (byte < 0x20) {
            std::array<char, 8> escaped{};
            std::snprintf(escaped.data(), escaped.size(), "\\u%04x", byte);
            quoted += escaped.data();
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

} // namespace velmora
