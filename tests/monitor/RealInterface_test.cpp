// The kernel side against a real interface: a TUN device named like a PPP
// one, inside a private network namespace of a forked child, so the host's
// network is never touched.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "monitor/FakeSystem.h"
#include "monitor/LinuxConnectionSource.h"
#include "support/PrivateNetwork.h"
#include "support/TunDevice.h"

namespace velmora::test {
namespace {

constexpr int kSkip = velmora::testing::kSkipCode;
constexpr const char* kIfname = "ppp7";

bool setFlags(int sock, short flags, const char* ifname = kIfname) {
    ifreq req{};
    std::strncpy(req.ifr_name, ifname, IFNAMSIZ - 1);
    req.ifr_flags = flags;
    return ::ioctl(sock, SIOCSIFFLAGS, &req) == 0;
}

bool setAddress(int sock, const char* dotted, const char* ifname = kIfname) {
    ifreq req{};
    std::strncpy(req.ifr_name, ifname, IFNAMSIZ - 1);
    sockaddr_in in{};
    in.sin_family = AF_INET;
    ::inet_pton(AF_INET, dotted, &in.sin_addr);
    std::memcpy(&req.ifr_addr, &in, sizeof in);
    return ::ioctl(sock, SIOCSIFADDR, &req) == 0;
}

// The kernel's in6_ifreq, written out: its header clashes with the C library's.
struct Ipv6Request {
    in6_addr address;
    std::uint32_t prefixLength;
    int ifindex;
};

bool addIpv6(int sock6, const char* text) {
    Ipv6Request req{};
    if (::inet_pton(AF_INET6, text, &req.address) != 1) return false;
    req.prefixLength = 64;
    req.ifindex = static_cast<int>(::if_nametoindex(kIfname));
    return ::ioctl(sock6, SIOCSIFADDR, &req) == 0;
}

// Runs in the child; the exit code names the first check that failed.
int exercise(const FakeMachine& machine) {
    const int tun = velmora::testing::openTun(kIfname);
    const int sock = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (tun < 0 || sock < 0) return kSkip;
    LinuxConnectionSource source(std::make_unique<KernelInterfaceStateReader>(), machine.paths(), nullptr, 1);
    const auto check = [&](bool connected, const std::string& address) {
        const auto list = source.list();
        return list.count == 1 && source.status(list.firstHandle).connected == connected &&
               (!connected || source.projectionAddress(list.firstHandle) == address);
    };
    if (!check(false, "")) return 1; // exists, down
    if (!setFlags(sock, IFF_UP)) return kSkip;
    if (!check(false, "")) return 2; // up, no address yet
    if (!setAddress(sock, "192.0.2.7")) return kSkip;
    if (!check(true, "192.0.2.7")) return 3;
    if (!setFlags(sock, 0)) return kSkip;
    if (!check(false, "")) return 4; // taken down
    ::close(tun);                    // a TUN device without owner goes away
    const auto list = source.list();
    if (list.count != 1 || source.status(list.firstHandle).connected) return 5; // pppd dials again
    return 0;
}

// An IPv6-only link: a link-local address is not enough, a global one is.
int exerciseIpv6(const FakeMachine& machine) {
    const int tun = velmora::testing::openTun(kIfname);
    const int sock = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int sock6 = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (tun < 0 || sock < 0 || sock6 < 0) return kSkip;
    LinuxConnectionSource source(std::make_unique<KernelInterfaceStateReader>(), machine.paths(), nullptr, 0);
    const auto seen = [&] {
        const auto list = source.list();
        return std::pair(source.status(list.firstHandle).connected, source.projectionAddress(list.firstHandle));
    };
    if (!setFlags(sock, IFF_UP) || !addIpv6(sock6, "fe80::7")) return kSkip;
    if (seen().first) return 1; // link-local only
    if (!addIpv6(sock6, "2001:db8::7")) return kSkip;
    if (seen() != std::pair(true, std::string("2001:db8::7"))) return 2; // learnt from the kernel's news
    if (!setAddress(sock, "192.0.2.7")) return kSkip;
    if (seen().second != "192.0.2.7") return 3; // IPv4 is shown first
    return 0;
}

bool readable(const std::vector<int>& descriptors) {
    std::vector<pollfd> fds;
    fds.reserve(descriptors.size());
    for (int fd : descriptors) fds.push_back({fd, POLLIN, 0});
    return !fds.empty() && ::poll(fds.data(), fds.size(), 0) > 0;
}

// A host's other interfaces going up and down never reach the link source;
// a PPP interface's news does, and so does a lasting address elsewhere, which
// is sorted out without a look.
int exerciseNewsFilter(const FakeMachine&) {
    const int plain = velmora::testing::openTun("tun3", ARPHRD_NONE);
    const int sock = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (plain < 0 || sock < 0) return kSkip;
    LinkEvents events({}, {});
    const std::vector<int> kernel = {events.kernelDescriptor()};
    if (!events.listening()) return 1;
    for (int i = 0; i < 5; ++i)
        if (!setFlags(sock, IFF_UP, "tun3") || !setFlags(sock, 0, "tun3")) return kSkip;
    if (readable(kernel)) return 2; // filtered in the kernel: no wake at all
    if (!setAddress(sock, "198.51.100.3", "tun3")) return kSkip;
    if (!readable(kernel)) return 3;
    const auto news = events.drain();
    if (news.kernel || !news.kernelIdle) return 4;
    const int ppp = velmora::testing::openTun(kIfname);
    if (ppp < 0) return kSkip;
    if (!readable(kernel)) return 5;
    if (!events.drain().kernel) return 6;
    if (!setFlags(sock, IFF_UP) || !setAddress(sock, "192.0.2.7")) return kSkip;
    return events.drain().kernel ? 0 : 7;
}

// A listed link that completes wakes the poll; it is looked at once the news
// has settled, a tenth of a second later, not at the next one-second poll,
// also while a look at files is put off.
int exerciseCompletion(const FakeMachine& machine) {
    const int tun = velmora::testing::openTun(kIfname);
    const int sock = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (tun < 0 || sock < 0) return kSkip;
    std::uint64_t nowMs = 1'000'000;
    LinuxConnectionSource source(std::make_unique<KernelInterfaceStateReader>(), machine.paths(), nullptr,
                                 LinuxConnectionSource::kDefaultRescanInterval, [&] { return nowMs; });
    const auto list = source.list();
    if (list.count != 1 || source.status(list.firstHandle).connected) return 1; // dialling
    auto pace = source.pollPace(false);
    if (pace.periodMs != kPollPeriodMs || pace.wakeOn.empty()) return 2;
    machine.tree.write("run/other.pid", "1\n"); // followed at most once a second
    if (!readable(pace.wakeOn)) return 7;
    nowMs += 3;
    source.list();
    pace = source.pollPace(false);
    if (pace.periodMs <= LinuxConnectionSource::kSettleMs) return 8;
    if (!setFlags(sock, IFF_UP) || !setAddress(sock, "192.0.2.7")) return kSkip;
    if (!readable(pace.wakeOn)) return 3;
    nowMs += 3;
    source.list();
    if (source.pollPace(false) != PollPace{LinuxConnectionSource::kSettleMs, {}}) return 4;
    nowMs += LinuxConnectionSource::kSettleMs;
    const auto settled = source.list();
    if (!source.status(settled.firstHandle).connected) return 5;
    const auto counted = source.counters(settled.firstHandle);
    return counted ? 0 : 6; // read from the kernel
}

void runInPrivateNetwork(int (*exercise)(const FakeMachine&)) {
    FakeMachine machine;
    machine.process(3000, {"pppd", "call", "echt"});
    machine.tree.write(std::string("run/") + kIfname + ".pid", "3000\n");
    machine.pppInterface(kIfname); // sysfs is the tree's: it says what the TUN device's kind is
    const int result = velmora::testing::inPrivateNetwork([&] { return exercise(machine); });
    if (result == kSkip) GTEST_SKIP() << "no private network namespace, TUN device or IPv6 allowed here";
    EXPECT_EQ(result, 0) << "check " << result << " failed";
}

TEST(RealInterface, TunNamedLikePppFollowsTheKernelsState) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root for a private network namespace";
    runInPrivateNetwork(exercise);
}

TEST(RealInterface, AnIpv6OnlyLinkCountsWithAnAddressBeyondTheLink) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root for a private network namespace";
    runInPrivateNetwork(exerciseIpv6);
}

TEST(RealInterface, OnlyNewsOfPppInterfacesAndLastingAddressesComeThrough) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root for a private network namespace";
    runInPrivateNetwork(exerciseNewsFilter);
}

TEST(RealInterface, ALinkThatCompletesIsSeenOnceItsNewsHasSettled) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root for a private network namespace";
    runInPrivateNetwork(exerciseCompletion);
}

} // namespace
} // namespace velmora::test
