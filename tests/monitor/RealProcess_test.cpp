// Real processes named pppd, one of root and one of another user: only the
// first is ours.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "monitor/FakeSystem.h"
#include "monitor/LinuxConnectionSource.h"

namespace velmora::test {
namespace {

constexpr uid_t kNobody = 65534;

// A child that calls itself pppd, optionally as another user, and waits to
// be ended; ready is written once it is so. Returns its pid, or -1.
pid_t startNamedPppd(int ready, bool asNobody) {
    const pid_t child = ::fork();
    if (child != 0) return child;
    char ok = 1;
    if (::prctl(PR_SET_NAME, "pppd") != 0) ok = 0;
    if (asNobody && (::setresgid(kNobody, kNobody, kNobody) != 0 || ::setresuid(kNobody, kNobody, kNobody) != 0))
        ok = 0;
    if (::write(ready, &ok, 1) != 1) ::_exit(1);
    for (;;) ::pause();
}

TEST(RealProcesses, APppdOfAnotherUserIsNotOurs) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to start a process of another user";
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t stranger = startNamedPppd(pipeFds[1], true);
    const pid_t rootOne = startNamedPppd(pipeFds[1], false);
    ASSERT_GT(stranger, 0);
    ASSERT_GT(rootOne, 0);
    char ready[2] = {0, 0};
    const bool started = ::read(pipeFds[0], ready, 1) == 1 && ::read(pipeFds[0], ready + 1, 1) == 1;

    FakeMachine machine;
    auto paths = machine.paths();
    paths.proc = "/proc";
    LinuxConnectionSource source(std::make_unique<FakeInterfaces>(), paths, nullptr, 1);
    source.list();
    std::vector<int> listed;
    for (const auto& link : source.snapshot()) listed.push_back(link.link.pid);

    for (pid_t child : {stranger, rootOne}) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    ASSERT_TRUE(started && ready[0] && ready[1]) << "the children could not take their name or user";
    EXPECT_NE(std::find(listed.begin(), listed.end(), rootOne), listed.end()) << "root's pppd dials";
    EXPECT_EQ(std::find(listed.begin(), listed.end(), stranger), listed.end()) << "another user's pppd is not ours";
}

} // namespace
} // namespace velmora::test
