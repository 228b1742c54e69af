#include <cstdint>
#include <string>

#include "store/NumberParse.h"
#include "tariff/Charging.h"
#include "tariff/TariffTestSupport.h"

namespace velmora::testing {
namespace {

double userFeeFor(const std::string& feeLine) {
    TempProfile temp;
    temp.write("[Cost-Editor]\n" + feeLine + "\n");
    return chargePerUnit(UserDefined, temp.profile());
}

TEST(ChargePerUnit, UserDefinedFeeIsTheLeadingNumberOfTheStoredText) {
    EXPECT_EQ(userFeeFor("Gebuehr=0.23"), 0.23);
    EXPECT_EQ(userFeeFor("Gebuehr=1.5 DM"), 1.5);
    EXPECT_EQ(userFeeFor("Gebuehr=0,23"), 0.0); // decimal comma: the number stops at 0
    EXPECT_EQ(userFeeFor("Gebuehr=2e-1"), 0.2);
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
        EXPECT_EQ(chargePerUnit(zone, temp.profile()), 0.12) << zone;
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

TEST(Display, ElapsedTimeHasTwoDigitFieldsAndWidensPastNinetyNineHours) {
    EXPECT_EQ(formatElapsed(0), "00:00:00");
    EXPECT_EQ(formatElapsed(3725), "01:02:05");
    EXPECT_EQ(formatElapsed(359999), "99:59:59");
    EXPECT_EQ(formatElapsed(360000), "100:00:00");
    EXPECT_EQ(formatElapsed(UINT32_MAX), "1193046:28:15");
}

TEST(Display, UnitLengthInSecondsWithTwoDecimals) {
    EXPECT_EQ(formatUnitLength(21500), "21.50 Sekunden Bereich");
    EXPECT_EQ(formatUnitLength(90000), "90.00 Sekunden Bereich");
    EXPECT_EQ(formatUnitLength(11), "0.01 Sekunden Bereich");
}

// The meter adds one fee at a time. In single precision (as the meter once did)
// 1000 units of 0.12 made 120.00109 and 100,000 units were shown as 12009.64; in
// double precision every sum a user can reach stays exact to the cent.
double sumOfUnits(double fee, int units) {
    double total = 0.0;
    for (int i = 0; i < units; ++i) {
        total += fee;
    }
    return total;
}

TEST(Charging, SumsOfUnitsAreExactToTheCent) {
    const double fee = chargePerUnit(City, SettingsProfile("/nonexistent/velmora.ini"));
    EXPECT_NEAR(sumOfUnits(fee, 1000), 120.0, 1e-9);
    EXPECT_EQ(formatTwoDecimals(sumOfUnits(fee, 100)), "12.00");
    EXPECT_EQ(formatTwoDecimals(sumOfUnits(fee, 100'000)), "12000.00");
    EXPECT_EQ(formatTwoDecimals(sumOfUnits(0.23, 1'000'000)), "230000.00");
}

} // namespace
} // namespace velmora::testing
