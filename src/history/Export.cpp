#include "history/Export.h"

#include <array>
#include <cstdio>

#include "history/Money.h"
#include "store/AtomicFile.h"

namespace velmora {

std::string csvText(const std::vector<ConnectionRow>& rows) {
    std::string text = "start,end,seconds,cost,total\r\n";
    text.reserve(text.size() + rows.size() * 64);
    for (const ConnectionRow& row : rows) {
        text += isoLocalText(row.start);
        text += ',';
        text += isoLocalText(row.end);
        text += ',';
        text += std::to_string(row.seconds);
        text += ',';
        text += moneyText(row.costCents);
        text += ',';
        text += moneyText(row.totalCents);
        text += "\r\n";
    }
    return text;
}

namespace {

std::string reportLine(std::string_view label, const Totals& totals, std::string_view currency) {
    std::array<char, 160> line{};
    std::snprintf(line.data(), line.size(), "%-9.*s %12zu %12s %12s", static_cast<int>(label.size()), label.data(),
                  totals.connections, durationText(totals.seconds).c_str(), moneyText(totals.costCents).c_str());
    return std::string(line.data()) + " " + std::string(currency) + "\n";
}

std::string monthLabel(int monthKey) {
    std::array<char, 16> label{};
    std::snprintf(label.data(), label.size(), "%04d-%02d", monthKey / 100, monthKey % 100);
    return label.data();
}

} // namespace

std::string monthlyReport(const History& history, Period period, std::string_view currency) {
    std::array<char, 160> header{};
    std::snprintf(header.data(), header.size(), "%-9s %12s %12s %12s\n", "Monat", "Verbindungen", "Onlinezeit",
                  "Kosten");
    std::string text = header.data();
    for (const auto& [key, totals] : history.byMonth())
        if (period.contains(LogDateTime{key / 100, key % 100, 1}))
            text += reportLine(monthLabel(key), totals, currency);
    return text + reportLine("Summe", history.totalsOf(period), currency);
}

// An export has no second writer to lock out, so no sidecar lock beside the
// user's file; the atomic replace still never leaves it cut short.
WriteResult saveTextFile(const std::string& path, std::string_view text) { return atomic_file::replace(path, text); }

} // namespace velmora
