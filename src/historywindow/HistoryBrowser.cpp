#include "historywindow/HistoryBrowser.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <tuple>

namespace velmora {
namespace {

constexpr std::array<const char*, 12> kMonthNames{"Januar", "Februar", "März",      "April",   "Mai",      "Juni",
                                                  "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
constexpr std::array<const char*, 12> kMonthShort{"Jan", "Feb", "Mär", "Apr", "Mai", "Jun",
                                                  "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};

std::int64_t costOf(const std::map<int, Totals>& sums, int key) {
    const auto it = sums.find(key);
    return it == sums.end() ? 0 : it->second.costCents;
}

// The column's value of a row, as something that orders; unknown byte counts
// come before every known one.
std::tuple<LogDateTime, std::int64_t, bool, std::uint64_t> sortKey(const ConnectionRow& row,
                                                                   HistoryBrowser::Column column) {
    const auto bytes = [](const std::optional<std::uint64_t>& count) {
        return std::tuple(LogDateTime{}, std::int64_t{0}, count.has_value(), count.value_or(0));
    };
    switch (column) {
    case HistoryBrowser::Start: return {row.start, 0, false, 0};
    case HistoryBrowser::End: return {row.end, 0, false, 0};
    case HistoryBrowser::Duration: return {LogDateTime{}, row.seconds, false, 0};
    case HistoryBrowser::Cost: return {LogDateTime{}, row.costCents, false, 0};
    case HistoryBrowser::Received: return bytes(row.bytesReceived);
    case HistoryBrowser::Sent: return bytes(row.bytesSent);
    case HistoryBrowser::ColumnCount: break;
    }
    return {};
}

std::string formatted(const char* format, auto... values) {
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), format, values...);
    return text.data();
}

} // namespace

HistoryBrowser::HistoryBrowser(std::string homeFolder, int currentYear)
    : homeFolder_(std::move(homeFolder)), currentYear_(currentYear), period_(Period::ofYear(currentYear)) {
    show(period_);
}

void HistoryBrowser::setHistory(History history) {
    history_ = std::move(history);
    const std::vector<int> known = years();
    const bool stillThere = period_.year == 0 || std::find(known.begin(), known.end(), period_.year) != known.end();
    if (!userChose_ || !stillThere) {
        userChose_ = false;
        period_ = Period::ofYear(newestYear());
    }
    const int picked = pickedDay_;
    show(period_);
    if (period_.month != 0 && picked <= daysInMonth(period_.year, period_.month)) pickedDay_ = picked;
}

bool HistoryBrowser::choose(Period period) {
    const std::vector<int> known = years();
    const bool valid = period.year == 0 ? period.month == 0
                                        : std::find(known.begin(), known.end(), period.year) != known.end() &&
                                              period.month >= 0 && period.month <= 12;
    if (!valid) return false;
    userChose_ = true;
    show(period);
    return true;
}

bool HistoryBrowser::chooseYear(int year) {
    return choose(year == 0 ? Period::all() : Period{year, period_.year == 0 ? 0 : period_.month});
}

bool HistoryBrowser::chooseMonth(int month) { return period_.year != 0 && choose(Period{period_.year, month}); }

namespace {
Period neighbour(Period period, int direction) {
    if (period.month == 0) return Period::ofYear(period.year + direction);
    const int months = period.year * 12 + period.month - 1 + direction;
    return Period::ofMonth(months / 12, months % 12 + 1);
}
} // namespace

bool HistoryBrowser::canStep(int direction) const {
    if (period_.year == 0 || direction == 0) return false;
    const int year = neighbour(period_, direction).year;
    return year >= firstYear() && year <= lastYear();
}

bool HistoryBrowser::step(int direction) { return canStep(direction) && choose(neighbour(period_, direction)); }

std::vector<int> HistoryBrowser::years() const {
    std::vector<int> all;
    for (int year = lastYear(); year >= firstYear(); --year) all.push_back(year);
    return all;
}

int HistoryBrowser::newestYear() const {
    return history_.byYear().empty() ? currentYear_ : history_.byYear().rbegin()->first;
}
int HistoryBrowser::firstYear() const {
    return history_.byYear().empty() ? currentYear_ : std::min(currentYear_, history_.byYear().begin()->first);
}
int HistoryBrowser::lastYear() const { return std::max(currentYear_, newestYear()); }

void HistoryBrowser::show(Period period) {
    period_ = period;
    pickedDay_ = 0;
    fillBars();
    fillRows();
}

void HistoryBrowser::fillBars() {
    bars_.clear();
    if (period_.year == 0) {
        for (int year = firstYear(); year <= lastYear(); ++year)
            bars_.push_back({std::to_string(year), costOf(history_.byYear(), year), Period::ofYear(year)});
    } else if (period_.month == 0) {
        for (int month = 1; month <= 12; ++month)
            bars_.push_back({kMonthShort[static_cast<std::size_t>(month - 1)],
                             costOf(history_.byMonth(), period_.year * 100 + month),
                             Period::ofMonth(period_.year, month)});
    } else {
        const int monthKey = period_.year * 100 + period_.month;
        for (int day = 1; day <= daysInMonth(period_.year, period_.month); ++day)
            bars_.push_back({std::to_string(day), costOf(history_.byDay(), monthKey * 100 + day), period_, day});
    }
}

std::string HistoryBrowser::chartTitle() const {
    if (period_.year == 0) return "Kosten je Jahr";
    if (period_.month == 0) return "Kosten " + std::to_string(period_.year) + " je Monat";
    return "Kosten " + periodName(period_) + " je Tag";
}

void HistoryBrowser::activateBar(std::size_t index) {
    if (index >= bars_.size()) return;
    const Bar& bar = bars_[index];
    if (bar.day == 0) {
        choose(bar.target);
    } else {
        pickedDay_ = bar.day;
    }
}

void HistoryBrowser::fillRows() {
    shown_.clear();
    const std::vector<ConnectionRow>& rows = history_.rows();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (period_.contains(rows[i].start)) shown_.push_back(static_cast<std::uint32_t>(i));
    sortRows();
}

void HistoryBrowser::sortBy(Column column, bool descending) {
    if (column < 0 || column >= ColumnCount) return;
    sortColumn_ = column;
    descending_ = descending;
    sortRows();
}

// Ties go by start, then by place in the log, so the order is total and the
// same after every reading.
void HistoryBrowser::sortRows() {
    const std::vector<ConnectionRow>& rows = history_.rows();
    const auto before = [&rows, column = sortColumn_](std::uint32_t a, std::uint32_t b) {
        return std::tuple(sortKey(rows[a], column), rows[a].start, a) <
               std::tuple(sortKey(rows[b], column), rows[b].start, b);
    };
    if (descending_)
        std::sort(shown_.begin(), shown_.end(), [&before](std::uint32_t a, std::uint32_t b) { return before(b, a); });
    else
        std::sort(shown_.begin(), shown_.end(), before);
}

std::size_t HistoryBrowser::tableIndexOf(const ConnectionRow& row) const {
    const std::vector<ConnectionRow>& rows = history_.rows();
    if (rows.empty() || &row < rows.data() || &row >= rows.data() + rows.size()) return npos;
    const auto wanted = static_cast<std::uint32_t>(&row - rows.data());
    const auto at = std::find(shown_.begin(), shown_.end(), wanted);
    return at == shown_.end() ? npos : static_cast<std::size_t>(at - shown_.begin());
}

std::vector<const ConnectionRow*> HistoryBrowser::priciestConnections(std::size_t count) const {
    const std::vector<ConnectionRow>& rows = history_.rows();
    std::vector<std::uint32_t> order = shown_;
    const auto pricier = [&rows](std::uint32_t a, std::uint32_t b) {
        return std::tuple(rows[a].costCents, rows[a].start, a) > std::tuple(rows[b].costCents, rows[b].start, b);
    };
    const auto end = order.begin() + static_cast<std::ptrdiff_t>(std::min(count, order.size()));
    std::partial_sort(order.begin(), end, order.end(), pricier);
    std::vector<const ConnectionRow*> priciest;
    for (auto it = order.begin(); it != end; ++it) priciest.push_back(&rows[*it]);
    return priciest;
}

std::vector<HistoryBrowser::DaySums> HistoryBrowser::priciestDays(std::size_t count) const {
    std::vector<DaySums> days;
    for (const auto& [key, totals] : history_.byDay())
        if (period_.contains(LogDateTime{key / 10000, key / 100 % 100, key % 100})) days.push_back({key, totals});
    const auto pricier = [](const DaySums& a, const DaySums& b) {
        return std::pair(a.totals.costCents, a.dayKey) > std::pair(b.totals.costCents, b.dayKey);
    };
    const auto end = days.begin() + static_cast<std::ptrdiff_t>(std::min(count, days.size()));
    std::partial_sort(days.begin(), end, days.end(), pricier);
    days.erase(end, days.end());
    return days;
}

std::string HistoryBrowser::exportFileName() const {
    if (period_.month != 0) return formatted("velmora-%04d-%02d.csv", period_.year, period_.month);
    if (period_.year != 0) return formatted("velmora-%04d.csv", period_.year);
    const std::map<int, Totals>& years = history_.byYear();
    if (years.empty()) return "velmora.csv";
    const int first = years.begin()->first;
    const int last = years.rbegin()->first;
    return first == last ? formatted("velmora-%04d.csv", first) : formatted("velmora-%04d-%04d.csv", first, last);
}

std::string monthName(int month) {
    return month >= 1 && month <= 12 ? kMonthNames[static_cast<std::size_t>(month - 1)] : "";
}

std::string periodName(Period period) {
    if (period.year == 0) return "Alle Jahre";
    if (period.month == 0) return std::to_string(period.year);
    return monthName(period.month) + " " + std::to_string(period.year);
}

// Decimal units, as the report's MB: B, kB, MB with one decimal, GB with two.
std::string bytesText(const std::optional<std::uint64_t>& bytes) {
    if (!bytes) return "–";
    const std::uint64_t b = *bytes;
    if (b < 1000) return formatted("%" PRIu64 " B", b);
    if (b < 1'000'000) return formatted("%" PRIu64 " kB", (b + 500) / 1000);
    if (b < 1'000'000'000) {
        const std::uint64_t tenths = (b + 50'000) / 100'000;
        return formatted("%" PRIu64 ".%" PRIu64 " MB", tenths / 10, tenths % 10);
    }
    const std::uint64_t hundredths = b / 10'000'000 + (b % 10'000'000 >= 5'000'000 ? 1 : 0);
    return formatted("%" PRIu64 ".%02" PRIu64 " GB", hundredths / 100, hundredths % 100);
}

} // namespace velmora
