// A process that stands still (SIGSTOP, a swap storm, a debugger) or a unit
// timer that fires late: the charges follow the time that passed on the boot
// clock, not the number of timer events that came.
#include "meter/MeterRig.h"

namespace velmora::testing {
namespace {

// An own tariff of one-second units all day, every day.
void secondUnits(MeterRig& r) {
    ASSERT_TRUE(r.profile.writeSections({{"Standard", {{"Tarifzone", "4"}}},
                                         {"Cost-Editor", {{"AnzahlWochentag", "1"}, {"AnzahlFeiertag", "1"}}},
                                         {"W-0", {{"Anfang", "0"}, {"Ende", "24"}, {"Takt", "1"}}},
                                         {"F-0", {{"Anfang", "0"}, {"Ende", "24"}, {"Takt", "1"}}}}));
}

// Once a 20 s stall was charged as one unit: one per timer event, and the
// events missed while stopped never came.
TEST(Stall, TwentySecondsStoodStillAreTwentyUnitsWhicheverTimerFiresFirst) {
    for (const bool unitTimerFirst : {false, true}) {
        SCOPED_TRACE(unitTimerFirst ? "the unit timer first" : "the poll first");
        MeterRig stalled;
        MeterRig steady;
        for (MeterRig* r : {&stalled, &steady}) {
            secondUnits(*r);
            r->source.up("T-Online");
            r->start();
            r->seconds(1 + 5); // six units
        }
        stalled.stall(20'000, unitTimerFirst);
        stalled.seconds(5);
        steady.seconds(25);
        EXPECT_EQ(stalled.meter().texts().cost, "3.72") << "the first unit and one a second for 30 s";
        EXPECT_EQ(stalled.meter().texts().cost, steady.meter().texts().cost);
        EXPECT_EQ(stalled.meter().texts().timeOnline, "00:00:30");
    }
}

// A stall of 20.4 s leaves the window system's timer 0.4 s behind the units:
// armed anew from the moment it fired. Once a connection that ended then
// lost the unit begun in those 0.4 s.
TEST(Stall, TheUnitTimerIsBackInStepWithTheUnitsAfterAStall) {
    MeterRig r;
    secondUnits(r);
    r.source.up("T-Online");
    r.start();
    r.seconds(1 + 5);
    r.stall(20'400);
    r.advanceMs(500);
    r.source.down();
    r.advanceMs(600); // the unit at 26 s, then the poll that finds the link gone
    r.seconds(2);
    r.end();
    EXPECT_EQ(r.logText(), "[Von 9.12.2026 10:30:00 bis 9.12.2026 10:30:26]\n" // units at 0 s to 26 s
                           "Verbindungskosten=3.24\nGesamtkosten bis dato=3.24\n");
}

TEST(Stall, AConnectionThatEndedDuringAStallIsChargedUntilThePollSawItEndNoMore) {
    MeterRig r; // City: 90 s units
    r.source.up("T-Online");
    r.start();
    r.seconds(1 + 100); // 10:31:40, units at 10:30:00 and 10:31:30
    r.source.down();
    r.stall(10 * 60'000); // the poll at 10:41:40 finds the link gone
    r.seconds(1);
    r.end();
    EXPECT_EQ(r.logText(), "[Von 9.12.2026 10:30:00 bis 9.12.2026 10:41:40]\n" // eight units begun
                           "Verbindungskosten=0.96\nGesamtkosten bis dato=0.96\n");
}

// The poll after the stall finds the evening band: the day's 90 s units begun
// meanwhile are charged first, then the change of band cuts the unit as ever.
TEST(Stall, AStalledPollThatFindsABandChangeChargesTheUnitsBegunBeforeIt) {
    MeterRig r(wallMs(2026, 12, 9, 17, 57, 59)); // Wednesday, City
    r.source.up("T-Online");
    r.start();
    r.seconds(1 + 30);            // opened at 17:58:00
    r.stall(6 * 60'000 + 30'000); // to 18:05:00
    r.seconds(1);
    EXPECT_EQ(r.meter().texts().cost, "0.72") << "17:58:00, four more by 18:04:00, the band change";
    EXPECT_EQ(r.state().unitLengthMs, 150'000);
    r.seconds(149);
    EXPECT_EQ(r.meter().texts().cost, "0.84") << "the evening unit 150 s after the change";
}

} // namespace
} // namespace velmora::testing
