#include "journal/RecordKeeper.h"

#include "store/SettingsSchema.h"

namespace velmora {

std::string journalPathBeside(const std::string& logPath) {
    const std::size_t slash = logPath.find_last_of('/');
    return (slash == std::string::npos ? std::string() : logPath.substr(0, slash + 1)) + kJournalFileName;
}

RecordKeeper::RecordKeeper(ConnectionLog& log, SettingsProfile& profile, std::string journalPath, Notify notify)
    : log_(log), profile_(profile), journal_(std::move(journalPath)), notify_(std::move(notify)) {
    logEpisode_ = {log.path(), "Verbindung nicht aufgezeichnet",
                   "Velmora behält die Aufzeichnung und versucht es jede Sekunde wieder.", "Verbindung aufgezeichnet",
                   "die zurückgehaltenen Aufzeichnungen sind jetzt geschrieben."};
    profileEpisode_ = {profile.path(), "Gesamtkosten nicht gespeichert",
                       "Velmora behält sie und versucht es jede Sekunde wieder.", "Gesamtkosten gespeichert",
                       "die zurückgehaltenen Einstellungen sind jetzt geschrieben."};
    journalEpisode_ = {journal_.path(), "Zwischenstand nicht gesichert",
                       "Bei einem Absturz gingen die laufende Verbindung und zurückgehaltene Aufzeichnungen "
                       "verloren.",
                       "Zwischenstand gesichert", "der Zwischenstand wird wieder gesichert."};
}

void RecordKeeper::start() {
    if (!journal_.claim()) {
        journalBehind_ = true;
        report(journalEpisode_, WriteResult::failed("die Datei gehört einem anderen laufenden Velmora"), false);
        return;
    }
    const std::string text = journal_.read();
    std::optional<JournalState> left = text.empty() ? std::nullopt : parseJournalText(text);
    if (!left || left->empty()) return;
    journalHoldsState_ = true;
    state_ = closedAfterCrash(std::move(*left));
    persist(); // from here on, a crash only makes the next start repeat the same writes
    writePending();
}

void RecordKeeper::checkpoint(const OpenConnection& open) {
    state_.open = open;
    persist();
}

// The journal first: a crash between the two steps must not count the
// connection twice, once as this record and once from its last checkpoint.
void RecordKeeper::connectionEnded(const LogRecord& record, SettingsValues settings) {
    state_.open.reset();
    state_.pendingRecords.push_back(record);
    state_.pendingSettings = std::move(settings);
    persist();
    writePending();
}

void RecordKeeper::saveSettings(SettingsValues settings) {
    state_.pendingSettings = std::move(settings);
    changed_ = true;
    writePending();
}

void RecordKeeper::resetLog(SettingsValues settings, std::optional<OpenConnection> open) {
    state_.pendingRecords.clear();
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
    return changed_ || journalBehind_ || state_.logResetPending || !state_.pendingRecords.empty() ||
           !state_.pendingSettings.empty();
}

void RecordKeeper::finish() {
    retry();
    if (journal_.claimed() && state_.empty() && !journalBehind_) {
        journal_.remove(); // a failure leaves an empty state behind, which is harmless
    }
    journal_.release();
}

std::optional<std::string> RecordKeeper::pendingSetting(std::string_view key) const {
    for (const auto& [name, value] : state_.pendingSettings)
        if (name == key) return value;
    return std::nullopt;
}

// In order: the log's deletion, the records oldest first (a later one never
// overtakes an earlier one), then the settings.
void RecordKeeper::writePending() {
    if (state_.logResetPending) {
        log_.remove(); // nothing to delete is as good as deleted
        state_.logResetPending = false;
        changed_ = true;
        step();
    }
    while (!state_.pendingRecords.empty()) {
        const WriteResult written = log_.write(state_.pendingRecords.front());
        report(logEpisode_, written, state_.pendingRecords.size() == 1);
        if (!written) break;
        state_.pendingRecords.erase(state_.pendingRecords.begin());
        changed_ = true;
        step();
    }
    if (!state_.pendingSettings.empty()) {
        const WriteResult written = profile_.writeStrings(settings::kStandard.name, state_.pendingSettings);
        report(profileEpisode_, written, true);
        if (written) {
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

void RecordKeeper::step() {
    if (stepHook_) stepHook_();
}

} // namespace velmora
