#pragma once
// Amounts of money, exact: whole micro-units (millionths of the currency unit)
// in a 64-bit integer. A fee may carry more decimals than the cent ("0.0575",
// a hand-typed "0.125"), and a year of such fees added one at a time must still
// come out to the cent: in binary floating point they drift, in micro-units
// every fee with up to six decimals adds exactly. The range is about ±9.2
// trillion units; sums saturate at its ends rather than wrap.
//
// Texts: the program writes "%.2f" of an amount (a point, two decimals,
// whatever the locale), formatted from the nearest double, as it has always
// formatted money: every text it wrote before it writes the same way, and an
// amount exactly between two cents rounds as its binary value does ("0.125"
// shows 0.12, "0.005" shows 0.01). A text read back into cents rounds a third
// decimal half away from zero, as the log reader always did.

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

class Money {
public:
    static constexpr std::int64_t kMicrosPerUnit = 1'000'000;
    static constexpr std::int64_t kMicrosPerCent = 10'000;

    constexpr Money() = default;
    static constexpr Money fromMicros(std::int64_t micros) { return Money(micros); }
    // Saturates beyond the range.
    static Money fromCents(std::int64_t cents);
    // The nearest micro-unit of a number read from a text ("%f"), saturated at
    // the range; not a number is 0.
    static Money nearest(double units);

    constexpr std::int64_t micros() const { return micros_; }
    // Rounded half away from zero.
    std::int64_t cents() const;
    // "%.2f" of the amount: "0.12", "-3.60", "1234567.89".
    std::string text() const;
    // Every decimal the amount has, at least two: "0.12", "12.612", "-0.0575";
    // parseMoneyText reads it back exactly. For the program's own files that
    // keep an amount between runs (the journal), not for what the user sees.
    std::string exactText() const;
    // The nearest double, for "%.2f".
    double units() const;

    Money& operator+=(Money other);
    friend Money operator+(Money a, Money b) { return a += b; }
    friend constexpr auto operator<=>(Money, Money) = default;

private:
    constexpr explicit Money(std::int64_t micros) : micros_(micros) {}
    std::int64_t micros_ = 0;
};

// An amount as the log and the journal hold it: "3.60", "-0.12", "7",
// "12.3456"; surrounding blanks and one pair of quotes are dropped. nullopt for
// anything else ("3,60", "3.60 DM", "", ".5", "1e3", an amount beyond the range).
// Digits beyond the sixth decimal are dropped.
struct ParsedMoney {
    Money amount;
    bool asWritten = false; // exactly the form the program writes: digits, a point, two decimals
};
std::optional<ParsedMoney> parseMoneyText(std::string_view text);

// "%.2f" of a number of cents: "-0.12", "1234.56" (sums of whole cents, as the
// history adds them, may go beyond the range of Money).
std::string centsText(std::int64_t cents);

} // namespace velmora
