#include "store/SettingsSchema.h"

#include "store/NumberParse.h"

namespace velmora::setting_text {

// As SettingsProfile::readInt reads a stored text.
int intOf(std::string_view text, int fallback) { return text.empty() ? fallback : parseLeadingInt(text); }

// The leading number, as "%f" reads it.
Money moneyOf(std::string_view text, Money fallback) {
    const std::optional<double> units = parseLeadingDouble(text);
    return units ? Money::nearest(*units) : fallback;
}

std::string ofInt(int value) { return std::to_string(value); }

} // namespace velmora::setting_text
