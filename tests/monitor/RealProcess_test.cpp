// Real processes named pppd: root's, another user's (also one run setuid
// root, as Debian's pppd is), and one that has ended but is not yet reaped.
// Only root's is ours.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "monitor/FakeSystem.h"
#include "monitor/LinuxConnectionSource.h"
#include "monitor/SafeText.h"

namespace velmora::test {
namespace {

constexpr uid_t kNobody = 65534;

enum class Who { root, nobody, nobodySetuidRoot, zombie };

// A child that calls itself pppd as the given user and waits to be ended (a
// zombie ends at once); ready is written once it is so. Returns its pid, or -1.
pid_t startNamedPppd(int ready, Who who) {
    const pid_t child = ::fork();
    if (child != 0) return child;
    char ok = 1;
    if (::prctl(PR_SET_NAME, "pppd") != 0) ok = 0;
    if (who == Who::nobody &&
        (::setresgid(kNobody, kNobody, kNobody) != 0 || ::setresuid(kNobody, kNobody, kNobody) != 0))
        ok = 0;
    if (who == Who::nobodySetuidRoot && ::setresuid(kNobody, 0, 0) != 0) ok = 0;
    if (::write(ready, &ok, 1) != 1 || who == Who::zombie) ::_exit(0);
    for (;;) ::pause();
}

bool isZombie(pid_t pid) {
    const auto stat = readSmallFile("/proc/" + std::to_string(pid) + "/stat", 1024);
    return stat && stat->find(") Z ") != std::string::npos;
}

TEST(RealProcesses, OnlyALivePppdOfRootIsOurs) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to start processes of another user";
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const std::vector<Who> kinds = {Who::root, Who::nobody, Who::nobodySetuidRoot, Who::zombie};
    std::vector<pid_t> children;
    children.reserve(kinds.size());
    for (Who who : kinds) children.push_back(startNamedPppd(pipeFds[1], who));
    bool started = true;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        char ok = 0;
        started = started && ::read(pipeFds[0], &ok, 1) == 1 && ok == 1;
    }
    for (int tries = 0; tries < 200 && !isZombie(children[3]); ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    FakeMachine machine;
    auto paths = machine.paths();
    paths.proc = "/proc";
    LinuxConnectionSource source(std::make_unique<FakeInterfaces>(), paths, nullptr, 1);
    source.list();
    std::vector<int> listed;
    for (const auto& link : source.snapshot()) listed.push_back(link.link.pid);
    const bool zombie = isZombie(children[3]);

    for (pid_t child : children) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    ASSERT_TRUE(started && zombie) << "the children could not take their name, user or end";
    const auto isListed = [&](pid_t pid) { return std::find(listed.begin(), listed.end(), pid) != listed.end(); };
    EXPECT_TRUE(isListed(children[0])) << "root's pppd dials";
    EXPECT_FALSE(isListed(children[1])) << "another user's pppd is not ours";
    EXPECT_FALSE(isListed(children[2])) << "nor is one they run setuid root";
    EXPECT_FALSE(isListed(children[3])) << "an ended pppd dials no more";
}

} // namespace
} // namespace velmora::test
