#include "journal/JournalState.h"

#include <charconv>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include "store/SettingsSchema.h"

namespace velmora {
namespace {

constexpr int kFormat = 1;

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
                  {"total", qs(c.total.exactText())}};
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
                          bytesOf(o["received"]),
                          bytesOf(o["sent"])};
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
    QJsonObject root{{"format", kFormat}};
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
    if (!document.isObject() || root["format"].toInt() != kFormat) return std::nullopt;
    JournalState state;
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
    return state;
}

bool isNewerJournalText(std::string_view text) {
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    const QJsonValue format = document.object()["format"];
    return document.isObject() && format.isDouble() && format.toDouble() > kFormat;
}

JournalState closedAfterCrash(JournalState state) {
    if (!state.open) return state;
    const OpenConnection& open = *state.open;
    state.pendingRecords.push_back(
        {open.start, open.checkpoint, open.cost.text(), open.total.text(), open.bytesReceived, open.bytesSent});
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

} // namespace velmora
