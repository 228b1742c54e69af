#include "store/NumberParse.h"

#include <clocale>
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(ParseLeadingFloat, ReadsTheLeadingNumberLikeScanf) {
    EXPECT_EQ(parseLeadingFloat("12.5"), 12.5f);
    EXPECT_EQ(parseLeadingFloat("12,5"), 12.0f);
    EXPECT_EQ(parseLeadingFloat(".5"), 0.5f);
    EXPECT_EQ(parseLeadingFloat("5."), 5.0f);
    EXPECT_EQ(parseLeadingFloat("  \t-3.25xyz"), -3.25f);
    EXPECT_EQ(parseLeadingFloat("+7"), 7.0f);
    EXPECT_EQ(parseLeadingFloat("1.5e2"), 150.0f);
    EXPECT_EQ(parseLeadingFloat("2E-1"), 0.2f);
    EXPECT_EQ(parseLeadingFloat("120.00"), 120.0f);
}

TEST(ParseLeadingFloat, AnExponentWithoutDigitsIsNotPartOfTheNumber) {
    EXPECT_EQ(parseLeadingFloat("3e"), 3.0f);
    EXPECT_EQ(parseLeadingFloat("3e+"), 3.0f);
    EXPECT_EQ(parseLeadingFloat("3.5E-x"), 3.5f);
}

TEST(ParseLeadingFloat, NoNumberOrNoFiniteValueIsNothing) {
    for (const char* text : {"", " ", "abc", ".", "-", "+.", "- 5", "inf", "nan", "-infinity",
                             "1e39", "-1e39", "1e99999999999999999999"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parseLeadingFloat(text), std::nullopt);
    }
    EXPECT_EQ(parseLeadingFloat("0x10p1"), 0.0f); // hex is not read: "0" is the number
}

TEST(ParseLeadingFloat, TinyValuesReadAsZeroNotAsNothing) {
    EXPECT_EQ(parseLeadingFloat("1e-50"), 0.0f);
    EXPECT_EQ(parseLeadingFloat("0.0000000000000000000000000000000000000000000000001"), 0.0f);
    EXPECT_EQ(parseLeadingFloat("-1e-99999999999999"), 0.0f);
    EXPECT_EQ(parseLeadingFloat("0e999999"), 0.0f);
    EXPECT_EQ(parseLeadingFloat("0.001e-60"), 0.0f);
    EXPECT_EQ(parseLeadingFloat("1000e-50"), 0.0f);
}

TEST(ParseLeadingFloat, IgnoresTheProcessLocale) {
    // A locale with a decimal comma, where available, must not change the result.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = previous ? previous : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_EQ(parseLeadingFloat("12.5"), 12.5f);
    EXPECT_EQ(formatTwoDecimals(12.5), "12.50");
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(UnitLengthTextToMs, ConvertsSecondsExactly) {
    EXPECT_EQ(unitLengthTextToMs("11.5"), 11500);
    EXPECT_EQ(unitLengthTextToMs("21.5"), 21500);
    EXPECT_EQ(unitLengthTextToMs("12"), 12000);
    EXPECT_EQ(unitLengthTextToMs("240"), 240000);
    EXPECT_EQ(unitLengthTextToMs("0.0015"), 1);
    EXPECT_EQ(unitLengthTextToMs("1.2349"), 1234);
    EXPECT_EQ(unitLengthTextToMs("7."), 7000);
    EXPECT_EQ(unitLengthTextToMs("90s"), 90000);
}

TEST(UnitLengthTextToMs, TextNotStartingWithADigitIsZero) {
    for (const char* text : {"", "x", " 5", ".5", "-5", "+5"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(unitLengthTextToMs(text), 0);
    }
}

TEST(UnitLengthTextToMs, SaturatesInsteadOfOverflowing) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(unitLengthTextToMs("2147483.647"), kMax);
    EXPECT_EQ(unitLengthTextToMs("2147483.6469"), kMax - 1);
    EXPECT_EQ(unitLengthTextToMs("2147483.648"), kMax);
    EXPECT_EQ(unitLengthTextToMs("2147484"), kMax);
    EXPECT_EQ(unitLengthTextToMs("99999999999999999999999999.9"), kMax);
}

TEST(FormatTwoDecimals, RoundsTheBinaryValueAsPrintfDoes) {
    EXPECT_EQ(formatTwoDecimals(120.00109f), "120.00");
    EXPECT_EQ(formatTwoDecimals(125.4f), "125.40");
    EXPECT_EQ(formatTwoDecimals(0.0), "0.00");
    EXPECT_EQ(formatTwoDecimals(2.675), "2.67"); // 2.67499999... in binary
    EXPECT_EQ(formatTwoDecimals(0.125), "0.12"); // an exact tie goes to even
    EXPECT_EQ(formatTwoDecimals(-3.6), "-3.60");
    EXPECT_EQ(formatTwoDecimals(1e20), "100000000000000000000.00");
    EXPECT_EQ(formatTwoDecimals(std::numeric_limits<double>::max()).size(), 312u);
}

} // namespace
} // namespace velmora
