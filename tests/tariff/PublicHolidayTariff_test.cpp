// Public holidays in the tariffs: with a "Land", a holiday is a Sunday for the
// built-in zones and a holiday-list day for the own tariff; without one,
// nothing changes.
#include <string>
#include <vector>

#include "tariff/TariffTestSupport.h"

namespace velmora::testing {
namespace {

// Christmas Day 2026 is a Friday; 1 May 2026 a Friday; Fronleichnam 2026 (4
// June) a Thursday; 3 October 2026 a Saturday.
LocalTime christmas(int h, int m, int s) { return localTime(2026, 12, 25, 5, h, m, s); }
LocalTime mayDay(int h, int m, int s) { return localTime(2026, 5, 1, 5, h, m, s); }
LocalTime corpusChristi(int h, int m, int s) { return localTime(2026, 6, 4, 4, h, m, s); }
LocalTime unityDay(int h, int m, int s) { return localTime(2026, 10, 3, 6, h, m, s); }

std::string land(const std::string& code) { return "[Feiertage]\nLand=" + code + "\n"; }

// Unit lengths of the four zones at 10:30, written out from their tables.
const std::vector<int> kWorkdayAt1030{90000, 26000, 12000, 11500};
const std::vector<int> kWeekendAt1030{150000, 45000, 21500, 20000};

std::vector<int> builtInZonesAt(const LocalTime& t, const SettingsProfile& profile) {
    std::vector<int> lengths;
    for (int zone : {City, Region50, Region200, Fern}) {
        const std::vector<int> handed = evaluate(zone, t, profile);
        lengths.push_back(handed.size() == 1 ? handed[0] : -1);
    }
    return lengths;
}

TEST(PublicHolidayTariff, BuiltInZonesChargeAHolidayAsASundayOnlyWithALand) {
    TempProfile temp;
    EXPECT_EQ(builtInZonesAt(christmas(10, 30, 0), temp.profile()), kWorkdayAt1030) << "no section: as always";
    for (const char* code : {"DE", "BY", "by", " HH "}) {
        temp.write(land(code));
        EXPECT_EQ(builtInZonesAt(christmas(10, 30, 0), temp.profile()), kWeekendAt1030) << code;
        EXPECT_EQ(builtInZonesAt(wednesday(10, 30, 0), temp.profile()), kWorkdayAt1030) << code << ": no holiday";
    }
    for (const char* bad : {"", "XX", "B Y", "Bayern", "\"\""}) {
        temp.write(land(bad));
        EXPECT_EQ(builtInZonesAt(christmas(10, 30, 0), temp.profile()), kWorkdayAt1030) << bad;
    }
}

TEST(PublicHolidayTariff, AStateHolidayHoldsInItsStateOnly) {
    TempProfile temp;
    temp.write(land("BY"));
    EXPECT_EQ(evaluate(City, corpusChristi(10, 30, 0), temp.profile()), std::vector<int>{150000}) << "Fronleichnam";
    temp.write(land("NI"));
    EXPECT_EQ(evaluate(City, corpusChristi(10, 30, 0), temp.profile()), std::vector<int>{90000});
    temp.write(land("DE"));
    EXPECT_EQ(evaluate(City, corpusChristi(10, 30, 0), temp.profile()), std::vector<int>{90000});
}

// Weekday list: one band of 60 s all day; holiday list: one of 30 s.
std::string ownTariff(const std::string& dayFlags) {
    return "[Cost-Editor]\n" + dayFlags + "AnzahlWochentag=1\nAnzahlFeiertag=1\n" + bandSection('W', 0, 0, 24, "60") +
           bandSection('F', 0, 0, 24, "30");
}

TEST(PublicHolidayTariff, TheOwnTariffTakesItsHolidayListOnAHolidayWhateverTheDayFlagSays) {
    TempProfile temp;
    temp.write(ownTariff(""));
    EXPECT_EQ(evaluate(UserDefined, mayDay(12, 0, 1), temp.profile()), std::vector<int>{60000}) << "no Land";
    temp.write(ownTariff("") + land("BE"));
    EXPECT_EQ(evaluate(UserDefined, mayDay(12, 0, 1), temp.profile()), std::vector<int>{30000});
    EXPECT_EQ(evaluate(UserDefined, friday(12, 0, 1), temp.profile()), std::vector<int>{60000}) << "no holiday";

    temp.write(ownTariff("Samstag=0\nFreitag=2\n") + land("SH"));
    EXPECT_EQ(evaluate(UserDefined, unityDay(12, 0, 1), temp.profile()), std::vector<int>{30000})
        << "a Saturday flagged as a working day";
    EXPECT_EQ(evaluate(UserDefined, mayDay(12, 0, 1), temp.profile()), std::vector<int>{30000});
    EXPECT_EQ(evaluate(UserDefined, saturday(12, 0, 1), temp.profile()), std::vector<int>{60000})
        << "the flag still rules an ordinary day";
}

TEST(PublicHolidayTariff, AHolidayWithAnEmptyHolidayListChargesNoBandAtAll) {
    TempProfile temp;
    temp.write("[Cost-Editor]\nAnzahlWochentag=1\n" + bandSection('W', 0, 0, 24, "60") + land("DE"));
    EXPECT_TRUE(evaluate(UserDefined, mayDay(12, 0, 1), temp.profile()).empty());
}

// The calendar is asked once a day, yet a changed "Land" and the next day
// count from the next evaluation.
TEST(PublicHolidayTariff, TheCacheAnswersForItsDayAndCodeOnly) {
    TempProfile temp;
    const SettingsProfile profile = temp.profile();
    PublicHolidayCache cache;
    RecordingReceiver receiver;
    for (int s = 1; s < 60; ++s) evaluateTariff(City, christmas(10, 30, s), profile, receiver, cache);
    EXPECT_EQ(receiver.handedOver.back(), 90000);
    EXPECT_EQ(cache.calendarLookups(), 1U);

    temp.write(land("DE"));
    evaluateTariff(City, christmas(10, 31, 0), profile, receiver, cache);
    EXPECT_EQ(receiver.handedOver.back(), 150000);
    EXPECT_EQ(cache.calendarLookups(), 2U);

    evaluateTariff(City, localTime(2026, 12, 28, 1, 10, 30, 0), profile, receiver, cache);
    EXPECT_EQ(receiver.handedOver.back(), 90000) << "the Monday after";
    evaluateTariff(City, localTime(2027, 12, 25, 6, 10, 30, 0), profile, receiver, cache);
    EXPECT_EQ(cache.calendarLookups(), 4U) << "the same day of another year is another day";
}

} // namespace
} // namespace velmora::testing
