#include "store/IniText.h"

#include <algorithm>

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
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

bool hasControl(std::string_view s) { return std::any_of(s.begin(), s.end(), isControl); }

// One line of the text: its content [begin, end) and where the next one starts.
struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;
    bool hasBreak() const { return next > end; }
};

Line lineAt(std::string_view text, std::size_t pos) {
    std::size_t end = pos;
    while (end < text.size() && !isLineBreak(text[end])) ++end;
    std::size_t next = end;
    if (next < text.size()) {
        next += (text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n') ? 2 : 1;
    }
    return {pos, end, next};
}

std::size_t firstLineStart(std::string_view text) {
    return text.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
}

enum class LineKind { Other, Section, Entry };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name;
    std::string_view value;
};

ParsedLine parseLine(std::string_view content) {
    std::string_view t = trimmed(content);
    if (t.empty() || t.front() == ';') return {};
    if (t.front() == '[') {
        std::string_view inner = t.substr(1);
        return {LineKind::Section, trimmed(inner.substr(0, inner.find(']'))), {}};
    }
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
    Line lastEntry;                         // last key line, or the section line
    std::vector<std::optional<Line>> keys;  // per requested key
};

SectionScan scanSection(std::string_view text, std::string_view section, const KeyValues& keys) {
    SectionScan scan;
    scan.keys.resize(keys.size());
    for (std::size_t pos = firstLineStart(text); pos < text.size();) {
        Line line = lineAt(text, pos);
        pos = line.next;
        ParsedLine parsed = parseLine(text.substr(line.begin, line.end - line.begin));
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
    for (const auto& [key, value] : keyValues) {
        auto same = std::find_if(merged.begin(), merged.end(),
                                 [&](const auto& kv) { return sameName(kv.first, key); });
        if (same == merged.end()) merged.emplace_back(key, value);
        else same->second = value;
    }
    return merged;
}

struct Splice {
    std::size_t begin;
    std::size_t end;
    std::string replacement;
};

std::string entryLine(const std::pair<std::string, std::string>& kv) {
    return kv.first + "=" + kv.second;
}

std::string applied(std::string_view text, std::vector<Splice> splices) {
    std::sort(splices.begin(), splices.end(),
              [](const Splice& a, const Splice& b) { return a.begin < b.begin; });
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

std::optional<std::string_view> findValue(std::string_view text, std::string_view section,
                                          std::string_view key) {
    bool inSection = false;
    for (std::size_t pos = firstLineStart(text); pos < text.size();) {
        Line line = lineAt(text, pos);
        pos = line.next;
        ParsedLine parsed = parseLine(text.substr(line.begin, line.end - line.begin));
        if (parsed.kind == LineKind::Section) {
            if (inSection) return std::nullopt;
            inSection = sameName(parsed.name, section);
        } else if (inSection && parsed.kind == LineKind::Entry && sameName(parsed.name, key)) {
            return parsed.value;
        }
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
        for (int i = 0; i < 3 && cut > 0 && (static_cast<unsigned char>(raw[cut]) & 0xC0) == 0x80; ++i)
            --cut;
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
    return !t.empty() && !hasControl(t) && t.find('=') == std::string_view::npos &&
           t.front() != ';' && t.front() != '[';
}

std::string trimmedName(std::string_view name) { return std::string(trimmed(name)); }

std::string storedValue(std::string_view value) {
    std::string out(value);
    std::replace_if(out.begin(), out.end(), isControl, ' ');
    bool outerBlank = !out.empty() && (isBlank(out.front()) || isBlank(out.back()));
    bool outerQuotes = out.size() >= 2 && isQuote(out.front()) && out.back() == out.front();
    if (outerBlank || outerQuotes) out = '"' + out + '"';
    return out;
}

std::string withKeysWritten(std::string_view text, std::string_view section,
                            const KeyValues& keyValues) {
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
        if (!scan.lastEntry.hasBreak()) added.insert(0, eol);
        splices.push_back({scan.lastEntry.next, scan.lastEntry.next, std::move(added)});
    }
    return applied(text, std::move(splices));
}

} // namespace velmora::ini
