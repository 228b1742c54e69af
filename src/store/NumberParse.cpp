#include "store/NumberParse.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <system_error>

namespace velmora {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The blanks "%f" skips in the C locale.
bool isCBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::size_t skipDigits(std::string_view text, std::size_t pos) {
    while (pos < text.size() && isDigit(text[pos])) ++pos;
    return pos;
}

// The decimal number at the start of `text` (no sign): digits, optional "."
// and digits, optional exponent. Its length, 0 when no digit begins it.
struct DecimalSpan {
    std::size_t length = 0;
    std::size_t mantissaEnd = 0;
};

DecimalSpan scanDecimal(std::string_view text) {
    std::size_t pos = skipDigits(text, 0);
    std::size_t digitCount = pos;
    if (pos < text.size() && text[pos] == '.') {
        std::size_t fractionEnd = skipDigits(text, pos + 1);
        digitCount += fractionEnd - pos - 1;
        pos = fractionEnd;
    }
    if (digitCount == 0) return {};
    DecimalSpan span{pos, pos};
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        std::size_t expPos = pos + 1;
        if (expPos < text.size() && (text[expPos] == '+' || text[expPos] == '-')) ++expPos;
        std::size_t expEnd = skipDigits(text, expPos);
        if (expEnd > expPos) span.length = expEnd; // an "e" without digits is not part of it
    }
    return span;
}

// The exponent part ("e-12") as a number, saturated far beyond any double range.
std::int64_t exponentOf(std::string_view exponentText) {
    if (exponentText.empty()) return 0;
    std::size_t pos = 1;
    bool negative = exponentText[pos] == '-';
    if (negative || exponentText[pos] == '+') ++pos;
    std::int64_t exponent = 0;
    for (; pos < exponentText.size() && exponent < 1'000'000'000; ++pos)
        exponent = exponent * 10 + (exponentText[pos] - '0');
    return negative ? -exponent : exponent;
}

// Whether a number out of double range is tiny rather than huge: the position of
// its first significant digit relative to the decimal point, plus the exponent.
bool isBelowOne(std::string_view number, std::size_t mantissaEnd) {
    std::size_t integerEnd = skipDigits(number, 0);
    std::size_t firstSignificant = number.substr(0, integerEnd).find_first_not_of('0');
    std::int64_t order = 0;
    if (firstSignificant != std::string_view::npos) {
        order = static_cast<std::int64_t>(integerEnd - firstSignificant);
    } else {
        std::size_t fractionBegin = integerEnd < mantissaEnd ? integerEnd + 1 : mantissaEnd;
        std::string_view fraction = number.substr(fractionBegin, mantissaEnd - fractionBegin);
        std::size_t zeros = fraction.find_first_not_of('0');
        if (zeros == std::string_view::npos) return true;
        order = -static_cast<std::int64_t>(zeros);
    }
    return order + exponentOf(number.substr(mantissaEnd)) <= 0;
}

} // namespace

int parseLeadingInt(std::string_view text) {
    std::size_t pos = text.find_first_not_of(" \t");
    if (pos == std::string_view::npos) return 0;
    const bool negative = text[pos] == '-';
    if (negative || text[pos] == '+') ++pos;
    const std::int64_t limit =
        negative ? -static_cast<std::int64_t>(std::numeric_limits<int>::min()) : std::numeric_limits<int>::max();
    std::int64_t magnitude = 0;
    for (; pos < text.size() && isDigit(text[pos]); ++pos)
        magnitude = std::min<std::int64_t>(magnitude * 10 + (text[pos] - '0'), limit);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

std::optional<double> parseLeadingDouble(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && isCBlank(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    std::string_view rest = text.substr(pos);
    DecimalSpan span = scanDecimal(rest);
    if (span.length == 0) return std::nullopt;
    std::string_view number = rest.substr(0, span.length);
    double value = 0.0;
    auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Underflow reads as zero, as "%f" would; overflow is no number.
        if (!isBelowOne(number, span.mantissaEnd)) return std::nullopt;
        value = 0.0;
    } else if (result.ec != std::errc()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::int32_t unitLengthTextToMs(std::string_view text) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::int32_t>::max();
    std::size_t integerEnd = skipDigits(text, 0);
    if (integerEnd == 0) return 0;
    std::uint64_t ms = 0;
    for (std::size_t i = 0; i < integerEnd && ms <= kMax; ++i) ms = ms * 10 + static_cast<std::uint64_t>(text[i] - '0');
    if (ms > kMax / 1000) return static_cast<std::int32_t>(kMax);
    ms *= 1000;
    if (integerEnd < text.size() && text[integerEnd] == '.') {
        // Only the first three fraction digits reach a whole millisecond.
        std::uint64_t scale = 100;
        for (std::size_t i = integerEnd + 1; i < text.size() && isDigit(text[i]) && scale > 0; ++i) {
            ms += static_cast<std::uint64_t>(text[i] - '0') * scale;
            scale /= 10;
        }
    }
    return static_cast<std::int32_t>(ms > kMax ? kMax : ms);
}

std::string formatTwoDecimals(double value) {
    // Room for the longest fixed form of a double (309 integer digits).
    std::array<char, 400> buffer{};
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, 2);
    return std::string(buffer.data(), result.ptr);
}

} // namespace velmora
