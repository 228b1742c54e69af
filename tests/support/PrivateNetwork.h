#pragma once
// Runs a piece of a test in a forked child inside a private network
// namespace, so that interfaces made there never touch the host's network.

#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace velmora::testing {

inline constexpr int kSkipCode = 77; // the child could not get what it needs

// The child's exit code: work's result, kSkipCode where no namespace is
// allowed, -1 when the child did not end by itself.
inline int inPrivateNetwork(const std::function<int()>& work) {
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) ::_exit(::unshare(CLONE_NEWNET) == 0 ? work() : kSkipCode);
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

} // namespace velmora::testing
