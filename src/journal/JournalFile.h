#pragma once
// The journal's file: two fixed slots written in turn, each holding one whole
// state with its sequence number and checksum, plus the writer's lock beside
// it ("<file>.lock"), held for the writer's whole run.
//
// Why slots written in place rather than a new file renamed over the old: the
// file is allocated once, so a later write needs no free space. The journal is
// what keeps money records safe when the disk is full; it must still be
// writable then. A write goes to the slot that does not hold the newest state
// and is synced before it counts, so a crash mid-write leaves the newest state
// intact in the other slot; a torn slot fails its checksum and is passed over.
//
// The file is made whole in one step (a temporary file holding both slots, the
// first state already in one, renamed into place), so a journal of ours always
// holds an intact state: one that holds none was damaged, not left half-made.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/FileLock.h"
#include "store/WriteResult.h"

namespace velmora {

// What a look into a journal file found.
struct JournalReading {
    enum class Found {
        Nothing,    // no file
        State,      // an intact state (`state`, possibly empty)
        Unreadable, // the file is there but cannot be read (`reason`)
        Damaged,    // read, but no slot is intact (`reason`)
        Newer,      // written by a newer version in a layout this one does not know
    };
    Found found = Found::Nothing;
    std::string state;
    std::string reason; // German, for the user
    std::uint64_t sequence = 0;
    int slot = 1; // the slot holding `state`
};

// Reads the journal at `path` without changing anything: a plain file of
// this user's that can be read, never a symbolic link, a pipe or a device.
JournalReading readJournalAt(const std::string& path);

class JournalFile {
public:
    static constexpr std::size_t kSlotBytes = std::size_t{16} * 1024;
    static constexpr std::size_t kHeaderBytes = 64;
    static constexpr std::size_t kMaxStateBytes = kSlotBytes - kHeaderBytes;

    explicit JournalFile(std::string path);
    ~JournalFile();
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    const std::string& path() const { return path_; }

    // Takes the writer's lock (making a missing folder, private); false while
    // another live writer holds it.
    bool claim();
    bool claimed() const { return lock_.has_value(); }
    // Why the last claim() failed: 0 when another writer holds the lock, else
    // the errno of making the folder or opening the lock file.
    int claimError() const { return claimError_; }
    // What the file holds now. Only for the lock's holder. A file that is
    // unreadable, damaged or newer is never written over: write() refuses
    // until it has been set aside.
    JournalReading inspect();
    // The newest intact state in the file; empty when there is no file or no
    // intact slot (inspect() tells those apart).
    std::string read();
    // Stores the state (at most kMaxStateBytes) in the older slot and syncs it
    // to disk; makes the file, whole, when it is missing.
    WriteResult write(std::string_view state);
    // Renames the file to "<file>.<label>-<local date and time>" beside it (a
    // number added should that name be taken), a name that says why it was set
    // aside; the journal's own name is then free for a new file.
    WriteResult setAside(std::string_view label, std::string* asideName);
    // Deletes the file; the lock stays held until release().
    WriteResult remove();
    void release();

private:
    WriteResult create(std::string_view state);
    WriteResult growToFullSize();

    std::string path_;
    std::optional<SidecarLock> lock_; // held while set
    int fd_ = -1;
    std::uint64_t newestSequence_ = 0;
    int newestSlot_ = 1;                    // the first write goes to slot 0
    std::optional<JournalReading> scanned_; // the file as last looked at
    int claimError_ = 0;
};

// Files set aside beside the journal at `path` ("<file>.<label>-..."), for
// each of the labels, sorted by name.
std::vector<std::string> journalsSetAside(const std::string& path, const std::vector<std::string>& labels);

} // namespace velmora
