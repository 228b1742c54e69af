// How the source paces a caller that follows pollPace, on a clock of the
// test's own: asleep until news, a look once the news has settled, /proc
// walked at most once a second however much news comes, and a lock
// directory that others write to wakes it only for what pppd leaves there.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>

#include <functional>

#include "monitor/FakeSystem.h"
#include "monitor/LinuxConnectionSource.h"

namespace velmora::test {
namespace {

bool readable(const std::vector<int>& descriptors) {
    std::vector<pollfd> fds;
    fds.reserve(descriptors.size());
    for (int fd : descriptors) fds.push_back({fd, POLLIN, 0});
    return !fds.empty() && ::poll(fds.data(), fds.size(), 0) > 0;
}

class Pacing : public testing::Test {
protected:
    FakeMachine machine;
    std::uint64_t nowMs = 5'000'000;
    LinuxConnectionSource source{std::make_unique<FakeInterfaces>(), machine.paths(), nullptr,
                                 LinuxConnectionSource::kDefaultRescanInterval, [this] { return nowMs; }};
    PollPace pace;
    std::uint64_t nextPollMs = 0;
    int polls = 0;

    // One poll as the window runs it: list, then ask when to come back.
    void poll() {
        source.list();
        ++polls;
        pace = source.pollPace(false);
        nextPollMs = nowMs + pace.periodMs;
    }
    // Lets time pass in steps, polling when the pace says or news wakes it;
    // `each` runs at every step before that.
    void runFor(unsigned ms, unsigned stepMs, const std::function<void(unsigned at)>& each = {}) {
        for (unsigned at = 0; at < ms; at += stepMs, nowMs += stepMs) {
            if (each) each(at);
            if (nowMs >= nextPollMs || readable(pace.wakeOn)) poll();
        }
    }
};

TEST_F(Pacing, SleepsUntilNewsAndLooksOnceItHasSettled) {
    poll();
    EXPECT_EQ(pace.periodMs, kQuietPollPeriodMs) << "nothing listed";
    ASSERT_EQ(pace.wakeOn.size(), 2u) << "the kernel's and the files' news";
    EXPECT_FALSE(readable(pace.wakeOn));

    nowMs += 30'000; // asleep a while (the safety walk comes after a minute)
    machine.process(800, {"pppd", "call", "woken"});
    machine.tree.write("run/ppp-woken.pid", "800\n");
    ASSERT_TRUE(readable(pace.wakeOn));
    const auto looks = source.rescanCount();
    poll(); // woken at once
    EXPECT_EQ(source.rescanCount(), looks) << "the news is left to settle";
    EXPECT_EQ(pace, (PollPace{LinuxConnectionSource::kSettleMs, {}}));

    nowMs += LinuxConnectionSource::kSettleMs;
    poll();
    EXPECT_EQ(source.rescanCount(), looks + 1);
    ASSERT_EQ(source.snapshot().size(), 1u);
    EXPECT_EQ(source.snapshot().front().link.entryName, "woken");
    EXPECT_EQ(pace.periodMs, kPollPeriodMs) << "a link is listed: every second";
    EXPECT_EQ(pace.wakeOn.size(), 2u) << "and woken early by news, so that a link that completes is seen at once";
}

TEST_F(Pacing, AStormOfNewsWalksProcAtMostOnceASecond) {
    poll();
    const auto walks = source.walkCount();
    // Lock files come and go ten times a second for three seconds; meanwhile
    // a pppd starts that writes no pid file: only a walk finds it.
    runFor(3000, 10, [&](unsigned at) {
        if (at % 100 == 0) machine.tree.write("run/lock/LCK..ttyS" + std::to_string(at / 100), "  4711\n");
        if (at == 1500) machine.process(900, {"pppd", "call", "silent"});
    });
    EXPECT_LE(source.walkCount() - walks, 3u);
    EXPECT_GE(source.walkCount() - walks, 2u) << "news that asks for a walk is not dropped";
    ASSERT_EQ(source.snapshot().size(), 1u) << "the silent pppd was found within the storm";
    EXPECT_LE(polls, 3 * 2 + 2) << "no more than a wake and a look a second";
}

TEST_F(Pacing, AServiceRewritingItsPidFileIsFollowedAtMostOnceASecond) {
    poll();
    const auto looks = source.rescanCount();
    runFor(3000, 10, [&](unsigned at) {
        if (at % 100 == 0) machine.tree.write("run/restarting.pid", std::to_string(1000 + at) + "\n");
    });
    EXPECT_LE(source.rescanCount() - looks, 3u);
    EXPECT_GE(source.rescanCount() - looks, 2u);
}

TEST_F(Pacing, TouchingAFileInTheLockDirectoryWakesNothing) {
    machine.tree.write("run/lock/mine", "x");
    poll(); // its making was news of nothing: the files' descriptor rests a second
    nowMs += LinuxConnectionSource::kRestMs;
    poll();
    ASSERT_EQ(pace.wakeOn.size(), 2u);
    for (int i = 0; i < 20; ++i) {
        machine.tree.write("run/lock/mine", "written again " + std::to_string(i));
        ASSERT_EQ(::utimensat(AT_FDCWD, machine.tree.path("run/lock/mine").c_str(), nullptr, 0), 0);
    }
    EXPECT_FALSE(readable(pace.wakeOn));

    // A new file there does wake it, but brings no look, and its descriptor rests.
    const auto looks = source.rescanCount();
    machine.tree.write("run/lock/another", "x");
    ASSERT_TRUE(readable(pace.wakeOn));
    poll();
    EXPECT_EQ(source.rescanCount(), looks);
    EXPECT_EQ(pace.wakeOn.size(), 1u) << "the files' descriptor rests";
    EXPECT_EQ(pace.periodMs, LinuxConnectionSource::kRestMs) << "and is listened to again after its rest";
    int wakes = 0;
    runFor(5000, 10, [&](unsigned at) {
        if (at % 100 == 0) machine.tree.write("run/lock/tmp" + std::to_string(at), "x");
        wakes = polls;
    });
    EXPECT_EQ(source.rescanCount(), looks);
    EXPECT_LE(wakes, 5 * 2 + 2) << "files made ten times a second wake it about twice a second";
}

} // namespace
} // namespace velmora::test
