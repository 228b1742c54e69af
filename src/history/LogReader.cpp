#include "history/LogReader.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "history/Money.h"
#include "store/ConnectionLog.h"

namespace velmora {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Keys compare as the INI layer compares them: ASCII case does not matter.
bool sameKey(std::string_view key, std::string_view name) {
    if (key.size() != name.size()) return false;
    for (std::size_t i = 0; i < key.size(); ++i)
        if (asciiLower(key[i]) != asciiLower(name[i])) return false;
    return true;
}

// Where the first line ends. A plain loop: string_view::find_first_of asks
// memchr about its set once per byte, which made it most of a read's time.
std::size_t lineEnd(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] == '\n' || bytes[i] == '\r') return i;
    return std::string_view::npos;
}

// Decimal digits only, as the log writer writes a 64-bit counter.
std::optional<std::uint64_t> parseByteCount(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || text.front() == '-' || error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

LogReader::LogReader(RowSink sink) : sink_(std::move(sink)) {}

// Lines end at LF, CR or CRLF (a CRLF gives an empty line between, which is
// ignored like every blank line).
void LogReader::feed(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t end = lineEnd(bytes);
        if (end == std::string_view::npos) {
            carry_.append(bytes);
            return;
        }
        if (carry_.empty()) {
            takeLine(bytes.substr(0, end), true);
        } else {
            carry_.append(bytes.substr(0, end));
            takeLine(carry_, true);
            carry_.clear();
        }
        bytes.remove_prefix(end + 1);
    }
}

const LogReadStats& LogReader::finish() {
    if (!carry_.empty()) {
        takeLine(carry_, false);
        carry_.clear();
    }
    closeRecord(true);
    return stats_;
}

void LogReader::takeLine(std::string_view content, bool terminated) {
    if (firstLine_) {
        firstLine_ = false;
        if (content.starts_with(kUtf8Bom)) content.remove_prefix(kUtf8Bom.size());
    }
    const std::string_view line = trimmed(content);
    if (line.empty() || line.front() == ';') return;
    if (line.front() == '[') {
        closeRecord(false);
        inSection_ = true;
        open_ = OpenRecord{};
        open_.lines = 1;
        open_.torn = !terminated;
        // The name runs to "]" or, as the INI layer reads it, to the line's end.
        const std::string_view inner = line.substr(1);
        if (const auto interval = parseLogInterval(trimmed(inner.substr(0, inner.find(']'))))) {
            open_.isConnection = true;
            open_.row.start = interval->start;
            open_.row.end = interval->end;
        }
        return;
    }
    const std::size_t equals = line.find('=');
    if (inSection_ && !terminated && equals == std::string_view::npos) {
        open_.torn = true; // a key cut short before its "="
        return;
    }
    if (!inSection_ || equals == std::string_view::npos) {
        ++stats_.skippedLines;
        return;
    }
    ++open_.lines;
    takeEntry(trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)), terminated);
}

// The first of each amount counts, as the INI layer reads the first key of a
// name. A value on an unterminated last line counts only in the exact form
// the program writes: "125.4" there may be "125.40" cut short.
void LogReader::takeEntry(std::string_view key, std::string_view value, bool terminated) {
    if (takeByteCount(key, value, terminated)) return;
    const bool isCost = sameKey(key, kLogCostKey);
    const bool isTotal = sameKey(key, kLogTotalKey);
    const bool wanted = open_.isConnection && ((isCost && !open_.haveCost) || (isTotal && !open_.haveTotal));
    const std::optional<MoneyText> money = wanted ? parseMoney(value) : std::nullopt;
    if (!terminated && !(money && money->asWritten)) {
        open_.torn = true;
        return;
    }
    if (!money) {
        ++open_.foreignKeyLines;
        return;
    }
    (isCost ? open_.row.costCents : open_.row.totalCents) = money->cents;
    (isCost ? open_.haveCost : open_.haveTotal) = true;
}

// The first "Empfangen" and "Gesendet" of a connection's record; a count on a
// line cut short may have lost digits, so it stays unknown. False for any
// other key, and for a second count, which is a foreign line.
bool LogReader::takeByteCount(std::string_view key, std::string_view value, bool terminated) {
    std::optional<std::uint64_t>* count = sameKey(key, kLogReceivedKey) ? &open_.row.bytesReceived
                                          : sameKey(key, kLogSentKey)   ? &open_.row.bytesSent
                                                                        : nullptr;
    if (!open_.isConnection || count == nullptr || count->has_value()) return false;
    if (!terminated) {
        open_.torn = true;
    } else if (const auto parsed = parseByteCount(value)) {
        *count = parsed;
    } else {
        ++open_.foreignKeyLines;
    }
    return true;
}

// A line cut short (only the last can be) never counts; the record it
// belongs to does when both amounts were whole before it.
void LogReader::closeRecord(bool atEnd) {
    if (!inSection_) return;
    inSection_ = false;
    if (open_.torn) stats_.tornTail = true;
    if (open_.isConnection && open_.haveCost && open_.haveTotal) {
        open_.row.seconds = instants_.secondsBetween(open_.row.start, open_.row.end);
        ++stats_.records;
        stats_.skippedLines += open_.foreignKeyLines;
        sink_(open_.row);
    } else if (atEnd && (open_.isConnection || open_.torn)) {
        stats_.tornTail = true;
    } else {
        stats_.skippedLines += open_.lines;
    }
}

bool readLogFile(const std::string& path, LogReader& reader, std::string* reason) {
    const auto fail = [reason](const char* why) {
        if (reason) *reason = why;
        return false;
    };
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        if (errno == ENOENT) {
            reader.finish();
            return true;
        }
        return fail(errno == EACCES ? "keine Leseberechtigung" : "die Datei kann nicht geöffnet werden");
    }
    std::vector<char> chunk(1 << 16);
    std::size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), file.get())) > 0)
        reader.feed(std::string_view(chunk.data(), got));
    if (std::ferror(file.get())) return fail("die Datei kann nicht gelesen werden");
    reader.finish();
    return true;
}

} // namespace velmora
