#pragma once
// An advisory lock (flock) on the sidecar file "<file>.lock", serialising every
// writer of that file between processes. The kernel drops it when its holder
// dies, so a writer killed mid-write never leaves a stale lock behind; the
// sidecar file itself stays and is never deleted, so that every writer always
// locks the same inode. It is private to its owner (0600): anyone who can open
// it can hold the lock and block every write.

#include <chrono>
#include <string>

namespace velmora {

class SidecarLock {
public:
    enum class Create { IfMissing, Never };

    // Waits up to `wait` for the lock (zero: one attempt only).
    SidecarLock(const std::string& filePath, std::chrono::milliseconds wait, Create create = Create::IfMissing);
    ~SidecarLock();
    SidecarLock(const SidecarLock&) = delete;
    SidecarLock& operator=(const SidecarLock&) = delete;

    bool held() const { return held_; }
    // Why the lock is not held: 0 when another holder kept it for the whole
    // wait, else the errno of opening the sidecar file.
    int openError() const { return openError_; }

private:
    bool acquire(std::chrono::milliseconds wait);

    int fd_ = -1;
    bool held_ = false;
    int openError_ = 0;
};

} // namespace velmora
