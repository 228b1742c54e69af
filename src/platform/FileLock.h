#pragma once
// An advisory lock (flock) on a file that says "a live process owns this".
// The kernel drops it when its holder dies, however it dies, so a killed
// process never leaves it held. The lock file itself stays.

#include <string>

namespace velmora {

// Creates the folder and its missing parents, each new one 0700 (private to
// the user). True when the folder exists afterwards; else errno says why.
bool makePrivateFolders(const std::string& folder);

class FileLock {
public:
    explicit FileLock(std::string path) : path_(std::move(path)) {}
    ~FileLock() { release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Creates the lock file (mode 0600, in a private folder when the folder is
    // missing) and takes the lock if no other holder has it; never waits. True
    // when held, also when already held by this object. A second FileLock on the
    // same file, even in the same process, does not get it.
    bool tryLock();
    void release();
    bool held() const { return fd_ >= 0; }
    // Why the last tryLock failed: 0 when another holder has the lock, else
    // the errno of making or opening the lock file.
    int error() const { return error_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    int fd_ = -1;
    int error_ = 0;
};

} // namespace velmora
