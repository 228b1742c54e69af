#include <array>
#include <cstdint>
#include <vector>

#include "tariff/TariffTestSupport.h"

namespace velmora::testing {
namespace {

using Hours = std::array<int, 24>; // unit length in ms in force during each hour

struct ZoneExpectation {
    int zone;
    Hours workday;
    Hours weekend;
};

// Written out hour by hour, independently of the band tables.
const std::array<ZoneExpectation, 4> kExpected{{
    {City,
     {240000, 240000, 240000, 240000, 240000, 150000, 150000, 150000, 150000, 90000,  90000,  90000,
      90000,  90000,  90000,  90000,  90000,  90000,  150000, 150000, 150000, 240000, 240000, 240000},
     {240000, 240000, 240000, 240000, 240000, 150000, 150000, 150000, 150000, 150000, 150000, 150000,
      150000, 150000, 150000, 150000, 150000, 150000, 150000, 150000, 150000, 240000, 240000, 240000}},
    {Region50,
     {60000, 60000, 120000, 120000, 120000, 45000, 45000, 45000, 45000, 26000, 26000, 26000,
      30000, 30000, 30000,  30000,  30000,  30000, 45000, 45000, 45000, 60000, 60000, 60000},
     {60000, 60000, 60000, 60000, 60000, 45000, 45000, 45000, 45000, 45000, 45000, 45000,
      45000, 45000, 45000, 45000, 45000, 45000, 45000, 45000, 45000, 60000, 60000, 60000}},
    {Region200,
     {30000, 30000, 120000, 120000, 120000, 21500, 21500, 21500, 21500, 12000, 12000, 12000,
      13500, 13500, 13500,  13500,  13500,  13500, 21500, 21500, 21500, 30000, 30000, 30000},
     {30000, 30000, 30000, 30000, 30000, 21500, 21500, 21500, 21500, 21500, 21500, 21500,
      21500, 21500, 21500, 21500, 21500, 21500, 21500, 21500, 21500, 30000, 30000, 30000}},
    {Fern,
     {25000, 25000, 120000, 120000, 120000, 20000, 20000, 20000, 20000, 11500, 11500, 11500,
      12500, 12500, 12500,  12500,  12500,  12500, 20000, 20000, 20000, 25000, 25000, 25000},
     {25000, 25000, 25000, 25000, 25000, 20000, 20000, 20000, 20000, 20000, 20000, 20000,
      20000, 20000, 20000, 20000, 20000, 20000, 20000, 20000, 20000, 25000, 25000, 25000}},
}};

// A band begins wherever the unit length changes (and at midnight); its first
// second hh:00:00 lies in no band.
bool bandBeginsAt(const Hours& hours, int hour) { return hour == 0 || hours[hour] != hours[hour - 1]; }

void expectDay(int zone, const Hours& hours, LocalTime (*day)(int, int, int), const SettingsProfile& profile) {
    for (int h = 0; h < 24; ++h) {
        SCOPED_TRACE(::testing::Message() << "zone " << zone << " hour " << h);
        const std::vector<int> inBand{hours[h]};
        EXPECT_EQ(evaluate(zone, day(h, 0, 0), profile), bandBeginsAt(hours, h) ? std::vector<int>{} : inBand);
        EXPECT_EQ(evaluate(zone, day(h, 0, 1), profile), inBand);
        EXPECT_EQ(evaluate(zone, day(h, 30, 0), profile), inBand);
        EXPECT_EQ(evaluate(zone, day(h, 59, 59), profile), inBand);
    }
}

TEST(BuiltInTariff, EveryHourOfAWorkingDayAndAWeekendDayMatchesItsTable) {
    TempProfile temp;
    for (const ZoneExpectation& expected : kExpected) {
        expectDay(expected.zone, expected.workday, wednesday, temp.profile());
        expectDay(expected.zone, expected.workday, monday, temp.profile());
        expectDay(expected.zone, expected.weekend, saturday, temp.profile());
        expectDay(expected.zone, expected.weekend, sunday, temp.profile());
    }
}

TEST(BuiltInTariff, IgnoresTheUserDefinedTariffInTheProfile) {
    TempProfile temp;
    temp.write("[Cost-Editor]\nMittwoch=1\nAnzahlFeiertag=1\nAnzahlWochentag=1\n" + bandSection('W', 0, 0, 24, "7") +
               bandSection('F', 0, 0, 24, "7"));
    EXPECT_EQ(evaluate(City, wednesday(10, 30, 0), temp.profile()), std::vector<int>{90000});
}

TEST(BuiltInTariff, NoSelectionOrUnknownZoneHandsOverNothing) {
    TempProfile temp;
    for (int zone : {int{NoTariff}, 5, 99, -7}) {
        EXPECT_TRUE(evaluate(zone, wednesday(10, 30, 0), temp.profile()).empty()) << zone;
    }
    EXPECT_TRUE(builtInBands(UserDefined, false).empty());
    EXPECT_TRUE(builtInBands(NoTariff, true).empty());
}

TEST(BuiltInTariff, ApplyTimeBandPassesOnTheReceiversAnswer) {
    struct Refusing : UnitLengthReceiver {
        int calls = 0;
        int switchUnitLength(int) override {
            ++calls;
            return 0;
        }
    } refusing;
    const LocalTime t = wednesday(10, 30, 0);
    const CalendarSeconds now = calendarSeconds(2026, 3, 4, 10, 30, 0);
    EXPECT_EQ(applyTimeBand(now, t, 9, 18, 90000, refusing), 0);
    EXPECT_EQ(refusing.calls, 1);

    RecordingReceiver taking;
    EXPECT_EQ(applyTimeBand(now, t, 9, 18, 90000, taking), 1);
    EXPECT_EQ(applyTimeBand(now, t, 11, 18, 90000, taking), 0);
    EXPECT_EQ(applyTimeBand(now, t, 18, 9, 90000, taking), 0);
    EXPECT_EQ(taking.handedOver, std::vector<int>{90000});
}

TEST(CalendarSeconds, NormalisesHoursBeyondTheDay) {
    EXPECT_EQ(calendarSeconds(2026, 3, 4, 24, 0, 0), calendarSeconds(2026, 3, 5, 0, 0, 0));
    EXPECT_EQ(calendarSeconds(2026, 3, 4, 30, 0, 0), calendarSeconds(2026, 3, 5, 6, 0, 0));
    EXPECT_EQ(calendarSeconds(2026, 3, 4, 10, 0, 1) - calendarSeconds(2026, 3, 4, 10, 0, 0), 1);
    EXPECT_EQ(calendarSeconds(2026, 12, 31, 24, 0, 0), calendarSeconds(2027, 1, 1, 0, 0, 0));
}

TEST(CalendarSeconds, DaylightSavingIsDecidedByTheConversion) {
    // Midnights in Europe/Berlin: winter time UTC+1, summer time UTC+2.
    EXPECT_EQ(calendarSeconds(2026, 1, 15, 0, 0, 0), 1768431600);
    EXPECT_EQ(calendarSeconds(2026, 7, 15, 0, 0, 0), 1784066400);
    // The clock jumps from 02:00 to 03:00 on 29 March: those two read as one moment.
    EXPECT_EQ(calendarSeconds(2026, 3, 29, 2, 0, 0), calendarSeconds(2026, 3, 29, 3, 0, 0));
    EXPECT_EQ(calendarSeconds(2026, 3, 29, 24, 0, 0) - calendarSeconds(2026, 3, 29, 0, 0, 0), 23 * 3600);
    EXPECT_EQ(calendarSeconds(2026, 10, 25, 24, 0, 0) - calendarSeconds(2026, 10, 25, 0, 0, 0), 25 * 3600);
}

// What a real clock shows on a day that changes to or from summer time, tick by
// tick: every tick lies in the band of its wall-clock hour, apart from the
// first second of a band, and never in two bands.
void expectCleanDay(int zone, const Hours& hours, std::int64_t midnightEpoch, int dayLengthHours) {
    TempProfile temp;
    const SettingsProfile profile = temp.profile();
    for (std::int64_t s = midnightEpoch; s < midnightEpoch + dayLengthHours * 3600; ++s) {
        const LocalTime t = localTimeOf(s);
        const std::vector<int> handed = evaluate(zone, t, profile);
        const bool firstSecondOfBand = t.minute == 0 && t.second == 0 && bandBeginsAt(hours, t.hour);
        ASSERT_EQ(handed, firstSecondOfBand ? std::vector<int>{} : std::vector<int>{hours[t.hour]})
            << t.hour << ":" << t.minute << ":" << t.second;
    }
}

TEST(BuiltInTariff, DaylightSavingChangeoverDaysRunCleanly) {
    const Hours& cityWeekend = kExpected[City].weekend;
    expectCleanDay(City, cityWeekend, 1774738800, 23); // 2026-03-29, a Sunday
    expectCleanDay(City, cityWeekend, 1792879200, 25); // 2026-10-25, a Sunday
    expectCleanDay(Fern, kExpected[Fern].weekend, 1792879200, 25);
}

} // namespace
} // namespace velmora::testing
