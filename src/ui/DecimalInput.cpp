#include "ui/DecimalInput.h"

#include <algorithm>

#include "store/NumberParse.h"

namespace velmora {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

} // namespace

std::string normaliseDecimalInput(std::string_view typed) {
    std::string text(trimmed(typed));
    const bool oneComma = std::count(text.begin(), text.end(), ',') == 1;
    if (oneComma && text.find('.') == std::string::npos) text[text.find(',')] = '.';
    // ".5" reads as no number where a digit must come first.
    if (text.size() > 1 && text[0] == '.' && isDigit(text[1])) text.insert(0, 1, '0');
    return text;
}

bool readsAsUnitLength(std::string_view text) { return !text.empty() && isDigit(text.front()); }

bool readsAsFee(std::string_view text) { return parseLeadingDouble(text).has_value(); }

std::string noNumberMessage(std::string_view fieldName, std::string_view example) {
    return "Im Feld „" + std::string(fieldName) + "“ steht keine Zahl.\n\nBitte eine Zahl eingeben, zum Beispiel " +
           std::string(example) + ".";
}

} // namespace velmora
