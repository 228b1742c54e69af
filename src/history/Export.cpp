#include "history/Export.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <limits>
#include <map>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "history/Money.h"
#include "store/AtomicFile.h"

namespace velmora {
namespace {

std::string bytesOfReport(const Totals& totals) {
    if (!totals.bytesKnown()) return "-";
    // Received and sent together, held at the largest count rather than wrapping.
    const std::uint64_t both = totals.bytesReceived + std::min(totals.bytesSent, ~totals.bytesReceived);
    return megabytesText(both) + " MB";
}

// Display columns of a UTF-8 text: its code points (the symbols are no wider).
std::size_t columnsOf(std::string_view text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The first column: a month ("2026-12") or a billing period's first day ("2026-12-15").
constexpr int kMonthColumn = 9;
constexpr int kPeriodColumn = 10;

std::string reportLine(std::string_view label, const Totals& totals, std::string_view currency,
                       int labelColumn = kMonthColumn) {
    std::array<char, 200> line{};
    std::snprintf(line.data(), line.size(), "%-*.*s %12zu %12s %12s %.*s %12s%s", labelColumn,
                  static_cast<int>(label.size()), label.data(), totals.connections,
                  durationText(totals.seconds).c_str(), moneyText(totals.costCents).c_str(),
                  static_cast<int>(currency.size()), currency.data(), bytesOfReport(totals).c_str(),
                  totals.bytesPartial() ? "*" : "");
    return std::string(line.data()) + "\n";
}

std::string reportHeader(std::string_view currency, const char* label = "Monat", int labelColumn = kMonthColumn) {
    std::array<char, 200> header{};
    std::snprintf(header.data(), header.size(), "%-*s %12s %12s %12s %*s %12s\n", labelColumn, label, "Verbindungen",
                  "Onlinezeit", "Kosten", static_cast<int>(columnsOf(currency)), "", "Daten");
    return header.data();
}

// "Prognose" with the forecast in the cost column ("-" before the period's
// second day), and the budget beside it where there is one.
std::string forecastLine(const ReportOptions::Forecast& forecast, std::string_view currency, int labelColumn) {
    const std::string cost = forecast.cents ? moneyText(*forecast.cents) : "-";
    std::array<char, 200> line{};
    std::snprintf(line.data(), line.size(), "%-*s %12s %12s %12s %.*s", labelColumn, "Prognose", "", "", cost.c_str(),
                  static_cast<int>(currency.size()), currency.data());
    std::string text = line.data();
    if (forecast.budgetCents)
        text +=
            "   Budget " + moneyText(*forecast.budgetCents) + " " + std::string(currency) + " (" + forecast.key + ")";
    return text + "\n";
}

std::string monthLabel(int monthKey) {
    std::array<char, 16> label{};
    std::snprintf(label.data(), label.size(), "%04d-%02d", monthKey / 100, monthKey % 100);
    return label.data();
}

QJsonValue countValue(std::uint64_t bytes, std::size_t counted) {
    if (counted == 0) return QJsonValue(QJsonValue::Null);
    return QJsonValue(static_cast<qint64>(std::min<std::uint64_t>(bytes, std::numeric_limits<qint64>::max())));
}

QJsonObject totalsObject(const Totals& totals) {
    QJsonObject object;
    object["connections"] = static_cast<qint64>(totals.connections);
    object["seconds"] = static_cast<qint64>(totals.seconds);
    object["cost"] = static_cast<double>(totals.costCents) / 100.0;
    object["received"] = countValue(totals.bytesReceived, totals.withReceived);
    object["sent"] = countValue(totals.bytesSent, totals.withSent);
    object["bytes_complete"] = totals.withReceived == totals.connections && totals.withSent == totals.connections;
    return object;
}

} // namespace

namespace {

// The CSV's fields appended in place: a file of 100,000 rows is millions of
// them, and a formatted temporary for each costs more than the reading.
void appendNumber(std::string& text, std::uint64_t value, int width = 1) {
    std::array<char, 24> digits{};
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
    const auto count = static_cast<int>(end - digits.data());
    if (count < width) text.append(static_cast<std::size_t>(width - count), '0');
    text.append(digits.data(), end);
}

void appendIso(std::string& text, const LogDateTime& t) {
    appendNumber(text, static_cast<std::uint64_t>(t.year), 4);
    for (const auto& [separator, value] : {std::pair{'-', t.month}, std::pair{'-', t.day}, std::pair{'T', t.hour},
                                           std::pair{':', t.minute}, std::pair{':', t.second}}) {
        text += separator;
        appendNumber(text, static_cast<std::uint64_t>(value), 2);
    }
}

void appendMoney(std::string& text, std::int64_t cents, char decimalSeparator) {
    if (cents < 0) text += '-';
    const std::uint64_t magnitude =
        cents < 0 ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
    appendNumber(text, magnitude / 100);
    text += decimalSeparator;
    appendNumber(text, magnitude % 100, 2);
}

} // namespace

std::string csvText(const std::vector<ConnectionRow>& rows, CsvStyle style) {
    const char separator = style == CsvStyle::Semicolon ? ';' : ',';
    const char decimal = style == CsvStyle::Semicolon ? ',' : '.';
    std::string text = "start,end,seconds,cost,total,received,sent\r\n";
    std::replace(text.begin(), text.end(), ',', separator);
    text.reserve(text.size() + rows.size() * 90);
    for (const ConnectionRow& row : rows) {
        appendIso(text, row.start);
        text += separator;
        appendIso(text, row.end);
        text += separator;
        appendNumber(text, static_cast<std::uint64_t>(std::max<std::int64_t>(row.seconds, 0)));
        text += separator;
        appendMoney(text, row.costCents, decimal);
        text += separator;
        appendMoney(text, row.totalCents, decimal);
        text += separator;
        if (row.bytesReceived) appendNumber(text, *row.bytesReceived);
        text += separator;
        if (row.bytesSent) appendNumber(text, *row.bytesSent);
        text += "\r\n";
    }
    return text;
}

std::vector<ReportPeriod> reportPeriods(const History& history, Period period, const ReportOptions& options) {
    std::vector<ReportPeriod> periods;
    if (!options.periodStart) {
        for (const auto& [key, totals] : history.byMonth())
            if (period.contains(LogDateTime{key / 100, key % 100, 1})) periods.push_back({monthLabel(key), totals});
        return periods;
    }
    std::map<LogDateTime, Totals> byStart;
    for (const ConnectionRow& row : history.rows()) {
        const LogDateTime first = options.periodStart(row.start);
        if (period.contains(first)) byStart[first].add(row);
    }
    for (const auto& [first, totals] : byStart) periods.push_back({isoDayText(first), totals});
    return periods;
}

namespace {

// The sum of what the report lists: the periods within the filter.
Totals reportSum(const History& history, Period period, const ReportOptions& options) {
    if (!options.periodStart) return history.totalsOf(period);
    Totals sum;
    for (const ReportPeriod& shown : reportPeriods(history, period, options)) sum.add(shown.totals);
    return sum;
}

QJsonValue centsValue(const std::optional<std::int64_t>& cents) {
    return cents ? QJsonValue(static_cast<double>(*cents) / 100.0) : QJsonValue(QJsonValue::Null);
}

} // namespace

std::string monthlyReport(const History& history, Period period, std::string_view currency,
                          const ReportOptions& options) {
    const int column = options.periodStart ? kPeriodColumn : kMonthColumn;
    std::string text = options.periodStart ? reportHeader(currency, "Zeitraum", column) : reportHeader(currency);
    for (const ReportPeriod& shown : reportPeriods(history, period, options))
        text += reportLine(shown.key, shown.totals, currency, column);
    text += reportLine("Summe", reportSum(history, period, options), currency, column);
    if (options.forecast) text += forecastLine(*options.forecast, currency, column);
    return text;
}

std::string jsonReport(const History& history, Period period, std::string_view currency, const ReportOptions& options) {
    QJsonArray periods;
    for (const ReportPeriod& shown : reportPeriods(history, period, options)) {
        QJsonObject object = totalsObject(shown.totals);
        object["key"] = QString::fromStdString(shown.key);
        periods.append(object);
    }
    QJsonObject report;
    report["currency"] = QString::fromUtf8(currency.data(), static_cast<qsizetype>(currency.size()));
    report["periods"] = periods;
    report["sum"] = totalsObject(reportSum(history, period, options));
    if (options.forecast)
        report["forecast"] = QJsonObject{{"key", QString::fromStdString(options.forecast->key)},
                                         {"cost", centsValue(options.forecast->cents)},
                                         {"budget", centsValue(options.forecast->budgetCents)}};
    return QJsonDocument(report).toJson(QJsonDocument::Indented).toStdString();
}

std::string megabytesText(std::uint64_t bytes) {
    // Tenths of a MB, rounded half up, in integers: exact for every count.
    const std::uint64_t tenths = bytes / 100'000 + (bytes % 100'000 >= 50'000 ? 1 : 0);
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%" PRIu64 ".%" PRIu64, tenths / 10, tenths % 10);
    return text.data();
}

// An export has no second writer to lock out, so no sidecar lock beside the
// user's file; the atomic replace still never leaves it cut short.
WriteResult saveTextFile(const std::string& path, std::string_view text) { return atomic_file::replace(path, text); }

} // namespace velmora
