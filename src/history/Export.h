#pragma once
// The two ways the history leaves the program: one CSV row per connection, and
// a table of the cost per month.

#include <string>
#include <string_view>
#include <vector>

#include "history/History.h"
#include "store/WriteResult.h"

namespace velmora {

// RFC 4180 in UTF-8, CRLF line ends, the header "start,end,seconds,cost,total";
// times as ISO 8601 local time ("2026-12-09T17:59:51"), money with a point and
// two decimals. No field can hold a comma, quote or line break, so none is quoted.
std::string csvText(const std::vector<ConnectionRow>& rows);

// One line per month of the period that has connections (Monat, Verbindungen,
// Onlinezeit h:mm:ss, Kosten with the currency symbol), then the total line.
std::string monthlyReport(const History& history, Period period, std::string_view currency);

// Replaces the file at path with text, crash-safely (a sibling temporary,
// flushed, renamed over it); where no temporary can be made beside it (a
// device, a folder without write access for new files) it is written directly.
WriteResult saveTextFile(const std::string& path, std::string_view text);

} // namespace velmora
