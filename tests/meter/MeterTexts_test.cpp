#include <gtest/gtest.h>

#include <cstdint>

#include "meter/MeterTexts.h"

namespace velmora {
namespace {

TEST(MeterTexts, ElapsedTimeHasTwoDigitFieldsAndWidensPastNinetyNineHours) {
    EXPECT_EQ(formatElapsed(0), "00:00:00");
    EXPECT_EQ(formatElapsed(3725), "01:02:05");
    EXPECT_EQ(formatElapsed(359999), "99:59:59");
    EXPECT_EQ(formatElapsed(360000), "100:00:00");
    EXPECT_EQ(formatElapsed(UINT32_MAX), "1193046:28:15");
}

TEST(MeterTexts, UnitLengthInSecondsWithTwoDecimals) {
    EXPECT_EQ(formatUnitLength(21500), "21.50 Sekunden Bereich");
    EXPECT_EQ(formatUnitLength(90000), "90.00 Sekunden Bereich");
    EXPECT_EQ(formatUnitLength(11), "0.01 Sekunden Bereich");
}

} // namespace
} // namespace velmora
