#pragma once
// What the journal holds: the open connection as of its last checkpoint, and
// every write that has not reached its file yet. Stored as JSON.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "money/Money.h"
#include "platform/Clock.h"
#include "store/ConnectionLog.h"

namespace velmora {

struct OpenConnection {
    std::string entryName;
    LocalTime start;
    std::uint64_t startBootSeconds = 0; // boot clock (it counts suspend) at the start
    LocalTime checkpoint;
    std::uint64_t checkpointBootSeconds = 0;
    Money cost;  // the connection's charges so far
    Money total; // the grand total, this connection included
    // The wall clock at the start and the checkpoint in seconds since 1970;
    // 0 where a journal of an earlier version did not hold them.
    std::int64_t startEpochSeconds = 0;
    std::int64_t checkpointEpochSeconds = 0;
    // What the link carried from the start to the checkpoint; nullopt: unknown.
    std::optional<std::uint64_t> bytesReceived = std::nullopt;
    std::optional<std::uint64_t> bytesSent = std::nullopt;
    bool operator==(const OpenConnection&) const = default;
};

// Keys of section "Standard" of the settings, in the order they are written.
using SettingsValues = std::vector<std::pair<std::string, std::string>>;

struct JournalState {
    std::optional<OpenConnection> open;
    bool logResetPending = false;          // the user had the log deleted; not done yet
    std::vector<LogRecord> pendingRecords; // oldest first
    SettingsValues pendingSettings;        // empty: nothing to write
    // "Kosten" as the settings file holds it, as far as the writer knows: what
    // of this state's money is not in the file yet, should the state only be
    // read back after other runs (a journal that was set aside).
    std::optional<std::string> bookedTotal = {};
    // Journals set aside earlier whose money this state holds now (their file
    // names); each is deleted once this state is safely in the journal.
    std::vector<std::string> settledAside = {};
    // "Kosten" could not be read when this state began (the settings file was
    // there, but not readable): the pending "Kosten", the open connection's
    // total and the totals of the last `unreadRecords` pending records count
    // only what was charged since. None of them may reach a file before
    // withStoredTotal() has put the stored total under them.
    bool totalUnread = false;
    std::size_t unreadRecords = 0;
    bool empty() const {
        return !open && !logResetPending && pendingRecords.empty() && pendingSettings.empty() && settledAside.empty();
    }
    bool operator==(const JournalState&) const = default;
};

std::string journalText(const JournalState& state);
// nullopt when the text is no journal state this program wrote.
std::optional<JournalState> parseJournalText(std::string_view text);
// The text is a journal state of a newer version of the program (a format
// number above this version's): to be left for that version.
bool isNewerJournalText(std::string_view text);

// The state a writer left when it ended without closing its connection: the
// connection becomes a log record ending at its last checkpoint (starting the
// time online on the boot clock before it, should the wall clock have been set
// meanwhile), and its grand total the "Kosten" to store. Applying it twice
// changes nothing more.
JournalState closedAfterCrash(JournalState state);

// The state once "Kosten" could be read (`stored`): every total that counted
// only from the unread one counts from it, and the settings saved meanwhile
// keep only "Kosten" (the others were not read either). A state whose total
// was read comes back as it is.
JournalState withStoredTotal(JournalState state, Money stored);

} // namespace velmora
