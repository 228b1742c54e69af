#pragma once
// Reading numbers out of stored texts: the leading number counts, the rest is
// ignored, "." is the decimal point whatever the locale.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// An integer as the settings hold it: optional blanks, optional sign, the
// leading decimal digits, saturated to the int range; 0 when none begin it.
int parseLeadingInt(std::string_view text);

// Like "%lf" into a double: leading blanks, optional sign, digits with an
// optional "." and fraction, optional exponent; stops at the first character
// that does not fit. nullopt when no number begins the text, or it is not
// finite. Money is read this way: a float would drift by cents within a year.
std::optional<double> parseLeadingDouble(std::string_view text);

// A unit length in seconds ("21.5") to milliseconds: the leading digits with an
// optional "." and fraction, times 1000, any fraction of a millisecond dropped;
// 0 when the text does not begin with a digit. Saturates at INT32_MAX.
std::int32_t unitLengthTextToMs(std::string_view text);

// "%.2f" with "." as the decimal point, whatever the locale.
std::string formatTwoDecimals(double value);

} // namespace velmora
