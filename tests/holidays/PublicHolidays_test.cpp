// The holiday calendar against a table written by hand.
//
// Source of the table: the per-year overviews of public holidays published at
// kalender-365.de and kalender-365.com ("Feiertage 2024" .. "Feiertage 2030":
// dates, and the states that keep each holiday) and the per-state lists of
// feiertage-deutschland.de, read against the states' holiday laws for what
// the overviews leave open: Brandenburg's Feiertagsgesetz (§ 2) names
// Ostersonntag and Pfingstsonntag; Berlin's made 8 May 2025 a holiday once.
// Mariä Himmelfahrt is marked for Bayern as the README chooses (the law: in
// its mostly Catholic communities). No date below was computed.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "holidays/PublicHolidays.h"

namespace velmora {
namespace {

struct Row {
    const char* date; // MM-DD
    const char* name;
    const char* where; // state codes; "alle": every state, and so nationwide
};

const std::map<int, std::vector<Row>> kTable{
    {2024,
     {{"01-01", "Neujahr", "alle"},
      {"01-06", "Heilige Drei Könige", "BW BY ST"},
      {"03-08", "Internationaler Frauentag", "BE MV"},
      {"03-29", "Karfreitag", "alle"},
      {"03-31", "Ostersonntag", "BB"},
      {"04-01", "Ostermontag", "alle"},
      {"05-01", "Tag der Arbeit", "alle"},
      {"05-09", "Christi Himmelfahrt", "alle"},
      {"05-19", "Pfingstsonntag", "BB"},
      {"05-20", "Pfingstmontag", "alle"},
      {"05-30", "Fronleichnam", "BW BY HE NW RP SL"},
      {"08-15", "Mariä Himmelfahrt", "BY SL"},
      {"09-20", "Weltkindertag", "TH"},
      {"10-03", "Tag der Deutschen Einheit", "alle"},
      {"10-31", "Reformationstag", "BB HB HH MV NI SH SN ST TH"},
      {"11-01", "Allerheiligen", "BW BY NW RP SL"},
      {"11-20", "Buß- und Bettag", "SN"},
      {"12-25", "1. Weihnachtstag", "alle"},
      {"12-26", "2. Weihnachtstag", "alle"}}},
    {2025,
     {{"01-01", "Neujahr", "alle"},
      {"01-06", "Heilige Drei Könige", "BW BY ST"},
      {"03-08", "Internationaler Frauentag", "BE MV"},
      {"04-18", "Karfreitag", "alle"},
      {"04-20", "Ostersonntag", "BB"},
      {"04-21", "Ostermontag", "alle"},
      {"05-01", "Tag der Arbeit", "alle"},
      {"05-08", "Tag der Befreiung", "BE"},
      {"05-29", "Christi Himmelfahrt", "alle"},
      {"06-08", "Pfingstsonntag", "BB"},
      {"06-09", "Pfingstmontag", "alle"},
      {"06-19", "Fronleichnam", "BW BY HE NW RP SL"},
      {"08-15", "Mariä Himmelfahrt", "BY SL"},
      {"09-20", "Weltkindertag", "TH"},
      {"10-03", "Tag der Deutschen Einheit", "alle"},
      {"10-31", "Reformationstag", "BB HB HH MV NI SH SN ST TH"},
      {"11-01", "Allerheiligen", "BW BY NW RP SL"},
      {"11-19", "Buß- und Bettag", "SN"},
      {"12-25", "1. Weihnachtstag", "alle"},
      {"12-26", "2. Weihnachtstag", "alle"}}},
    {2026,
     {{"01-01", "Neujahr", "alle"},
      {"01-06", "Heilige Drei Könige", "BW BY ST"},
      {"03-08", "Internationaler Frauentag", "BE MV"},
      {"04-03", "Karfreitag", "alle"},
      {"04-05", "Ostersonntag", "BB"},
      {"04-06", "Ostermontag", "alle"},
      {"05-01", "Tag der Arbeit", "alle"},
      {"05-14", "Christi Himmelfahrt", "alle"},
      {"05-24", "Pfingstsonntag", "BB"},
      {"05-25", "Pfingstmontag", "alle"},
      {"06-04", "Fronleichnam", "BW BY HE NW RP SL"},
      {"08-15", "Mariä Himmelfahrt", "BY SL"},
      {"09-20", "Weltkindertag", "TH"},
      {"10-03", "Tag der Deutschen Einheit", "alle"},
      {"10-31", "Reformationstag", "BB HB HH MV NI SH SN ST TH"},
      {"11-01", "Allerheiligen", "BW BY NW RP SL"},
      {"11-18", "Buß- und Bettag", "SN"},
      {"12-25", "1. Weihnachtstag", "alle"},
      {"12-26", "2. Weihnachtstag", "alle"}}},
    {2027,
     {{"01-01", "Neujahr", "alle"},
      {"01-06", "Heilige Drei Könige", "BW BY ST"},
      {"03-08", "Internationaler Frauentag", "BE MV"},
      {"03-26", "Karfreitag", "alle"},
      {"03-28", "Ostersonntag", "BB"},
      {"03-29", "Ostermontag", "alle"},
      {"05-01", "Tag der Arbeit", "alle"},
      {"05-06", "Christi Himmelfahrt", "alle"},
      {"05-16", "Pfingstsonntag", "BB"},
      {"05-17", "Pfingstmontag", "alle"},
      {"05-27", "Fronleichnam", "BW BY HE NW RP SL"},
      {"08-15", "Mariä Himmelfahrt", "BY SL"},
      {"09-20", "Weltkindertag", "TH"},
      {"10-03", "Tag der Deutschen Einheit", "alle"},
      {"10-31", "Reformationstag", "BB HB HH MV NI SH SN ST TH"},
      {"11-01", "Allerheiligen", "BW BY NW RP SL"},
      {"11-17", "Buß- und Bettag", "SN"},
      {"12-25", "1. Weihnachtstag", "alle"},
      {"12-26", "2. Weihnachtstag", "alle"}}},
    {2028,
     {{"01-01", "Neujahr", "alle"},
      {"01-06", "Heilige Drei Könige", "BW BY ST"},
      {"03-08", "Internationaler Frauentag", "BE MV"},
      {"04-14", "Karfreitag", "alle"},
      {"04-16", "Ostersonntag", "BB"},
      {"04-17", "Ostermontag", "alle"},
      {"05-01", "Tag der Arbeit", "alle"},
      {"05-25", "Christi Himmelfahrt", "alle"},
      {"06-04", "Pfingstsonntag", "BB"},
      {"06-05", "Pfingstmontag", "alle"},
      {"06-15", "Fronleichnam", "BW BY HE NW RP SL"},
      {"08-15", "Mariä Himmelfahrt", "BY SL"},
      {"09-20", "Weltkindertag", "TH"},
      {"10-03", "Tag der Deutschen Einheit", "alle"},
      {"10-31", "Reformationstag", "BB HB HH MV NI SH SN ST TH"},
      {"11-01", "Allerheiligen", "BW BY NW RP SL"},
      {"11-22", "Buß- und Bettag", "SN"},
      {"12-25", "1. Weihnachtstag", "alle"},
      {"12-26", "2. Weihnachtstag", "alle"}}},
    {2029,
     {{"01-01", "Neujahr", "alle"},
      {"01-06", "Heilige Drei Könige", "BW BY ST"},
      {"03-08", "Internationaler Frauentag", "BE MV"},
      {"03-30", "Karfreitag", "alle"},
      {"04-01", "Ostersonntag", "BB"},
      {"04-02", "Ostermontag", "alle"},
      {"05-01", "Tag der Arbeit", "alle"},
      {"05-10", "Christi Himmelfahrt", "alle"},
      {"05-20", "Pfingstsonntag", "BB"},
      {"05-21", "Pfingstmontag", "alle"},
      {"05-31", "Fronleichnam", "BW BY HE NW RP SL"},
      {"08-15", "Mariä Himmelfahrt", "BY SL"},
      {"09-20", "Weltkindertag", "TH"},
      {"10-03", "Tag der Deutschen Einheit", "alle"},
      {"10-31", "Reformationstag", "BB HB HH MV NI SH SN ST TH"},
      {"11-01", "Allerheiligen", "BW BY NW RP SL"},
      {"11-21", "Buß- und Bettag", "SN"},
      {"12-25", "1. Weihnachtstag", "alle"},
      {"12-26", "2. Weihnachtstag", "alle"}}},
    {2030,
     {{"01-01", "Neujahr", "alle"},
      {"01-06", "Heilige Drei Könige", "BW BY ST"},
      {"03-08", "Internationaler Frauentag", "BE MV"},
      {"04-19", "Karfreitag", "alle"},
      {"04-21", "Ostersonntag", "BB"},
      {"04-22", "Ostermontag", "alle"},
      {"05-01", "Tag der Arbeit", "alle"},
      {"05-30", "Christi Himmelfahrt", "alle"},
      {"06-09", "Pfingstsonntag", "BB"},
      {"06-10", "Pfingstmontag", "alle"},
      {"06-20", "Fronleichnam", "BW BY HE NW RP SL"},
      {"08-15", "Mariä Himmelfahrt", "BY SL"},
      {"09-20", "Weltkindertag", "TH"},
      {"10-03", "Tag der Deutschen Einheit", "alle"},
      {"10-31", "Reformationstag", "BB HB HH MV NI SH SN ST TH"},
      {"11-01", "Allerheiligen", "BW BY NW RP SL"},
      {"11-20", "Buß- und Bettag", "SN"},
      {"12-25", "1. Weihnachtstag", "alle"},
      {"12-26", "2. Weihnachtstag", "alle"}}},
};

const char* const kRegions[] = {"DE", "BW", "BY", "BE", "BB", "HB", "HH", "HE", "MV",
                                "NI", "NW", "RP", "SL", "SN", "ST", "SH", "TH"};

bool rowHolds(const Row& row, std::string_view code) {
    const std::string_view where = row.where;
    if (where == "alle") return true;
    return code != "DE" && (" " + std::string(where) + " ").find(" " + std::string(code) + " ") != std::string::npos;
}

std::string monthDay(const CalendarDate& d) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d-%02d", d.month, d.day);
    return text;
}

std::vector<std::string> expectedList(int year, std::string_view code) {
    std::vector<std::string> lines;
    for (const Row& row : kTable.at(year))
        if (rowHolds(row, code)) lines.push_back(std::string(row.date) + " " + row.name);
    return lines;
}

std::vector<std::string> calendarList(int year, std::string_view code) {
    std::vector<std::string> lines;
    for (const PublicHoliday& h : publicHolidays(year, holidayRegionOf(code))) {
        EXPECT_EQ(h.date.year, year);
        lines.push_back(monthDay(h.date) + " " + std::string(h.name));
    }
    return lines;
}

TEST(PublicHolidays, EveryStateAndTheNationwideListMatchTheTableFrom2024To2030) {
    for (const auto& [year, rows] : kTable)
        for (const char* code : kRegions)
            EXPECT_EQ(calendarList(year, code), expectedList(year, code)) << code << " " << year;
}

// Every day of those years, so that isPublicHoliday agrees with the table too
// (and holds nothing the lists leave out).
TEST(PublicHolidays, EachDayIsAHolidayExactlyWhenTheTableSaysSo) {
    using namespace std::chrono;
    for (const auto& [year, rows] : kTable) {
        for (sys_days d = year_month_day{std::chrono::year{year}, January, 1d};
             d <= sys_days{year_month_day{std::chrono::year{year}, December, 31d}}; d += days{1}) {
            const year_month_day ymd{d};
            const CalendarDate date{year, static_cast<int>(static_cast<unsigned>(ymd.month())),
                                    static_cast<int>(static_cast<unsigned>(ymd.day()))};
            for (const char* code : kRegions) {
                bool listed = false;
                for (const Row& row : rows) listed = listed || (row.date == monthDay(date) && rowHolds(row, code));
                ASSERT_EQ(isPublicHoliday(date, holidayRegionOf(code)), listed) << code << " " << monthDay(date);
            }
        }
    }
}

bool holiday(std::string_view code, int year, int month, int day) {
    return isPublicHoliday({year, month, day}, holidayRegionOf(code));
}

TEST(PublicHolidays, HolidaysHoldFromTheYearTheLawMadeThem) {
    EXPECT_FALSE(holiday("BE", 2018, 3, 8));
    EXPECT_TRUE(holiday("BE", 2019, 3, 8));
    EXPECT_FALSE(holiday("MV", 2022, 3, 8));
    EXPECT_TRUE(holiday("MV", 2023, 3, 8));
    EXPECT_FALSE(holiday("TH", 2018, 9, 20));
    EXPECT_TRUE(holiday("TH", 2019, 9, 20));
    for (const char* northern : {"HB", "HH", "NI", "SH"}) {
        EXPECT_FALSE(holiday(northern, 2016, 10, 31)) << northern;
        EXPECT_TRUE(holiday(northern, 2018, 10, 31)) << northern;
    }
    EXPECT_TRUE(holiday("BB", 2016, 10, 31));
    EXPECT_TRUE(holiday("SN", 1995, 11, 22)) << "Buß- und Bettag kept in Sachsen";
    EXPECT_FALSE(holiday("BY", 1995, 11, 22));
}

TEST(PublicHolidays, SingleYearHolidaysHoldInTheirYearOnly) {
    for (const char* code : kRegions) {
        EXPECT_TRUE(holiday(code, 2017, 10, 31)) << code << ": Reformationstag 2017, everywhere";
    }
    EXPECT_FALSE(holiday("BW", 2018, 10, 31));
    EXPECT_FALSE(holiday("DE", 2018, 10, 31));
    EXPECT_TRUE(holiday("BE", 2020, 5, 8));
    EXPECT_FALSE(holiday("BE", 2021, 5, 8));
    EXPECT_FALSE(holiday("BB", 2020, 5, 8)) << "a day of remembrance there, not a holiday";
    EXPECT_FALSE(holiday("BE", 2028, 6, 17)) << "asked for by a resolution, not in the law";
}

TEST(PublicHolidays, NoRegionAYearOutsideTheTableOrADateThatDoesNotExistHoldsNone) {
    EXPECT_TRUE(publicHolidays(2026, HolidayRegion::None).empty());
    EXPECT_FALSE(isPublicHoliday({2026, 12, 25}, HolidayRegion::None));
    EXPECT_TRUE(publicHolidays(1994, HolidayRegion::BY).empty());
    EXPECT_EQ(publicHolidays(1995, HolidayRegion::BY).size(), 13U);
    EXPECT_TRUE(publicHolidays(10000, HolidayRegion::Nationwide).empty());
    EXPECT_TRUE(publicHolidays(-5, HolidayRegion::Nationwide).empty());
    for (const CalendarDate bad : {CalendarDate{2026, 2, 30}, CalendarDate{2026, 13, 1}, CalendarDate{2026, 0, 0},
                                   CalendarDate{2026, 12, -25}, CalendarDate{2026, 1, 99}}) {
        EXPECT_FALSE(isPublicHoliday(bad, HolidayRegion::BY));
    }
}

TEST(PublicHolidays, ADayCanHoldTwoHolidays) {
    // 2008: Christi Himmelfahrt on 1 May.
    const std::vector<PublicHoliday> de = publicHolidays(2008, HolidayRegion::Nationwide);
    const auto onMayDay = [](const PublicHoliday& h) { return h.date == CalendarDate{2008, 5, 1}; };
    EXPECT_EQ(std::count_if(de.begin(), de.end(), onMayDay), 2);
}

TEST(EasterSunday, KnownDatesIncludingTheEarliestTheLatestAndGausssExceptions) {
    const CalendarDate known[] = {
        {1818, 3, 22}, {2285, 3, 22},                // the earliest possible
        {1943, 4, 25}, {2038, 4, 25},                // the latest possible
        {1954, 4, 18}, {1981, 4, 19}, {2049, 4, 18}, // where Gauss's formula needs its two exceptions
        {2076, 4, 19}, {2000, 4, 23}, {2008, 3, 23}, {2011, 4, 24}, {2019, 4, 21}, {2024, 3, 31},
        {2025, 4, 20}, {2026, 4, 5},  {2027, 3, 28}, {2028, 4, 16}, {2029, 4, 1},  {2030, 4, 21},
    };
    for (const CalendarDate& easter : known) EXPECT_EQ(easterSunday(easter.year), easter) << easter.year;
}

TEST(EasterSunday, IsASundayFrom22MarchTo25AprilInEveryGregorianYear) {
    using namespace std::chrono;
    for (int y = 1583; y <= 9999; ++y) {
        const CalendarDate e = easterSunday(y);
        const year_month_day ymd{std::chrono::year{y}, month(e.month), day(e.day)};
        ASSERT_TRUE(ymd.ok()) << y;
        ASSERT_EQ(weekday{sys_days{ymd}}, Sunday) << y;
        ASSERT_TRUE((CalendarDate{y, 3, 22} <= e && e <= CalendarDate{y, 4, 25})) << y;
    }
}

} // namespace
} // namespace velmora
