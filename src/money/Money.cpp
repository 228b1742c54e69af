#include "money/Money.h"

#include <array>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <limits>

namespace velmora {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr int kDecimals = 6; // micro-units

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

Money Money::fromCents(std::int64_t cents) {
    std::int64_t micros = 0;
    if (__builtin_mul_overflow(cents, kMicrosPerCent, &micros)) return Money(cents < 0 ? kMin : kMax);
    return Money(micros);
}

Money Money::nearest(double units) {
    if (std::isnan(units)) return Money();
    const double micros = units * static_cast<double>(kMicrosPerUnit);
    // 2^63 is the first double beyond the range; everything below it converts.
    constexpr double kLimit = 9223372036854775808.0;
    if (micros >= kLimit) return Money(kMax);
    if (micros <= -kLimit) return Money(kMin);
    return Money(std::llround(micros));
}

std::int64_t Money::cents() const {
    std::int64_t whole = micros_ / kMicrosPerCent;
    const std::int64_t rest = micros_ % kMicrosPerCent;
    if (rest >= kMicrosPerCent / 2) ++whole;
    if (rest <= -kMicrosPerCent / 2) --whole;
    return whole;
}

double Money::units() const { return static_cast<double>(micros_) / static_cast<double>(kMicrosPerUnit); }

// "%.2f" of units(), without the C++ library's general float formatting, whose
// code and tables would otherwise be read in at every start for the totals the
// window shows. The double times 100 is exact in a long double (53 significant
// bits times 25's five, shifted), so rounding that to an integer, ties to even
// as "%.2f" does, gives the same cents.
std::string Money::text() const {
    static_assert(std::numeric_limits<long double>::digits >= 58, "a double times 100 must be exact");
    const double amount = units();
    const long double hundredths = std::nearbyint(static_cast<long double>(amount) * 100.0L);
    const auto cents = static_cast<std::uint64_t>(std::fabs(hundredths)); // below 10^15
    std::array<char, 32> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%s%" PRIu64 ".%02" PRIu64, std::signbit(amount) ? "-" : "",
                  cents / 100, cents % 100);
    return buffer.data();
}

std::string Money::exactText() const {
    const std::uint64_t magnitude =
        micros_ < 0 ? 0 - static_cast<std::uint64_t>(micros_) : static_cast<std::uint64_t>(micros_);
    std::array<char, 40> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%s%" PRIu64 ".%06" PRIu64, micros_ < 0 ? "-" : "",
                  magnitude / kMicrosPerUnit, magnitude % kMicrosPerUnit);
    std::string text = buffer.data();
    while (text.size() - text.find('.') > 3 && text.back() == '0') text.pop_back(); // at least two decimals
    return text;
}

Money& Money::operator+=(Money other) {
    if (__builtin_add_overflow(micros_, other.micros_, &micros_)) micros_ = other.micros_ < 0 ? kMin : kMax;
    return *this;
}

std::optional<ParsedMoney> parseMoneyText(std::string_view text) {
    const std::string_view core = unwrapped(text);
    std::string_view s = core;
    const bool negative = !s.empty() && s.front() == '-';
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
    std::size_t pos = 0;
    std::int64_t micros = 0;
    for (; pos < s.size() && isDigit(s[pos]); ++pos) {
        if (__builtin_mul_overflow(micros, 10, &micros) || __builtin_add_overflow(micros, s[pos] - '0', &micros))
            return std::nullopt;
    }
    if (pos == 0 || __builtin_mul_overflow(micros, Money::kMicrosPerUnit, &micros)) return std::nullopt;
    std::size_t fractionDigits = 0;
    if (pos < s.size() && s[pos] == '.') {
        std::int64_t scale = Money::kMicrosPerUnit;
        for (++pos; pos < s.size() && isDigit(s[pos]); ++pos, ++fractionDigits) {
            if (fractionDigits >= kDecimals) continue;
            scale /= 10;
            if (__builtin_add_overflow(micros, (s[pos] - '0') * scale, &micros)) return std::nullopt;
        }
    }
    if (pos != s.size()) return std::nullopt;
    const bool asWritten = core.size() == text.size() && core.front() != '+' && fractionDigits == 2;
    return ParsedMoney{Money::fromMicros(negative ? -micros : micros), asWritten};
}

std::string centsText(std::int64_t cents) {
    const std::uint64_t magnitude =
        cents < 0 ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
    std::array<char, 40> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%s%" PRIu64 ".%02" PRIu64, cents < 0 ? "-" : "", magnitude / 100,
                  magnitude % 100);
    return buffer.data();
}

} // namespace velmora
