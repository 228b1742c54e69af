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

// The same with the bytes the link carried.
inline std::string countedRecord(const LocalTime& start, const LocalTime& end, const std::string& cost,
                                 const std::string& total, std::uint64_t received, std::uint64_t sent) {
    return record(start, end, cost, total) + "Empfangen=" + std::to_string(received) +
           "\nGesendet=" + std::to_string(sent) + "\n";
}

// A long log as years of use leave it: `records` connections of one to 90
// minutes, `minutesApart` apart, ending shortly before `endEpoch`, each with
// the bytes it carried.
inline std::string longLog(std::size_t records, std::int64_t endEpoch, std::int64_t minutesApart = 55) {
    std::string text;
    text.reserve(records * 130);
    std::int64_t moment = endEpoch - static_cast<std::int64_t>(records) * minutesApart * 60;
    std::int64_t totalCents = 0;
    for (std::size_t i = 0; i < records; ++i) {
        const std::int64_t seconds = 60 + static_cast<std::int64_t>(i * 7919 % 5340);
        const std::int64_t cents = 12 * (1 + seconds / 90);
        totalCents += cents;
        const auto money = [](std::int64_t c) {
            return std::to_string(c / 100) + "." + (c % 100 < 10 ? "0" : "") + std::to_string(c % 100);
        };
        const auto received = static_cast<std::uint64_t>(seconds) * (2000 + i % 5000);
        text += countedRecord(localTimeOf(moment), localTimeOf(moment + seconds), money(cents), money(totalCents),
                              received, received / 9);
        moment += minutesApart * 60;
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
