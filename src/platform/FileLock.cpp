#include "platform/FileLock.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

bool makePrivateFolders(const std::string& folder) {
    struct stat info {};
    if (folder.empty() || ::stat(folder.c_str(), &info) == 0) {
        if (!folder.empty() && S_ISDIR(info.st_mode)) return true;
        errno = ENOTDIR;
        return false;
    }
    const std::size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makePrivateFolders(folder.substr(0, slash))) return false;
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

bool FileLock::tryLock() {
    if (fd_ >= 0) return true;
    error_ = 0;
    const std::size_t slash = path_.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makePrivateFolders(path_.substr(0, slash))) {
        error_ = errno;
        return false;
    }
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error_ = errno;
        return false;
    }
    // Whoever else could open the file could hold the lock against us. A file
    // of another owner cannot be changed (EPERM); its lock still counts.
    if (::fchmod(fd, 0600) != 0 && errno != EPERM) {
        error_ = errno;
        ::close(fd);
        return false;
    }
    int rc = 0;
    do rc = ::flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        error_ = errno == EWOULDBLOCK ? 0 : errno;
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void FileLock::release() {
    if (fd_ < 0) return;
    ::close(fd_); // closing releases the lock
    fd_ = -1;
}

} // namespace velmora
