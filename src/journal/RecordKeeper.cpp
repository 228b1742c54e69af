#include "journal/RecordKeeper.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include <unistd.h>

#include "store/AtomicFile.h"
#include "store/DataPaths.h"
#include "store/NumberParse.h"
#include "store/ProfileFile.h"
#include "store/SettingsSchema.h"

namespace velmora {
namespace {

// Names under which journals are set aside, and whether a later start tries them again.
constexpr const char* kUnreadableLabel = "unlesbar";
constexpr const char* kNewerLabel = "neuer";
constexpr const char* kDamagedLabel = "beschaedigt"; // never readable again: kept for the user only

// An amount as the settings hold it, by its leading number; none is 0.
std::int64_t centsOf(std::string_view text) { return setting_text::moneyOf(text, Money()).cents(); }

std::optional<std::string> settingOf(const SettingsValues& settings, std::string_view key) {
    for (const auto& [name, value] : settings)
        if (name == key) return value;
    return std::nullopt;
}

void setSetting(SettingsValues& settings, const std::string& key, const std::string& value) {
    for (auto& [name, old] : settings) {
        if (name != key) continue;
        old = value;
        return;
    }
    settings.emplace(settings.begin(), key, value);
}

// What of a journal's money the settings file did not hold when it was last
// written: everything after the total it knew to be stored. A reset it still
// meant to do is not done this late (it would delete newer records): what was
// charged after it counts on top of today's total.
std::int64_t unbookedCents(const JournalState& left) {
    const std::int64_t open = left.open ? left.open->cost.cents() : 0;
    std::int64_t records = 0;
    for (const LogRecord& record : left.pendingRecords) records += centsOf(record.connectionCost);
    const std::optional<std::string> pendingTotal = settingOf(left.pendingSettings, settings::kTotalKey);
    if (left.logResetPending) return records + open;
    if (!left.bookedTotal) return open + (pendingTotal ? records : 0); // a journal of an older version
    const std::int64_t booked = centsOf(*left.bookedTotal);
    const std::int64_t meant = left.open ? left.open->total.cents() : pendingTotal ? centsOf(*pendingTotal) : booked;
    return std::max<std::int64_t>(0, meant - booked);
}

std::string timeText(const LocalTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%i.%i.%i %.2i:%.2i:%.2i", t.day, t.month, t.year, t.hour, t.minute, t.second);
    return text;
}

std::string connectionsText(std::size_t count) {
    return count == 1 ? "1 Verbindung" : std::to_string(count) + " Verbindungen";
}

// Only a name this program gives a set-aside journal, in the journal's folder.
bool isSetAsideName(const std::string& journalPath, const std::string& name) {
    if (name.find('/') != std::string::npos) return false;
    for (const char* label : {kUnreadableLabel, kNewerLabel})
        if (name.starts_with(fileNameOf(journalPath) + "." + label + "-")) return true;
    return false;
}

} // namespace

std::string journalPathBeside(const std::string& logPath) {
    const std::size_t slash = logPath.find_last_of('/');
    return (slash == std::string::npos ? std::string() : logPath.substr(0, slash + 1)) + kJournalFileName;
}

RecordKeeper::RecordKeeper(ConnectionLog& log, SettingsProfile& profile, std::string journalPath, Notify notify)
    : log_(log), profile_(profile), journal_(std::move(journalPath)), notify_(std::move(notify)) {
    logEpisode_ = {log.path(), "Verbindung nicht aufgezeichnet",
                   "Velmora behält die Aufzeichnung und versucht es jede Sekunde wieder.", "Verbindung aufgezeichnet",
                   "die zurückgehaltenen Aufzeichnungen sind jetzt geschrieben."};
    resetEpisode_ = {log.path(), "Aufzeichnungen nicht gelöscht",
                     "Velmora versucht es jede Sekunde wieder; bis dahin bleiben die Aufzeichnungen und die "
                     "gespeicherten Gesamtkosten, wie sie sind.",
                     "Aufzeichnungen gelöscht", "die Aufzeichnungen sind jetzt gelöscht."};
    profileEpisode_ = {profile.path(), "Gesamtkosten nicht gespeichert",
                       "Velmora behält sie und versucht es jede Sekunde wieder.", "Gesamtkosten gespeichert",
                       "die zurückgehaltenen Einstellungen sind jetzt geschrieben."};
    journalEpisode_ = {journal_.path(), "Zwischenstand nicht gesichert",
                       "Bei einem Absturz gingen die laufende Verbindung und zurückgehaltene Aufzeichnungen "
                       "verloren.",
                       "Zwischenstand gesichert", "der Zwischenstand wird wieder gesichert."};
}

void RecordKeeper::start() {
    if (standingAside_) return;
    if (!journal_.claim()) {
        journalBehind_ = true;
        journalFailure_ = journal_.claimError() == 0 ? "die Datei gehört einem anderen laufenden Velmora"
                                                     : "die Sperre kann nicht angelegt werden: " +
                                                           atomic_file::reasonFor(journal_.claimError());
        report(journalEpisode_, WriteResult::failed(journalFailure_), false);
        return;
    }
    openJournal();
    checkStoredTotal();
    settleSetAside();
    if (holdsBack()) writePending();
}

void RecordKeeper::standAside() {
    standingAside_ = true;
    journal_.release();
    state_.totalUnread = profile_.readError() != 0; // only for the window to show it
}

// "Kosten" is known when the journal holds it (newer than the file) or the
// file reads (a missing one holds 0); else it is not guessed.
void RecordKeeper::checkStoredTotal() {
    if (state_.totalUnread && bookUnreadTotal()) return;
    if (!state_.totalUnread && pendingSetting(settings::kTotalKey)) return;
    const int error = profile_.readError();
    if (error == 0) return;
    state_.totalUnread = true;
    notify_("Gesamtkosten nicht lesbar",
            profile_.path() + ": die Datei kann nicht gelesen werden: " + atomic_file::reasonForRead(error) +
                ". Velmora misst weiter, zeigt die Gesamtkosten aber erst, wenn die Datei lesbar ist, und hält "
                "bis dahin die Aufzeichnungen zurück; die Kosten kommen dann zu den gespeicherten dazu.");
}

std::optional<Money> RecordKeeper::bookUnreadTotal() {
    if (standingAside_ || !state_.totalUnread || profile_.readError() != 0) return std::nullopt;
    const std::string storedText = profile_.readString(settings::kStandard.name, settings::kTotalKey, "0");
    if (profile_.readError() != 0) return std::nullopt; // unreadable again between the two looks
    const Money stored = setting_text::moneyOf(storedText, Money());
    const std::string since = state_.open ? state_.open->total.text()
                                          : settingOf(state_.pendingSettings, settings::kTotalKey).value_or("0.00");
    state_ = withStoredTotal(std::move(state_), stored);
    state_.bookedTotal = storedText;
    changed_ = true;
    persist();
    notify_("Gesamtkosten gelesen", profile_.path() +
                                        ": die Datei ist wieder lesbar; zu den gespeicherten "
                                        "Gesamtkosten (" +
                                        stored.text() + ") kommen die seither gemessenen " + since + ".");
    return stored;
}

// What a run that ended without closing left is recovered; a journal that
// cannot be taken at its word is set aside. The file is made now when it is
// missing, while there may still be space for it.
void RecordKeeper::openJournal() {
    JournalReading reading = journal_.inspect();
    std::optional<JournalState> left;
    if (reading.found == JournalReading::Found::State) {
        if (reading.state.empty()) {
            left = JournalState{};
        } else if (isNewerJournalText(reading.state)) {
            reading = {JournalReading::Found::Newer, {}, "sie stammt von einer neueren Version von Velmora", 0, 1};
        } else if (!(left = parseJournalText(reading.state))) {
            reading = {JournalReading::Found::Damaged, {}, "ihr Inhalt ist kein Zwischenstand von Velmora", 0, 1};
        }
    }
    if (reading.found != JournalReading::Found::State && reading.found != JournalReading::Found::Nothing) {
        setAside(reading);
    }
    if (left && !left->empty()) {
        journalHoldsState_ = true;
        state_ = closedAfterCrash(std::move(*left));
        removeSettled();
        persist(); // from here on, a crash only makes the next start repeat the same writes
        return;
    }
    if (left && left->bookedTotal) state_.bookedTotal = left->bookedTotal;
    if (std::optional<std::string> stored = readableTotal()) state_.bookedTotal = stored;
    // A failure here is told once there is something to keep.
    if (journal_.inspect().found == JournalReading::Found::Nothing) journal_.write(journalText(state_));
}

void RecordKeeper::setAside(const JournalReading& reading) {
    const bool unreadable = reading.found == JournalReading::Found::Unreadable;
    const bool newer = reading.found == JournalReading::Found::Newer;
    std::string aside;
    const WriteResult moved = journal_.setAside(unreadable ? kUnreadableLabel
                                                : newer    ? kNewerLabel
                                                           : kDamagedLabel,
                                                &aside);
    const std::string title = unreadable ? "Zwischenstand nicht lesbar"
                              : newer    ? "Zwischenstand einer neueren Version"
                                         : "Zwischenstand beschädigt";
    const std::string head = journal_.path() + ": " + reading.reason + ". ";
    if (!moved) {
        // Left exactly as it is; this run keeps no journal then.
        journalBehind_ = true;
        journalFailure_ = reading.reason;
        journalEpisode_.failing = true; // told here, with the reason that counts
        notify_(title, head + "Sie lässt sich nicht beiseitelegen (" + moved.reason +
                           "); Velmora lässt sie, wie sie ist, und sichert in diesem Lauf keinen Zwischenstand.");
        return;
    }
    setAsideNow_ = aside;
    if (unreadable) {
        notify_(title, head + "Velmora hat sie als " + aside +
                           " beiseitegelegt und trägt ihre Kosten bei einem späteren Start nach, sobald sie lesbar "
                           "ist; bis dahin fehlen sie in den Gesamtkosten.");
    } else if (newer) {
        notify_(title, head + "Velmora hat sie unverändert als " + aside +
                           " beiseitegelegt; ihre Kosten trägt die neuere Version bei ihrem nächsten Start nach.");
    } else {
        notify_(title, head + "Velmora hat sie als " + aside +
                           " aufbewahrt; was sie enthielt, lässt sich nicht mehr nachtragen.");
    }
}

// Journals set aside by earlier starts: once one reads, its money is added.
// Only with a journal of our own that takes writes: without it a crash in
// the middle could add the same money twice.
void RecordKeeper::settleSetAside() {
    for (const std::string& path : journalsSetAside(journal_.path(), {kUnreadableLabel, kNewerLabel})) {
        if (journalBehind_) return;
        if (path == setAsideNow_) continue;
        const JournalReading reading = readJournalAt(path);
        std::optional<JournalState> left;
        std::string why = reading.reason;
        bool newer = reading.found == JournalReading::Found::Newer;
        if (reading.found == JournalReading::Found::State) {
            if ((newer = isNewerJournalText(reading.state)))
                why = "sie stammt von einer neueren Version von Velmora";
            else if (!(left = parseJournalText(reading.state)))
                why = "ihr Inhalt ist kein Zwischenstand von Velmora";
        }
        if (!left) {
            notify_(
                "Zwischenstand weiterhin nicht lesbar",
                path + ": " + why + ". Ihre Kosten fehlen weiter in den Gesamtkosten; " +
                    (newer ? "die neuere Version trägt sie nach." : "Velmora trägt sie nach, sobald sie lesbar ist."));
        } else if (left->empty()) {
            ::unlink(path.c_str()); // read, and nothing in it
        } else if (!settle(path, *left)) {
            return;
        }
    }
}

bool RecordKeeper::settle(const std::string& asidePath, const JournalState& unsettled) {
    const std::optional<std::string> current = readableTotal();
    if (!current) return false; // the total it adds to is not known now; a later start
    JournalState left = unsettled;
    if (left.totalUnread) { // it could not read "Kosten" either: all it charged is on top of today's
        left = withStoredTotal(std::move(left), setting_text::moneyOf(*current, Money()));
        left.bookedTotal = current;
    }
    const JournalState before = state_;
    const JournalState closed = closedAfterCrash(left);
    const std::int64_t added = unbookedCents(left);
    state_.pendingRecords.insert(state_.pendingRecords.end(), closed.pendingRecords.begin(),
                                 closed.pendingRecords.end());
    setSetting(state_.pendingSettings, std::string(settings::kTotalKey), centsText(centsOf(*current) + added));
    state_.settledAside.push_back(fileNameOf(asidePath));
    persist();
    if (journalBehind_) {
        state_ = before;
        return false;
    }
    removeSettled();
    notify_("Zwischenstand nachgetragen", asidePath + ": " + connectionsText(closed.pendingRecords.size()) +
                                              " nachgetragen; die Gesamtkosten steigen um " + centsText(added) + ".");
    return true;
}

// The set-aside journals whose money the state holds go once the state is safe.
void RecordKeeper::removeSettled() {
    std::vector<std::string> kept;
    for (const std::string& name : state_.settledAside) {
        if (!isSetAsideName(journal_.path(), name)) continue; // not ours to delete
        const std::string path = folderOf(journal_.path()) + "/" + name;
        if (::unlink(path.c_str()) == 0 || errno == ENOENT) {
            changed_ = true;
            step();
        } else {
            kept.push_back(name);
        }
    }
    if (kept.size() != state_.settledAside.size()) changed_ = true;
    state_.settledAside = std::move(kept);
}

// "Kosten" as it stands: held back, or in the settings file; nullopt when it
// is not known (the file is there but cannot be read).
std::optional<std::string> RecordKeeper::readableTotal() const {
    if (state_.totalUnread) return std::nullopt;
    if (std::optional<std::string> pending = pendingSetting(settings::kTotalKey)) return pending;
    if (profile_.readError() != 0) return std::nullopt;
    return profile_.readString(settings::kStandard.name, settings::kTotalKey, "0");
}

void RecordKeeper::checkpoint(const OpenConnection& open) {
    if (standingAside_) return;
    state_.open = open;
    persist();
}

// The journal first: a crash between the two steps must not count the
// connection twice, once as this record and once from its last checkpoint.
void RecordKeeper::connectionEnded(const LogRecord& record, SettingsValues settings) {
    if (standingAside_) return;
    state_.open.reset();
    state_.pendingRecords.push_back(record);
    if (state_.totalUnread) ++state_.unreadRecords;
    state_.pendingSettings = std::move(settings);
    persist();
    writePending();
}

void RecordKeeper::saveSettings(SettingsValues settings) {
    if (standingAside_) return;
    state_.pendingSettings = std::move(settings);
    changed_ = true;
    writePending();
}

void RecordKeeper::resetLog(SettingsValues settings, std::optional<OpenConnection> open) {
    if (standingAside_) return;
    state_.pendingRecords.clear();
    state_.totalUnread = false; // 0 is known
    state_.unreadRecords = 0;
    state_.logResetPending = true;
    state_.pendingSettings = std::move(settings);
    state_.open = std::move(open);
    logEpisode_.failing = false; // what was held back is gone, not written
    persist();
    writePending();
}

void RecordKeeper::retry() {
    if (holdsBack()) writePending();
}

bool RecordKeeper::holdsBack() const {
    if (standingAside_) return false;
    return changed_ || journalBehind_ || state_.logResetPending || !state_.pendingRecords.empty() ||
           !state_.pendingSettings.empty() || state_.totalUnread;
}

void RecordKeeper::finish() {
    if (standingAside_) return;
    retry();
    if (journalBehind_) unsavedAtEnd_ = unsavedText();
    // The program is ending: its window and icon may be gone, stderr is not.
    if (!unsavedAtEnd_.empty()) std::fprintf(stderr, "velmora: Kosten nicht gespeichert: %s\n", unsavedAtEnd_.c_str());
    journal_.release();
}

std::optional<std::string> RecordKeeper::pendingSetting(std::string_view key) const {
    if (standingAside_) return std::nullopt;
    return settingOf(state_.pendingSettings, key);
}

// In order: the log's deletion, the records oldest first (a later one never
// overtakes an earlier one), then the settings. While the log cannot be
// deleted nothing after it goes ahead: the records are newer than the reset,
// and the settings hold the zeroed total, which must not stand beside the old
// records.
void RecordKeeper::writePending() {
    if (state_.logResetPending) {
        const WriteResult removed = log_.remove();
        report(resetEpisode_, removed, true);
        if (!removed) {
            if (changed_ || journalBehind_) persist();
            return;
        }
        state_.logResetPending = false;
        changed_ = true;
        step();
    }
    // Records whose running total is not known yet wait, and so does "Kosten".
    while (state_.pendingRecords.size() > state_.unreadRecords) {
        const WriteResult written = log_.write(state_.pendingRecords.front());
        report(logEpisode_, written, state_.pendingRecords.size() == 1);
        if (!written) break;
        state_.pendingRecords.erase(state_.pendingRecords.begin());
        changed_ = true;
        step();
    }
    if (!state_.pendingSettings.empty() && !state_.totalUnread) {
        const WriteResult written = profile_.writeStrings(settings::kStandard.name, state_.pendingSettings);
        report(profileEpisode_, written, true);
        if (written) {
            if (std::optional<std::string> total = settingOf(state_.pendingSettings, settings::kTotalKey))
                state_.bookedTotal = total;
            state_.pendingSettings.clear();
            changed_ = true;
            step();
        }
    }
    if (changed_ || journalBehind_) persist();
}

void RecordKeeper::persist() {
    if (state_.empty() && !journalHoldsState_) { // nothing to keep and nothing to clear
        changed_ = false;
        journalBehind_ = false;
        return;
    }
    const WriteResult written = journal_.write(journalText(state_));
    changed_ = false;
    journalBehind_ = !written;
    journalFailure_ = written.reason;
    if (written) journalHoldsState_ = !state_.empty();
    report(journalEpisode_, written, true);
    step();
}

void RecordKeeper::report(Episode& episode, const WriteResult& result, bool nothingLeft) {
    if (!result) {
        if (episode.failing) return;
        episode.failing = true;
        notify_(episode.failedTitle, episode.path + ": " + result.reason + ". " + episode.failedAdvice);
        return;
    }
    if (!episode.failing || !nothingLeft) return;
    episode.failing = false;
    notify_(episode.doneTitle, episode.path + ": " + episode.doneText);
}

// Each thing the end of the run could not save, in words.
std::string RecordKeeper::unsavedText() const {
    std::vector<std::string> items;
    if (state_.logResetPending) items.push_back("das Löschen der Aufzeichnungen");
    for (const LogRecord& record : state_.pendingRecords) {
        items.push_back("die Verbindung von " + timeText(record.start) + " bis " + timeText(record.end) + " (" +
                        record.connectionCost + ")");
    }
    if (state_.open) {
        items.push_back("die laufende Verbindung seit " + timeText(state_.open->start) + " (" +
                        state_.open->cost.text() + ")");
    }
    if (std::optional<std::string> total = settingOf(state_.pendingSettings, settings::kTotalKey)) {
        items.push_back(state_.totalUnread
                            ? "die Kosten von " + *total + ", die zu den nicht lesbaren Gesamtkosten kommen"
                            : "die Gesamtkosten " + *total);
    } else if (!state_.pendingSettings.empty()) {
        items.push_back("die Einstellungen");
    }
    if (items.empty()) return {};
    std::string text = "Velmora endet, ohne dies speichern zu können: ";
    for (std::size_t i = 0; i < items.size(); ++i) text += (i == 0 ? "" : "; ") + items[i];
    text += ".";
    if (!journalFailure_.empty()) text += " " + journal_.path() + ": " + journalFailure_ + ".";
    return text;
}

void RecordKeeper::step() {
    if (stepHook_) stepHook_();
}

} // namespace velmora
