#include <gtest/gtest.h>

#include "holidays/HolidayRegion.h"

namespace velmora {
namespace {

TEST(HolidayChoices, NoneAndNationwideFirstThenTheStatesAlphabetically) {
    ASSERT_EQ(kHolidayChoices.size(), 18U);
    EXPECT_EQ(kHolidayChoices[0].name, "keine");
    EXPECT_EQ(kHolidayChoices[0].code, "");
    EXPECT_EQ(kHolidayChoices[1].name, "nur bundesweite");
    EXPECT_EQ(kHolidayChoices[1].code, "DE");
    const std::string_view states[] = {"BW Baden-Württemberg",
                                       "BY Bayern",
                                       "BE Berlin",
                                       "BB Brandenburg",
                                       "HB Bremen",
                                       "HH Hamburg",
                                       "HE Hessen",
                                       "MV Mecklenburg-Vorpommern",
                                       "NI Niedersachsen",
                                       "NW Nordrhein-Westfalen",
                                       "RP Rheinland-Pfalz",
                                       "SL Saarland",
                                       "SN Sachsen",
                                       "ST Sachsen-Anhalt",
                                       "SH Schleswig-Holstein",
                                       "TH Thüringen"};
    for (std::size_t i = 0; i < 16; ++i) {
        const HolidayChoice& choice = kHolidayChoices[i + 2];
        EXPECT_EQ(std::string(choice.code) + " " + std::string(choice.name), states[i]);
    }
}

TEST(HolidayChoices, EveryCodeReadsBackAsItsOwnChoice) {
    for (std::size_t i = 0; i < kHolidayChoices.size(); ++i) {
        const HolidayChoice& choice = kHolidayChoices[i];
        EXPECT_EQ(holidayChoiceIndex(choice.code), i);
        EXPECT_EQ(holidayRegionOf(choice.code), choice.region);
        EXPECT_EQ(holidayCodeOf(choice.region), choice.code);
    }
}

TEST(HolidayChoices, LowerCaseAndOuterBlanksNameTheStateAnythingElseIsNone) {
    EXPECT_EQ(holidayRegionOf("by"), HolidayRegion::BY);
    EXPECT_EQ(holidayRegionOf("De"), HolidayRegion::Nationwide);
    EXPECT_EQ(holidayRegionOf(" SN\t"), HolidayRegion::SN);
    EXPECT_EQ(holidayChoiceIndex("th"), 17U);
    for (const char* bad : {"XX", "B Y", "Bayern", "BYY", "B", "   ", "", "DE,BY", "\xc3\x9f"}) {
        EXPECT_EQ(holidayRegionOf(bad), HolidayRegion::None) << bad;
        EXPECT_EQ(holidayChoiceIndex(bad), 0U) << bad;
    }
}

} // namespace
} // namespace velmora
