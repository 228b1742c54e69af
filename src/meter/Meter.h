#pragma once
// The meter, without any window: the current connection (its link, its start
// on the wall and boot clocks), the unit clock, the money, the user's tariff
// and warning, and the checkpoints and records it hands to the journal and the
// log. It is driven by plain calls, one per poll, per unit the unit timer
// counts and per user action; each answers with what the window has to do
// (arm the unit timer, beep, show or clear the link), and state() and texts()
// say what there is to show.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "budget/BudgetWatch.h"
#include "journal/RecordKeeper.h"
#include "meter/LinkSighting.h"
#include "meter/MeterTexts.h"
#include "meter/SettingsStore.h"
#include "money/Money.h"
#include "monitor/ByteCounters.h"
#include "platform/Clock.h"
#include "tariff/Tariff.h"

namespace velmora {

// A moment as the meter takes it, once per call: the boot clock, which counts
// suspend and never jumps, in milliseconds, and the local date and time, with
// the same wall clock's milliseconds since 1970.
struct Moment {
    std::uint64_t bootMs = 0;
    LocalTime wall;
    std::int64_t epochMs = 0;
};
Moment momentOf(const Clock& clock);

// Everything the meter knows, as a plain snapshot.
struct MeterState {
    bool connected = false;           // an established link is shown
    bool opened = false;              // its clock runs and its first unit is charged
    std::uint32_t listed = 0;         // links listed at the last poll
    LinkSighting link;                // the established link, while connected
    LocalTime start;                  // the connection's start on the wall clock
    std::uint64_t startBootMs = 0;    // ... and on the boot clock
    std::int64_t startEpochMs = 0;    // ... and on the wall clock since 1970
    std::uint32_t elapsedSeconds = 0; // time online as of the last poll
    int unitLengthMs = 0;             // the unit length in force; 0: none
    Money cost;                       // the connection's charges
    Money total;                      // every charge since the log was last reset, this connection's included
    bool totalKnown = true;           // false while "Kosten" cannot be read: `total` holds the charges since
    int tariffZone = City;            // NoTariff: none chosen
    int warningIndex = 0;             // -1: none chosen
    // What the connection has carried as of the last poll; nullopt: unknown.
    std::optional<ByteCounters> carried;
};

// What the window has to do after a call.
struct MeterEvents {
    bool linkCleared = false;          // the link is no longer shown (a connection that was up has been logged)
    bool linkShown = false;            // an established link is shown (after linkCleared when another took its place)
    bool beep = false;                 // the time warning sounds
    std::optional<int> unitTimerMs;    // the unit timer starts anew with this period
    std::optional<BudgetAlert> budget; // a share of the budget reached, to be told once
};

class Meter : private UnitLengthReceiver {
public:
    // `notify` tells the user when a file cannot be written, and when it can again.
    Meter(ConnectionLog& log, SettingsProfile& profile, RecordKeeper::Notify notify);

    // What a run that ended without closing left is written first, then the
    // settings are read.
    void begin();
    // The same for a run that must not meter (it could not make sure it is the
    // only meter): the settings are read, and nothing is ever written.
    void beginWithoutMetering();
    // One poll: the links as the probe saw them.
    MeterEvents tick(const Moment& now, const LinkSighting& links);
    // The unit timer ran out.
    MeterEvents unitElapsed(const Moment& now);
    // The user's choices, as the lists show them; anything outside a list is no choice (-1).
    void chooseTariff(int zone);
    void chooseWarning(int index);
    // The user had the log deleted: the total starts again from 0, a running
    // connection goes on.
    void resetLog(const Moment& now);
    // At the end of the run: a connection still up is logged ...
    void endConnection(const Moment& now);
    // ... then the settings are saved and whatever is held back is tried a last time.
    void end();
    // What the end could not save anywhere, not even in the journal, in words;
    // empty when everything is safe.
    const std::string& unsavedAtEnd() const { return keeper_.unsavedAtEnd(); }

    const MeterState& state() const { return state_; }
    MeterTexts texts() const;
    // The caption after a poll: "<cost> <currency>  /  <time online> h", or
    // "Keine Verbindung".
    std::string caption(std::string_view currency) const;
    // A connection runs or a write is held back: the poll must come every
    // second; otherwise the link source may let it sleep until it has news.
    bool needsEverySecond() const;
    // The link whose connection is metered, for the next look (sightLinks); 0: none.
    std::uint64_t shownHandle() const { return state_.connected ? state_.link.handle : 0; }

    // The billing period so far, the running connection as charged, for the status.
    BudgetFigures budgetFigures(const Moment& now);
    // The budget or the billing day may have changed.
    void budgetSettingsChanged() { budget_.settingsChanged(); }

private:
    void pollLinks(const LinkSighting& links);
    void watchBudget();
    RunningConnection running() const;
    void loadSettings();
    void catchUpWithStoredSettings();
    void clearConnection();
    void showLink(const LinkSighting& links);
    void startConnectionClock();
    void chargeUnit();
    std::uint64_t unitsBegunBy(std::uint64_t bootMs) const;
    void chargeUnitsBegun();
    void chargeUnitsOverdue();
    void chargeUnitsOfClock(std::uint64_t count);
    std::uint64_t untilNextUnitMs() const;
    void armUnitTimer(std::uint64_t ms);
    void restartUnitClock();
    void updateChargePeriod();
    int switchUnitLength(int unitMs) override;
    void startCounting(const LinkSighting& links);
    void followCounters(const LinkSighting& links);
    void putCarried(std::optional<std::uint64_t>& received, std::optional<std::uint64_t>& sent) const;
    void checkpoint();
    void checkpointIfDue();
    OpenConnection openConnection() const;
    void writeLogRecord();
    LocalTime recordStart() const;
    std::string totalText() const;
    SettingsValues settingsToSave();

    RecordKeeper::Notify notify_; // every message of the meter to the user goes here
    RecordKeeper keeper_;
    SettingsStore settings_;
    SettingsProfile& profile_;
    BudgetWatch budget_;
    MeterState state_;
    Moment now_; // of the call under way
    MeterEvents events_;
    std::uint64_t lastCheckpointMs_ = 0;
    std::uint64_t unitStartMs_ = 0;       // boot clock at the start of the unit the unit timer runs for
    bool unitsCaughtUp_ = false;          // a poll charged what the held-up unit timer was to charge
    std::uint64_t unitTimerLengthMs_ = 0; // the unit timer's period, the unit length it was armed for
    std::uint64_t unitTimerArmedMs_ = 0;  // ... and the one it runs with (the rest of a unit, after a stall)
    // The tariff and warning shown while the settings could not be read, until they can.
    std::optional<std::pair<int, int>> unreadChoices_;
    std::optional<ByteCounters> countersAtStart_; // the link's counters at the connection's first poll
    std::optional<ByteCounters> countersLast_;    // ... and the highest since

    // The day's answer of the holiday calendar, asked once a day, not once a tick.
    PublicHolidayCache holidays_;
    UserBandCache bands_;
};

} // namespace velmora
