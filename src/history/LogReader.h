#pragma once
// Reads the connection log as the main window writes it, one INI section per
// finished connection:
//
//   [Von 9.12.2026 17:59:51 bis 9.12.2026 18:10:00]
//   Verbindungskosten=3.60
//   Gesamtkosten bis dato=125.40
//   Empfangen=48213504
//   Gesendet=1630208
//
// The byte counts came later and may be missing (older records, links whose
// counters could not be read): a record without them reads as unknown.
// Streaming (bytes in any chunks, one row out per record) and tolerant: lines
// that belong to no such record (foreign sections, hand edits, records missing
// an amount) are skipped and counted, never fatal. A last record cut short, as
// a copy or an interrupted write elsewhere may leave it, is dropped and noted.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "history/LocalInstants.h"
#include "history/LogDateTime.h"

namespace velmora {

// One finished connection, as logged.
struct ConnectionRow {
    LogDateTime start;
    LogDateTime end;
    std::int64_t seconds = 0;                                  // real time between start and end, across clock changes
    std::int64_t costCents = 0;                                // "Verbindungskosten"
    std::int64_t totalCents = 0;                               // "Gesamtkosten bis dato", the running total as logged
    std::optional<std::uint64_t> bytesReceived = std::nullopt; // "Empfangen", when logged
    std::optional<std::uint64_t> bytesSent = std::nullopt;     // "Gesendet", when logged
};

struct LogReadStats {
    std::size_t records = 0;
    std::size_t skippedLines = 0; // lines of no complete record (blank and ";" lines aside)
    bool tornTail = false;        // the log ends in a line cut short; what it cut is left out
};

class LogReader {
public:
    using RowSink = std::function<void(const ConnectionRow&)>;
    explicit LogReader(RowSink sink);

    // The log's bytes, in order, cut anywhere.
    void feed(std::string_view bytes);
    // The end of the log: the record still open is delivered, or dropped when
    // it is incomplete.
    const LogReadStats& finish();
    const LogReadStats& stats() const { return stats_; }

private:
    struct OpenRecord {
        bool isConnection = false; // a section, and its name is a start and an end
        ConnectionRow row;
        bool haveCost = false;
        bool haveTotal = false;
        bool torn = false;
        std::size_t lines = 0;           // the section line and its key lines
        std::size_t foreignKeyLines = 0; // lines within it that are not its two amounts
    };

    void takeLine(std::string_view content, bool terminated);
    void takeEntry(std::string_view key, std::string_view value, bool terminated);
    bool takeByteCount(std::string_view key, std::string_view value, bool terminated);
    void closeRecord(bool atEnd);

    RowSink sink_;
    LocalInstants instants_;
    LogReadStats stats_;
    OpenRecord open_;
    bool inSection_ = false;
    bool firstLine_ = true;
    std::string carry_; // an unfinished line from the previous chunk
};

// Reads the log file at path through reader in chunks. False, with a reason
// in German, when the file exists but cannot be read; a missing file is an
// empty log.
bool readLogFile(const std::string& path, LogReader& reader, std::string* reason = nullptr);

} // namespace velmora
