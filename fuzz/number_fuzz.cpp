// The number parsers against the C library in the C locale, and against a
// plain reference for unit lengths.

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "store/NumberParse.h"

namespace {

bool startsLikeHexInfOrNan(const std::string& text) {
    std::size_t pos = text.find_first_not_of(" \t\n\v\f\r");
    if (pos == std::string::npos) return false;
    if (text[pos] == '+' || text[pos] == '-') ++pos;
    const char* rest = text.c_str() + pos;
    return strncasecmp(rest, "0x", 2) == 0 || strncasecmp(rest, "inf", 3) == 0 || strncasecmp(rest, "nan", 3) == 0;
}

void checkNumber(const std::string& text) {
    std::optional<double> ours = velmora::parseLeadingDouble(text);
    if (startsLikeHexInfOrNan(text)) return;
    char* end = nullptr;
    const double theirs = std::strtod(text.c_str(), &end); // the process stays in the C locale
    const bool theirsIsNumber = end != text.c_str() && std::isfinite(theirs);
    if (theirsIsNumber && std::fabs(theirs) < DBL_MIN) return; // underflow: ours reads 0
    if (ours.has_value() != theirsIsNumber) std::abort();
    if (ours && *ours != theirs) std::abort();
    if (ours) {
        char printed[512];
        std::snprintf(printed, sizeof printed, "%.2f", *ours);
        if (velmora::formatTwoDecimals(*ours) != printed) std::abort();
    }
}

std::int32_t referenceUnitMs(const std::string& text) {
    std::size_t integerEnd = 0;
    while (integerEnd < text.size() && std::isdigit(static_cast<unsigned char>(text[integerEnd]))) ++integerEnd;
    if (integerEnd == 0) return 0;
    std::string digits = text.substr(0, integerEnd);
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    std::string fraction;
    if (integerEnd < text.size() && text[integerEnd] == '.') {
        for (std::size_t i = integerEnd + 1;
             i < text.size() && fraction.size() < 3 && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
            fraction += text[i];
    }
    fraction.resize(3, '0');
    const std::string ms = digits + fraction;
    if (ms.size() > 10) return INT32_MAX;
    const long long value = std::stoll("0" + ms);
    return value > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkNumber(text.substr(0, text.find('\0')));
    if (velmora::unitLengthTextToMs(text) != referenceUnitMs(text)) std::abort();
    return 0;
}
