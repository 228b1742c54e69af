#pragma once
// Another user for tests of files and sockets that belong to someone else:
// a child process that gives up root for uid and gid 65534 ("nobody") and
// runs a body there. Needs root; where the uid cannot be changed the child
// says why and exits 77 (kCannotRunHere).

#include <grp.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "support/PrivateTmpfs.h"

namespace velmora::testing {

inline constexpr uid_t kOtherUid = 65534;

// Runs `body` in a child as kOtherUid; its return value is the child's exit
// status, its report comes back as the output.
inline ChildOutcome runAsOtherUser(const std::function<int(std::string& report)>& body) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {-1, "pipe failed"};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        std::string report;
        int status = kCannotRunHere;
        if (::geteuid() != 0) {
            report = "needs root to run as another user";
        } else if (::setgroups(0, nullptr) != 0 || ::setresgid(kOtherUid, kOtherUid, kOtherUid) != 0 ||
                   ::setresuid(kOtherUid, kOtherUid, kOtherUid) != 0) {
            report = std::string("cannot become another user here: ") + std::strerror(errno);
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

// Gives a folder and all in it to `uid` (links themselves, not what they name).
inline bool giveTo(const std::string& folder, uid_t uid) {
    bool all = ::lchown(folder.c_str(), uid, uid) == 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        all = ::lchown(entry.path().c_str(), uid, uid) == 0 && all;
    return all;
}

} // namespace velmora::testing
