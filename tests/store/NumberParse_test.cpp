#include "store/NumberParse.h"

#include <clocale>
#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(ParseLeadingDouble, ReadsTheLeadingNumberLikeScanf) {
    EXPECT_EQ(parseLeadingDouble("12.5"), 12.5);
    EXPECT_EQ(parseLeadingDouble("12,5"), 12.0);
    EXPECT_EQ(parseLeadingDouble(".5"), 0.5);
    EXPECT_EQ(parseLeadingDouble("5."), 5.0);
    EXPECT_EQ(parseLeadingDouble("  \t-3.25xyz"), -3.25);
    EXPECT_EQ(parseLeadingDouble("+7"), 7.0);
    EXPECT_EQ(parseLeadingDouble("1.5e2"), 150.0);
    EXPECT_EQ(parseLeadingDouble("2E-1"), 0.2);
    EXPECT_EQ(parseLeadingDouble("120.00"), 120.0);
}

// A float holds only about seven digits: a total of a million would lose its cents.
TEST(ParseLeadingDouble, KeepsTheCentsOfLargeTotals) {
    EXPECT_EQ(formatTwoDecimals(*parseLeadingDouble("1234567.89")), "1234567.89");
    EXPECT_EQ(formatTwoDecimals(*parseLeadingDouble("12000.01")), "12000.01");
}

TEST(ParseLeadingDouble, AnExponentWithoutDigitsIsNotPartOfTheNumber) {
    EXPECT_EQ(parseLeadingDouble("3e"), 3.0);
    EXPECT_EQ(parseLeadingDouble("3e+"), 3.0);
    EXPECT_EQ(parseLeadingDouble("3.5E-x"), 3.5);
}

TEST(ParseLeadingDouble, NoNumberOrNoFiniteValueIsNothing) {
    for (const char* text : {"", " ", "abc", ".", "-", "+.", "- 5", "inf", "nan", "-infinity", "1e309", "-1e309",
                             "1e99999999999999999999"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parseLeadingDouble(text), std::nullopt);
    }
    EXPECT_EQ(parseLeadingDouble("0x10p1"), 0.0); // hex is not read: "0" is the number
}

TEST(ParseLeadingDouble, TinyValuesReadAsZeroNotAsNothing) {
    EXPECT_EQ(parseLeadingDouble("1e-400"), 0.0);
    EXPECT_EQ(parseLeadingDouble("0." + std::string(400, '0') + "1"), 0.0);
    EXPECT_EQ(parseLeadingDouble("-1e-99999999999999"), 0.0);
    EXPECT_EQ(parseLeadingDouble("0e999999"), 0.0);
    EXPECT_EQ(parseLeadingDouble("0.001e-400"), 0.0);
    EXPECT_EQ(parseLeadingDouble("1000e-400"), 0.0);
}

TEST(ParseLeadingDouble, IgnoresTheProcessLocale) {
    // A locale with a decimal comma, where available, must not change the result.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = previous ? previous : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_EQ(parseLeadingDouble("12.5"), 12.5);
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
    EXPECT_EQ(formatTwoDecimals(120.00109), "120.00");
    EXPECT_EQ(formatTwoDecimals(125.4), "125.40");
    EXPECT_EQ(formatTwoDecimals(0.0), "0.00");
    EXPECT_EQ(formatTwoDecimals(2.675), "2.67"); // 2.67499999... in binary
    EXPECT_EQ(formatTwoDecimals(0.125), "0.12"); // an exact tie goes to even
    EXPECT_EQ(formatTwoDecimals(-3.6), "-3.60");
    EXPECT_EQ(formatTwoDecimals(1e20), "100000000000000000000.00");
    EXPECT_EQ(formatTwoDecimals(std::numeric_limits<double>::max()).size(), 312u);
}

} // namespace
} // namespace velmora
