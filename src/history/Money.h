#pragma once
// Amounts of money as the log holds them: whole cents, so that sums of many
// records stay exact. Texts use a point and two decimals, whatever the locale.
// Names over the program's one money type (money/Money.h), in cents.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "money/Money.h"

namespace velmora {

struct MoneyText {
    std::int64_t cents = 0;
    bool asWritten = false; // exactly the form the program writes: digits, a point, two decimals
};

// "3.60", "-0.12", "7", "12.345" (rounded half away from zero to cents);
// surrounding blanks and quotes are dropped. nullopt for anything else
// ("3,60", "3.60 DM", "", an amount beyond what Money holds).
std::optional<MoneyText> parseMoney(std::string_view text);

// "3.60", "-0.12"
std::string moneyText(std::int64_t cents);

// "h:mm:ss", hours as many as they come.
std::string durationText(std::int64_t seconds);

} // namespace velmora
