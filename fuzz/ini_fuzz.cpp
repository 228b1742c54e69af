// The INI layer in memory, without the disk: texts of arbitrary bytes. The
// parsed index answers as the line scan does; writing keys into the text
// changes exactly those keys (each reads back as written, every other name as
// before), whatever the text holds. Fast enough for runs of many millions.

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QUtf8StringView>

#include "store/IniText.h"

namespace {

using velmora::ini::Index;

struct Name {
    std::string section;
    std::string key;
};

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    return true;
}

// Fixed names of the program's files, and one-letter names the input picks
// (which it can easily contain).
std::vector<Name> namesFor(const std::string& bytes) {
    std::vector<Name> names{{"Standard", "Kosten"},
                            {"Standard", "Tarifzone"},
                            {"Cost-Editor", "Montag"},
                            {"W-0", "Takt"},
                            {" a ", "b\t"},
                            {"", "x"}};
    if (bytes.size() >= 3) names.push_back({std::string(1, bytes[1]), std::string(1, bytes[2])});
    if (bytes.size() >= 5) names.push_back({std::string(1, bytes[1]), std::string(1, bytes[4])});
    return names;
}

void expectSameAnswers(const Index& index, const std::vector<Name>& names) {
    const std::string& text = index.text();
    for (const Name& name : names) {
        if (index.findValue(name.section, name.key) != velmora::ini::findValue(text, name.section, name.key))
            std::abort();
    }
}

// What the reader must give back for a value written: control characters as
// blanks, outer blanks trimmed, one pair of matching outer quotes dropped.
std::string expectedReadBack(const std::string& value) {
    const std::string stored = velmora::ini::storedValue(value);
    const std::size_t first = stored.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return velmora::ini::cookedValue(stored.substr(first, stored.find_last_not_of(" \t") - first + 1), 4095);
}

bool isWrittenName(const Name& name, const Name& written, const velmora::ini::KeyValues& keys) {
    if (!sameName(velmora::ini::trimmedName(name.section), written.section)) return false;
    for (const auto& [key, value] : keys)
        if (sameName(velmora::ini::trimmedName(name.key), key)) return true;
    return false;
}

// Writes one or two keys (the second may be the first in another case: the
// later value wins) and checks every name against the text before.
void checkWrite(const Index& before, const std::vector<Name>& names, const std::uint8_t* data, std::size_t size) {
    const std::string& text = before.text();
    const Name& target = names[size == 0 ? 0 : data[0] % names.size()];
    const Name& other = names[size < 2 ? 1 : data[1] % names.size()];
    if (!velmora::ini::isWritableSectionName(target.section) || !velmora::ini::isWritableKeyName(target.key)) return;
    const std::string value = text.substr(text.size() > 40 ? text.size() - 40 : 0);
    const std::string otherValue = text.substr(0, 12);
    const Name written{velmora::ini::trimmedName(target.section), velmora::ini::trimmedName(target.key)};

    velmora::ini::KeyValues keys{{written.key, velmora::ini::storedValue(value)}};
    std::string lastValue = value;
    if (size > 0 && (data[0] & 0x80) && velmora::ini::isWritableKeyName(other.key)) {
        keys.emplace_back(velmora::ini::trimmedName(other.key), velmora::ini::storedValue(otherValue));
        if (sameName(keys.back().first, written.key)) lastValue = otherValue;
    }
    const std::string after = velmora::ini::withKeysWritten(text, written.section, keys);

    const Index now(after);
    const std::optional<std::string_view> raw = now.findValue(written.section, written.key);
    if (!raw || velmora::ini::cookedValue(*raw, 4095) != expectedReadBack(lastValue)) std::abort();
    for (const Name& name : names) {
        if (isWrittenName(name, written, keys)) continue;
        if (now.findValue(name.section, name.key) != before.findValue(name.section, name.key)) std::abort();
    }
    expectSameAnswers(now, names);
}

// A value as read: at most the limit, its bytes a prefix of the value's, and
// a value of whole UTF-8 characters stays whole (at most three bytes of the
// last character given up).
void checkCooked(const std::string& text) {
    const std::size_t limit = text.empty() ? 0 : static_cast<unsigned char>(text[0]) % 16;
    std::string_view source(text);
    source = source.substr(0, source.find('\0'));
    if (source.size() >= 2 && (source.front() == '"' || source.front() == '\'') && source.back() == source.front())
        source = source.substr(1, source.size() - 2);
    const std::string cooked = velmora::ini::cookedValue(text, limit);
    if (cooked.size() > limit || !source.starts_with(cooked)) std::abort();
    if (source.size() <= limit ? cooked.size() != source.size() : cooked.size() + 3 < limit) std::abort();
    if (QUtf8StringView(source).isValidUtf8() && !QUtf8StringView(cooked).isValidUtf8()) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<Name> names = namesFor(text);
    const Index index(text);
    expectSameAnswers(index, names);
    checkWrite(index, names, data, size);
    checkCooked(text);
    return 0;
}
