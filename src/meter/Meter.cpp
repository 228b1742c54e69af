#include "meter/Meter.h"

#include <algorithm>
#include <limits>

#include "budget/PeriodSpending.h"
#include "tariff/Charging.h"

namespace velmora {
namespace {

// A crash loses at most this much time online (no charge: every unit is checkpointed).
constexpr std::uint64_t kCheckpointIntervalMs = 60'000;
// A unit timer this late has been held up (the process stopped, swapped out,
// starved): more than a poll, so that a poll never takes a unit whose timer is
// merely due at the same moment.
constexpr std::uint64_t kUnitTimerHeldUpMs = 1500;
// A unit timer this far off the unit clock is put back in step with it; a
// timer of the window system is a few milliseconds late at most when all is well.
constexpr std::uint64_t kUnitTimerInStepMs = 250;

int inRangeOrNone(int index, int count) { return index >= 0 && index < count ? index : -1; }

} // namespace

// The wall clock read once: its local time and its count agree to the millisecond.
Moment momentOf(const Clock& clock) {
    const std::int64_t epochMs = clock.epochMs();
    const std::int64_t seconds = epochMs / 1000 - (epochMs % 1000 < 0 ? 1 : 0);
    return {clock.tickMs(), localTimeOf(seconds, static_cast<int>(epochMs - seconds * 1000)), epochMs};
}

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
    state_.totalKnown = !keeper_.totalUnread();
    state_.unitLengthMs = 0;
    if (profile_.readError() != 0) unreadChoices_ = {state_.tariffZone, state_.warningIndex};
}

// While the settings file could not be read, the total counted only what was
// charged since and the lists showed the defaults. Once it reads, the stored
// total goes under the charges and the stored choices come back, unless the
// user has chosen otherwise meanwhile (a tariff that comes back during a
// connection applies from then on, as the Cost-Editor's changes do); then they
// are saved as they now stand.
void Meter::catchUpWithStoredSettings() {
    if (const std::optional<Money> stored = keeper_.bookUnreadTotal()) state_.total += *stored;
    state_.totalKnown = !keeper_.totalUnread();
    if (!unreadChoices_ || profile_.readError() != 0) return;
    const StandardSettings stored = readSection(profile_, settings::kStandard);
    if (state_.tariffZone == unreadChoices_->first) state_.tariffZone = inRangeOrNone(stored.tariffZone, kTariffCount);
    if (state_.warningIndex == unreadChoices_->second)
        state_.warningIndex = inRangeOrNone(stored.warningIndex, kWarningCount);
    unreadChoices_.reset();
    keeper_.saveSettings(settingsToSave());
}

MeterEvents Meter::tick(const Moment& now, const LinkSighting& links) {
    now_ = now;
    events_ = {};
    catchUpWithStoredSettings();
    pollLinks(links);
    watchBudget();
    return events_;
}

void Meter::pollLinks(const LinkSighting& links) {
    keeper_.retry();
    chargeUnitsOverdue();
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
    if (state_.connected && state_.unitLengthMs != 0) {
        chargeUnitsBegun();
        armUnitTimer(untilNextUnitMs());
    } else {
        armUnitTimer(unitTimerLengthMs_); // one armed for the rest of a unit runs at the unit length again
    }
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
    catchUpWithStoredSettings();
    state_.total = Money();
    state_.totalKnown = true;
    std::optional<OpenConnection> open;
    if (state_.connected && state_.opened) open = openConnection();
    keeper_.resetLog(settingsToSave(), open);
    budget_.logReset();
    lastCheckpointMs_ = now.bootMs;
}

void Meter::endConnection(const Moment& now) {
    now_ = now;
    catchUpWithStoredSettings();
    if (state_.connected) writeLogRecord();
}

void Meter::end() {
    catchUpWithStoredSettings();
    keeper_.saveSettings(settingsToSave());
    keeper_.finish();
}

MeterTexts Meter::texts() const {
    const MeterState& s = state_;
    if (!s.connected)
        return {kNoConnection, kNoConnection, kNoConnection, kNoAddress,
                kNoConnection, kNoConnection, totalText(),   kNoConnection};
    return {s.link.entryName,
            s.link.deviceType,
            s.link.deviceName,
            s.link.address.empty() ? kNoAddress : s.link.address,
            formatElapsed(s.elapsedSeconds),
            s.cost.text(),
            totalText(),
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
    state_.startEpochMs = now_.epochMs;
}

void Meter::chargeUnit() {
    const Money fee = chargePerUnit(state_.tariffZone, profile_);
    state_.cost += fee;
    state_.total += fee;
    if (state_.connected && state_.opened) checkpoint();
}

// Units of the unit clock begun by the moment and not charged yet.
std::uint64_t Meter::unitsBegunBy(std::uint64_t bootMs) const {
    return bootMs > unitStartMs_ ? (bootMs - unitStartMs_) / static_cast<std::uint64_t>(state_.unitLengthMs) : 0;
}

// The unit timer ran out: on time that ends one unit, as ever; late (the
// process stood still, the machine was overloaded) it charges every unit whose
// start has passed on the boot clock meanwhile, not only one.
void Meter::chargeUnitsBegun() {
    std::uint64_t count = unitsBegunBy(now_.bootMs);
    if (count == 0 && !unitsCaughtUp_) count = 1; // a timer a hair early still ends its unit
    unitsCaughtUp_ = false;
    chargeUnitsOfClock(count);
}

// A poll that finds the unit timer held up first charges every unit begun by
// now: a connection that ended meanwhile, or changes band now, is charged
// what had passed until this poll saw it, no more.
void Meter::chargeUnitsOverdue() {
    if (!state_.connected || !state_.opened || state_.unitLengthMs == 0) return;
    if (now_.bootMs < kUnitTimerHeldUpMs || unitsBegunBy(now_.bootMs - kUnitTimerHeldUpMs) == 0) return;
    unitsCaughtUp_ = true; // the timer, when it fires, owes no unit of its own
    chargeUnitsOfClock(unitsBegunBy(now_.bootMs));
}

// The fee is read once and the journal written once: an hour's stall with
// units of a second must not take 3,600 syncs.
void Meter::chargeUnitsOfClock(std::uint64_t count) {
    if (count == 0) return;
    unitStartMs_ += count * static_cast<std::uint64_t>(state_.unitLengthMs);
    if (count == 1) return chargeUnit();
    const Money fee = chargePerUnit(state_.tariffZone, profile_);
    for (std::uint64_t i = 0; i < count; ++i) {
        state_.cost += fee;
        state_.total += fee;
    }
    checkpoint();
}

// After a stall the timer runs behind the unit clock, and a connection that
// ends would lose the unit begun since: a timer that came late (or that a
// poll overtook) is armed once for what is left of the unit under way, then
// for whole units again.
std::uint64_t Meter::untilNextUnitMs() const {
    const auto length = static_cast<std::uint64_t>(state_.unitLengthMs);
    const std::uint64_t next = unitStartMs_ + length;
    const std::uint64_t left = next > now_.bootMs ? next - now_.bootMs : length;
    return left + kUnitTimerInStepMs >= length ? length : left;
}

void Meter::armUnitTimer(std::uint64_t ms) {
    if (ms == unitTimerArmedMs_) return;
    unitTimerArmedMs_ = ms;
    events_.unitTimerMs = static_cast<int>(ms);
}

// Time online in whole seconds of the boot clock, as the display counts them.
void Meter::updateChargePeriod() {
    const std::uint64_t elapsed = now_.bootMs / 1000 - state_.startBootMs / 1000;
    state_.elapsedSeconds =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(elapsed, std::numeric_limits<std::uint32_t>::max()));
    if (warningDue(state_.warningIndex, state_.elapsedSeconds)) events_.beep = true;
    evaluateTariff(state_.tariffZone, now_.wall, profile_, *this, holidays_, &bands_);
}

// A change of band cuts the running unit short and charges a new one at once.
int Meter::switchUnitLength(int unitMs) {
    if (state_.unitLengthMs == 0) { // the first length of the connection: no charge
        state_.unitLengthMs = unitMs;
        restartUnitClock();
        return 1;
    }
    if (state_.unitLengthMs == unitMs) return 0;
    state_.unitLengthMs = unitMs;
    chargeUnit();
    restartUnitClock();
    return 1;
}

// The unit clock and its timer start anew now, with the unit length in force.
void Meter::restartUnitClock() {
    events_.unitTimerMs = state_.unitLengthMs;
    unitTimerLengthMs_ = unitTimerArmedMs_ = static_cast<std::uint64_t>(state_.unitLengthMs);
    unitStartMs_ = now_.bootMs;
    unitsCaughtUp_ = false;
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
    OpenConnection open{
        state_.link.entryName, state_.start, state_.startBootMs / 1000,  now_.wall,          now_.bootMs / 1000,
        state_.cost,           state_.total, state_.startEpochMs / 1000, now_.epochMs / 1000};
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
// that hold its total. A total that counts from an unread "Kosten" goes as the
// amount charged since: the record keeper holds the record until it is read.
void Meter::writeLogRecord() {
    const MeterTexts shown = texts();
    const std::string total = state_.totalKnown ? shown.total : state_.total.text();
    LogRecord record{recordStart(), now_.wall, shown.cost, total};
    putCarried(record.bytesReceived, record.bytesSent);
    keeper_.connectionEnded(record, settingsToSave());
    if (const auto logged = parseMoneyText(shown.cost))
        budget_.recordLogged(CalendarDate::of(record.start), logged->amount);
}

// The record keeps the real end; when the wall clock was set during the
// connection its start is the end less the time online on the boot clock.
LocalTime Meter::recordStart() const {
    const std::int64_t start = state_.startEpochMs / 1000;
    const auto online = static_cast<std::int64_t>(now_.bootMs / 1000 - state_.startBootMs / 1000);
    const std::int64_t real = wallStartOfSpan(start, now_.epochMs / 1000, online);
    return real == start ? state_.start : localTimeOf(real);
}

std::string Meter::totalText() const { return state_.totalKnown ? state_.total.text() : kUnknownTotal; }

// A save brings an empty tariff choice back to the first entry, as every save
// always did.
SettingsValues Meter::settingsToSave() {
    if (state_.tariffZone == NoTariff) state_.tariffZone = City;
    return SettingsStore::texts({state_.total, state_.tariffZone, state_.warningIndex});
}

} // namespace velmora
