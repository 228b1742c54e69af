#pragma once
// The connection log: one INI section per finished connection, named by its
// start and end, holding its cost and the grand total as the window showed them.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "platform/Clock.h"
#include "store/WriteResult.h"

namespace velmora {

inline constexpr const char* kLogFileName = "zelvar.log";

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
    // of the same name is overwritten in place.
    WriteResult write(const LogRecord& record);
    // Deletes the whole log; false when there was nothing to delete or it failed.
    bool remove();

private:
    std::string path_;
};

} // namespace velmora
