// The day changes at midnight into a public holiday during a connection: the
// new day's band is a band change like any other (a new length charges a unit
// and restarts the unit clock; the same length runs on).
#include <memory>

#include "meter/MeterRig.h"
#include "store/SettingsSchema.h"
#include "store/UserTariff.h"

namespace velmora::testing {
namespace {

Money cents(std::int64_t n) { return Money::fromCents(n); }

void chooseLand(MeterRig& r, const std::string& code) {
    ASSERT_TRUE(r.profile.writeString(settings::kHolidays.name, "Land", code).ok);
}

// Working days one band of 60 s all day, holidays one of 30 s.
void saveOwnTariff(MeterRig& r) {
    UserTariff tariff;
    tariff.weekdayBands = {{0, 24, "60"}};
    tariff.holidayBands = {{0, 24, "30"}};
    ASSERT_TRUE(saveUserTariff(r.profile, tariff).ok);
}

TEST(MeterHolidays, IntoMayDayTheOwnTariffChangesToItsHolidayListWithALand) {
    MeterRig r(wallMs(2026, 4, 30, 23, 59, 57)); // Thursday
    saveOwnTariff(r);
    chooseLand(r, "NW");
    r.source.up("Eigener");
    r.start().chooseTariff(UserDefined);
    r.seconds(1); // 23:59:58: opened, first unit, 60 s armed
    EXPECT_EQ(r.polls.back().unitTimerMs, 60'000);
    r.seconds(2); // 00:00:00 lies in no band
    EXPECT_EQ(r.state().cost, cents(12));
    r.seconds(1); // 00:00:01, 1 May
    EXPECT_EQ(r.polls.back().unitTimerMs, 30'000);
    EXPECT_EQ(r.state().cost, cents(24)) << "a new length charges at once";
    r.seconds(29);
    EXPECT_EQ(r.state().cost, cents(24));
    r.seconds(1); // 00:00:31
    EXPECT_EQ(r.state().cost, cents(36));
}

TEST(MeterHolidays, IntoMayDayWithoutALandTheUnitClockRunsOn) {
    MeterRig r(wallMs(2026, 4, 30, 23, 59, 57));
    saveOwnTariff(r);
    r.source.up("Eigener");
    r.start().chooseTariff(UserDefined);
    r.seconds(4); // 00:00:01
    for (const MeterEvents& poll : r.polls) EXPECT_NE(poll.unitTimerMs, 30'000);
    r.seconds(56); // 00:00:57
    EXPECT_EQ(r.state().cost, cents(12));
    r.seconds(1); // 00:00:58: a minute after the first unit
    EXPECT_EQ(r.state().cost, cents(24));
}

// Region 50: 60 s from 21:00 on a working day and until 05:00 on a Sunday, so
// midnight changes nothing; at 02:00 a working day goes to 120 s, a Sunday not.
TEST(MeterHolidays, IntoChristmasDayABuiltInZoneRunsOnThroughMidnight) {
    MeterRig r(wallMs(2026, 12, 24, 23, 59, 57)); // Thursday
    chooseLand(r, "DE");
    r.source.up("Region");
    r.start().chooseTariff(Region50);
    r.seconds(1 + 10); // 00:00:08
    for (std::size_t i = 1; i < r.polls.size(); ++i) EXPECT_FALSE(r.polls[i].unitTimerMs) << i;
    EXPECT_EQ(r.state().cost, cents(12));
}

TEST(MeterHolidays, OnChristmasDayABuiltInZoneKeepsItsSundayBandsAtTwo) {
    const auto at0200 = [](const std::string& code) {
        auto r = std::make_unique<MeterRig>(wallMs(2026, 12, 25, 1, 59, 57)); // Friday
        if (!code.empty()) chooseLand(*r, code);
        r->source.up("Region");
        r->start().chooseTariff(Region50);
        r->seconds(1 + 5); // 02:00:03
        return r;
    };
    const auto holiday = at0200("DE");
    EXPECT_EQ(holiday->state().unitLengthMs, 60'000);
    EXPECT_EQ(holiday->state().cost, cents(12));
    const auto workday = at0200("");
    EXPECT_EQ(workday->state().unitLengthMs, 120'000);
    EXPECT_EQ(workday->state().cost, cents(24)) << "the band change at 02:00:01 charges";
}

} // namespace
} // namespace velmora::testing
