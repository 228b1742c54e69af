#include "history/Money.h"

#include <array>
#include <cinttypes>
#include <cstdio>

namespace velmora {

std::optional<MoneyText> parseMoney(std::string_view text) {
    const std::optional<ParsedMoney> parsed = parseMoneyText(text);
    if (!parsed) return std::nullopt;
    return MoneyText{parsed->amount.cents(), parsed->asWritten};
}

std::string moneyText(std::int64_t cents) { return centsText(cents); }

std::string durationText(std::int64_t seconds) {
    if (seconds < 0) seconds = 0;
    std::array<char, 40> text{};
    std::snprintf(text.data(), text.size(), "%" PRId64 ":%02d:%02d", seconds / 3600,
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return text.data();
}

} // namespace velmora
