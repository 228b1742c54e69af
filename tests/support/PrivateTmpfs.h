#pragma once
// A tiny file system to fill up: a tmpfs mounted in a private mount namespace
// of a child process, so that nothing of it is seen outside. Needs root (or
// CAP_SYS_ADMIN); where that is not allowed the child says why and exits 77.

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>

namespace velmora::testing {

inline constexpr int kCannotRunHere = 77;

struct ChildOutcome {
    int status = -1;    // the child's exit status, kCannotRunHere, or -1 when it died
    std::string output; // what the body wrote into its report
};

// Runs `body` in a child inside a private mount namespace; its return value is
// the child's exit status, its report comes back as the output.
inline ChildOutcome runInPrivateMountNamespace(const std::function<int(std::string& report)>& body) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {-1, "pipe failed"};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        std::string report;
        int status = kCannotRunHere;
        if (::unshare(CLONE_NEWNS) != 0) {
            report = std::string("no private mount namespace here: ") + std::strerror(errno);
        } else if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            report = std::string("mounts cannot be made private here: ") + std::strerror(errno);
        } else {
            status = body(report);
        }
        for (std::size_t done = 0; done < report.size();) {
            const ssize_t n = ::write(pipeFds[1], report.data() + done, report.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::_exit(status);
    }
    ::close(pipeFds[1]);
    ChildOutcome outcome;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        outcome.output.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
    return outcome;
}

// Mounts a fresh tmpfs of `bytes` (whole pages) at `dir`: "" or why not.
inline std::string mountTmpfs(const std::string& dir, std::size_t bytes) {
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
    if (::mount("velmora-test", dir.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0)
        return std::string("tmpfs cannot be mounted: ") + std::strerror(errno);
    return {};
}

// Fills the file system that holds `dir` with a file "filler" until no byte
// is left, then gives `freeBytes` back (whole pages on tmpfs): "" or why not.
inline std::string fillLeaving(const std::string& dir, std::size_t freeBytes) {
    const std::string path = dir + "/filler";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return "filler cannot be made";
    const std::string page(4096, 'f');
    off_t size = 0;
    for (;;) {
        const ssize_t n = ::write(fd, page.data(), page.size());
        if (n <= 0) break;
        size += n;
    }
    const bool full = errno == ENOSPC;
    const bool shrunk =
        ::ftruncate(fd, size > static_cast<off_t>(freeBytes) ? size - static_cast<off_t>(freeBytes) : 0) == 0;
    ::close(fd);
    if (!full) return "the file system did not fill up";
    return shrunk ? "" : "filler cannot be shrunk";
}

} // namespace velmora::testing
