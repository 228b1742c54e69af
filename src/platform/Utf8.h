#pragma once
// Cutting UTF-8 text by characters without breaking a sequence.

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

// The first maxChars characters of text (a character = one UTF-8 sequence).
inline std::string utf8Prefix(std::string_view text, std::size_t maxChars) {
    std::size_t chars = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (chars == maxChars) break;
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
        ++chars;
    }
    return std::string(text.substr(0, i));
}

} // namespace velmora
