#pragma once
// What the store's fault measurements share: numbered log records and their
// text as the log holds them, and the count of our temporaries in a folder.

#include <filesystem>
#include <string>

#include "store/AtomicFile.h"
#include "store/ConnectionLog.h"
#include "store/NumberParse.h"

namespace velmora::bench {

// Record n: one minute of its own, a unit of 0.12, the total after n + 1 units.
inline LogRecord recordNumber(int n) {
    LocalTime start{.year = 2026,
                    .month = 1 + n / 40320 % 12,
                    .day = 1 + n / 1440 % 28,
                    .hour = n / 60 % 24,
                    .minute = n % 60,
                    .second = 0};
    LocalTime end = start;
    end.second = 30;
    return {start, end, "0.12", formatTwoDecimals((n + 1) * 0.12)};
}

inline std::string sectionText(const LogRecord& r) {
    std::string section = "["; // built by appending: g++ 12 at -O3 warns falsely about "literal" + string
    section += logSectionName(r.start, r.end);
    section += "]\nVerbindungskosten=" + r.connectionCost + "\nGesamtkosten bis dato=" + r.grandTotal + "\n";
    return section;
}

inline int temporariesIn(const std::string& dir) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        count += atomic_file::targetOfTemporary(entry.path().filename().string()).has_value();
    return count;
}

} // namespace velmora::bench
