#pragma once
// The connection log: one INI section per finished connection, named by its
// start and end, holding its cost and the grand total as the window showed them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/Clock.h"
#include "store/WriteResult.h"

namespace velmora {

inline constexpr const char* kLogFileName = "zelvar.log";
// A record's keys, in the order they are written.
inline constexpr std::string_view kLogCostKey = "Verbindungskosten";
inline constexpr std::string_view kLogTotalKey = "Gesamtkosten bis dato";
inline constexpr std::string_view kLogReceivedKey = "Empfangen";
inline constexpr std::string_view kLogSentKey = "Gesendet";

struct LogRecord {
    LocalTime start;
    LocalTime end;
    std::string connectionCost; // text of the cost field
    std::string grandTotal;     // text of the grand-total field
    // Bytes the link carried, where its counters could be read; a record
    // without them is written exactly as before they were known.
    std::optional<std::uint64_t> bytesReceived = std::nullopt;
    std::optional<std::uint64_t> bytesSent = std::nullopt;
    bool operator==(const LogRecord&) const = default;
};

// "Von d.m.yyyy hh:mm:ss bis d.m.yyyy hh:mm:ss"
std::string logSectionName(const LocalTime& start, const LocalTime& end);

class ConnectionLog {
public:
    explicit ConnectionLog(std::string path) : path_(std::move(path)) {}
    const std::string& path() const { return path_; }
    // Keys "Verbindungskosten" then "Gesamtkosten bis dato", then "Empfangen"
    // and "Gesendet" where known, in one crash-safe, locked rewrite. A record
    // never replaces another: when a record of the same start and end is there
    // already (the hour the clocks go back, a clock set back), this one gets its
    // own name, with one more blank before "bis" for each such record, which
    // reads back as the same start and end. The very same record (same name and
    // amounts) is not written twice: a recovery may repeat a write that had landed.
    WriteResult write(const LogRecord& record);
    // Deletes the whole log under its lock; a log that is not there counts as
    // deleted. A failure says why.
    WriteResult remove();

private:
    std::string path_;
};

} // namespace velmora
