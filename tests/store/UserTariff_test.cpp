#include "store/NumberParse.h"
#include "store/UserTariff.h"

#include <cerrno>
#include <chrono>

#include "store/AtomicFile.h"
#include "store/StoreTestSupport.h"

namespace velmora {
namespace {

class UserTariffTest : public test::TempDirTest {
protected:
    SettingsProfile profile_{pathOf("velmora.INI")};
    std::string fileBytes() const { return test::readFileBytes(profile_.path()); }
};

UserTariff sampleTariff() {
    UserTariff tariff;
    tariff.unitFee = "0.23";
    tariff.holidayWeekdays = {false, false, true, false, false, true, true};
    tariff.weekdayBands = {{8, 18, "90"}, {18, 24, "150"}};
    tariff.holidayBands = {{0, 24, "11.5"}};
    return tariff;
}

TEST_F(UserTariffTest, NothingStoredReadsAsTheDefaults) {
    UserTariff tariff = loadUserTariff(profile_);
    EXPECT_EQ(tariff.unitFee, "0.12");
    EXPECT_EQ(tariff.holidayWeekdays, (std::array<bool, 7>{false, false, false, false, false, true, true}));
    EXPECT_TRUE(tariff.weekdayBands.empty());
    EXPECT_TRUE(tariff.holidayBands.empty());
    EXPECT_EQ(readHolidayFlag(profile_, 0), 1);
    EXPECT_EQ(readHolidayFlag(profile_, 6), 1);
    EXPECT_EQ(readHolidayFlag(profile_, 3), 0);
}

TEST_F(UserTariffTest, SaveWritesEveryKeyInItsFixedOrder) {
    saveUserTariff(profile_, sampleTariff());
    EXPECT_EQ(fileBytes(), "[Cost-Editor]\nMontag=0\nDienstag=0\nMittwoch=1\nDonnerstag=0\nFreitag=0\n"
                           "Samstag=1\nSonntag=1\nAnzahlWochentag=2\nAnzahlFeiertag=1\nGebuehr=0.23\n"
                           "[W-0]\nAnfang=8\nEnde=18\nTakt=90\n[W-1]\nAnfang=18\nEnde=24\nTakt=150\n"
                           "[F-0]\nAnfang=0\nEnde=24\nTakt=11.5\n");
}

TEST_F(UserTariffTest, SaveThenLoadReproducesTheTariff) {
    UserTariff saved = sampleTariff();
    saved.weekdayBands.push_back({22, 6, "  12 Sek."}); // stored as entered, even if odd
    saved.weekdayBands.push_back({25, -1, ""});
    saveUserTariff(profile_, saved);
    UserTariff loaded = loadUserTariff(profile_);
    EXPECT_EQ(loaded.unitFee, saved.unitFee);
    EXPECT_EQ(loaded.holidayWeekdays, saved.holidayWeekdays);
    saved.weekdayBands[saved.weekdayBands.size() - 2].unitLengthText = "12 Sek."; // outer blanks are not kept
    EXPECT_EQ(loaded.weekdayBands, saved.weekdayBands);
    EXPECT_EQ(loaded.holidayBands, saved.holidayBands);
    EXPECT_EQ(unitLengthTextToMs(loaded.weekdayBands[saved.weekdayBands.size() - 2].unitLengthText), 12000);
}

// Once every section was its own write: a failure half-way left the new
// counts with the old bands.
TEST_F(UserTariffTest, ASaveThatFailsLeavesTheOldTariffWholeAndSaysWhy) {
    saveUserTariff(profile_, sampleTariff());
    const std::string before = fileBytes();
    UserTariff longer = sampleTariff();
    longer.weekdayBands.push_back({5, 8, "45"});
    const atomic_file::ScopedWriteFaults noSpace(
        atomic_file::WriteFaults::failing(atomic_file::WriteStep::Write, ENOSPC));
    const WriteResult result = saveUserTariff(profile_, longer);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.reason, atomic_file::reasonFor(ENOSPC));
    EXPECT_EQ(fileBytes(), before);
}

TEST_F(UserTariffTest, AShorterListLeavesStaleSectionsThatNoReaderSees) {
    UserTariff tariff;
    for (int i = 0; i < 5; ++i) tariff.weekdayBands.push_back({i, i + 1, std::to_string(10 + i)});
    saveUserTariff(profile_, tariff);
    tariff.weekdayBands.resize(3);
    tariff.weekdayBands[0].unitLengthText = "99";
    saveUserTariff(profile_, tariff);

    EXPECT_EQ(profile_.readInt(kCostEditorSection, "AnzahlWochentag", -1), 3);
    EXPECT_EQ(profile_.readString("W-4", "Takt", ""), "14");
    EXPECT_EQ(loadBandList(profile_, BandList::Weekday), tariff.weekdayBands);
}

TEST_F(UserTariffTest, OnlyAFlagOfExactlyOneMeansHolidayList) {
    profile_.writeInt(kCostEditorSection, "Montag", 2);
    profile_.writeInt(kCostEditorSection, "Samstag", 0);
    profile_.writeString(kCostEditorSection, "Dienstag", "1abc");
    EXPECT_FALSE(isHolidayListDay(profile_, 1));
    EXPECT_FALSE(isHolidayListDay(profile_, 6));
    EXPECT_TRUE(isHolidayListDay(profile_, 2));
    EXPECT_TRUE(isHolidayListDay(profile_, 0)); // still the default
    EXPECT_STREQ(holidayFlagKey(0), "Sonntag");
    EXPECT_STREQ(holidayFlagKey(6), "Samstag");
}

TEST_F(UserTariffTest, MissingBandSectionsReadAsEmptyBands) {
    profile_.writeInt(kCostEditorSection, "AnzahlFeiertag", 2);
    profile_.writeString("F-1", "Takt", "240");
    EXPECT_EQ(loadBandList(profile_, BandList::Holiday), (std::vector<TariffBand>{{0, 0, ""}, {0, 0, "240"}}));
    profile_.writeInt(kCostEditorSection, "AnzahlFeiertag", -3);
    EXPECT_TRUE(loadBandList(profile_, BandList::Holiday).empty());
}

TEST_F(UserTariffTest, AHugeHandEditedCountIsCappedAndReturnsQuickly) {
    profile_.writeString(kCostEditorSection, "AnzahlWochentag", "2000000000");
    profile_.writeStrings("W-0", {{"Anfang", "7"}, {"Ende", "9"}, {"Takt", "60"}});
    const auto start = std::chrono::steady_clock::now();
    std::vector<TariffBand> bands = loadBandList(profile_, BandList::Weekday);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ASSERT_EQ(bands.size(), static_cast<std::size_t>(kMaxStoredBands));
    EXPECT_EQ(bands.front(), (TariffBand{7, 9, "60"}));
    EXPECT_EQ(bands.back(), (TariffBand{0, 0, ""}));
}

} // namespace
} // namespace velmora
