#pragma once
// The ways the history leaves the program: one CSV row per connection, and a
// report of the sums per period, as a table or as JSON.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/History.h"
#include "store/WriteResult.h"

namespace velmora {

// Comma: RFC 4180, money with a decimal point. Semicolon: ";" between fields
// and decimal commas, as German spreadsheets read CSV. The rows are the same.
enum class CsvStyle { Comma, Semicolon };

// UTF-8, CRLF line ends, the header "start,end,seconds,cost,total,received,sent";
// times as ISO 8601 local time ("2026-12-09T17:59:51"), money with two
// decimals, bytes as integers (empty where the record has none). No field can
// hold a separator, quote or line break, so none is quoted.
std::string csvText(const std::vector<ConnectionRow>& rows, CsvStyle style = CsvStyle::Comma);

// One period of a report and its sums; the key names it ("2026-12", or a
// billing period by its first day, "2026-12-15").
struct ReportPeriod {
    std::string key;
    Totals totals;
};

// What a report may do beyond calendar months.
struct ReportOptions {
    // Groups the connections by the period their start lies in, named by that
    // period's first day (a billing period); unset: calendar months. A filter
    // of a month or year takes the periods that begin in it.
    std::function<LogDateTime(const LogDateTime& start)> periodStart;
    // The current period's forecast, for a last line "Prognose"; unset: none.
    struct Forecast {
        std::string key;                   // the period it is for
        std::optional<std::int64_t> cents; // none before the period's second day
        std::optional<std::int64_t> budgetCents;
    };
    std::optional<Forecast> forecast;
};

// The periods of a report within `period` that have connections, oldest
// first: calendar months, or the periods `options.periodStart` names. Both
// report forms take their periods from here.
std::vector<ReportPeriod> reportPeriods(const History& history, Period period, const ReportOptions& options = {});

// One line per period (Monat, Verbindungen, Onlinezeit h:mm:ss, Kosten with
// the currency symbol, Daten in MB), then the total line, and the forecast's
// line where there is one. Data that only some connections of a line counted
// is marked with a "*".
std::string monthlyReport(const History& history, Period period, std::string_view currency,
                          const ReportOptions& options = {});

// The same as one JSON object: {"currency", "periods": [{"key", "connections",
// "seconds", "cost", "received", "sent", "bytes_complete"}...], "sum": {...}},
// and "forecast": {"key", "cost", "budget"} where there is one; "received"
// and "sent" are null where no connection counted them.
std::string jsonReport(const History& history, Period period, std::string_view currency,
                       const ReportOptions& options = {});

// Bytes in MB (1,000,000 bytes) with one decimal: "48.2".
std::string megabytesText(std::uint64_t bytes);

// Replaces the file at path with text, crash-safely (a sibling temporary,
// flushed, renamed over it); where no temporary can be made beside it (a
// device, a folder without write access for new files) it is written directly.
WriteResult saveTextFile(const std::string& path, std::string_view text);

} // namespace velmora
