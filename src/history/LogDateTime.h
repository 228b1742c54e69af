#pragma once
// Dates and times as the connection log writes them: local wall-clock fields,
// "d.m.yyyy hh:mm:ss", no zone.

#include <compare>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace velmora {

struct LogDateTime {
    int year = 0;
    int month = 0; // 1..12
    int day = 0;   // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    auto operator<=>(const LogDateTime&) const = default;

    int monthKey() const { return year * 100 + month; }   // 202612
    int dayKey() const { return monthKey() * 100 + day; } // 20261209
};

struct LogInterval {
    LogDateTime start;
    LogDateTime end;
};

// The start and end named by a log section ("Von 9.12.2026 17:59:51 bis
// 9.12.2026 18:10:00"); nullopt when the name is not of that form or names a
// date that does not exist. "Von"/"bis" in any case and runs of blanks are
// accepted, as a hand edit may leave them.
std::optional<LogInterval> parseLogInterval(std::string_view sectionName);

// "2026-12-09T17:59:51"
std::string isoLocalText(const LogDateTime& t);
// "2026-12-09", the day alone.
std::string isoDayText(const LogDateTime& t);
// "9.12.2026 17:59:51", as the log writes it.
std::string logText(const LogDateTime& t);

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
long long daysFromCivil(int year, int month, int day);
int daysInMonth(int year, int month);

} // namespace velmora
