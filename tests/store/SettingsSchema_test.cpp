// The settings' schema: tables of keys filling plain structs.
#include "store/SettingsSchema.h"

#include "store/StoreTestSupport.h"

namespace velmora {
namespace {

// A section the program does not have yet, as a new one is added: a struct
// and its table, one row per key.
struct Budget {
    Money monthly;
    int dueDay = 1;
    std::string note = "keine";
};
constexpr SettingKey<Budget> kBudgetKeys[] = {
    key<&Budget::monthly>("Monat"),
    key<&Budget::dueDay>("Stichtag"),
    key<&Budget::note>("Notiz"),
};
constexpr auto kBudget = settingsSection("Budget", kBudgetKeys);

static_assert(keyOf<&StandardSettings::warningIndex>(settings::kStandard).name == "Warnung");
static_assert(keyOf<&Budget::dueDay>(kBudget).name == "Stichtag");

class SettingsSchemaTest : public test::TempDirTest {
protected:
    SettingsProfile profile_{pathOf("velmora.INI")};
    void write(const std::string& text) { test::writeFileBytes(profile_.path(), text); }
};

TEST_F(SettingsSchemaTest, ANewSectionIsAStructAndItsTableAndRoundTripsInTheTablesOrder) {
    Budget budget;
    budget.monthly = Money::fromCents(5000);
    budget.dueDay = 15;
    budget.note = "Telefon 1997";
    ASSERT_TRUE(profile_.writeStrings(kBudget.name, keyValuesOf(kBudget, budget)).ok);
    EXPECT_EQ(test::readFileBytes(profile_.path()), "[Budget]\nMonat=50.00\nStichtag=15\nNotiz=Telefon 1997\n");
    const Budget back = readSection(profile_, kBudget);
    EXPECT_EQ(back.monthly, budget.monthly);
    EXPECT_EQ(back.dueDay, 15);
    EXPECT_EQ(back.note, "Telefon 1997");
}

// Each type reads as the program always read it: a whole number by its leading
// digits, an amount by its leading number, a text as it stands.
TEST_F(SettingsSchemaTest, MissingKeysKeepTheDefaultsAndStoredTextsReadByTheirType) {
    const Budget none = readSection(profile_, kBudget);
    EXPECT_EQ(none.monthly, Money());
    EXPECT_EQ(none.dueDay, 1);
    EXPECT_EQ(none.note, "keine");

    write("[Budget]\nMonat=12,5\nStichtag=\nNotiz=\n[Standard]\nKosten=kaputt\nTarifzone=4abc\nWarnung=-1\n");
    const Budget odd = readSection(profile_, kBudget);
    EXPECT_EQ(odd.monthly, Money::fromCents(1200)) << "the number stops at the comma";
    EXPECT_EQ(odd.dueDay, 1) << "an empty number is the default";
    EXPECT_EQ(odd.note, "") << "an empty text is a text";
    const StandardSettings standard = readSection(profile_, settings::kStandard);
    EXPECT_EQ(standard.grandTotal, Money()) << "no number: the default";
    EXPECT_EQ(standard.tariffZone, 4);
    EXPECT_EQ(standard.warningIndex, -1);
}

// Values not yet written (the journal holds them) are newer than the file's.
TEST_F(SettingsSchemaTest, NewerValuesWinKeyByKey) {
    write("[Standard]\nKosten=10.00\nTarifzone=3\nWarnung=2\n");
    const StandardSettings s = readSection(profile_, settings::kStandard, KeyValues{{"Kosten", "10.84"}});
    EXPECT_EQ(s.grandTotal, Money::fromCents(1084));
    EXPECT_EQ(s.tariffZone, 3);
    EXPECT_EQ(s.warningIndex, 2);
    EXPECT_EQ(keyValuesOf(settings::kStandard, s),
              (KeyValues{{"Kosten", "10.84"}, {"Tarifzone", "3"}, {"Warnung", "2"}}));
}

} // namespace
} // namespace velmora
