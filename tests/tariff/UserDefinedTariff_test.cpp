#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tariff/TariffTestSupport.h"

namespace velmora::testing {
namespace {

using Units = std::vector<int>;
const Units kNothing{};

std::string costEditor(const std::string& keys) { return "[Cost-Editor]\n" + keys; }

class UserDefinedTariff : public ::testing::Test {
protected:
    Units at(const LocalTime& t) const { return evaluate(UserDefined, t, temp.profile()); }
    TempProfile temp;
};

TEST_F(UserDefinedTariff, DayFlagOfExactlyOneSelectsTheHolidayListAndNothingElse) {
    temp.write(costEditor("Montag=2\nMittwoch=1\nSamstag=0\nAnzahlWochentag=1\nAnzahlFeiertag=1\n") +
               bandSection('W', 0, 0, 24, "60") + bandSection('F', 0, 0, 24, "90"));
    EXPECT_EQ(at(wednesday(12, 0, 1)), Units{90000});
    EXPECT_EQ(at(monday(12, 0, 1)), Units{60000});
    EXPECT_EQ(at(friday(12, 0, 1)), Units{60000});
    EXPECT_EQ(at(saturday(12, 0, 1)), Units{60000});
    EXPECT_EQ(at(sunday(12, 0, 1)), Units{90000}); // absent flag: Sunday is a holiday
}

TEST_F(UserDefinedTariff, EmptyHolidayListNeverFallsBackToTheWeekdayList) {
    temp.write(costEditor("AnzahlWochentag=1\n") + bandSection('W', 0, 0, 24, "60"));
    EXPECT_EQ(at(sunday(12, 0, 1)), kNothing);
    EXPECT_EQ(at(saturday(12, 0, 1)), kNothing);
    EXPECT_EQ(at(friday(12, 0, 1)), Units{60000});

    temp.write(costEditor("AnzahlWochentag=1\nAnzahlFeiertag=-3\n") + bandSection('W', 0, 0, 24, "60") +
               bandSection('F', 0, 0, 24, "90"));
    EXPECT_EQ(at(sunday(12, 0, 1)), kNothing);
}

TEST_F(UserDefinedTariff, MissingProfileOrSectionHandsOverNothing) {
    EXPECT_EQ(at(wednesday(12, 0, 1)), kNothing);
    temp.write("[Standard]\nTarifzone=4\n");
    EXPECT_EQ(at(wednesday(12, 0, 1)), kNothing);
}

TEST_F(UserDefinedTariff, OnlyTheFirstContainingBandInListOrderIsHandedOver) {
    temp.write(costEditor("AnzahlWochentag=3\n") + bandSection('W', 0, 10, 12, "30") +
               bandSection('W', 1, 8, 18, "90") + bandSection('W', 2, 0, 24, "240"));
    EXPECT_EQ(at(wednesday(10, 30, 0)), Units{30000});
    EXPECT_EQ(at(wednesday(12, 30, 0)), Units{90000});
    EXPECT_EQ(at(wednesday(20, 0, 0)), Units{240000});
    // 10:00:00 is the first second of the inner band, and lies inside the others.
    EXPECT_EQ(at(wednesday(10, 0, 0)), Units{90000});
}

TEST_F(UserDefinedTariff, BandWithoutAUsableUnitLengthIsPassedOver) {
    temp.write(costEditor("AnzahlWochentag=6\n") + bandSection('W', 0, 0, 24, "") + bandSection('W', 1, 0, 24, "abc") +
               bandSection('W', 2, 0, 24, "0") + bandSection('W', 3, 0, 24, "0.0004") +
               bandSection('W', 4, 0, 24, "21.5") + bandSection('W', 5, 0, 24, "60"));
    EXPECT_EQ(at(wednesday(12, 0, 1)), Units{21500});
}

TEST_F(UserDefinedTariff, BandsEndingAtOrBeforeTheirStartNeverMatch) {
    temp.write(costEditor("AnzahlWochentag=3\n") + bandSection('W', 0, 21, 5, "30") +
               bandSection('W', 1, 12, 12, "40") + "[W-2]\nTakt=50\n"); // W-2 reads as 0 to 0
    for (const LocalTime& t :
         {wednesday(23, 0, 1), wednesday(2, 0, 1), wednesday(12, 0, 0), wednesday(12, 30, 0), wednesday(0, 0, 1)}) {
        EXPECT_EQ(at(t), kNothing) << t.hour << ":" << t.minute;
    }
}

TEST_F(UserDefinedTariff, BandEdgesAndHoursBeyondTheDay) {
    temp.write(costEditor("AnzahlWochentag=3\n") + bandSection('W', 0, 6, 8, "11.5") +
               bandSection('W', 1, 21, 30, "20") + bandSection('W', 2, 0, 4, "30"));
    EXPECT_EQ(at(wednesday(6, 0, 0)), kNothing);
    EXPECT_EQ(at(wednesday(6, 0, 1)), Units{11500});
    EXPECT_EQ(at(wednesday(7, 59, 59)), Units{11500});
    EXPECT_EQ(at(wednesday(8, 0, 0)), kNothing);
    // Hour 30 is 06:00 tomorrow: the band simply runs to the end of today.
    EXPECT_EQ(at(wednesday(23, 59, 59)), Units{20000});
    EXPECT_EQ(at(wednesday(0, 0, 0)), kNothing);
    EXPECT_EQ(at(wednesday(3, 0, 0)), Units{30000});
}

TEST_F(UserDefinedTariff, ChangesToTheStoredTariffApplyAtTheNextEvaluation) {
    temp.write(costEditor("AnzahlWochentag=1\n") + bandSection('W', 0, 0, 24, "60"));
    EXPECT_EQ(at(wednesday(12, 0, 1)), Units{60000});
    temp.write(costEditor("AnzahlWochentag=1\n") + bandSection('W', 0, 0, 24, "45"));
    EXPECT_EQ(at(wednesday(12, 0, 1)), Units{45000});
    temp.write(costEditor("AnzahlWochentag=0\n") + bandSection('W', 0, 0, 24, "45"));
    EXPECT_EQ(at(wednesday(12, 0, 1)), kNothing);
}

// The meter keeps the bands between ticks: read once while the file stays as
// it is, read again at the first tick after any change, by this program or
// another, and the day's list as the day asks.
TEST_F(UserDefinedTariff, KeptBandsAreReadAgainAfterAnyChangeOfTheFile) {
    temp.write(costEditor("AnzahlWochentag=1\nAnzahlFeiertag=1\n") + bandSection('W', 0, 0, 24, "60") +
               bandSection('F', 0, 0, 24, "30"));
    SettingsProfile profile = temp.profile();
    PublicHolidayCache holidays;
    UserBandCache bands;
    const auto tick = [&](const LocalTime& t) {
        RecordingReceiver receiver;
        evaluateTariff(UserDefined, t, profile, receiver, holidays, &bands);
        return receiver.handedOver;
    };
    for (int s = 1; s < 60; ++s) EXPECT_EQ(tick(wednesday(12, 0, s)), Units{60000});
    EXPECT_EQ(bands.loads(), 1U);

    ASSERT_TRUE(profile.writeString("W-0", "Takt", "45"));
    EXPECT_EQ(tick(wednesday(12, 1, 0)), Units{45000}) << "a change by the program itself";
    SettingsProfile otherCopy = temp.profile();
    ASSERT_TRUE(otherCopy.writeString("W-0", "Takt", "15"));
    EXPECT_EQ(tick(wednesday(12, 1, 1)), Units{15000}) << "a change by another copy";
    EXPECT_EQ(tick(sunday(12, 1, 1)), Units{30000}) << "the holiday list on its day";
    EXPECT_EQ(tick(wednesday(12, 1, 2)), Units{15000});
    ASSERT_TRUE(profile.writeString("Cost-Editor", "AnzahlWochentag", "0"));
    EXPECT_EQ(tick(wednesday(12, 1, 3)), kNothing);
}

// Sunday bands with edges inside the hour that the clock skips or repeats.
class UserDefinedAroundDaylightSaving : public UserDefinedTariff {
protected:
    void SetUp() override {
        temp.write(costEditor("AnzahlFeiertag=3\n") + bandSection('F', 0, 0, 2, "10") +
                   bandSection('F', 1, 2, 3, "20") + bandSection('F', 2, 3, 24, "30"));
    }
    static int unitOfWallHour(int hour) { return hour < 2 ? 10000 : hour < 3 ? 20000 : 30000; }

    // Ticks as a real clock shows them: never two bands at once, never a band
    // other than the one of the wall-clock hour, and silence only on a full hour.
    Units sweep(std::int64_t fromEpoch, std::int64_t toEpoch, int step = 1) const {
        Units seen;
        for (std::int64_t s = fromEpoch; s <= toEpoch; s += step) {
            const LocalTime t = localTimeOf(s);
            const Units handed = at(t);
            EXPECT_LE(handed.size(), 1U) << s;
            if (handed.empty()) {
                EXPECT_TRUE(t.minute == 0 && t.second == 0) << t.hour << ":" << t.minute << ":" << t.second;
            } else {
                EXPECT_EQ(handed.front(), unitOfWallHour(t.hour)) << t.hour << ":" << t.minute;
                seen.push_back(handed.front());
            }
        }
        return seen;
    }
};

TEST_F(UserDefinedAroundDaylightSaving, SkippedHourBandNeverApplies) {
    const std::int64_t jump = 1774746000; // 2026-03-29 01:59:59 CET is one second before
    const Units seen = sweep(jump - 600, jump + 600);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 20000), 0);
    EXPECT_EQ(at(localTimeOf(jump - 1)), Units{10000});
    EXPECT_EQ(at(localTimeOf(jump)), kNothing); // 03:00:00
    EXPECT_EQ(at(localTimeOf(jump + 1)), Units{30000});
}

TEST_F(UserDefinedAroundDaylightSaving, RepeatedHourStaysInItsBand) {
    const std::int64_t firstTwoOClock = 1792886400; // 2026-10-25 02:00:00 CEST
    // The first 02:00, the second 02:00 (03:00 CEST turned back) and 03:00 CET.
    for (int edge = 0; edge < 3; ++edge) {
        const std::int64_t at = firstTwoOClock + edge * 3600;
        sweep(at - 120, at + 120);
    }
    // Both passes through 02:xx are charged by the 2-3 band.
    const Units seen = sweep(firstTwoOClock + 1, firstTwoOClock + 2 * 3600 - 1, 10);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 20000), 2 * 360);
}

} // namespace
} // namespace velmora::testing
