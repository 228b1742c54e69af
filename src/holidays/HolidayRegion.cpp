#include "holidays/HolidayRegion.h"

namespace velmora {

namespace {

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool sameCode(std::string_view stored, std::string_view code) {
    if (stored.size() != code.size()) return false;
    for (std::size_t i = 0; i < code.size(); ++i)
        if (upper(stored[i]) != code[i]) return false;
    return true;
}

} // namespace

std::size_t holidayChoiceIndex(std::string_view storedCode) {
    const std::string_view code = trimmed(storedCode);
    for (std::size_t i = 0; i < kHolidayChoices.size(); ++i)
        if (sameCode(code, kHolidayChoices[i].code)) return i;
    return 0;
}

HolidayRegion holidayRegionOf(std::string_view storedCode) {
    return kHolidayChoices[holidayChoiceIndex(storedCode)].region;
}

std::string_view holidayCodeOf(HolidayRegion region) {
    for (const HolidayChoice& choice : kHolidayChoices)
        if (choice.region == region) return choice.code;
    return {};
}

} // namespace velmora
