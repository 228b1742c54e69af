#pragma once
// Keeps every money record until it is on disk. A log record or the settings
// that cannot be written now stay pending, in order, and are tried again at
// every call of retry() until they land; the user hears of it once when a
// file starts failing and once when everything held back has been written.
// The open connection's checkpoints and everything pending are mirrored in the
// journal, so that neither a crash nor an end with a full disk loses them: the
// next start writes what the journal holds (see closedAfterCrash).
//
// The journal file is made at the start of a run and stays from run to run,
// emptied at a clean end, so that its space is there when the disk fills up.
// A journal that cannot be read (no permission, another user's, a link, a
// pipe), holds no intact state or comes from a newer version is never taken
// for empty and never written over: it is set aside under a name that says
// why ("zelvar.journal.unlesbar-...", ".beschaedigt-...", ".neuer-..."), the
// user is told, and this run keeps a new journal. Every later start tries the
// unreadable and newer ones again and, once one reads, adds its money to the
// files: its records as they were, and to "Kosten" what the settings did not
// hold yet.
//
// A settings file that is there but cannot be read leaves "Kosten" unknown:
// nothing is written from a total that was not read. The run meters on from 0,
// its records wait (with their cost) and its settings are not written, until
// bookUnreadTotal() finds the file readable and puts the stored total under
// everything; the journal carries that state across a crash.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "journal/JournalFile.h"
#include "journal/JournalState.h"
#include "store/ConnectionLog.h"
#include "store/SettingsProfile.h"

namespace velmora {

inline constexpr const char* kJournalFileName = "zelvar.journal";

// The journal lies beside the log.
std::string journalPathBeside(const std::string& logPath);

class RecordKeeper {
public:
    // Tells the user something (German title and text).
    using Notify = std::function<void(const std::string& title, const std::string& text)>;

    RecordKeeper(ConnectionLog& log, SettingsProfile& profile, std::string journalPath, Notify notify);

    // Claims the journal; what a run that ended without closing left there is
    // written now (or kept pending). Call before the settings are read.
    void start();
    // Instead of start(), for a window that does not meter (another copy may
    // own the files): from now on nothing is read from or written to the
    // journal, the log or the settings, and nothing is held back.
    void standAside();
    // The open connection as it stands; a crash loses only what comes after.
    void checkpoint(const OpenConnection& open);
    // A finished connection: its record and the settings holding its total.
    void connectionEnded(const LogRecord& record, SettingsValues settings);
    void saveSettings(SettingsValues settings);
    // The user had the log deleted: records still pending go with it, the
    // settings holding the zeroed total are written once the log is gone (until
    // then the files keep the old records and the old total), the open
    // connection (if any) carries on.
    void resetLog(SettingsValues settings, std::optional<OpenConnection> open);
    // Tries again whatever is pending.
    void retry();
    // Something is waiting for retry(), or "Kosten" for being read.
    bool holdsBack() const;
    // "Kosten" could not be read: the totals handed in count from 0 until
    // bookUnreadTotal() succeeds.
    bool totalUnread() const { return state_.totalUnread; }
    // Once the settings file reads: the stored "Kosten", which is now under
    // every total held; nullopt while it cannot be read (or was read all along).
    std::optional<Money> bookUnreadTotal();
    // The last try at the end of the run. The journal stays, emptied when
    // everything is written. What could be saved neither in its file nor in
    // the journal is said on stderr and kept for unsavedAtEnd().
    void finish();
    // After finish(): what was lost (German, naming each record and the total
    // not saved), or empty when nothing was.
    const std::string& unsavedAtEnd() const { return unsavedAtEnd_; }

    // A settings value not yet written, which is newer than the file's.
    std::optional<std::string> pendingSetting(std::string_view key) const;
    const JournalState& state() const { return state_; }
    // For tests: runs after every step that changed a file, to stop the run there.
    void afterEachStep(std::function<void()> hook) { stepHook_ = std::move(hook); }

private:
    // One file's failure episode: told once when it starts, once when it ends.
    struct Episode {
        std::string path;
        std::string failedTitle;
        std::string failedAdvice;
        std::string doneTitle;
        std::string doneText;
        bool failing = false;
    };

    void openJournal();
    void checkStoredTotal();
    void setAside(const JournalReading& reading);
    void settleSetAside();
    bool settle(const std::string& asidePath, const JournalState& left);
    void removeSettled();
    std::optional<std::string> readableTotal() const;
    void persist();
    void writePending();
    void report(Episode& episode, const WriteResult& result, bool nothingLeft);
    std::string unsavedText() const;
    void step();

    ConnectionLog& log_;
    SettingsProfile& profile_;
    JournalFile journal_;
    Notify notify_;
    JournalState state_;
    bool changed_ = false;           // the state differs from the journal's
    bool journalHoldsState_ = false; // the file holds a state that is not empty
    bool journalBehind_ = false;     // the last journal write failed
    bool standingAside_ = false;
    std::string journalFailure_; // why the last journal write failed
    std::string setAsideNow_;    // set aside by this start: told already
    std::string unsavedAtEnd_;
    Episode logEpisode_;
    Episode resetEpisode_;
    Episode profileEpisode_;
    Episode journalEpisode_;
    std::function<void()> stepHook_;
};

} // namespace velmora
