// The main window over the real kernel: two TUN links named like PPP ones in
// a private network namespace; between two polls the shown one goes down and
// the other comes up. The links are learnt from the kernel's news alone.
#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "EngineFixture.h"
#include "monitor/FakeSystem.h"
#include "monitor/LinuxConnectionSource.h"
#include "support/PrivateNetwork.h"
#include "support/TunDevice.h"

namespace velmora::testing {
namespace {

constexpr int kSkip = kSkipCode;

bool configure(int sock, const char* ifname, bool up, const char* address) {
    ifreq req{};
    std::strncpy(req.ifr_name, ifname, IFNAMSIZ - 1);
    req.ifr_flags = up ? IFF_UP : 0;
    if (::ioctl(sock, SIOCSIFFLAGS, &req) != 0) return false;
    if (!address) return true;
    sockaddr_in in{};
    in.sin_family = AF_INET;
    ::inet_pton(AF_INET, address, &in.sin_addr);
    std::memcpy(&req.ifr_addr, &in, sizeof in);
    return ::ioctl(sock, SIOCSIFADDR, &req) == 0;
}

// Hands the kernel `count` IPv4 packets of 100 bytes as if they came down the
// line: the interface counts them as received.
bool receive(int tun, int count) {
    unsigned char packet[100] = {};
    packet[0] = 0x45; // IPv4, a header of 20 bytes
    packet[3] = sizeof packet;
    packet[8] = 64; // time to live
    packet[9] = IPPROTO_UDP;
    for (int i = 0; i < count; ++i)
        if (::write(tun, packet, sizeof packet) != static_cast<ssize_t>(sizeof packet)) return false;
    return true;
}

// Runs in the child; the exit code names the first check that failed.
int swapLinks(const test::FakeMachine& machine) {
    const int first = velmora::testing::openTun("ppp7");
    const int second = velmora::testing::openTun("ppp8");
    const int sock = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (first < 0 || second < 0 || sock < 0) return kSkip;
    LinuxConnectionSource links(std::make_unique<KernelInterfaceStateReader>(), machine.paths(), nullptr, 0);
    Engine e(localEpochMs(2026, 12, 9, 10, 29, 59), &links);
    int failed = 0;
    const auto check = [&](bool ok, int code) {
        if (!ok && !failed) failed = code;
    };
    e.run({[&] {
        if (!configure(sock, "ppp7", true, "192.0.2.7")) failed = kSkip;
        e.seconds(1); // 10:30:00
        check(e.field(ids::ConnectionName) == "eins" && e.field(ids::IpAddress) == "192.0.2.7", 1);
        check(receive(first, 3), 5);
        e.seconds(20);
        if (!configure(sock, "ppp7", false, nullptr) || !configure(sock, "ppp8", true, "192.0.2.8")) failed = kSkip;
        e.seconds(1); // 10:30:21
        check(e.field(ids::ConnectionName) == "zwei" && e.field(ids::IpAddress) == "192.0.2.8", 2);
        check(e.field(ids::ConnectionCost) == "0.12" && e.field(ids::TimeOnline) == "00:00:00", 3);
        e.seconds(5);
        e.host.pressEscape(e.main());
    }});
    // Each record holds what its own link carried.
    check(e.logText() == "[Von 9.12.2026 10:30:00 bis 9.12.2026 10:30:21]\n"
                         "Verbindungskosten=0.12\nGesamtkosten bis dato=0.12\nEmpfangen=300\nGesendet=0\n"
                         "[Von 9.12.2026 10:30:21 bis 9.12.2026 10:30:26]\n"
                         "Verbindungskosten=0.12\nGesamtkosten bis dato=0.24\nEmpfangen=0\nGesendet=0\n",
          4);
    return failed;
}

TEST(RealLinkSwap, TheShownTunLinkGoesAndAnotherComesUpBetweenTwoPolls) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root for a private network namespace";
    test::FakeMachine machine;
    machine.process(3000, {"pppd", "call", "eins"}, 100);
    machine.process(3001, {"pppd", "call", "zwei"}, 200);
    machine.tree.write("run/ppp7.pid", "3000\n");
    machine.tree.write("run/ppp8.pid", "3001\n");
    machine.pppInterface("ppp7"); // the TUN devices are of the PPP kind; sysfs is the tree's
    machine.pppInterface("ppp8");
    const int result = inPrivateNetwork([&] { return swapLinks(machine); });
    if (result == kSkip) GTEST_SKIP() << "no private network namespace or TUN device allowed here";
    EXPECT_EQ(result, 0) << "check " << result << " failed";
}

} // namespace
} // namespace velmora::testing
