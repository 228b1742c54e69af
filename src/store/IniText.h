#pragma once
// The INI text itself, as bytes: finding a key's value and splicing new values
// into the text while every other byte stays as it was.
//
// Rules: a line whose first non-blank is "[" opens a section named by the text
// up to "]"; a line whose first non-blank is ";" is a comment; other lines
// with "=" are key=value. Names compare without regard to ASCII case, names
// and values are trimmed of blanks and tabs, and the first of duplicate
// sections or keys is the one that counts. Lines end in LF, CRLF or CR.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora::ini {

// The raw value text of the key (trimmed, quotes still on), or nullopt when the
// section or key is missing.
std::optional<std::string_view> findValue(std::string_view text, std::string_view section, std::string_view key);
// Whether a section of that name is in the text, with or without keys.
bool hasSection(std::string_view text, std::string_view section);

// The whole text parsed once, for a reader that looks up many keys of one
// state of a file (a huge hand-edited profile must not be scanned per key).
// Gives exactly findValue's answers: the first section of a name, the first
// key of a name within it. Names are found by hash in sorted arrays rather
// than hash maps: building those costs a fraction of the time and memory for
// a file of millions of lines.
class Index {
public:
    explicit Index(std::string text);
    Index(const Index&) = delete; // the index points into its own text
    Index& operator=(const Index&) = delete;

    const std::string& text() const { return text_; }
    std::optional<std::string_view> findValue(std::string_view section, std::string_view key) const;

private:
    struct Section {
        std::string_view name;
        std::size_t firstEntry; // its entries run to the next section's first
    };
    struct Entry {
        std::string_view key;
        std::string_view value;
    };
    struct ByHash { // sorted by hash, then by position in the file
        std::uint64_t hash;
        std::size_t at;
        bool operator<(const ByHash& other) const { return hash != other.hash ? hash < other.hash : at < other.at; }
    };

    std::optional<std::size_t> firstSectionNamed(std::string_view name) const;

    std::string text_;
    std::vector<Section> sections_; // in file order, repeated names included
    std::vector<Entry> entries_;    // in file order
    std::vector<ByHash> sectionsByName_;
    std::vector<ByHash> entriesByName_; // hash of the section's position and the key
};

// A value as the reader sees it: one pair of matching quotes dropped, cut at a
// NUL byte, at most `maxBytes` bytes without splitting a UTF-8 sequence.
std::string cookedValue(std::string_view raw, std::size_t maxBytes);

// Names that would change the file's structure cannot be written: empty after
// trimming, a control character, "]" in a section name, "=" in a key, or a key
// that would read as a comment or a section line.
bool isWritableSectionName(std::string_view name);
bool isWritableKeyName(std::string_view name);
// A name as it is written: without outer blanks and tabs.
std::string trimmedName(std::string_view name);

// The value as it goes into the file: control characters become blanks, so a
// value cannot add lines. Outer blanks and one pair of outer quotes are written
// as given and dropped by the reader, as private-profile files always did.
std::string storedValue(std::string_view value);

using KeyValues = std::vector<std::pair<std::string, std::string>>;

// The text with the keys written into the section: each existing key's line
// replaced in place, missing keys added after the section's last key line,
// a missing section added at the end. Keys and values must be in stored form
// (names checked and trimmed, values from storedValue). The file's own line
// ending is used for new lines, LF for an empty text.
std::string withKeysWritten(std::string_view text, std::string_view section, const KeyValues& keyValues);

} // namespace velmora::ini
