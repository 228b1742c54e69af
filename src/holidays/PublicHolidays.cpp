#include "holidays/PublicHolidays.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace velmora {

namespace {

using RegionSet = std::uint32_t;

constexpr RegionSet setOf(HolidayRegion region) { return RegionSet{1} << static_cast<unsigned>(region); }

template <class... Regions>
constexpr RegionSet setOf(HolidayRegion first, Regions... more) {
    return (setOf(first) | ... | setOf(more));
}

using enum HolidayRegion;

constexpr RegionSet kEveryState = setOf(BW, BY, BE, BB, HB, HH, HE, MV, NI, NW, RP, SL, SN, ST, SH, TH);
// A holiday of every state is a nationwide one.
constexpr RegionSet kEverywhere = kEveryState | setOf(Nationwide);
constexpr RegionSet kEastern = setOf(BB, MV, SN, ST, TH);
constexpr RegionSet kNorthern = setOf(HB, HH, NI, SH);

// The Gregorian calendar as std::chrono keeps it ends with this year; a year
// this far ahead has no table of holidays anyway.
constexpr int kLastHolidayYear = 9999;

enum class Anchor : std::uint8_t {
    Fixed,        // month and day
    Easter,       // `offset` days after Easter Sunday
    BussUndBettag // the Wednesday before 23 November
};

struct HolidayRule {
    std::string_view name;
    Anchor anchor;
    int month = 0;
    int dayOrOffset = 0;
    RegionSet regions = 0;
    int firstYear = kFirstHolidayYear;
    int lastYear = kLastHolidayYear;
};

constexpr HolidayRule fixed(std::string_view name, int month, int day, RegionSet regions,
                            int firstYear = kFirstHolidayYear, int lastYear = kLastHolidayYear) {
    return {name, Anchor::Fixed, month, day, regions, firstYear, lastYear};
}

constexpr HolidayRule afterEaster(std::string_view name, int offset, RegionSet regions) {
    return {name, Anchor::Easter, 0, offset, regions};
}

// The states' holiday laws, with the year each rule began or ended.
constexpr HolidayRule kRules[] = {
    fixed("Neujahr", 1, 1, kEverywhere),
    fixed("Heilige Drei Könige", 1, 6, setOf(BW, BY, ST)),
    fixed("Internationaler Frauentag", 3, 8, setOf(BE), 2019),
    fixed("Internationaler Frauentag", 3, 8, setOf(MV), 2023),
    afterEaster("Karfreitag", -2, kEverywhere),
    afterEaster("Ostersonntag", 0, setOf(BB)),
    afterEaster("Ostermontag", 1, kEverywhere),
    fixed("Tag der Arbeit", 5, 1, kEverywhere),
    // The 75th and 80th anniversaries of the end of the war, each once.
    fixed("Tag der Befreiung", 5, 8, setOf(BE), 2020, 2020),
    fixed("Tag der Befreiung", 5, 8, setOf(BE), 2025, 2025),
    afterEaster("Christi Himmelfahrt", 39, kEverywhere),
    afterEaster("Pfingstsonntag", 49, setOf(BB)),
    afterEaster("Pfingstmontag", 50, kEverywhere),
    afterEaster("Fronleichnam", 60, setOf(BW, BY, HE, NW, RP, SL)),
    fixed("Mariä Himmelfahrt", 8, 15, setOf(BY, SL)),
    fixed("Weltkindertag", 9, 20, setOf(TH), 2019),
    fixed("Tag der Deutschen Einheit", 10, 3, kEverywhere),
    // The 500th anniversary of the Reformation was a holiday in every state;
    // from the year after, the four northern states keep it.
    fixed("Reformationstag", 10, 31, kEastern, kFirstHolidayYear, 2016),
    fixed("Reformationstag", 10, 31, kEverywhere, 2017, 2017),
    fixed("Reformationstag", 10, 31, kEastern | kNorthern, 2018),
    fixed("Allerheiligen", 11, 1, setOf(BW, BY, NW, RP, SL)),
    {"Buß- und Bettag", Anchor::BussUndBettag, 0, 0, setOf(SN)},
    fixed("1. Weihnachtstag", 12, 25, kEverywhere),
    fixed("2. Weihnachtstag", 12, 26, kEverywhere),
};

CalendarDate dateOf(std::chrono::sys_days day) {
    const std::chrono::year_month_day ymd{day};
    return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

std::chrono::sys_days daysOf(const CalendarDate& date) {
    return std::chrono::year_month_day{std::chrono::year{date.year}, std::chrono::month(date.month),
                                       std::chrono::day(date.day)};
}

// The Wednesday of 16..22 November: the church year's last Sunday but one
// lies four days after it.
CalendarDate bussUndBettag(int year) {
    const std::chrono::sys_days nov22 = daysOf({year, 11, 22});
    const std::chrono::days sinceWednesday = std::chrono::weekday{nov22} - std::chrono::Wednesday;
    return dateOf(nov22 - sinceWednesday);
}

CalendarDate dateOfRule(const HolidayRule& rule, int year, std::chrono::sys_days easter) {
    switch (rule.anchor) {
    case Anchor::Fixed: return {year, rule.month, rule.dayOrOffset};
    case Anchor::Easter: return dateOf(easter + std::chrono::days{rule.dayOrOffset});
    case Anchor::BussUndBettag: return bussUndBettag(year);
    }
    return {};
}

bool applies(const HolidayRule& rule, int year, HolidayRegion region) {
    return (rule.regions & setOf(region)) != 0 && year >= rule.firstYear && year <= rule.lastYear;
}

} // namespace

// Meeus's arrangement of the Gregorian computus ("Astronomical Algorithms",
// ch. 8): the epact and the Sunday letter without any table.
CalendarDate easterSunday(int year) {
    const int a = year % 19;
    const int b = year / 100;
    const int c = year % 100;
    const int d = b / 4;
    const int e = b % 4;
    const int f = (b + 8) / 25;
    const int g = (b - f + 1) / 3;
    const int h = (19 * a + b - d - g + 15) % 30;
    const int i = c / 4;
    const int k = c % 4;
    const int l = (32 + 2 * e + 2 * i - h - k) % 7;
    const int m = (a + 11 * h + 22 * l) / 451;
    const int monthAndDay = h + l - 7 * m + 114;
    return {year, monthAndDay / 31, monthAndDay % 31 + 1};
}

std::vector<PublicHoliday> publicHolidays(int year, HolidayRegion region) {
    std::vector<PublicHoliday> holidays;
    if (region == HolidayRegion::None || year < kFirstHolidayYear || year > kLastHolidayYear) return holidays;
    const std::chrono::sys_days easter = daysOf(easterSunday(year));
    for (const HolidayRule& rule : kRules)
        if (applies(rule, year, region)) holidays.push_back({dateOfRule(rule, year, easter), rule.name});
    std::stable_sort(holidays.begin(), holidays.end(),
                     [](const PublicHoliday& x, const PublicHoliday& y) { return x.date < y.date; });
    return holidays;
}

bool isPublicHoliday(const CalendarDate& date, HolidayRegion region) {
    const std::vector<PublicHoliday> holidays = publicHolidays(date.year, region);
    return std::any_of(holidays.begin(), holidays.end(), [&](const PublicHoliday& h) { return h.date == date; });
}

} // namespace velmora
