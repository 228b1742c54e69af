#pragma once
// A tiny, private file system for tests of a full disk: a tmpfs of a few
// kilobytes mounted in a private mount namespace of a forked child, so that
// nothing outside the child sees it. Needs root (or a user namespace).

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace velmora::testing {

inline constexpr int kTinyDiskUnavailable = 77;

// Runs body in a child with a tmpfs of `bytes` on `folder` (which must exist)
// and returns its result; kTinyDiskUnavailable when no private mount is
// allowed here, 99 when the child died.
inline int onTinyDisk(const std::string& folder, std::size_t bytes, const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child < 0) return kTinyDiskUnavailable;
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            ::_exit(kTinyDiskUnavailable);
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
        if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) ::_exit(kTinyDiskUnavailable);
        ::_exit(body());
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

// Fills the file system that holds `path` until no byte more fits. True when
// it is full now.
inline bool fillDisk(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return errno == ENOSPC;
    const std::vector<char> block(4096, 'x');
    bool full = false;
    for (std::size_t size : {std::size_t{4096}, std::size_t{1}}) {
        for (;;) {
            const ssize_t written = ::write(fd, block.data(), size);
            if (written < 0) {
                full = errno == ENOSPC;
                break;
            }
        }
    }
    ::close(fd);
    return full;
}

} // namespace velmora::testing
