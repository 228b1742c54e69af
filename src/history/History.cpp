#include "history/History.h"

#include <limits>

namespace velmora {

namespace {
// Nothing real comes near 2^64 bytes; a hand-edited log may.
std::uint64_t saturatingSum(std::uint64_t a, std::uint64_t b) {
    return a > std::numeric_limits<std::uint64_t>::max() - b ? std::numeric_limits<std::uint64_t>::max() : a + b;
}
} // namespace

void Totals::add(const ConnectionRow& row) {
    ++connections;
    seconds += row.seconds;
    costCents += row.costCents;
    if (row.bytesReceived) {
        bytesReceived = saturatingSum(bytesReceived, *row.bytesReceived);
        ++withReceived;
    }
    if (row.bytesSent) {
        bytesSent = saturatingSum(bytesSent, *row.bytesSent);
        ++withSent;
    }
}

void Totals::add(const Totals& other) {
    connections += other.connections;
    seconds += other.seconds;
    costCents += other.costCents;
    bytesReceived = saturatingSum(bytesReceived, other.bytesReceived);
    bytesSent = saturatingSum(bytesSent, other.bytesSent);
    withReceived += other.withReceived;
    withSent += other.withSent;
}

void History::add(const ConnectionRow& row) {
    rows_.push_back(row);
    byDay_[row.start.dayKey()].add(row);
    byMonth_[row.start.monthKey()].add(row);
    byYear_[row.start.year].add(row);
    all_.add(row);
}

Totals History::totalsOf(Period period) const {
    if (period.year == 0) return all_;
    const std::map<int, Totals>& sums = period.month == 0 ? byYear_ : byMonth_;
    auto it = sums.find(period.month == 0 ? period.year : period.year * 100 + period.month);
    return it == sums.end() ? Totals{} : it->second;
}

std::vector<ConnectionRow> History::rowsOf(Period period) const {
    if (period.year == 0) return rows_;
    std::vector<ConnectionRow> chosen;
    for (const ConnectionRow& row : rows_)
        if (period.contains(row.start)) chosen.push_back(row);
    return chosen;
}

HistoryRead readHistory(const std::string& path) {
    HistoryRead read;
    LogReader reader([&read](const ConnectionRow& row) { read.history.add(row); });
    read.ok = readLogFile(path, reader, &read.reason);
    read.history.stats = reader.stats();
    return read;
}

} // namespace velmora
