#include "journal/JournalState.h"

#include <charconv>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include "store/SettingsSchema.h"

namespace velmora {
namespace {

// Format 2 only where the total was unread: a version that knows only 1 sets
// such a journal aside instead of storing its partial totals as the whole.
constexpr int kFormat = 1;
constexpr int kUnreadTotalFormat = 2;
constexpr int kNewestFormat = kUnreadTotalFormat;

QString qs(const std::string& text) { return QString::fromStdString(text); }

QJsonArray timeArray(const LocalTime& t) { return {t.year, t.month, t.day, t.hour, t.minute, t.second, t.dayOfWeek}; }

std::optional<LocalTime> timeOf(const QJsonValue& value) {
    const QJsonArray a = value.toArray();
    if (a.size() != 7) return std::nullopt;
    for (const QJsonValue field : a)
        if (!field.isDouble()) return std::nullopt;
    LocalTime t;
    t.year = a[0].toInt();
    t.month = a[1].toInt();
    t.day = a[2].toInt();
    t.hour = a[3].toInt();
    t.minute = a[4].toInt();
    t.second = a[5].toInt();
    t.dayOfWeek = a[6].toInt();
    return t;
}

// Byte counts go in as decimal text: a JSON number is a double, exact only
// up to 2^53. Only known counts are written, so a journal without them is
// what an older version wrote and reads the same.
void putBytes(QJsonObject& o, const std::optional<std::uint64_t>& received, const std::optional<std::uint64_t>& sent) {
    if (received) o["received"] = qs(std::to_string(*received));
    if (sent) o["sent"] = qs(std::to_string(*sent));
}

// A count that is missing or no decimal number is unknown: the bytes are a
// figure to show, and a journal is never set aside (its money with it) for them.
std::optional<std::uint64_t> bytesOf(const QJsonValue& value) {
    const std::string text = value.toString().toStdString();
    std::uint64_t count = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, count);
    if (!value.isString() || text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return count;
}

QJsonObject openObject(const OpenConnection& c) {
    QJsonObject o{{"name", qs(c.entryName)},
                  {"start", timeArray(c.start)},
                  {"startBoot", static_cast<double>(c.startBootSeconds)},
                  {"checkpoint", timeArray(c.checkpoint)},
                  {"checkpointBoot", static_cast<double>(c.checkpointBootSeconds)},
                  {"cost", qs(c.cost.exactText())},
                  {"total", qs(c.total.exactText())},
                  {"startEpoch", static_cast<double>(c.startEpochSeconds)},
                  {"checkpointEpoch", static_cast<double>(c.checkpointEpochSeconds)}};
    putBytes(o, c.bytesReceived, c.bytesSent);
    return o;
}

std::optional<Money> moneyOf(const QJsonValue& value) {
    const std::optional<ParsedMoney> parsed = parseMoneyText(value.toString().toStdString());
    if (!value.isString() || !parsed) return std::nullopt;
    return parsed->amount;
}

// Boot seconds as stored; 0 for what no writer stores (negative, too large, no
// number), which a cast would leave undefined.
std::uint64_t bootSecondsOf(const QJsonValue& value) {
    const double seconds = value.toDouble();
    return seconds >= 0 && seconds < 18446744073709551616.0 ? static_cast<std::uint64_t>(seconds) : 0;
}

// Seconds since 1970 as stored; 0 (not stored) for what no writer stores
// (beyond the years a local time can show, no number).
std::int64_t storedEpochSecondsOf(const QJsonValue& value) {
    const double seconds = value.toDouble();
    return seconds > -1e11 && seconds < 1e11 ? static_cast<std::int64_t>(seconds) : 0;
}

std::optional<OpenConnection> openOf(const QJsonObject& o) {
    std::optional<LocalTime> start = timeOf(o["start"]);
    std::optional<LocalTime> checkpoint = timeOf(o["checkpoint"]);
    std::optional<Money> cost = moneyOf(o["cost"]);
    std::optional<Money> total = moneyOf(o["total"]);
    if (!start || !checkpoint || !cost || !total) return std::nullopt;
    return OpenConnection{o["name"].toString().toStdString(),
                          *start,
                          bootSecondsOf(o["startBoot"]),
                          *checkpoint,
                          bootSecondsOf(o["checkpointBoot"]),
                          *cost,
                          *total,
                          storedEpochSecondsOf(o["startEpoch"]),
                          storedEpochSecondsOf(o["checkpointEpoch"]),
                          bytesOf(o["received"]),
                          bytesOf(o["sent"])};
}

std::int64_t epochSecondsOf(const LocalTime& t) {
    return epochSecondsAt(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

// The record's start: the wall clock's, unless it was set during the
// connection; journals of earlier versions hold only the local times.
LocalTime recordStartOf(const OpenConnection& open) {
    constexpr std::uint64_t kLongestSpan = 10'000'000'000; // centuries: no connection lasts that long
    if (open.startBootSeconds == 0 || open.checkpointBootSeconds < open.startBootSeconds ||
        open.checkpointBootSeconds - open.startBootSeconds > kLongestSpan)
        return open.start;
    const std::int64_t start = open.startEpochSeconds ? open.startEpochSeconds : epochSecondsOf(open.start);
    const std::int64_t end =
        open.checkpointEpochSeconds ? open.checkpointEpochSeconds : epochSecondsOf(open.checkpoint);
    const std::int64_t real =
        wallStartOfSpan(start, end, static_cast<std::int64_t>(open.checkpointBootSeconds - open.startBootSeconds));
    return real == start ? open.start : localTimeOf(real);
}

QJsonObject recordObject(const LogRecord& r) {
    QJsonObject o{{"start", timeArray(r.start)},
                  {"end", timeArray(r.end)},
                  {"cost", qs(r.connectionCost)},
                  {"total", qs(r.grandTotal)}};
    putBytes(o, r.bytesReceived, r.bytesSent);
    return o;
}

std::optional<LogRecord> recordOf(const QJsonObject& o) {
    std::optional<LocalTime> start = timeOf(o["start"]);
    std::optional<LocalTime> end = timeOf(o["end"]);
    if (!start || !end || !o["cost"].isString() || !o["total"].isString()) return std::nullopt;
    return LogRecord{*start,
                     *end,
                     o["cost"].toString().toStdString(),
                     o["total"].toString().toStdString(),
                     bytesOf(o["received"]),
                     bytesOf(o["sent"])};
}

} // namespace

std::string journalText(const JournalState& state) {
    QJsonObject root{{"format", state.totalUnread ? kUnreadTotalFormat : kFormat}};
    if (state.totalUnread) root["unreadTotal"] = static_cast<double>(state.unreadRecords);
    if (state.open) root["open"] = openObject(*state.open);
    if (state.logResetPending) root["resetLog"] = true;
    QJsonArray records;
    for (const LogRecord& record : state.pendingRecords) records.append(recordObject(record));
    if (!records.isEmpty()) root["records"] = records;
    QJsonArray settings; // an array of pairs: the keys keep their order
    for (const auto& [key, value] : state.pendingSettings) settings.append(QJsonArray{qs(key), qs(value)});
    if (!settings.isEmpty()) root["settings"] = settings;
    if (state.bookedTotal) root["booked"] = qs(*state.bookedTotal);
    QJsonArray settled;
    for (const std::string& name : state.settledAside) settled.append(qs(name));
    if (!settled.isEmpty()) root["settled"] = settled;
    return QJsonDocument(root).toJson(QJsonDocument::Compact).toStdString();
}

std::optional<JournalState> parseJournalText(std::string_view text) {
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    const QJsonObject root = document.object();
    const int format = root["format"].toInt();
    if (!document.isObject() || (format != kFormat && format != kUnreadTotalFormat)) return std::nullopt;
    JournalState state;
    if (format == kUnreadTotalFormat) {
        if (!root["unreadTotal"].isDouble() || root["unreadTotal"].toDouble() < 0) return std::nullopt;
        state.totalUnread = true;
        state.unreadRecords = static_cast<std::size_t>(root["unreadTotal"].toDouble());
    }
    if (root.contains("open")) {
        state.open = openOf(root["open"].toObject());
        if (!state.open) return std::nullopt;
    }
    state.logResetPending = root["resetLog"].toBool();
    for (const QJsonValue value : root["records"].toArray()) {
        std::optional<LogRecord> record = recordOf(value.toObject());
        if (!record) return std::nullopt;
        state.pendingRecords.push_back(std::move(*record));
    }
    for (const QJsonValue value : root["settings"].toArray()) {
        const QJsonArray pair = value.toArray();
        if (pair.size() != 2 || !pair[0].isString() || !pair[1].isString()) return std::nullopt;
        state.pendingSettings.emplace_back(pair[0].toString().toStdString(), pair[1].toString().toStdString());
    }
    if (root["booked"].isString()) state.bookedTotal = root["booked"].toString().toStdString();
    for (const QJsonValue value : root["settled"].toArray()) {
        if (!value.isString()) return std::nullopt;
        state.settledAside.push_back(value.toString().toStdString());
    }
    if (state.unreadRecords > state.pendingRecords.size()) return std::nullopt;
    return state;
}

bool isNewerJournalText(std::string_view text) {
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    const QJsonValue format = document.object()["format"];
    return document.isObject() && format.isDouble() && format.toDouble() > kNewestFormat;
}

JournalState closedAfterCrash(JournalState state) {
    if (!state.open) return state;
    const OpenConnection& open = *state.open;
    state.pendingRecords.push_back({recordStartOf(open), open.checkpoint, open.cost.text(), open.total.text(),
                                    open.bytesReceived, open.bytesSent});
    if (state.totalUnread) ++state.unreadRecords;
    bool totalSet = false;
    for (auto& [key, value] : state.pendingSettings) {
        if (key != settings::kTotalKey) continue;
        value = open.total.text();
        totalSet = true;
    }
    if (!totalSet)
        state.pendingSettings.insert(state.pendingSettings.begin(),
                                     {std::string(settings::kTotalKey), open.total.text()});
    state.open.reset();
    return state;
}

JournalState withStoredTotal(JournalState state, Money stored) {
    if (!state.totalUnread) return state;
    const auto counted = [stored](std::string& sinceUnread) {
        sinceUnread = (stored + setting_text::moneyOf(sinceUnread, Money())).text();
    };
    const std::size_t firstUnread = state.pendingRecords.size() - state.unreadRecords;
    for (std::size_t i = firstUnread; i < state.pendingRecords.size(); ++i) counted(state.pendingRecords[i].grandTotal);
    if (state.open) state.open->total += stored;
    SettingsValues kept;
    for (auto& [key, value] : state.pendingSettings) {
        if (key != settings::kTotalKey) continue;
        counted(value);
        kept.emplace_back(key, value);
    }
    state.pendingSettings = std::move(kept);
    state.totalUnread = false;
    state.unreadRecords = 0;
    return state;
}

} // namespace velmora
