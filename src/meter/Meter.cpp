#include "meter/Meter.h"

#include <algorithm>
#include <limits>

#include "budget/PeriodSpending.h"
#include "tariff/Charging.h"

namespace velmora {
namespace {

// A crash loses at most this much time online (no charge: every unit is checkpointed).
constexpr std::uint64_t kCheckpointIntervalMs = 60'000;

int inRangeOrNone(int index, int count) { return index >= 0 && index < count ? index : -1; }

} // namespace

Moment momentOf(const Clock& clock) { return {clock.tickMs(), clock.localTime()}; }

Meter::Meter(ConnectionLog& log, SettingsProfile& profile, RecordKeeper::Notify notify)
    : notify_(std::move(notify))
    , keeper_(log, profile, journalPathBeside(log.path()),
              [this](const std::string& title, const std::string& text) { notify_(title, text); })
    , settings_(profile, keeper_)
    , profile_(profile)
    , budget_(
          profile,
          [this, &log](const BillingPeriod& period) {
              return loggedSpending(log.path(), period, keeper_.state().pendingRecords).logged;
          },
          [this](const std::string& title, const std::string& text) { notify_(title, text); }) {}

void Meter::begin() {
    keeper_.start(); // what a crashed run left counts before the total is read
    loadSettings();
}

void Meter::beginWithoutMetering() {
    keeper_.standAside();
    loadSettings();
}

void Meter::loadSettings() {
    const StandardSettings stored = settings_.load();
    state_.warningIndex = inRangeOrNone(stored.warningIndex, kWarningCount);
    state_.tariffZone = inRangeOrNone(stored.tariffZone, kTariffCount);
    state_.total = stored.grandTotal;
    state_.unitLengthMs = 0;
}

MeterEvents Meter::tick(const Moment& now, const LinkSighting& links) {
    now_ = now;
    events_ = {};
    pollLinks(links);
    watchBudget();
    return events_;
}

void Meter::pollLinks(const LinkSighting& links) {
    keeper_.retry();
    state_.listed = links.listed;
    followCounters(links); // before a connection that ends here is logged
    if (links.listed > 0 && links.established) {
        showLink(links);
    } else if (links.listed > 0 || state_.connected) {
        clearConnection(); // dialling, authenticating, hanging up, or gone from the list
    }
    if (!state_.connected) {
        state_.opened = false;
        state_.cost = Money();
        state_.unitLengthMs = 0;
        return;
    }
    if (!state_.opened) { // a new connection: its first unit is charged at once
        startConnectionClock();
        startCounting(links);
        state_.opened = true;
        chargeUnit();
    }
    updateChargePeriod();
    checkpointIfDue();
}

// A unit timer left over from an earlier connection keeps running; it charges
// only while a unit length is in force for the current connection.
MeterEvents Meter::unitElapsed(const Moment& now) {
    now_ = now;
    events_ = {};
    if (state_.connected && state_.unitLengthMs != 0) chargeUnit();
    watchBudget();
    return events_;
}

// The running connection counts as it is charged, in the period it began in.
void Meter::watchBudget() { events_.budget = budget_.check(now_.bootMs, now_.wall, running()); }

BudgetFigures Meter::budgetFigures(const Moment& now) { return budget_.figures(now.wall, running()); }

RunningConnection Meter::running() const {
    const bool open = state_.connected && state_.opened;
    return {open, open ? state_.elapsedSeconds : 0, open ? state_.cost : Money(), CalendarDate::of(state_.start)};
}

void Meter::chooseTariff(int zone) { state_.tariffZone = inRangeOrNone(zone, kTariffCount); }

void Meter::chooseWarning(int index) { state_.warningIndex = inRangeOrNone(index, kWarningCount); }

// Settings saved at once: a crash now must not bring back the total the user
// deleted, nor a record held back from the log.
void Meter::resetLog(const Moment& now) {
    now_ = now;
    state_.total = Money();
    std::optional<OpenConnection> open;
    if (state_.connected && state_.opened) open = openConnection();
    keeper_.resetLog(settingsToSave(), open);
    budget_.logReset();
    lastCheckpointMs_ = now.bootMs;
}

void Meter::endConnection(const Moment& now) {
    now_ = now;
    if (state_.connected) writeLogRecord();
}

void Meter::end() {
    keeper_.saveSettings(settingsToSave());
    keeper_.finish();
}

MeterTexts Meter::texts() const {
    const MeterState& s = state_;
    if (!s.connected)
        return {kNoConnection, kNoConnection, kNoConnection,  kNoAddress,
                kNoConnection, kNoConnection, s.total.text(), kNoConnection};
    return {s.link.entryName,
            s.link.deviceType,
            s.link.deviceName,
            s.link.address.empty() ? kNoAddress : s.link.address,
            formatElapsed(s.elapsedSeconds),
            s.cost.text(),
            s.total.text(),
            s.unitLengthMs == 0 ? kNoConnection : formatUnitLength(s.unitLengthMs)};
}

std::string Meter::caption(std::string_view currency) const {
    if (!state_.connected) return kNoConnection;
    return state_.cost.text() + " " + std::string(currency) + "  /  " + formatElapsed(state_.elapsedSeconds) + " h";
}

bool Meter::needsEverySecond() const { return state_.connected || keeper_.holdsBack(); }

// Another link that takes first place ends the shown connection as a drop
// does, and opens as a new one in the same poll.
void Meter::showLink(const LinkSighting& links) {
    if (state_.connected && links.handle != state_.link.handle) {
        clearConnection();
        state_.opened = false;
    }
    state_.link = links;
    state_.connected = true;
    events_.linkShown = true;
}

// Logs a connection that was up before anything it shows is cleared.
void Meter::clearConnection() {
    if (state_.connected) writeLogRecord();
    state_.cost = Money();
    state_.carried.reset();
    state_.unitLengthMs = 0;
    state_.connected = false;
    events_.linkCleared = true;
}

void Meter::startConnectionClock() {
    state_.startBootMs = now_.bootMs;
    state_.start = now_.wall;
}

void Meter::chargeUnit() {
    const Money fee = chargePerUnit(state_.tariffZone, profile_);
    state_.cost += fee;
    state_.total += fee;
    if (state_.connected && state_.opened) checkpoint();
}

// Time online in whole seconds of the boot clock, as the display counts them.
void Meter::updateChargePeriod() {
    const std::uint64_t elapsed = now_.bootMs / 1000 - state_.startBootMs / 1000;
    state_.elapsedSeconds =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(elapsed, std::numeric_limits<std::uint32_t>::max()));
    if (warningDue(state_.warningIndex, state_.elapsedSeconds)) events_.beep = true;
    evaluateTariff(state_.tariffZone, now_.wall, profile_, *this, holidays_);
}

// A change of band cuts the running unit short and charges a new one at once.
int Meter::switchUnitLength(int unitMs) {
    if (state_.unitLengthMs == 0) { // the first length of the connection: no charge
        state_.unitLengthMs = unitMs;
        events_.unitTimerMs = unitMs;
        return 1;
    }
    if (state_.unitLengthMs == unitMs) return 0;
    state_.unitLengthMs = unitMs;
    chargeUnit();
    events_.unitTimerMs = unitMs;
    return 1;
}

// The connection's bytes are what the link carried since its first poll:
// without a figure at the start, none are known for the whole connection (a
// later first figure would pass off a part as the whole).
void Meter::startCounting(const LinkSighting& links) {
    countersAtStart_ = links.carried;
    countersLast_ = links.carried;
    state_.carried.reset();
    if (links.carried) state_.carried = ByteCounters{};
}

// Each poll's figure of the shown link. One that cannot be read keeps the
// last, and counters never go back: a source that reported less than before
// would otherwise give a figure below 0.
void Meter::followCounters(const LinkSighting& links) {
    if (!state_.connected || links.shownHandle != state_.link.handle) return;
    if (!links.shownCarried || !countersLast_ || !countersAtStart_) return;
    countersLast_->received = std::max(countersLast_->received, links.shownCarried->received);
    countersLast_->sent = std::max(countersLast_->sent, links.shownCarried->sent);
    state_.carried = ByteCounters{countersLast_->received - countersAtStart_->received,
                                  countersLast_->sent - countersAtStart_->sent};
}

// The bytes as the journal and the log take them: two counts, each unknown
// when the connection's are.
void Meter::putCarried(std::optional<std::uint64_t>& received, std::optional<std::uint64_t>& sent) const {
    if (!state_.carried) return;
    received = state_.carried->received;
    sent = state_.carried->sent;
}

OpenConnection Meter::openConnection() const {
    OpenConnection open{state_.link.entryName, state_.start, state_.startBootMs / 1000, now_.wall, now_.bootMs / 1000,
                        state_.cost,           state_.total};
    putCarried(open.bytesReceived, open.bytesSent);
    return open;
}

void Meter::checkpoint() {
    keeper_.checkpoint(openConnection());
    lastCheckpointMs_ = now_.bootMs;
}

void Meter::checkpointIfDue() {
    if (now_.bootMs - lastCheckpointMs_ >= kCheckpointIntervalMs) checkpoint();
}

// The record holds the cost and the total as the window shows them, so the
// log holds what the user saw last; it goes out together with the settings
// that hold its total.
void Meter::writeLogRecord() {
    const MeterTexts shown = texts();
    LogRecord record{state_.start, now_.wall, shown.cost, shown.total};
    putCarried(record.bytesReceived, record.bytesSent);
    keeper_.connectionEnded(record, settingsToSave());
    if (const auto logged = parseMoneyText(shown.cost))
        budget_.recordLogged(CalendarDate::of(state_.start), logged->amount);
}

// A save brings an empty tariff choice back to the first entry, as every save
// always did.
SettingsValues Meter::settingsToSave() {
    if (state_.tariffZone == NoTariff) state_.tariffZone = City;
    return SettingsStore::texts({state_.total, state_.tariffZone, state_.warningIndex});
}

} // namespace velmora
