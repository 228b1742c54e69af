#include "history/Money.h"

#include <array>
#include <cinttypes>
#include <cstdio>

namespace velmora {
namespace {

constexpr std::size_t kMaxWholeDigits = 15;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view unwrapped(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
        s = s.substr(1, s.size() - 2);
    return s;
}

} // namespace

std::optional<MoneyText> parseMoney(std::string_view text) {
    const std::string_view core = unwrapped(text);
    std::string_view s = core;
    const bool negative = !s.empty() && s.front() == '-';
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
    std::size_t pos = 0;
    std::int64_t whole = 0;
    for (; pos < s.size() && isDigit(s[pos]); ++pos) {
        if (pos < kMaxWholeDigits) whole = whole * 10 + (s[pos] - '0'); // more digits are refused below
    }
    const std::size_t wholeDigits = pos;
    if (wholeDigits == 0 || wholeDigits > kMaxWholeDigits) return std::nullopt;
    std::size_t fractionDigits = 0;
    int firstThree[3] = {0, 0, 0};
    if (pos < s.size() && s[pos] == '.') {
        ++pos;
        for (; pos < s.size() && isDigit(s[pos]); ++pos, ++fractionDigits)
            if (fractionDigits < 3) firstThree[fractionDigits] = s[pos] - '0';
    }
    if (pos != s.size()) return std::nullopt;
    std::int64_t cents = whole * 100 + firstThree[0] * 10 + firstThree[1] + (firstThree[2] >= 5 ? 1 : 0);
    const bool asWritten = core.size() == text.size() && core.front() != '+' && fractionDigits == 2;
    return MoneyText{negative ? -cents : cents, asWritten};
}

std::string moneyText(std::int64_t cents) {
    const std::uint64_t magnitude =
        cents < 0 ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
    std::array<char, 40> text{};
    std::snprintf(text.data(), text.size(), "%s%" PRIu64 ".%02" PRIu64, cents < 0 ? "-" : "", magnitude / 100,
                  magnitude % 100);
    return text.data();
}

std::string durationText(std::int64_t seconds) {
    if (seconds < 0) seconds = 0;
    std::array<char, 40> text{};
    std::snprintf(text.data(), text.size(), "%" PRId64 ":%02d:%02d", seconds / 3600,
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return text.data();
}

} // namespace velmora
