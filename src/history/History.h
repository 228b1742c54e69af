#pragma once
// What the line cost: every logged connection and the sums per day, month and
// year. A connection counts in the day (and month, and year) it began.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "history/LogReader.h"

namespace velmora {

struct Totals {
    std::size_t connections = 0;
    std::int64_t seconds = 0;
    std::int64_t costCents = 0;
    // Bytes of the connections whose records have them, and how many those are.
    std::uint64_t bytesReceived = 0;
    std::uint64_t bytesSent = 0;
    std::size_t withReceived = 0;
    std::size_t withSent = 0;
    void add(const ConnectionRow& row);
    void add(const Totals& other);
    bool bytesKnown() const { return withReceived > 0 || withSent > 0; }
    // Some connections of the period were not counted.
    bool bytesPartial() const { return bytesKnown() && (withReceived < connections || withSent < connections); }
    bool operator==(const Totals&) const = default;
};

// A month (year and month), a year (month 0) or everything (year 0).
struct Period {
    int year = 0;
    int month = 0;
    static Period all() { return {}; }
    static Period ofYear(int year) { return {year, 0}; }
    static Period ofMonth(int year, int month) { return {year, month}; }
    bool contains(const LogDateTime& t) const {
        return year == 0 || (t.year == year && (month == 0 || t.month == month));
    }
    bool operator==(const Period&) const = default;
};

class History {
public:
    void add(const ConnectionRow& row);

    const std::vector<ConnectionRow>& rows() const { return rows_; }
    // Keyed by LogDateTime::dayKey(), monthKey() and the year.
    const std::map<int, Totals>& byDay() const { return byDay_; }
    const std::map<int, Totals>& byMonth() const { return byMonth_; }
    const std::map<int, Totals>& byYear() const { return byYear_; }
    Totals totals() const { return all_; }
    Totals totalsOf(Period period) const;
    std::vector<ConnectionRow> rowsOf(Period period) const;

    LogReadStats stats;

private:
    std::vector<ConnectionRow> rows_;
    std::map<int, Totals> byDay_;
    std::map<int, Totals> byMonth_;
    std::map<int, Totals> byYear_;
    Totals all_;
};

struct HistoryRead {
    bool ok = true;
    std::string reason; // in German, when not ok
    History history;
};

// Reads the whole log at path (a missing log is an empty history).
HistoryRead readHistory(const std::string& path);

} // namespace velmora
