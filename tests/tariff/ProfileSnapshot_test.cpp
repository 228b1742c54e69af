// The one-read copy of the profile that the tariff model evaluates against.
#include "tariff/TariffTestSupport.h"

namespace velmora::testing {
namespace {

TEST(ProfileSnapshot, ReadsTheFileAsItStoodWhenTaken) {
    TempProfile temp;
    temp.write("[Cost-Editor]\nAnzahlWochentag=3\nGebuehr=0.20\n");
    SettingsProfile frozen = temp.profile().snapshot();
    temp.write("[Cost-Editor]\nAnzahlWochentag=5\n");

    EXPECT_EQ(frozen.readInt("cost-editor", "anzahlwochentag", 0), 3);
    EXPECT_EQ(frozen.readString("Cost-Editor", "Gebuehr", "0.12"), "0.20");
    EXPECT_EQ(frozen.snapshot().readInt("Cost-Editor", "AnzahlWochentag", 0), 3);
    EXPECT_EQ(temp.profile().readInt("Cost-Editor", "AnzahlWochentag", 0), 5);

    // A write goes to the file, and the copy reads the file again from then on.
    frozen.writeInt("Standard", "Warnung", 2);
    EXPECT_EQ(frozen.readInt("Cost-Editor", "AnzahlWochentag", 0), 5);
    EXPECT_EQ(frozen.readInt("Standard", "Warnung", 0), 2);
}

TEST(ProfileSnapshot, MissingFileReadsAsDefaults) {
    TempProfile temp;
    const SettingsProfile frozen = temp.profile().snapshot();
    temp.write("[Cost-Editor]\nAnzahlWochentag=5\n");
    EXPECT_EQ(frozen.readInt("Cost-Editor", "AnzahlWochentag", -1), -1);
    EXPECT_EQ(frozen.readString("Cost-Editor", "Gebuehr", "0.12"), "0.12");
}

} // namespace
} // namespace velmora::testing
