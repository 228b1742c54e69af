#include "store/IniText.h"

#include <algorithm>
#include <cstring>

namespace velmora::ini {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }
bool isQuote(char c) { return c == '"' || c == '\''; }
bool isLineBreak(char c) { return c == '\n' || c == '\r'; }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

bool hasControl(std::string_view s) { return std::any_of(s.begin(), s.end(), isControl); }

// One line of the text: its content [begin, end) and where the next one starts.
struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;
    bool hasBreak() const { return next > end; }
};

std::size_t firstLineStart(std::string_view text) { return text.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0; }

// Walks the lines in one pass over the bytes. The next LF is remembered, so a
// file of lone CRs costs no more than one of LFs.
class LineScanner {
public:
    explicit LineScanner(std::string_view text) : text_(text), pos_(firstLineStart(text)) {}
    bool atEnd() const { return pos_ >= text_.size(); }

    Line next() {
        if (!lfKnown_ || nextLf_ < pos_) {
            lfKnown_ = true;
            nextLf_ = text_.find('\n', pos_);
            if (nextLf_ == std::string_view::npos) nextLf_ = text_.size();
        }
        const char* cr = static_cast<const char*>(std::memchr(text_.data() + pos_, '\r', nextLf_ - pos_));
        Line line{pos_, cr ? static_cast<std::size_t>(cr - text_.data()) : nextLf_, 0};
        line.next = line.end;
        if (line.next < text_.size()) {
            const bool crlf = text_[line.next] == '\r' && line.next + 1 < text_.size() && text_[line.next + 1] == '\n';
            line.next += crlf ? 2 : 1;
        }
        pos_ = line.next;
        return line;
    }

private:
    std::string_view text_;
    std::size_t pos_;
    std::size_t nextLf_ = 0;
    bool lfKnown_ = false;
};

enum class LineKind { Other, Section, Entry };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name;
    std::string_view value;
};

// Outside the section of interest only section lines matter: `wantEntries`
// false saves looking for "=" in every other line.
ParsedLine parseLine(std::string_view content, bool wantEntries) {
    std::string_view t = trimmed(content);
    if (t.empty() || t.front() == ';') return {};
    if (t.front() == '[') {
        std::string_view inner = t.substr(1);
        return {LineKind::Section, trimmed(inner.substr(0, inner.find(']'))), {}};
    }
    if (!wantEntries) return {};
    std::size_t equals = t.find('=');
    if (equals == std::string_view::npos) return {};
    return {LineKind::Entry, trimmed(t.substr(0, equals)), trimmed(t.substr(equals + 1))};
}

std::string_view lineEnding(std::string_view text) {
    std::size_t pos = text.find_first_of("\r\n");
    if (pos == std::string_view::npos || text[pos] == '\n') return "\n";
    return (pos + 1 < text.size() && text[pos + 1] == '\n') ? "\r\n" : "\r";
}

// Where the first section of the given name lies, and its requested keys' lines.
struct SectionScan {
    bool found = false;
    Line lastEntry;                        // last key line, or the section line
    std::vector<std::optional<Line>> keys; // per requested key
};

SectionScan scanSection(std::string_view text, std::string_view section, const KeyValues& keys) {
    SectionScan scan;
    scan.keys.resize(keys.size());
    for (LineScanner lines(text); !lines.atEnd();) {
        Line line = lines.next();
        ParsedLine parsed = parseLine(text.substr(line.begin, line.end - line.begin), scan.found);
        if (parsed.kind == LineKind::Section) {
            if (scan.found) break;
            scan.found = sameName(parsed.name, section);
            scan.lastEntry = line;
        } else if (scan.found && parsed.kind == LineKind::Entry) {
            scan.lastEntry = line;
            for (std::size_t i = 0; i < keys.size(); ++i) {
                if (!scan.keys[i] && sameName(parsed.name, keys[i].first)) scan.keys[i] = line;
            }
        }
    }
    return scan;
}

// Later values of a key replace earlier ones; the first mention fixes its place.
KeyValues mergedByKey(const KeyValues& keyValues) {
    KeyValues merged;
    for (const auto& keyValue : keyValues) {
        auto same = std::find_if(merged.begin(), merged.end(),
                                 [&](const auto& kv) { return sameName(kv.first, keyValue.first); });
        if (same == merged.end())
            merged.push_back(keyValue);
        else
            same->second = keyValue.second;
    }
    return merged;
}

struct Splice {
    std::size_t begin;
    std::size_t end;
    std::string replacement;
};

std::string entryLine(const std::pair<std::string, std::string>& kv) { return kv.first + "=" + kv.second; }

std::string applied(std::string_view text, std::vector<Splice> splices) {
    std::sort(splices.begin(), splices.end(), [](const Splice& a, const Splice& b) { return a.begin < b.begin; });
    std::size_t size = text.size();
    for (const Splice& s : splices) size += s.replacement.size();
    std::string out;
    out.reserve(size);
    std::size_t pos = 0;
    for (const Splice& s : splices) {
        out.append(text.substr(pos, s.begin - pos));
        out.append(s.replacement);
        pos = s.end;
    }
    out.append(text.substr(pos));
    return out;
}

} // namespace

std::optional<std::string_view> findValue(std::string_view text, std::string_view section, std::string_view key) {
    section = trimmed(section); // names are trimmed on writing, so on reading too
    key = trimmed(key);
    bool inSection = false;
    for (LineScanner lines(text); !lines.atEnd();) {
        Line line = lines.next();
        ParsedLine parsed = parseLine(text.substr(line.begin, line.end - line.begin), inSection);
        if (parsed.kind == LineKind::Section) {
            if (inSection) return std::nullopt;
            inSection = sameName(parsed.name, section);
        } else if (inSection && parsed.kind == LineKind::Entry && sameName(parsed.name, key)) {
            return parsed.value;
        }
    }
    return std::nullopt;
}

bool hasSection(std::string_view text, std::string_view section) {
    section = trimmed(section);
    for (LineScanner lines(text); !lines.atEnd();) {
        const Line line = lines.next();
        const ParsedLine parsed = parseLine(text.substr(line.begin, line.end - line.begin), false);
        if (parsed.kind == LineKind::Section && sameName(parsed.name, section)) return true;
    }
    return false;
}

namespace {

// FNV-1a over the lower-cased bytes: names match without regard to ASCII case.
std::uint64_t nameHash(std::string_view name) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (char c : name) hash = (hash ^ static_cast<unsigned char>(asciiLower(c))) * 1099511628211ULL;
    return hash;
}

std::uint64_t entryHash(std::size_t section, std::string_view key) {
    return nameHash(key) ^ (static_cast<std::uint64_t>(section) + 1) * 0x9E3779B97F4A7C15ULL;
}

} // namespace

Index::Index(std::string text) : text_(std::move(text)) {
    const std::string_view all(text_);
    for (LineScanner lines(all); !lines.atEnd();) {
        Line line = lines.next();
        ParsedLine parsed = parseLine(all.substr(line.begin, line.end - line.begin), !sections_.empty());
        if (parsed.kind == LineKind::Section) {
            sectionsByName_.push_back({nameHash(parsed.name), sections_.size()});
            sections_.push_back({parsed.name, entries_.size()});
        } else if (!sections_.empty() && parsed.kind == LineKind::Entry) {
            entriesByName_.push_back({entryHash(sections_.size() - 1, parsed.name), entries_.size()});
            entries_.push_back({parsed.name, parsed.value});
        }
    }
    std::sort(sectionsByName_.begin(), sectionsByName_.end());
    std::sort(entriesByName_.begin(), entriesByName_.end());
}

std::optional<std::size_t> Index::firstSectionNamed(std::string_view name) const {
    const ByHash from{nameHash(name), 0};
    for (auto it = std::lower_bound(sectionsByName_.begin(), sectionsByName_.end(), from);
         it != sectionsByName_.end() && it->hash == from.hash; ++it) {
        if (sameName(sections_[it->at].name, name)) return it->at;
    }
    return std::nullopt;
}

std::optional<std::string_view> Index::findValue(std::string_view section, std::string_view key) const {
    const std::optional<std::size_t> found = firstSectionNamed(trimmed(section));
    if (!found) return std::nullopt;
    key = trimmed(key);
    const std::size_t first = sections_[*found].firstEntry;
    const std::size_t end = *found + 1 < sections_.size() ? sections_[*found + 1].firstEntry : entries_.size();
    const ByHash from{entryHash(*found, key), 0};
    for (auto it = std::lower_bound(entriesByName_.begin(), entriesByName_.end(), from);
         it != entriesByName_.end() && it->hash == from.hash; ++it) {
        if (it->at >= first && it->at < end && sameName(entries_[it->at].key, key)) return entries_[it->at].value;
    }
    return std::nullopt;
}

std::string cookedValue(std::string_view raw, std::size_t maxBytes) {
    raw = raw.substr(0, raw.find('\0'));
    if (raw.size() >= 2 && isQuote(raw.front()) && raw.back() == raw.front()) {
        raw = raw.substr(1, raw.size() - 2);
    }
    if (raw.size() > maxBytes) {
        std::size_t cut = maxBytes;
        // Back up over at most three continuation bytes to the start of a sequence.
        for (int i = 0; i < 3 && cut > 0 && (static_cast<unsigned char>(raw[cut]) & 0xC0) == 0x80; ++i) --cut;
        raw = raw.substr(0, cut);
    }
    return std::string(raw);
}

bool isWritableSectionName(std::string_view name) {
    std::string_view t = trimmed(name);
    return !t.empty() && !hasControl(t) && t.find(']') == std::string_view::npos;
}

bool isWritableKeyName(std::string_view name) {
    std::string_view t = trimmed(name);
    return !t.empty() && !hasControl(t) && t.find('=') == std::string_view::npos && t.front() != ';' &&
           t.front() != '[';
}

std::string trimmedName(std::string_view name) { return std::string(trimmed(name)); }

std::string storedValue(std::string_view value) {
    std::string out(value);
    std::replace_if(out.begin(), out.end(), isControl, ' ');
    return out;
}

std::string withKeysWritten(std::string_view text, std::string_view section, const KeyValues& keyValues) {
    const std::string_view eol = lineEnding(text);
    const KeyValues keys = mergedByKey(keyValues);
    SectionScan scan = scanSection(text, section, keys);

    std::vector<Splice> splices;
    std::string added;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (scan.keys[i]) {
            splices.push_back({scan.keys[i]->begin, scan.keys[i]->end, entryLine(keys[i])});
        } else {
            added.append(entryLine(keys[i])).append(eol);
        }
    }
    if (!scan.found) {
        std::string block;
        if (!text.empty() && !isLineBreak(text.back())) block.append(eol);
        block.append("[").append(section).append("]").append(eol).append(added);
        splices.push_back({text.size(), text.size(), std::move(block)});
    } else if (!added.empty()) {
        std::string block(scan.lastEntry.hasBreak() ? "" : eol);
        block.append(added);
        splices.push_back({scan.lastEntry.next, scan.lastEntry.next, std::move(block)});
    }
    return applied(text, std::move(splices));
}

} // namespace velmora::ini
