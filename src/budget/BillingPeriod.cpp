#include "budget/BillingPeriod.h"

#include <array>
#include <charconv>
#include <cstdio>

#include "history/LogDateTime.h"

namespace velmora {
namespace {

constexpr double kSecondsPerDay = 86'400.0;

long long dayNumber(const CalendarDate& d) { return daysFromCivil(d.year, d.month, d.day); }

CalendarDate monthAfter(const CalendarDate& d) {
    return d.month == 12 ? CalendarDate{d.year + 1, 1, d.day} : CalendarDate{d.year, d.month + 1, d.day};
}

CalendarDate monthBefore(const CalendarDate& d) {
    return d.month == 1 ? CalendarDate{d.year - 1, 12, d.day} : CalendarDate{d.year, d.month - 1, d.day};
}

std::string formatted(const char* format, int a, int b, int c) {
    std::array<char, 40> text{};
    std::snprintf(text.data(), text.size(), format, a, b, c);
    return text.data();
}

} // namespace

bool isBillingDay(int day) { return day >= kFirstBillingDay && day <= kLastBillingDay; }

std::optional<BillingPeriod> billingPeriodOf(const CalendarDate& day, int billingDay) {
    if (!isBillingDay(billingDay)) return std::nullopt;
    const CalendarDate thisMonths{day.year, day.month, billingDay};
    const CalendarDate first = day.day >= billingDay ? thisMonths : monthBefore(thisMonths);
    return BillingPeriod{first, monthAfter(first)};
}

CalendarDate BillingPeriod::last() const {
    if (next.day > 1) return {next.year, next.month, next.day - 1};
    const CalendarDate before = monthBefore(next);
    return {before.year, before.month, daysInMonth(before.year, before.month)};
}

int BillingPeriod::days() const { return static_cast<int>(dayNumber(next) - dayNumber(first)); }

double BillingPeriod::daysPassed(const LocalTime& now) const {
    const double wholeDays = static_cast<double>(dayNumber(CalendarDate::of(now)) - dayNumber(first));
    const int secondOfDay = now.hour * 3600 + now.minute * 60 + now.second;
    return wholeDays + secondOfDay / kSecondsPerDay;
}

std::string isoDateText(const CalendarDate& date) {
    return formatted("%04d-%02d-%02d", date.year, date.month, date.day);
}

std::string germanDateText(const CalendarDate& date) { return formatted("%d.%d.%d", date.day, date.month, date.year); }

std::optional<CalendarDate> parseIsoDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const auto number = [text](std::size_t at, std::size_t count) -> std::optional<int> {
        int value = 0;
        const char* begin = text.data() + at;
        const auto [end, error] = std::from_chars(begin, begin + count, value);
        if (error != std::errc{} || end != begin + count) return std::nullopt;
        return value;
    };
    const auto year = number(0, 4), month = number(5, 2), day = number(8, 2);
    if (!year || !month || !day || *month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month))
        return std::nullopt;
    return CalendarDate{*year, *month, *day};
}

} // namespace velmora
