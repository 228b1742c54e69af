#include "store/ConnectionLog.h"

#include <array>
#include <cstdio>
#include <vector>

#include "store/IniText.h"
#include "store/ProfileFile.h"

namespace velmora {
namespace {

// Far more connections than can share one second; a bound, not a limit met in use.
constexpr int kMostSameNamed = 1000;

std::string dateTimeText(const LocalTime& t) {
    std::array<char, 128> text{};
    std::snprintf(text.data(), text.size(), "%i.%i.%i %.2i:%.2i:%.2i", t.day, t.month, t.year, t.hour, t.minute,
                  t.second);
    return text.data();
}

// The record's name with `clash` more blanks before "bis": a name of its own
// whose start and end read back exactly as the plain name's.
std::string sectionNameFor(const LogRecord& record, int clash) {
    return "Von " + dateTimeText(record.start) + std::string(1 + static_cast<std::size_t>(clash), ' ') + "bis " +
           dateTimeText(record.end);
}

bool holdsAmounts(std::string_view text, const std::string& section, const LogRecord& record) {
    const auto value = [&](std::string_view key) {
        const std::optional<std::string_view> raw = ini::findValue(text, section, key);
        return raw ? std::optional<std::string>(ini::cookedValue(*raw, 4095)) : std::nullopt;
    };
    return value(kLogCostKey) == ini::storedValue(record.connectionCost) &&
           value(kLogTotalKey) == ini::storedValue(record.grandTotal);
}

} // namespace

std::string logSectionName(const LocalTime& start, const LocalTime& end) {
    return sectionNameFor({start, end, {}, {}}, 0);
}

WriteResult ConnectionLog::write(const LogRecord& record) {
    ini::KeyValues values{{std::string(kLogCostKey), ini::storedValue(record.connectionCost)},
                          {std::string(kLogTotalKey), ini::storedValue(record.grandTotal)}};
    if (record.bytesReceived) values.emplace_back(kLogReceivedKey, std::to_string(*record.bytesReceived));
    if (record.bytesSent) values.emplace_back(kLogSentKey, std::to_string(*record.bytesSent));
    bool tooMany = false;
    WriteResult result = profile_file::rewrite(path_, [&](std::string_view text) {
        for (int clash = 0; clash < kMostSameNamed; ++clash) {
            const std::string section = sectionNameFor(record, clash);
            if (!ini::hasSection(text, section)) return ini::withKeysWritten(text, section, values);
            // The same record again: a recovery repeating a write that landed.
            if (holdsAmounts(text, section, record)) return std::string(text);
        }
        tooMany = true;
        return std::string(text);
    });
    if (result && tooMany) return WriteResult::failed("zu viele Verbindungen mit demselben Beginn und Ende");
    return result;
}

WriteResult ConnectionLog::remove() { return profile_file::remove(path_); }

} // namespace velmora
