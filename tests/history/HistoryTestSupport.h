#pragma once
// Logs written as the main window writes them, and reading them back.

#include <cstdint>
#include <string>
#include <vector>

#include "history/History.h"
#include "store/ConnectionLog.h"

namespace velmora::test {

inline LocalTime at(int year, int month, int day, int hour, int minute, int second) {
    return {.year = year, .month = month, .day = day, .hour = hour, .minute = minute, .second = second};
}

// One record's section as the log holds it.
inline std::string record(const LocalTime& start, const LocalTime& end, const std::string& cost,
                          const std::string& total) {
    return "[" + logSectionName(start, end) + "]\nVerbindungskosten=" + cost + "\nGesamtkosten bis dato=" + total +
           "\n";
}

// A long log as years of use leave it: `records` connections of one to 90
// minutes, about 55 minutes apart, ending shortly before `endEpoch`.
inline std::string longLog(std::size_t records, std::int64_t endEpoch) {
    std::string text;
    text.reserve(records * 96);
    std::int64_t moment = endEpoch - static_cast<std::int64_t>(records) * 55 * 60;
    std::int64_t totalCents = 0;
    for (std::size_t i = 0; i < records; ++i) {
        const std::int64_t seconds = 60 + static_cast<std::int64_t>(i * 7919 % 5340);
        const std::int64_t cents = 12 * (1 + seconds / 90);
        totalCents += cents;
        const auto money = [](std::int64_t c) {
            return std::to_string(c / 100) + "." + (c % 100 < 10 ? "0" : "") + std::to_string(c % 100);
        };
        text += record(localTimeOf(moment), localTimeOf(moment + seconds), money(cents), money(totalCents));
        moment += 55 * 60;
    }
    return text;
}

// Reads text fed in chunks of the given size (0: all at once).
inline History historyOf(std::string_view text, std::size_t chunk = 0) {
    History history;
    LogReader reader([&history](const ConnectionRow& row) { history.add(row); });
    if (chunk == 0) chunk = text.size() + 1;
    for (std::size_t pos = 0; pos < text.size(); pos += chunk) reader.feed(text.substr(pos, chunk));
    history.stats = reader.finish();
    return history;
}

} // namespace velmora::test
