#include <cstdint>
#include <string>

#include "tariff/Charging.h"
#include "tariff/TariffTestSupport.h"

namespace velmora::testing {
namespace {

Money cents(std::int64_t n) { return Money::fromCents(n); }

Money userFeeFor(const std::string& feeLine) {
    TempProfile temp;
    temp.write("[Cost-Editor]\n" + feeLine + "\n");
    return chargePerUnit(UserDefined, temp.profile());
}

TEST(ChargePerUnit, UserDefinedFeeIsTheLeadingNumberOfTheStoredText) {
    EXPECT_EQ(userFeeFor("Gebuehr=0.23"), cents(23));
    EXPECT_EQ(userFeeFor("Gebuehr=1.5 DM"), cents(150));
    EXPECT_EQ(userFeeFor("Gebuehr=0,23"), Money()); // decimal comma: the number stops at 0
    EXPECT_EQ(userFeeFor("Gebuehr=2e-1"), cents(20));
    EXPECT_EQ(userFeeFor("Gebuehr=0.0575"), Money::fromMicros(57'500)); // finer than a cent, exact
    EXPECT_EQ(userFeeFor("Gebuehr=1e300"), userFeeFor("Gebuehr=1e299")) << "saturated, not wrapped";
}

TEST(ChargePerUnit, FallsBackToTheDefaultWhenNoFeeCanBeRead) {
    EXPECT_EQ(userFeeFor("AnzahlWochentag=0"), kDefaultFee); // key absent
    EXPECT_EQ(userFeeFor("Gebuehr="), kDefaultFee);
    EXPECT_EQ(userFeeFor("Gebuehr=zwoelf"), kDefaultFee);
    EXPECT_EQ(chargePerUnit(UserDefined, SettingsProfile("/nonexistent/velmora.ini")), kDefaultFee);
}

TEST(ChargePerUnit, OtherTariffsIgnoreTheStoredFee) {
    TempProfile temp;
    temp.write("[Cost-Editor]\nGebuehr=0.99\n");
    for (int zone : {int{City}, int{Region50}, int{Region200}, int{Fern}, int{NoTariff}, 17}) {
        EXPECT_EQ(chargePerUnit(zone, temp.profile()), cents(12)) << zone;
    }
}

TEST(Warning, SoundsFromTheThresholdOnAndNeverWithoutOne) {
    EXPECT_FALSE(warningDue(1, 299));
    EXPECT_TRUE(warningDue(1, 300));
    EXPECT_TRUE(warningDue(1, 301));
    EXPECT_FALSE(warningDue(8, 240 * 60 - 1));
    EXPECT_TRUE(warningDue(8, 240 * 60));
    for (int index : {0, -1, 9, 1000}) {
        EXPECT_FALSE(warningDue(index, UINT32_MAX)) << index;
        EXPECT_EQ(warningMinutes(index), -1);
    }
}

// The meter adds one fee at a time. In single precision (as the meter once did)
// 1000 units of 0.12 made 120.00109 and 100,000 units were shown as 12009.64;
// in double precision a fee such as 0.0575 still drifts. Money adds exactly.
Money sumOfUnits(Money fee, int units) {
    Money total;
    for (int i = 0; i < units; ++i) {
        total += fee;
    }
    return total;
}

TEST(Charging, SumsOfUnitsAreExactToTheCent) {
    const Money fee = chargePerUnit(City, SettingsProfile("/nonexistent/velmora.ini"));
    EXPECT_EQ(sumOfUnits(fee, 1000), cents(12000));
    EXPECT_EQ(sumOfUnits(fee, 100).text(), "12.00");
    EXPECT_EQ(sumOfUnits(fee, 100'000).text(), "12000.00");
    EXPECT_EQ(sumOfUnits(cents(23), 1'000'000).text(), "230000.00");
    EXPECT_EQ(sumOfUnits(Money::fromMicros(57'500), 1'000'000).text(), "57500.00");
}

} // namespace
} // namespace velmora::testing
