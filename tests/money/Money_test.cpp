#include "money/Money.h"

#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <random>
#include <string>

namespace velmora {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

// "%.2f" of the amount, as the program always wrote money: an amount halfway
// between two cents rounds as its binary value does.
TEST(Money, TextIsTwoDecimalsOfTheAmountAsEver) {
    EXPECT_EQ(Money::fromCents(12).text(), "0.12");
    EXPECT_EQ(Money::fromCents(-360).text(), "-3.60");
    EXPECT_EQ(Money::fromCents(123'456'789).text(), "1234567.89");
    EXPECT_EQ(Money::fromMicros(4'999).text(), "0.00");
    EXPECT_EQ(Money::fromMicros(5'000).text(), "0.01") << "0.005 is a little more in binary";
    EXPECT_EQ(Money::fromMicros(125'000).text(), "0.12") << "0.125 is exact in binary: to the even cent";
    EXPECT_EQ(Money::fromMicros(-1'000).text(), "-0.00");
    EXPECT_EQ(Money::fromMicros(kMax).text(), "9223372036854.78");
    EXPECT_EQ(Money::fromMicros(kMin).text(), "-9223372036854.78");
    EXPECT_EQ(centsText(kMin), "-92233720368547758.08") << "sums of cents beyond Money's range";
}

// The text is formatted without the library's float formatting; it must give
// the library's "%.2f" for every amount, the halves between cents (exact in
// binary or a little above or below) and the far ends of the range included.
TEST(Money, TextAgreesWithTheLibrarysFixedFormatEverywhere) {
    const auto reference = [](Money amount) {
        std::array<char, 64> buffer{};
        const auto end =
            std::to_chars(buffer.data(), buffer.data() + buffer.size(), amount.units(), std::chars_format::fixed, 2);
        return std::string(buffer.data(), end.ptr);
    };
    for (std::int64_t micros = -2'000'000; micros <= 2'000'000; micros += 2'500)
        ASSERT_EQ(Money::fromMicros(micros).text(), reference(Money::fromMicros(micros))) << micros;
    std::mt19937_64 random(20261209);
    for (int i = 0; i < 200'000; ++i) {
        const int digits = static_cast<int>(random() % 19);
        std::int64_t micros = static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(std::pow(10.0, digits)));
        micros = micros / 5'000 * 5'000 + (random() % 4 == 0 ? 0 : static_cast<std::int64_t>(random() % 5'000));
        if (random() % 2) micros = -micros;
        ASSERT_EQ(Money::fromMicros(micros).text(), reference(Money::fromMicros(micros))) << micros;
    }
    for (const std::int64_t micros : {kMax, kMin, kMax - 5'000, kMin + 5'000})
        EXPECT_EQ(Money::fromMicros(micros).text(), reference(Money::fromMicros(micros))) << micros;
}

// The journal keeps an amount between runs to the micro-unit: a fee of more
// decimals than the cent must not lose them in a crash.
TEST(Money, ExactTextReadsBackToTheMicroUnit) {
    for (const std::int64_t micros :
         std::initializer_list<std::int64_t>{0, 120'000, 12'612'000, -57'500, 1, kMax, kMin + 1}) {
        const Money amount = Money::fromMicros(micros);
        const std::optional<ParsedMoney> back = parseMoneyText(amount.exactText());
        ASSERT_TRUE(back) << amount.exactText();
        EXPECT_EQ(back->amount, amount) << amount.exactText();
    }
    EXPECT_EQ(Money::fromCents(12).exactText(), "0.12");
    EXPECT_EQ(Money::fromMicros(12'612'000).exactText(), "12.612");
    EXPECT_EQ(Money::fromMicros(-57'500).exactText(), "-0.0575");
    EXPECT_EQ(Money::fromMicros(-1).exactText(), "-0.000001");
}

// Cents as the log reader counts them: a third decimal rounds half away from zero.
TEST(Money, CentsRoundHalfAwayFromZero) {
    EXPECT_EQ(Money::fromMicros(125'000).cents(), 13);
    EXPECT_EQ(Money::fromMicros(124'999).cents(), 12);
    EXPECT_EQ(Money::fromMicros(-125'000).cents(), -13);
    EXPECT_EQ(Money::fromMicros(-124'999).cents(), -12);
    EXPECT_EQ(Money::fromMicros(kMax).cents(), 922'337'203'685'478);
}

TEST(Money, ReadsTheNumbersOfFilesAndRefusesTheRest) {
    EXPECT_EQ(parseMoneyText("3.60")->amount, Money::fromCents(360));
    EXPECT_TRUE(parseMoneyText("3.60")->asWritten);
    EXPECT_TRUE(parseMoneyText("-0.12")->asWritten);
    for (const char* other : {"3.6", " 3.60", "+3.60", "'3.60'", "7", "3.600"}) {
        SCOPED_TRACE(other);
        ASSERT_TRUE(parseMoneyText(other));
        EXPECT_FALSE(parseMoneyText(other)->asWritten);
    }
    EXPECT_EQ(parseMoneyText("'1.50'")->amount, Money::fromCents(150));
    EXPECT_EQ(parseMoneyText("12.345")->amount, Money::fromMicros(12'345'000)) << "kept exact, not rounded";
    EXPECT_EQ(parseMoneyText("0.12345678")->amount, Money::fromMicros(123'456)) << "the seventh decimal on dropped";
    EXPECT_EQ(parseMoneyText("9223372036854.775807")->amount, Money::fromMicros(kMax));
    EXPECT_EQ(parseMoneyText("-9223372036854.775807")->amount, Money::fromMicros(-kMax));
    for (const char* bad :
         {"", "-", "3,60", "3.60 DM", ".5", "1e3", "9223372036854.775808", "9223372036855", "12345678901234567890"}) {
        EXPECT_FALSE(parseMoneyText(bad)) << bad;
    }
}

TEST(Money, NumbersReadByTheirLeadingDigitsBecomeTheNearestMicroUnit) {
    EXPECT_EQ(Money::nearest(0.23), Money::fromCents(23)) << "0.23 is 0.2299999... in binary";
    EXPECT_EQ(Money::nearest(-0.0575), Money::fromMicros(-57'500));
    EXPECT_EQ(Money::nearest(1234567.89), Money::fromCents(123'456'789));
    EXPECT_EQ(Money::nearest(1e300), Money::fromMicros(kMax));
    EXPECT_EQ(Money::nearest(-1e300), Money::fromMicros(kMin));
    EXPECT_EQ(Money::nearest(std::nan("")), Money());
}

// A float drifted by cents within a year and a double still drifts with a fee
// such as 0.0575; micro-units add exactly, and the ends of the range hold.
TEST(Money, SumsAreExactAndSaturateAtTheEndsOfTheRange) {
    Money total;
    for (int i = 0; i < 1'000'000; ++i) total += Money::fromMicros(57'500);
    EXPECT_EQ(total, Money::fromCents(5'750'000));
    Money high = Money::fromMicros(kMax - 1);
    high += Money::fromCents(12);
    EXPECT_EQ(high, Money::fromMicros(kMax));
    Money low = Money::fromMicros(kMin + 1);
    low += Money::fromCents(-12);
    EXPECT_EQ(low, Money::fromMicros(kMin));
    EXPECT_EQ(Money::fromCents(kMax), Money::fromMicros(kMax));
    EXPECT_EQ(Money::fromCents(kMin), Money::fromMicros(kMin));
}

} // namespace
} // namespace velmora
