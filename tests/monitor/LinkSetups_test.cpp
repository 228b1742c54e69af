// Real set-ups the link source meets: VPNs that run pppd, other users'
// calls, stale pid files, zombies, hosts with thousands of interfaces, IP
// negotiated anew mid-call, and what each link carried.
#include <gtest/gtest.h>

#include <algorithm>

#include "monitor/FakePppd.h"
#include "monitor/LinuxConnectionSource.h"
#include "monitor/ScriptedSource.h"

namespace velmora::test {
namespace {

class LinkSetups : public testing::Test {
protected:
    FakeMachine machine;
    FakeInterfaces* interfaces = nullptr;
    std::uint64_t nowMs = 1'000'000;
    std::unique_ptr<LinuxConnectionSource> source;

    void SetUp() override {
        auto reader = std::make_unique<FakeInterfaces>();
        interfaces = reader.get();
        source = std::make_unique<LinuxConnectionSource>(std::move(reader), machine.paths(), nullptr, 1,
                                                         [this] { return nowMs; });
    }
    void pppUp(const std::string& ifname, const std::string& address = "192.0.2.9") {
        machine.pppInterface(ifname);
        interfaces->states[ifname] = {true, true, address, ""};
    }
    // pppd `pid`, started with args, holding `ifname` (its "<ifname>.pid" file).
    void pppdOn(int pid, const std::vector<std::string>& args, const std::string& ifname, unsigned uid = 0,
                std::optional<unsigned> euid = std::nullopt, int parent = 1) {
        machine.process(pid, args, 1000 + static_cast<unsigned>(pid), parent, "pppd", uid, euid);
        machine.tree.write("run/" + ifname + ".pid", std::to_string(pid) + "\n");
        pppUp(ifname);
    }
    std::vector<std::string> listedInterfaces() {
        source->list();
        std::vector<std::string> names;
        for (const auto& listed : source->snapshot()) names.push_back(listed.link.ifname);
        std::sort(names.begin(), names.end());
        return names;
    }
    bool connected(std::uint64_t handle) { return source->status(handle).connected; }
};

TEST_F(LinkSetups, APppThatCarriesAVpnIsNoLineAndNeitherIsItsInterface) {
    pppdOn(10, {"pppd", "plugin", "pptp.so", "pptp_server", "vpn.example.org", "call", "firma"}, "ppp3");
    pppdOn(11, {"pppd", "plugin", "pppol2tp.so", "pppol2tp", "7"}, "ppp4");
    pppdOn(12, {"pppd", "plugin", "sstp-pppd-plugin.so", "sstp-sock", "/run/sstpc/sock"}, "ppp5");
    pppdOn(13, {"pppd", "pty", "/usr/sbin/pptp vpn.example.org --nolaunchpppd", "call", "work"}, "ppp6");
    pppdOn(14, {"pppd", "pty", "ssh -t gate sudo pppd notty", "noauth"}, "ppp7");
    machine.process(20, {"openfortivpn", "vpn.example.org"}, 10, 1, "openfortivpn");
    pppdOn(15, {"/usr/sbin/pppd", "38400", ":192.0.2.1", "noipdefault"}, "ppp8", 0, std::nullopt, 20);
    machine.process(21, {"xl2tpd", "-D"}, 10, 1, "xl2tpd");
    pppdOn(16, {"pppd", "passive", "nodetach", "file", "/etc/ppp/options.l2tpd"}, "ppp9", 0, std::nullopt, 21);
    // The same driver's modem and a DSL line are lines.
    pppdOn(17, {"pppd", "plugin", "/usr/lib/pppd/2.4.9/nm-pppd-plugin.so", "/dev/ttyUSB0"}, "ppp0");
    pppdOn(18, {"pppd", "pty", "/usr/sbin/pppoe -I eth0 -T 80", "call", "dsl"}, "ppp1");
    EXPECT_EQ(listedInterfaces(), (std::vector<std::string>{"ppp0", "ppp1"}));
}

TEST_F(LinkSetups, AnotherUsersCallIsTheirsSetuidOrNot) {
    pppdOn(30, {"pppd", "call", "theirs"}, "ppp0", 1234);               // their own pppd
    pppdOn(31, {"/usr/sbin/pppd", "call", "theirs"}, "ppp1", 1234, 0u); // setuid root, run by them
    pppdOn(32, {"pppd", "call", "ours"}, "ppp2");                       // root's
    // Theirs, written nowhere but in pppd's database.
    machine.process(33, {"pppd", "call", "quiet"}, 900, 1, "pppd", 1234, 0u);
    storeScriptEnvironment(machine.tree.path("run/pppd2.tdb"), 32, 33, "IFNAME=ppp3;PPPD_PID=33;");
    pppUp("ppp3");
    pppUp("ppp5"); // no pppd at all: an interface of the PPP kind is a line
    EXPECT_EQ(listedInterfaces(), (std::vector<std::string>{"ppp2", "ppp5"}));
}

TEST_F(LinkSetups, APidFileCountsOnlyWhenItNamesAPppInterface) {
    // A live pppd still dialling, and a stale link file that names a VPN's tun0.
    machine.process(40, {"pppd", "call", "old"}, 500);
    machine.tree.write("run/ppp-old.pid", "40\ntun0\n");
    machine.otherInterface("tun0");
    interfaces->states["tun0"] = {true, true, "10.8.0.6", ""};
    // An interface file of the same kind.
    machine.process(41, {"pppd", "call", "older"}, 400);
    machine.tree.write("run/tun1.pid", "41\n");
    machine.otherInterface("tun1");
    interfaces->states["tun1"] = {true, true, "10.9.0.6", ""};
    EXPECT_EQ(source->list().count, 2u);
    for (const auto& listed : source->snapshot()) {
        EXPECT_FALSE(listed.link.established) << "pppd " << listed.link.pid << " is still dialling";
        EXPECT_EQ(listed.link.ifname, "");
    }
}

TEST_F(LinkSetups, AZombiePppdIsNoPppdAndTheQuietPollSleeps) {
    machine.process(50, {"pppd", "call", "ended"}, 100, 1, "pppd", 0, std::nullopt, 'Z');
    machine.tree.write("run/ppp-ended.pid", "50\n");
    EXPECT_EQ(source->list().count, 0u);
    EXPECT_EQ(source->pollPace(false).periodMs, kQuietPollPeriodMs);
}

TEST_F(LinkSetups, APppInterfaceBehindThousandsOfOthersIsSeen) {
    // Before and after it, so that whatever order sysfs lists them in it is not among the first hundreds.
    for (int i = 0; i < 2000; ++i) {
        machine.otherInterface("veth" + std::to_string(i), 1);
        if (i == 999) pppUp("ppp0");
    }
    EXPECT_EQ(listedInterfaces(), (std::vector<std::string>{"ppp0"}));
}

TEST_F(LinkSetups, AnAddressGoneForUpToFiveSecondsIsTheSameCall) {
    pppdOn(70, {"pppd", "call", "isp"}, "ppp0");
    const auto handle = source->list().firstHandle;
    ASSERT_TRUE(connected(handle));

    interfaces->states["ppp0"].ipv4.clear(); // IP negotiated anew
    nowMs += 1500;
    EXPECT_EQ(source->list().firstHandle, handle);
    EXPECT_TRUE(connected(handle));
    EXPECT_EQ(source->projectionAddress(handle), "192.0.2.9") << "the last address is shown meanwhile";
    interfaces->states["ppp0"].ipv4 = "192.0.2.10";
    EXPECT_EQ(source->list().firstHandle, handle);
    EXPECT_TRUE(connected(handle));
    EXPECT_EQ(source->projectionAddress(handle), "192.0.2.10");

    interfaces->states["ppp0"].ipv4.clear();
    nowMs += 5000;
    source->list();
    EXPECT_TRUE(connected(handle)) << "five seconds without it";
    nowMs += 100;
    source->list();
    EXPECT_FALSE(connected(handle)) << "longer is a call that ended";

    interfaces->states["ppp0"] = {true, true, "192.0.2.11", ""};
    const auto next = source->list().firstHandle;
    ASSERT_TRUE(connected(next));
    interfaces->states["ppp0"] = {false, false, "", ""};
    source->list();
    EXPECT_FALSE(connected(next)) << "an interface taken down ends the call at once";
}

TEST_F(LinkSetups, CountersOnlyGrowAndOutliveTheLink) {
    pppdOn(60, {"pppd", "call", "isp"}, "ppp0");
    interfaces->carried["ppp0"] = {1000, 200};
    const auto handle = source->list().firstHandle;
    EXPECT_EQ(source->counters(handle), (ByteCounters{1000, 200}));
    interfaces->carried["ppp0"] = {5000, 900};
    source->list();
    EXPECT_EQ(source->counters(handle), (ByteCounters{5000, 900}));
    interfaces->carried["ppp0"] = {300, 100}; // the interface was made anew under the same pppd
    source->list();
    EXPECT_EQ(source->counters(handle), (ByteCounters{5300, 1000}));

    machine.tree.remove("proc/60"); // the link vanishes before the end is asked for
    machine.tree.remove("run/ppp0.pid");
    machine.tree.remove("sys/class/net/ppp0");
    interfaces->states.erase("ppp0");
    EXPECT_EQ(source->list().count, 0u);
    EXPECT_EQ(source->counters(handle), (ByteCounters{5300, 1000})) << "the last known figure";
    EXPECT_EQ(source->counters(handle + 100), std::nullopt);
}

TEST(ScriptedCounters, AnswerAsOfTheLastListAlsoForALinkThatHasGone) {
    ScriptedSource source;
    source.up("T-Online");
    EXPECT_EQ(source.counters(source.list().firstHandle), std::nullopt) << "unknown until set";
    source.carried(4096, 512);
    const auto handle = source.list().firstHandle;
    EXPECT_EQ(source.counters(handle), (ByteCounters{4096, 512}));
    source.down();
    source.list();
    EXPECT_EQ(source.counters(handle), (ByteCounters{4096, 512}));
}

} // namespace
} // namespace velmora::test
