#pragma once
// Replacing a file whole so that it never holds less than was meant: the new
// bytes go to a temporary file beside it, which is written, synced and closed,
// every step checked, and only then renamed over the old file; the folder is
// synced last so that the rename itself survives a power cut. Any failure
// before the rename removes the temporary and leaves the old file untouched.
//
// Written on POSIX calls rather than QSaveFile: QSaveFile keeps small writes in
// a buffer whose "no space" error at commit went unreported while the rename
// still went ahead, emptying the file on a full disk.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "store/WriteResult.h"

namespace velmora::atomic_file {

// The caller must hold the file's sidecar lock (store/FileLock.h): the lock is
// what tells a live writer's temporary from a dead one's. A new file is made
// 0600, an existing one keeps its mode; a symbolic link is written through.
WriteResult replace(const std::string& path, std::string_view bytes);

// The path a write of `path` really replaces: the file a symbolic link names.
std::string resolvedPath(const std::string& path);

// Temporary files are named ".<file>.velmora-tmp-XXXXXX" (six letters or
// digits). The file a temporary was meant to replace, or nullopt when the
// name is not one of ours.
std::optional<std::string> targetOfTemporary(std::string_view fileName);

// errno as words for the user.
std::string reasonFor(int error);
// The same for a file being read: "keine Leseberechtigung" where reasonFor,
// which speaks of writing, would say "keine Schreibberechtigung".
std::string reasonForRead(int error);

// The steps of a write, for tests that make each of them fail.
enum class WriteStep { Create, Write, FileSync, Close, Rename, FolderSync };

// Fault seam for tests, active on the constructing thread while it lives:
// `beforeStep` runs before each step (before each write() call for Write) and
// fails it with the errno it returns, 0 letting it go on; every write() may
// also be cut to `maxBytesPerWrite` bytes and be interrupted (EINTR) first.
struct WriteFaults {
    std::function<int(WriteStep)> beforeStep;
    std::size_t maxBytesPerWrite = 0; // 0: no limit
    bool interruptEveryWrite = false;

    static WriteFaults failing(WriteStep step, int error);
};

class ScopedWriteFaults {
public:
    explicit ScopedWriteFaults(const WriteFaults& faults);
    ~ScopedWriteFaults();
    ScopedWriteFaults(const ScopedWriteFaults&) = delete;
    ScopedWriteFaults& operator=(const ScopedWriteFaults&) = delete;

private:
    WriteFaults faults_;
    const WriteFaults* previous_;
};

} // namespace velmora::atomic_file
