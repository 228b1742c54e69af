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

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/FileLock.h"
#include "store/WriteResult.h"

namespace velmora {

class JournalFile {
public:
    static constexpr std::size_t kSlotBytes = 16 * 1024;
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
    // The newest intact state in the file; empty when there is no file or no
    // intact slot. Only for the lock's holder.
    std::string read();
    // Stores the state (at most kMaxStateBytes) in the older slot and syncs it
    // to disk; creates the file first when it is missing or not a journal.
    WriteResult write(std::string_view state);
    // Deletes the file; the lock stays held until release().
    WriteResult remove();
    void release();

private:
    bool openFile(bool create);
    WriteResult prepareFile();

    std::string path_;
    std::optional<SidecarLock> lock_; // held while set
    int fd_ = -1;
    std::uint64_t newestSequence_ = 0;
    int newestSlot_ = 1;   // the first write goes to slot 0
    bool scanned_ = false; // the slots have been read since the file was opened
};

} // namespace velmora
