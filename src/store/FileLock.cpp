#include "store/FileLock.h"

#include <algorithm>
#include <cerrno>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {
namespace {

constexpr std::chrono::milliseconds kMaxPollInterval{16};
constexpr mode_t kPrivateMode = 0600;

// A sidecar made by an older version with 0644 is ours alone to use: tighten it.
// Failing to is no reason to refuse the write the lock protects.
void makePrivate(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid()) return;
    if ((st.st_mode & 07777) != kPrivateMode) (void)::fchmod(fd, kPrivateMode);
}

} // namespace

SidecarLock::SidecarLock(const std::string& filePath, std::chrono::milliseconds wait, Create create) {
    const std::string lockPath = filePath + ".lock";
    const int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create == Create::IfMissing ? O_CREAT : 0);
    fd_ = ::open(lockPath.c_str(), flags, kPrivateMode);
    // flock needs no write access: a lock file we may only read (another
    // user's, made readable; a read-only disk) locks all the same.
    if (fd_ < 0 && (errno == EACCES || errno == EPERM || errno == EROFS))
        fd_ = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd_ < 0) {
        openError_ = errno;
        return;
    }
    makePrivate(fd_);
    held_ = acquire(wait);
}

SidecarLock::~SidecarLock() {
    if (fd_ >= 0) ::close(fd_); // closing releases the lock
}

// Polled at short intervals: a blocking wait could not time out.
bool SidecarLock::acquire(std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::chrono::milliseconds interval{1};
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            openError_ = errno;
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(interval);
        interval = std::min(interval * 2, kMaxPollInterval);
    }
    return true;
}

} // namespace velmora
