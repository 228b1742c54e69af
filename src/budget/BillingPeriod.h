#pragma once
// Billing periods: a period starts on the billing day of a month and ends the
// day before the billing day of the next. The billing day is 1..28, so every
// month has it; the 29th to the 31st are refused (February would have no such
// day, and a period of its own would have to be made up).

#include <compare>
#include <optional>
#include <string>

#include "platform/Clock.h"

namespace velmora {

inline constexpr int kFirstBillingDay = 1;
inline constexpr int kLastBillingDay = 28;

struct CalendarDate {
    int year = 1970;
    int month = 1; // 1..12
    int day = 1;   // 1..31
    auto operator<=>(const CalendarDate&) const = default;
    static CalendarDate of(const LocalTime& t) { return {t.year, t.month, t.day}; }
};

struct BillingPeriod {
    CalendarDate first; // its first day
    CalendarDate next;  // the first day of the period after it
    bool contains(const CalendarDate& day) const { return day >= first && day < next; }
    CalendarDate last() const;
    int days() const;
    // Days passed since its first day began, to the second: 0.5 at noon of the first day.
    double daysPassed(const LocalTime& now) const;
    bool operator==(const BillingPeriod&) const = default;
};

bool isBillingDay(int day);

// The period that holds `day`; nullopt for a billing day outside 1..28.
std::optional<BillingPeriod> billingPeriodOf(const CalendarDate& day, int billingDay);

// "2026-12-15", the name of a period by its first day.
std::string isoDateText(const CalendarDate& date);
// "15.12.2026", as the program shows dates.
std::string germanDateText(const CalendarDate& date);
// A date from its ISO text; nullopt for anything else or a day that does not exist.
std::optional<CalendarDate> parseIsoDate(std::string_view text);

} // namespace velmora
