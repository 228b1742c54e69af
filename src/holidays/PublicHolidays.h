#pragma once
// The calendar of public holidays in Germany: which days of a year are public
// holidays for a HolidayRegion, as the states' holiday laws have them in the
// year concerned (holidays introduced in a given year, and the single-year
// ones the laws made), movable feasts counted from Easter.
//
// Where a holiday holds only in some places of a state, the state's entry
// follows where most of its people live: Mariä Himmelfahrt counts for all of
// Bayern; Fronleichnam counts neither in Sachsen nor in Thüringen; the
// Augsburger Friedensfest (the city of Augsburg only) does not count.
// Brandenburg's law names Ostersonntag and Pfingstsonntag, so its year lists
// them. The table starts in 1995, the year the Buß- und Bettag ceased to be a
// holiday outside Sachsen; earlier years have no public holidays here.

#include <compare>
#include <string_view>
#include <vector>

#include "holidays/HolidayRegion.h"

namespace velmora {

struct CalendarDate {
    int year = 1970;
    int month = 1; // 1..12
    int day = 1;   // 1..31
    auto operator<=>(const CalendarDate&) const = default;
};

struct PublicHoliday {
    CalendarDate date;
    std::string_view name; // German, as the laws and calendars name it
    bool operator==(const PublicHoliday&) const = default;
};

inline constexpr int kFirstHolidayYear = 1995;

// Easter Sunday of a year of the Gregorian calendar (the computus after Gauss,
// in the form Meeus gives it).
CalendarDate easterSunday(int year);

// The year's public holidays for the region, in date order; none for
// HolidayRegion::None and for years before kFirstHolidayYear.
std::vector<PublicHoliday> publicHolidays(int year, HolidayRegion region);

// The date is one of them. A date that does not exist is none.
bool isPublicHoliday(const CalendarDate& date, HolidayRegion region);

} // namespace velmora
